#pragma once
// Helpers of the bitmap tests: pictures in and out of a cBitMap, and a target
// surface with a guard border that must stay untouched.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bitmap/cBitMap.h"
#include "support/TestSupport.h"

// Colour 0x00BBGGRR of the pixel at top-down (x, y).
inline int32_t SheetColor(const cBitMap& bm, int x, int y) {
    const uint8_t* p = bm.Pixels().data() + static_cast<size_t>(bm.Height() - 1 - y) * bm.Stride() + 3 * x;
    return p[0] << 16 | p[1] << 8 | p[2];
}

inline TestPicture PictureOf(const cBitMap& bm) {
    TestPicture pic = MakePicture(bm.Width(), bm.Height());
    for (int y = 0; y < bm.Height(); ++y)
        for (int x = 0; x < bm.Width(); ++x)
            pic.At(x, y) = SheetColor(bm, x, y);
    return pic;
}

inline int32_t Rgb(int r, int g, int b) {
    return b << 16 | g << 8 | r;
}

// Loads a picture through a BMP file.
inline bool LoadPicture(cBitMap& bm, const TestPicture& pic, const TempDir& dir,
                        const std::string& name = "p.bmp") {
    WriteFileBytes(dir / name, MakeBmp24(pic));
    return bm.LoadBMP(dir / name);
}

// A picture of colours from a small palette in runs of random length, so that
// runs cross rows and pass 127.
inline TestPicture RunnyPicture(int w, int h, unsigned key, int paletteSize = 4) {
    std::mt19937 rng(key);
    TestPicture pic = MakePicture(w, h);
    std::vector<int32_t> palette;
    for (int i = 0; i < paletteSize; ++i)
        palette.push_back(static_cast<int32_t>(rng() & 0xFFFFFF));
    int32_t c = palette[0];
    int left = 0;
    for (auto& px : pic.Colors) {
        if (left == 0) {
            c = palette[rng() % palette.size()];
            left = static_cast<int>(rng() % 300) + 1;
        }
        px = c;
        --left;
    }
    return pic;
}

// A target window with a border of guard pixels around it.
struct GuardedSurface {
    static constexpr int Border = 3;
    static constexpr uint32_t Guard = 0xFF123456u;
    int W, H;
    uint32_t Background;
    std::vector<uint32_t> Store;
    PixelSurface S;

    GuardedSurface(int w, int h, uint32_t background = 0xFFEEEEEEu, int originX = 0, int originY = 0)
        : W(w), H(h), Background(background) {
        const int stride = w + 2 * Border;
        Store.assign(static_cast<size_t>(stride) * (h + 2 * Border), Guard);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Store[static_cast<size_t>(y + Border) * stride + x + Border] = background;
        S.Bits = Store.data() + Border * stride + Border;
        S.Width = w;
        S.Height = h;
        S.Stride = stride;
        S.OriginX = originX;
        S.OriginY = originY;
    }
    // Pixel at logical (x, y).
    uint32_t At(int x, int y) const { return S.Row(y)[x - S.OriginX]; }
    bool GuardsIntact() const {
        const int stride = W + 2 * Border;
        for (int y = 0; y < H + 2 * Border; ++y)
            for (int x = 0; x < stride; ++x) {
                bool inside = y >= Border && y < H + Border && x >= Border && x < W + Border;
                if (!inside && Store[static_cast<size_t>(y) * stride + x] != Guard) return false;
            }
        return true;
    }
    int CountNot(uint32_t v) const {
        int n = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                n += At(x + S.OriginX, y + S.OriginY) != v;
        return n;
    }
};
