#pragma once
// A drawing target: a window of 32-bit pixels (0xFFRRGGBB in a uint32_t, the
// layout of QImage::Format_RGB32) onto a possibly much larger logical canvas.
// Bits[0] is logical pixel (OriginX, OriginY); drawing outside the window is
// clipped. The overview of a huge sheet keeps only its visible part in memory
// this way, while callers keep drawing in sheet coordinates.
#include <cstdint>

struct PixelSurface {
    uint32_t* Bits = nullptr;
    int32_t Width = 0;   // pixels held, across
    int32_t Height = 0;  // pixels held, down
    int32_t Stride = 0;  // uint32_t elements from one row to the next
    int32_t OriginX = 0; // logical coordinates of Bits[0]
    int32_t OriginY = 0;

    uint32_t* Row(int32_t logicalY) const { return Bits + static_cast<int64_t>(logicalY - OriginY) * Stride; }
};

// 0x00BBGGRR (the program's colour values) to and from surface pixels.
inline uint32_t ColorToPixel(int32_t c) {
    uint32_t u = static_cast<uint32_t>(c);
    return 0xFF000000u | ((u & 0xFF) << 16) | (u & 0xFF00) | ((u >> 16) & 0xFF);
}
inline int32_t PixelToColor(uint32_t p) {
    return static_cast<int32_t>(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
}
