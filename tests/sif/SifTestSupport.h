#pragma once
// Sheets and trees for the .sif tests, and the colours a depth mode turns a pixel into.
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/cBitMap.h"
#include "project/SpriteProject.h"
#include "support/TestSupport.h"

// A sheet with a magenta background, runs longer than 127 pixels, colours that
// differ only in bits 16-bit colour drops, and greys on both sides of 128.
inline TestPicture SampleSheetPicture() {
    TestPicture p = MakePicture(37, 11, 0x00FF00FF);
    for (int x = 0; x < 37; ++x) {
        p.At(x, 3) = static_cast<int32_t>(0x00010203u * static_cast<uint32_t>(x * 7));
        p.At(x, 5) = x % 2 ? 0x00FFFFFF : 0x00FEFFFF;
        p.At(x, 7) = x < 18 ? 0x007F7F7F : 0x00808080;
    }
    p.At(0, 0) = 0x001E140A;
    p.At(36, 10) = 0x00123456;
    return p;
}

// Loads a picture into a bitmap through a BMP file.
inline bool LoadPicture(cBitMap& bmp, const TestPicture& pic, const TempDir& dir) {
    const std::string path = dir / "sheet.bmp";
    WriteFileBytes(path, MakeBmp24(pic));
    return bmp.LoadBMP(path);
}

// The colour 0x00BBGGRR a pixel has after the round trip through a depth mode.
inline int32_t Reduced(int32_t color, uint8_t mode) {
    const uint32_t c = static_cast<uint32_t>(color);
    uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    switch (mode) {
    case 1: {
        const uint32_t v = (r + g + b) / 3 >= 128 ? 255 : 0;
        r = g = b = v;
        break;
    }
    case 2: r = g = b = (r + g + b) / 3; break;
    case 4: {
        auto full = [](uint32_t v) { return v >= 0xF8 ? 0xFFu : v; };
        r = full(r & 0xF8);
        g = full(g & 0xFC);
        b = full(b & 0xF8);
        break;
    }
    default: break;
    }
    return static_cast<int32_t>(r | (g << 8) | (b << 16));
}

// The colour of picture pixel (x, y), rows counted from the top.
inline int32_t PixelAt(const cBitMap& bmp, int x, int y) {
    const uint8_t* p = bmp.Pixels().data() + static_cast<size_t>(bmp.Height() - 1 - y) * bmp.Stride() + 3 * x;
    return static_cast<int32_t>(p[2] | (p[1] << 8) | (p[0] << 16));
}

inline FrameData MakeFrame(int32_t k) {
    FrameData f;
    f.X = k;
    f.Y = k * 2 + 1;
    f.Height = 48 + k;
    f.Width = 32 - k;
    f.Reserved[0] = static_cast<uint8_t>(0xA0 + k); // never touched, always kept
    f.Reserved[1] = 0x5C;
    f.Delay = static_cast<int16_t>(-3 + k * 100);
    f.HotSpotX = -k;
    f.HotSpotY = 70000 + k;
    return f;
}

// Three actions with one, two and three directions of varying frame counts.
inline std::vector<ActionData> SampleTree() {
    std::vector<ActionData> actions;
    int n = 0;
    for (int a = 0; a < 3; ++a) {
        ActionData act;
        act.Name = "named " + std::to_string(a); // names are not part of the format
        for (int d = 0; d <= a; ++d) {
            DirectionData dir;
            for (int f = 0; f < 1 + (a + d) % 3; ++f) dir.Frames.push_back(MakeFrame(n++));
            dir.FrameUBound = static_cast<int16_t>(dir.Frames.size() - 1);
            act.Directions.push_back(dir);
        }
        act.DirUBound = static_cast<int16_t>(act.Directions.size() - 1);
        actions.push_back(act);
    }
    return actions;
}
