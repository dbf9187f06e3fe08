// PNG sheets: any bytes decode or are refused; a decoded picture has the
// sheet layout, its clear pixels carry the clear colour and follow a new mask
// colour, and it survives being written as PNG and read back.
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "base/Messages.h"
#include "bitmap/PngFile.h"
#include "bitmap/cBitMap.h"

namespace {

constexpr int32_t ClearColor = 0x00FF00FF;
constexpr int32_t OtherColor = 0x00010203;

bool IsClear(const Png::Picture& p, size_t y, int32_t x) {
    return !p.ClearBits.empty() && (p.ClearBits.data()[y * Png::ClearStride(p.Width) + x / 8] >> (x % 8) & 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageRecorder quiet;
    quiet.Shown.clear();
    Png::Picture pic;
    const Png::ReadStatus status = Png::Read(data, size, ClearColor, pic);
    if (status != Png::ReadStatus::Ok) {
        if (status == Png::ReadStatus::TooLarge && pic.Width <= cBitMap::MaxSide && pic.Height <= cBitMap::MaxSide)
            std::abort();
        return 0;
    }
    if (pic.Width <= 0 || pic.Width > cBitMap::MaxSide || pic.Height <= 0 || pic.Height > cBitMap::MaxSide ||
        pic.Stride % 4 != 0 || pic.Stride < pic.Width * 3 ||
        pic.Pixels.size() != static_cast<size_t>(pic.Stride) * static_cast<size_t>(pic.Height))
        std::abort();
    for (size_t y = 0; y < static_cast<size_t>(pic.Height); ++y) {
        const uint8_t* row = pic.Pixels.data() + y * static_cast<size_t>(pic.Stride);
        for (int32_t x = pic.Width * 3; x < pic.Stride; ++x)
            if (row[x]) std::abort();
        for (int32_t x = 0; x < pic.Width; ++x)
            if (IsClear(pic, y, x) && !(row[3 * x] == 0xFF && row[3 * x + 1] == 0 && row[3 * x + 2] == 0xFF))
                std::abort();
    }

    // Through the sheet: the same picture, repainted, written and read back.
    static const std::string path = "/tmp/celwright-fuzz-" + std::to_string(::getpid()) + ".png";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    cBitMap bm;
    if (!bm.LoadBMP(path, ClearColor) || bm.Width() != pic.Width || bm.Height() != pic.Height ||
        std::memcmp(bm.Pixels().data(), pic.Pixels.data(), pic.Pixels.size()) != 0 ||
        bm.HasClearPixels() != !pic.ClearBits.empty())
        std::abort();
    bm.GenMask(OtherColor);
    std::vector<uint8_t> png;
    std::string error;
    if (!Png::EncodeSheet(bm, OtherColor, png, error)) std::abort();
    Png::Picture back;
    if (Png::Read(png.data(), png.size(), OtherColor, back) != Png::ReadStatus::Ok ||
        std::memcmp(back.Pixels.data(), bm.Pixels().data(), bm.Pixels().size()) != 0)
        std::abort();
    return 0;
}
