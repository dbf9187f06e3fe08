#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

#include "base/ByteIO.h"

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "celwright-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TestPicture MakePicture(int32_t w, int32_t h, int32_t fill) {
    TestPicture p;
    p.Width = w;
    p.Height = h;
    p.Colors.assign(static_cast<size_t>(w) * h, fill);
    return p;
}

std::vector<uint8_t> MakeBmp24(const TestPicture& pic) {
    const int32_t stride = ((pic.Width * 24 + 31) / 32) * 4;
    const uint32_t image = static_cast<uint32_t>(stride) * pic.Height;
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.U16(0x4D42);
    w.U32(54 + image);
    w.U32(0);
    w.U32(54);
    w.U32(40);
    w.I32(pic.Width);
    w.I32(pic.Height);
    w.U16(1);
    w.U16(24);
    w.U32(0);
    w.U32(image);
    w.I32(2835);
    w.I32(2835);
    w.U32(0);
    w.U32(0);
    for (int32_t row = 0; row < pic.Height; ++row) {
        int32_t y = pic.Height - 1 - row; // bottom row first
        for (int32_t x = 0; x < pic.Width; ++x) {
            uint32_t c = static_cast<uint32_t>(pic.At(x, y));
            w.U8(static_cast<uint8_t>(c >> 16)); // blue
            w.U8(static_cast<uint8_t>(c >> 8));  // green
            w.U8(static_cast<uint8_t>(c));       // red
        }
        for (int32_t k = pic.Width * 3; k < stride; ++k) w.U8(0);
    }
    return out;
}
