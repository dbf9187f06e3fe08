#pragma once
// Helpers of the bitmap tests: pictures in and out of a cBitMap.
#include <algorithm>
#include <random>

#include "base/Messages.h"
#include "bitmap/cBitMap.h"
#include "support/TestSupport.h"

using Bytes = std::vector<uint8_t>;

inline constexpr auto Rgb = [](int r, int g, int b) { return b << 16 | g << 8 | r; };

// Colour 0x00BBGGRR of the pixel at top-down (x, y).
inline int32_t SheetColor(const cBitMap& bm, int x, int y) {
    const uint8_t* p = bm.Pixels().data() + static_cast<size_t>(bm.Height() - 1 - y) * bm.Stride() + 3 * x;
    return Rgb(p[2], p[1], p[0]);
}

// Every pixel's colour, top row first.
inline std::vector<int32_t> ColorsOf(const cBitMap& bm) {
    std::vector<int32_t> out;
    for (int y = 0; y < bm.Height(); ++y)
        for (int x = 0; x < bm.Width(); ++x) out.push_back(SheetColor(bm, x, y));
    return out;
}

// The pixel rows held for a picture: bottom row first, padding zero; and those held.
inline Bytes RowsOf(const TestPicture& p) { const Bytes f = MakeBmp24(p); return Bytes(f.begin() + 54, f.end()); }
inline Bytes RowsOf(const cBitMap& bm) { return Bytes(bm.Pixels().data(), bm.Pixels().data() + bm.Pixels().size()); }
// True when no pixel is masked (as before any GenMask).
inline bool NoneMasked(const cBitMap& bm) {
    for (int y = 0; y < bm.Height(); ++y)
        for (int x = 0; x < bm.Width(); ++x)
            if (bm.Masked(x, y)) return false;
    return true;
}

// A picture whose every pixel has its own colour.
inline TestPicture Sample(int w, int h) {
    TestPicture pic = MakePicture(w, h);
    for (int i = 0; i < w * h; ++i) pic.Colors[i] = Rgb(10 + i % w, 100 + i / w, 200 + (i % w ^ i / w));
    return pic;
}

// Everything a refused load or rebuild must leave alone (the mask of the first
// rows: test pictures kept this way are small).
inline Bytes StateOf(const cBitMap& bm) {
    const auto* h = reinterpret_cast<const uint8_t*>(&bm.Header());
    Bytes s(h, h + sizeof(BitmapInfoHeader));
    s.insert(s.end(), bm.Pixels().data(), bm.Pixels().data() + bm.Pixels().size());
    for (size_t v : {size_t{bm.Loaded()}, size_t(bm.Stride()), size_t(bm.RowPad()), size_t(bm.HasClearPixels())})
        s.push_back(static_cast<uint8_t>(v));
    for (int i = 0; i < std::min(bm.Width() * bm.Height(), 4096); ++i)
        s.push_back(bm.Masked(i % bm.Width(), i / bm.Width()));
    return s;
}

// Loads a picture through a BMP file.
inline bool LoadPicture(cBitMap& bm, const TestPicture& p, const TempDir& dir,
                        const std::string& n = "p.bmp") {
    WriteFileBytes(dir / n, MakeBmp24(p));
    return bm.LoadBMP(dir / n);
}

// Colours from a small palette in runs of 1 to 300 pixels, so that runs
// cross rows and pass 127.
inline TestPicture RunnyPicture(int w, int h, unsigned key, unsigned paletteSize = 4) {
    std::mt19937 rng(key);
    TestPicture pic = MakePicture(w, h);
    for (size_t i = 0; i < pic.Colors.size();) {
        const auto c = static_cast<int32_t>((rng() % paletteSize + key) * 2654435761u & 0xFFFFFF);
        for (size_t n = 1 + rng() % 300; n-- > 0 && i < pic.Colors.size();)
            pic.Colors[i++] = c;
    }
    return pic;
}
