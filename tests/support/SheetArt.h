#pragma once
// Sheets of made-up sprites and the edits a painting program makes to them:
// for the tests of frames that follow their pictures.
#include <cstdint>
#include <random>
#include <vector>

#include "support/TestSupport.h"

namespace SheetArt {

inline constexpr int32_t Mask = 0x00FF00FF;

// Paints a sprite of w x h at (x, y): pixels of a small palette, about one in
// four left in the mask colour, so that sprites share colours and runs as drawn
// ones do, yet no two are alike.
inline void PaintSprite(TestPicture& p, int x, int y, int w, int h, uint32_t variant) {
    std::mt19937 random(variant);
    static constexpr int32_t Palette[] = {0x00203040, 0x00806040, 0x0010A0F0, 0x00F0F0F0, 0x00000000, 0x004080C0};
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            p.At(x + i, y + j) = random() % 4 == 0 ? Mask : Palette[random() % 6];
}

// A sheet of the mask colour with sprites of w x h in a grid: cols x rows,
// the first at (margin, margin), step pixels apart.
inline TestPicture Grid(int width, int height, int cols, int rows, int w, int h, int step, int margin = 4) {
    TestPicture p = MakePicture(width, height, Mask);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) PaintSprite(p, margin + c * step, margin + r * step, w, h, 1000 + r * 100 + c);
    return p;
}

// The picture with n columns of the mask colour inserted before column x.
inline TestPicture InsertColumns(const TestPicture& p, int x, int n) {
    TestPicture out = MakePicture(p.Width + n, p.Height, Mask);
    for (int y = 0; y < p.Height; ++y)
        for (int i = 0; i < p.Width; ++i) out.At(i < x ? i : i + n, y) = p.At(i, y);
    return out;
}

// Copies the w x h block at (x, y) of from to (tx, ty) of to.
inline void CopyBlock(const TestPicture& from, int x, int y, int w, int h, TestPicture& to, int tx, int ty) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) to.At(tx + i, ty + j) = from.At(x + i, y + j);
}

inline void Fill(TestPicture& p, int x, int y, int w, int h, int32_t color = Mask) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) p.At(x + i, y + j) = color;
}

// Changes `count` sprite pixels of the block at (x, y), spread over it.
inline void Retouch(TestPicture& p, int x, int y, int w, int h, int count) {
    std::vector<int> sprite;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (p.At(x + i, y + j) != Mask) sprite.push_back(j * w + i);
    for (int k = 0; k < count; ++k) {
        const int at = sprite[(k * sprite.size()) / count];
        p.At(x + at % w, y + at / w) ^= 0x00010101;
    }
}

inline int SpritePixels(const TestPicture& p, int x, int y, int w, int h) {
    int n = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) n += p.At(x + i, y + j) != Mask;
    return n;
}

// The picture as cBitMap holds a sheet: bottom-up rows, blue-green-red,
// rows padded to four bytes.
struct Bytes {
    std::vector<uint8_t> Data;
    int32_t Width = 0, Height = 0, Stride = 0;
    explicit Bytes(const TestPicture& p) : Width(p.Width), Height(p.Height), Stride((3 * p.Width + 3) & ~3) {
        Data.assign(static_cast<size_t>(Stride) * Height, 0);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const auto c = static_cast<uint32_t>(p.At(x, y));
                uint8_t* px = Data.data() + static_cast<size_t>(Height - 1 - y) * Stride + 3 * x;
                px[0] = static_cast<uint8_t>(c >> 16), px[1] = static_cast<uint8_t>(c >> 8), px[2] = static_cast<uint8_t>(c);
            }
    }
};

} // namespace SheetArt
