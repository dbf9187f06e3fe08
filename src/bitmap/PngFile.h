#pragma once
// PNG files for sheets: any PNG read into cBitMap's 24-bit layout, and a sheet
// written as an RGBA PNG in which the mask colour is transparent. libspng does
// the decoding and encoding; this layer only sets its limits and converts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Progress.h"
#include "bitmap/cBitMap.h"

namespace Png {

// True when the bytes start with the 8-byte PNG signature.
bool HasSignature(const uint8_t* data, size_t size);

enum class ReadStatus { Ok, Damaged, TooLarge, NoMemory, Cancelled };

struct Picture {
    int32_t Width = 0;  // as the file claims, also when refused as too large
    int64_t Height = 0;
    int32_t Stride = 0; // bytes per row, a multiple of 4
    ByteBuffer Pixels;  // bottom-up rows of blue, green, red; padding zero
    // One bit per pixel (bit x % 8 of byte x / 8 of a row of (Width + 7) / 8
    // bytes, rows bottom-up like Pixels) for each pixel whose alpha is under
    // 128. Empty when no pixel is that transparent.
    ByteBuffer ClearBits;
};

// Bytes per row of ClearBits.
inline size_t ClearStride(int32_t width) { return (static_cast<size_t>(width) + 7) / 8; }

// Decodes a whole PNG of any colour type, bit depth and interlacing (tRNS
// included; 16-bit samples keep their high byte). Pixels whose alpha is under
// 128 get clearColor (0x00BBGGRR). A side over cBitMap::MaxSide is TooLarge;
// a picture that could not have been packed into `size` bytes is Damaged
// before anything is allocated for it. progress hears of every band of rows
// decoded (a few MB each) and can stop the decoding (Cancelled).
ReadStatus Read(const uint8_t* data, size_t size, int32_t clearColor, Picture& out,
                const Progress& progress = {});

// Encodes the sheet as an 8-bit RGBA PNG, top row first; pixels of maskColor
// get alpha 0, all others 255. False (with the reason) when it has no picture
// or memory runs out.
bool EncodeSheet(const cBitMap& sheet, int32_t maskColor, std::vector<uint8_t>& out, std::string& error);

} // namespace Png
