#pragma once
// File helpers of the core: whole-file reads that know the real size first, and
// saves that never damage the file they replace.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// True when a regular file (not a directory, device or socket) exists at path.
bool IsNormalFile(const std::string& path);

// True when a regular file exists at dir + name and the directory lists it under
// exactly that name (letter case included, whatever the file system's rules).
bool FileListedAs(const std::string& dir, const std::string& name);

// Size of a regular file, or -1 when it cannot be examined.
int64_t FileSize(const std::string& path);

// Reads a whole regular file. On failure returns false and describes why in error.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error);

// Writes to a temporary file in the target's folder; Commit() flushes, closes and
// renames it over the target. Destroying an uncommitted AtomicFile removes the
// temporary file, so a failed save leaves the old target untouched.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Open(std::string& error);
    bool Write(const void* data, size_t n);
    bool Commit(std::string& error);
    void Discard();
    std::FILE* Handle() { return file_; }

private:
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int errno_ = 0; // why a write failed
};

// For tests of what a save does when the disk refuses: every AtomicFile then
// fails as on a full disk (writes give ENOSPC) or in a folder it may not write
// to (opening gives EACCES), whoever the process runs as.
enum class WriteFault { None, DiskFull, ReadOnly };
void SetWriteFault(WriteFault fault);

// One-shot form of AtomicFile.
bool WriteFileAtomic(const std::string& path, const void* data, size_t n, std::string& error);

// Splits a path at its last "\" or "/": dir keeps the separator, file is the rest.
void SplitPath(const std::string& path, std::string& dir, std::string& file);
