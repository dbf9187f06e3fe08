#pragma once
// Scanning 24-bit pixel rows for runs of one colour, shared by the mask
// builder and the run-length encoders.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace RowScan {

inline constexpr bool Little = std::endian::native == std::endian::little;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline uint32_t Load24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16);
}

// Position of the first differing byte in memory order, given the XOR of two
// loads that differ.
inline unsigned FirstDiffByte(uint64_t x) {
    if constexpr (Little)
        return static_cast<unsigned>(std::countr_zero(x)) / 8;
    else
        return static_cast<unsigned>(std::countl_zero(x)) / 8;
}

// Byte offset just past the run of pixels equal to the pixel at byte i of a row.
// The pixels from i on all equal exactly while the bytes repeat with period 3,
// so comparing the row with itself shifted by one pixel finds the end sixteen
// bytes at a time. Loads never pass rowBytes.
size_t RunEnd(const uint8_t* row, size_t i, size_t rowBytes);

// The run of one colour starting at byte i of a row: its colour (blue | green
// << 8 | red << 16) and the byte offset just past it. Runs of one pixel, the
// rule in busy pictures, take one load.
inline size_t NextRun(const uint8_t* row, size_t i, size_t rowBytes, uint32_t& colour) {
    if (Little && i + 8 <= rowBytes) {
        const uint64_t v = Load64(row + i);
        colour = static_cast<uint32_t>(v) & 0xFFFFFF;
        if ((static_cast<uint32_t>(v >> 24) & 0xFFFFFF) != colour) return i + 3;
    } else {
        colour = Load24(row + i);
        if (i + 3 < rowBytes && Load24(row + i + 3) != colour) return i + 3;
    }
    return RunEnd(row, i, rowBytes);
}

// Pixel bytes blue, green, red (and a fourth, 0) as one 4-byte word in memory order.
inline uint32_t PackPixel(uint8_t b, uint8_t g, uint8_t r) {
    const uint8_t bytes[4] = {b, g, r, 0};
    uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

} // namespace RowScan
