#pragma once
// Shared helpers of the tests: scratch folders, files, and small BMP pictures.
#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, ending with "/".
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// Names of the entries of a folder, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& dir);

// A picture in top-down order, one 0x00BBGGRR colour per pixel.
struct TestPicture {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<int32_t> Colors; // row 0 = top row
    int32_t At(int x, int y) const { return Colors[static_cast<size_t>(y) * Width + x]; }
    int32_t& At(int x, int y) { return Colors[static_cast<size_t>(y) * Width + x]; }
};

TestPicture MakePicture(int32_t w, int32_t h, int32_t fill = 0);
// The bytes of a 24-bit bottom-up BMP file of the picture (54-byte headers).
std::vector<uint8_t> MakeBmp24(const TestPicture& pic);
