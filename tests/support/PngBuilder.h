#pragma once
// Builds PNG files byte by byte for the tests, independently of the library the
// product reads them with: any colour type, bit depth, palette, tRNS chunk and
// Adam7 interlacing, the pixel data in stored (uncompressed) DEFLATE blocks.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace PngBuild {

enum ColorType : uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

inline int ChannelsOf(uint8_t colorType) {
    return colorType == Rgb ? 3 : colorType == GreyAlpha ? 2 : colorType == Rgba ? 4 : 1;
}

struct Image {
    int32_t Width = 1;
    int32_t Height = 1;
    uint8_t ColorType = Rgb;
    uint8_t BitDepth = 8;
    bool Interlaced = false;
    std::vector<uint8_t> Plte; // red, green, blue per entry
    std::vector<uint8_t> Trns; // raw chunk data; written when not empty
    // Channel samples of every pixel, top row first, each below 2^BitDepth.
    std::vector<uint16_t> Samples;
    uint16_t& At(int x, int y, int c) { return Samples[(static_cast<size_t>(y) * Width + x) * ChannelsOf(ColorType) + c]; }
};

inline uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(out.data() + start, out.size() - start));
}

// A compressed-data stream of stored blocks, with its header and checksum.
inline std::vector<uint8_t> Stored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n)), z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n)), z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
    Put32(z, b << 16 | a);
    return z;
}

// Scanlines (filter byte 0 each) of the pixels whose columns and rows are
// x0, x0 + dx, ... and y0, y0 + dy, ...
inline void Scanlines(const Image& s, int x0, int y0, int dx, int dy, std::vector<uint8_t>& raw) {
    const int channels = ChannelsOf(s.ColorType);
    for (int y = y0; y < s.Height; y += dy) {
        if (x0 >= s.Width) return;
        raw.push_back(0);
        uint32_t acc = 0;
        int bits = 0;
        for (int x = x0; x < s.Width; x += dx) {
            for (int c = 0; c < channels; ++c) {
                const uint16_t v = s.Samples[(static_cast<size_t>(y) * s.Width + x) * channels + c];
                if (s.BitDepth == 16) {
                    raw.push_back(static_cast<uint8_t>(v >> 8)), raw.push_back(static_cast<uint8_t>(v));
                    continue;
                }
                acc = acc << s.BitDepth | v;
                bits += s.BitDepth;
                if (bits == 8) raw.push_back(static_cast<uint8_t>(acc)), acc = 0, bits = 0;
            }
        }
        if (bits) raw.push_back(static_cast<uint8_t>(acc << (8 - bits)));
    }
}

// The whole file; `idat` replaces the pixel data when given.
inline std::vector<uint8_t> Make(const Image& s, const std::vector<uint8_t>* idat = nullptr) {
    std::vector<uint8_t> out = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> ihdr;
    Put32(ihdr, static_cast<uint32_t>(s.Width));
    Put32(ihdr, static_cast<uint32_t>(s.Height));
    ihdr.insert(ihdr.end(), {s.BitDepth, s.ColorType, 0, 0, static_cast<uint8_t>(s.Interlaced ? 1 : 0)});
    Chunk(out, "IHDR", ihdr);
    if (!s.Plte.empty()) Chunk(out, "PLTE", s.Plte);
    if (!s.Trns.empty()) Chunk(out, "tRNS", s.Trns);
    std::vector<uint8_t> raw;
    if (idat) {
    } else if (!s.Interlaced) {
        Scanlines(s, 0, 0, 1, 1, raw);
    } else {
        constexpr std::array<std::array<int, 4>, 7> passes = {
            {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
        for (const auto& p : passes) Scanlines(s, p[0], p[1], p[2], p[3], raw);
    }
    Chunk(out, "IDAT", idat ? *idat : Stored(raw));
    Chunk(out, "IEND", {});
    return out;
}

// An 8-bit RGBA file of a picture; alpha 0 where `clear` says so.
inline std::vector<uint8_t> FromPicture(const TestPicture& pic, int32_t clearColor = -1) {
    Image s;
    s.Width = pic.Width, s.Height = pic.Height, s.ColorType = Rgba;
    for (int32_t c : pic.Colors)
        s.Samples.insert(s.Samples.end(), {static_cast<uint16_t>(c & 0xFF), static_cast<uint16_t>(c >> 8 & 0xFF),
                                           static_cast<uint16_t>(c >> 16 & 0xFF),
                                           static_cast<uint16_t>(c == clearColor ? 0 : 255)});
    return Make(s);
}

} // namespace PngBuild
