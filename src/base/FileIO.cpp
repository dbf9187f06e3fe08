#include "base/FileIO.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsNormalFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileListedAs(const std::string& dir, const std::string& name) {
    if (name.empty() || !IsNormalFile(dir + name)) return false;
    // A case-insensitive file system would open "Hero.bmp" for "hero.bmp"; the
    // listing tells the real name.
    std::string listDir = dir.empty() ? std::string(".") : dir;
    DIR* d = ::opendir(listDir.c_str());
    if (!d) return false;
    bool found = false;
    while (dirent* e = ::readdir(d)) {
        if (name == e->d_name) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        error = "not a regular file";
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
    bool ok = got == out.size() && !std::ferror(f);
    std::fclose(f);
    if (!ok) {
        out.clear();
        error = "read error";
    }
    return ok;
}

namespace {
std::atomic<WriteFault> Fault{WriteFault::None};
} // namespace

void SetWriteFault(WriteFault fault) { Fault = fault; }

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(std::string& error) {
    if (Fault == WriteFault::ReadOnly) {
        errno = EACCES;
        error = std::strerror(errno);
        return false;
    }
    std::string dir, file;
    SplitPath(target_, dir, file);
    std::string pattern = dir + "." + file + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    temp_ = buf.data();
    // mkstemp makes the file private; a saved file gets the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat st {};
    mode_t mode = (::stat(target_.c_str(), &st) == 0) ? (st.st_mode & 07777) : (0666 & ~mask);
    ::fchmod(fd, mode);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error = std::strerror(errno);
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    return true;
}

bool AtomicFile::Write(const void* data, size_t n) {
    if (!file_ || failed_) return false;
    if (n && Fault == WriteFault::DiskFull) errno = ENOSPC;
    else if (!n || std::fwrite(data, 1, n, file_) == n) return true;
    failed_ = true;
    errno_ = errno ? errno : EIO;
    return false;
}

bool AtomicFile::Commit(std::string& error) {
    if (!file_) {
        error = "file not open";
        return false;
    }
    // The first failure's reason is the one told; a later call may change errno.
    int err = failed_ ? errno_ : 0;
    bool ok = !failed_ && std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    if (!ok && !err) err = errno;
    if (ok && Fault == WriteFault::DiskFull) { // even a file of nothing has no room for its entry
        ok = false;
        err = ENOSPC;
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    file_ = nullptr;
    if (!ok) {
        error = std::strerror(err ? err : EIO);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t n, std::string& error) {
    AtomicFile f(path);
    if (!f.Open(error)) return false;
    if (!f.Write(data, n)) {
        error = std::strerror(errno ? errno : EIO);
        return false;
    }
    return f.Commit(error);
}

void SplitPath(const std::string& path, std::string& dir, std::string& file) {
    size_t p = path.find_last_of("\\/");
    if (p == std::string::npos) {
        dir.clear();
        file = path;
    } else {
        dir = path.substr(0, p + 1);
        file = path.substr(p + 1);
    }
}
