// PNG reading and writing through libspng. Rows are decoded one at a time
// straight into the 24-bit sheet layout, so a large picture never exists in
// a second, four-byte form.
#include "bitmap/PngFile.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace Png {

namespace {

struct CtxFree {
    void operator()(spng_ctx* c) const { spng_ctx_free(c); }
};
using Ctx = std::unique_ptr<spng_ctx, CtxFree>;

constexpr uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// Text, colour profiles and other side chunks are of no use for a sheet; these
// bound what a file can make the decoder hold for them.
constexpr size_t ChunkLimit = size_t{16} << 20;
constexpr size_t ChunkCacheLimit = size_t{64} << 20;
constexpr int ChunkCountLimit = 4096;

// DEFLATE turns one byte into at most about 1032, so a file whose pixels need
// more than that many times its size cannot hold them; the slack covers the
// smallest pictures.
constexpr uint64_t MaxInflateRatio = 1032;
constexpr uint64_t InflateSlack = 4096;

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

int Channels(uint8_t colorType) {
    switch (colorType) {
    case 2: return 3; // RGB
    case 4: return 2; // grey + alpha
    case 6: return 4; // RGBA
    default: return 1; // grey, palette
    }
}

// First column and column step of each Adam7 pass, and the same for rows.
constexpr int PassX0[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr int PassDX[7] = {8, 8, 4, 4, 2, 2, 1};
constexpr int PassY0[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr int PassDY[7] = {8, 8, 8, 4, 4, 2, 2};

// Rows the decoder hands over: one per picture row, or per row of each
// non-empty interlace pass.
uint64_t RowsToDecode(uint32_t width, uint32_t height, bool interlaced) {
    if (!interlaced) return height;
    uint64_t n = 0;
    for (int p = 0; p < 7; ++p)
        if (width > static_cast<uint32_t>(PassX0[p]) && height > static_cast<uint32_t>(PassY0[p]))
            n += (height - PassY0[p] + PassDY[p] - 1) / PassDY[p];
    return n;
}

ReadStatus Failed(int err) { return err == SPNG_EMEM ? ReadStatus::NoMemory : ReadStatus::Damaged; }

} // namespace

bool HasSignature(const uint8_t* data, size_t size) {
    return size >= sizeof Signature && std::memcmp(data, Signature, sizeof Signature) == 0;
}

ReadStatus Read(const uint8_t* data, size_t size, int32_t clearColor, Picture& out, const Progress& progress) {
    Ctx ctx(spng_ctx_new(0));
    if (!ctx) return ReadStatus::NoMemory;
    spng_set_image_limits(ctx.get(), cBitMap::MaxSide, cBitMap::MaxSide);
    spng_set_chunk_limits(ctx.get(), ChunkLimit, ChunkCacheLimit);
    spng_set_option(ctx.get(), SPNG_CHUNK_COUNT_LIMIT, ChunkCountLimit);
    if (spng_set_png_buffer(ctx.get(), data, size) != 0) return ReadStatus::Damaged;

    spng_ihdr ihdr{};
    int err = spng_get_ihdr(ctx.get(), &ihdr);
    if ((err == SPNG_EUSER_WIDTH || err == SPNG_EUSER_HEIGHT) && size >= 24) {
        // The header was read to get here: width and height follow the chunk's length and type.
        out.Width = static_cast<int32_t>(BigEndian32(data + 16) & 0x7FFFFFFF);
        out.Height = BigEndian32(data + 20);
        return ReadStatus::TooLarge;
    }
    if (err) return Failed(err);

    const auto width = static_cast<int32_t>(ihdr.width);
    const auto height = static_cast<int32_t>(ihdr.height);
    out.Width = width;
    out.Height = height;
    const uint64_t packedBits =
        uint64_t{ihdr.width} * ihdr.height * static_cast<uint64_t>(Channels(ihdr.color_type)) * ihdr.bit_depth;
    if (packedBits / 8 > MaxInflateRatio * size + InflateSlack) return ReadStatus::Damaged;

    const int32_t stride = ((24 * width + 31) / 32) * 4;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    ByteBuffer pixels = ByteBuffer::Uninitialized(static_cast<size_t>(stride) * static_cast<size_t>(height));
    if (pixels.empty()) return ReadStatus::NoMemory;
    ByteBuffer clear; // made at the first clear pixel

    err = spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    if (err) return Failed(err);

    const auto c = static_cast<uint32_t>(clearColor);
    const uint8_t key[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    const bool interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
    // A report every band of about 4 MB of pixels.
    const uint64_t rowsToDecode = RowsToDecode(ihdr.width, ihdr.height, interlaced);
    const uint64_t band = std::max<uint64_t>(1, (uint64_t{4} << 20) / static_cast<uint64_t>(stride));
    if (!progress.Report(0)) return ReadStatus::Cancelled;
    for (uint64_t decoded = 0;; ++decoded) {
        if (decoded % band == 0 && decoded != 0 &&
            !progress.Report(static_cast<double>(decoded) / static_cast<double>(rowsToDecode)))
            return ReadStatus::Cancelled;
        spng_row_info info{};
        err = spng_get_row_info(ctx.get(), &info);
        if (err) return Failed(err);
        err = spng_decode_row(ctx.get(), row.data(), row.size());
        if (err && err != SPNG_EOI) return Failed(err);
        if (info.row_num >= ihdr.height || info.pass < 0 || info.pass > 6) return ReadStatus::Damaged;

        // An interlaced pass fills only its own columns of the row.
        const int x0 = interlaced ? PassX0[info.pass] : 0;
        const int dx = interlaced ? PassDX[info.pass] : 1;
        const size_t y = static_cast<size_t>(height) - 1 - info.row_num;
        uint8_t* dst = pixels.data() + y * static_cast<size_t>(stride);
        for (int x = x0; x < width; x += dx) {
            const uint8_t* s = row.data() + static_cast<size_t>(x) * 4;
            uint8_t* d = dst + static_cast<size_t>(x) * 3;
            if (s[3] >= 128) {
                d[0] = s[2], d[1] = s[1], d[2] = s[0];
                continue;
            }
            std::memcpy(d, key, 3);
            if (clear.empty()) {
                clear = ByteBuffer::Zeroed(ClearStride(width) * static_cast<size_t>(height));
                if (clear.empty()) return ReadStatus::NoMemory;
            }
            clear.data()[y * ClearStride(width) + static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(1u << (x % 8));
        }
        std::memset(dst + rowBytes, 0, static_cast<size_t>(stride) - rowBytes);
        if (err == SPNG_EOI) break;
    }
    if (!progress.Report(1)) return ReadStatus::Cancelled;

    out.Stride = stride;
    out.Pixels = std::move(pixels);
    out.ClearBits = std::move(clear);
    return ReadStatus::Ok;
}

bool EncodeSheet(const cBitMap& sheet, int32_t maskColor, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (!sheet.Loaded() || sheet.Pixels().empty()) {
        error = "there is no picture to write";
        return false;
    }
    Ctx ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) {
        error = spng_strerror(SPNG_EMEM);
        return false;
    }
    const int32_t width = sheet.Width(), height = sheet.Height();
    spng_ihdr ihdr{};
    ihdr.width = static_cast<uint32_t>(width);
    ihdr.height = static_cast<uint32_t>(height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    int err = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (!err) err = spng_set_ihdr(ctx.get(), &ihdr);
    if (!err)
        err = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);

    const auto m = static_cast<uint32_t>(maskColor);
    const uint8_t key[3] = {static_cast<uint8_t>(m >> 16), static_cast<uint8_t>(m >> 8), static_cast<uint8_t>(m)};
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    for (int32_t y = 0; !err && y < height; ++y) {
        const uint8_t* s = sheet.Pixels().data() + static_cast<size_t>(height - 1 - y) * sheet.Stride();
        for (int32_t x = 0; x < width; ++x, s += 3) {
            uint8_t* d = row.data() + static_cast<size_t>(x) * 4;
            const bool masked = std::memcmp(s, key, 3) == 0;
            d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = masked ? 0 : 255;
        }
        err = spng_encode_row(ctx.get(), row.data(), row.size());
        if (err == SPNG_EOI && y == height - 1) err = 0;
    }
    size_t length = 0;
    void* png = err ? nullptr : spng_get_png_buffer(ctx.get(), &length, &err);
    if (!png) {
        error = spng_strerror(err ? err : SPNG_EMEM);
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(png);
    out.assign(bytes, bytes + length);
    std::free(png);
    return true;
}

} // namespace Png
