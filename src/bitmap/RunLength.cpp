// The image streams: the whole picture in memory order (bottom row first, each
// row left to right, no row structure) as run records or as one bit per pixel.
#include <algorithm>
#include <bit>
#include <cstring>

#include "base/Messages.h"
#include "bitmap/cBitMap.h"

namespace {

constexpr uint64_t MaxCount = 127; // the longest run one record carries

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

uint32_t Load24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

// Position of the first differing byte in memory order, given the XOR of two
// loads that differ.
unsigned FirstDiffByte(uint64_t x) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<unsigned>(std::countr_zero(x)) / 8;
    else
        return static_cast<unsigned>(std::countl_zero(x)) / 8;
}

// Byte offset just past the run of pixels equal to the pixel at byte i of a row.
// The pixels from i on all equal exactly while the bytes repeat with period 3,
// so comparing the row with itself shifted by one pixel finds the end sixteen
// bytes at a time. Loads never pass rowBytes.
size_t RunEnd(const uint8_t* row, size_t i, size_t rowBytes) {
    size_t j = i;
    while (j + 19 <= rowBytes) {
        const uint64_t d0 = Load64(row + j) ^ Load64(row + j + 3);
        const uint64_t d1 = Load64(row + j + 8) ^ Load64(row + j + 11);
        if (d0 | d1) {
            const size_t m = d0 ? j + FirstDiffByte(d0) : j + 8 + FirstDiffByte(d1);
            return i + ((m - i) / 3 + 1) * 3;
        }
        j += 16;
    }
    for (; j + 3 < rowBytes; ++j) {
        if (row[j] != row[j + 3]) return i + ((j - i) / 3 + 1) * 3;
    }
    return rowBytes;
}

// Calls emit(colour, count) for every maximal run of one colour in stream
// order; runs carry on from one row into the next. The colour is blue | green
// << 8 | red << 16.
template <class Emit>
void ForEachRun(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, Emit&& emit) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    uint32_t cur = 0;
    uint64_t len = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        size_t i = 0;
        while (i < rowBytes) {
            const uint32_t c = Load24(row + i);
            const size_t e = RunEnd(row, i, rowBytes);
            const uint64_t n = (e - i) / 3;
            if (len != 0 && c == cur) {
                len += n;
            } else {
                if (len != 0) emit(cur, len);
                cur = c;
                len = n;
            }
            i = e;
        }
    }
    if (len != 0) emit(cur, len);
}

// A growing output stream. The vector is extended in small steps, so the zero
// fill of each step is still in cache when the records overwrite it.
class StreamOut {
public:
    explicit StreamOut(uint64_t expected) {
        constexpr uint64_t cap = uint64_t{1} << 28; // address space only: pages come when written
        v_.reserve(static_cast<size_t>(std::min(expected, cap)));
    }
    uint8_t* Take(size_t n) {
        if (n > v_.size() - pos_) v_.resize(std::max(v_.size() + 65536, pos_ + n));
        uint8_t* p = v_.data() + pos_;
        pos_ += n;
        return p;
    }
    std::vector<uint8_t> Finish() {
        v_.resize(pos_);
        if (v_.capacity() / 4 > v_.size()) v_.shrink_to_fit();
        return std::move(v_);
    }

private:
    std::vector<uint8_t> v_;
    size_t pos_ = 0;
};

// Appends a run of n pixels of one value (Rec - 1 value bytes) as records of
// 127 followed by the rest, exactly as a pixel-by-pixel encoder that closes a
// run at 127 would.
template <size_t Rec>
void PutRun(StreamOut& out, uint64_t n, const uint8_t* value) {
    const uint64_t full = n / MaxCount;
    const uint64_t rest = n % MaxCount;
    uint8_t* p = out.Take(static_cast<size_t>((full + (rest ? 1 : 0)) * Rec));
    uint8_t rec[Rec];
    rec[0] = static_cast<uint8_t>(MaxCount);
    std::memcpy(rec + 1, value, Rec - 1);
    for (uint64_t k = 0; k < full; ++k, p += Rec) std::memcpy(p, rec, Rec);
    if (rest) {
        rec[0] = static_cast<uint8_t>(rest);
        std::memcpy(p, rec, Rec);
    }
}

// Writes runs of one colour into a zeroed bottom-up buffer, pixel cursor first
// along the row, then up to the next; stops for good after the last pixel.
class Painter {
public:
    Painter(uint8_t* pixels, int32_t width, int32_t height, int32_t stride)
        : row_(pixels), rowBytes_(static_cast<size_t>(width) * 3), stride_(static_cast<size_t>(stride)),
          rowsLeft_(height) {}

    bool Done() const { return rowsLeft_ == 0; }

    void Paint(uint64_t n, uint8_t b, uint8_t g, uint8_t r) {
        const bool black = (b | g | r) == 0; // the buffer already is
        while (n != 0 && rowsLeft_ != 0) {
            const size_t k = static_cast<size_t>(std::min<uint64_t>(n, (rowBytes_ - x_) / 3));
            if (!black) Fill(row_ + x_, k, b, g, r);
            x_ += 3 * k;
            n -= k;
            if (x_ == rowBytes_) {
                x_ = 0;
                row_ += stride_;
                --rowsLeft_;
            }
        }
    }

private:
    static void Fill(uint8_t* dst, size_t k, uint8_t b, uint8_t g, uint8_t r) {
        if (k >= 16) {
            uint8_t pat[48];
            for (int i = 0; i < 16; ++i) {
                pat[3 * i] = b;
                pat[3 * i + 1] = g;
                pat[3 * i + 2] = r;
            }
            for (; k >= 16; k -= 16, dst += 48) std::memcpy(dst, pat, 48);
        }
        for (; k != 0; --k, dst += 3) {
            dst[0] = b;
            dst[1] = g;
            dst[2] = r;
        }
    }

    uint8_t* row_;
    size_t x_ = 0;
    size_t rowBytes_;
    size_t stride_;
    int32_t rowsLeft_;
};

// Decodes Rec-byte run records. A record that repeats the value of the one
// before continues the same fill. A cut-short last record paints nothing.
template <size_t Rec, class Decode>
void DecodeRuns(const std::vector<uint8_t>& data, Painter& painter, Decode decode) {
    const uint8_t* d = data.data();
    const size_t size = data.size();
    size_t p = 0;
    while (size - p >= Rec && !painter.Done()) {
        uint64_t n = d[p];
        const uint8_t* value = d + p + 1;
        p += Rec;
        while (size - p >= Rec && std::memcmp(d + p + 1, value, Rec - 1) == 0) {
            n += d[p];
            p += Rec;
        }
        uint8_t b, g, r;
        decode(value, b, g, r);
        painter.Paint(n, b, g, r);
    }
}

uint8_t Full(uint8_t c) { return c >= 0xF8 ? 0xFF : c; }

} // namespace

std::vector<uint8_t> cBitMap::ToRLE(uint8_t iType) const {
    if (!Loaded_ || Pixels_.empty()) return {};
    switch (iType) {
    case 1: return PackBW();
    case 2: return RLEGrey();
    case 4: return RLE16();
    case 5: return RLE24();
    default: return {};
    }
}

std::vector<uint8_t> cBitMap::RLE24() const {
    StreamOut out(uint64_t{4} * static_cast<uint64_t>(Header_.biWidth) * static_cast<uint64_t>(Header_.biHeight));
    ForEachRun(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_, [&](uint32_t c, uint64_t n) {
        const uint8_t value[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                  static_cast<uint8_t>(c)}; // red, green, blue
        PutRun<4>(out, n, value);
    });
    return out.Finish();
}

std::vector<uint8_t> cBitMap::RLE16() const {
    // Runs follow the full colour, so neighbours that differ only in dropped
    // low bits give separate records with the same bytes.
    StreamOut out(uint64_t{3} * static_cast<uint64_t>(Header_.biWidth) * static_cast<uint64_t>(Header_.biHeight));
    ForEachRun(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_, [&](uint32_t c, uint64_t n) {
        const uint8_t blue = static_cast<uint8_t>(c), green = static_cast<uint8_t>(c >> 8),
                      red = static_cast<uint8_t>(c >> 16);
        const uint8_t value[2] = {static_cast<uint8_t>((red & 0xF8) | (green >> 5)),
                                  static_cast<uint8_t>(((green & 0x1C) << 3) | (blue >> 3))};
        PutRun<3>(out, n, value);
    });
    return out.Finish();
}

std::vector<uint8_t> cBitMap::RLEGrey() const {
    StreamOut out(uint64_t{2} * static_cast<uint64_t>(Header_.biWidth) * static_cast<uint64_t>(Header_.biHeight));
    // Different colours may share a grey level: their runs join.
    uint8_t grey = 0;
    uint64_t len = 0;
    ForEachRun(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_, [&](uint32_t c, uint64_t n) {
        const uint8_t g = GreyOf(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c));
        if (len != 0 && g == grey) {
            len += n;
            return;
        }
        if (len != 0) PutRun<2>(out, len, &grey);
        grey = g;
        len = n;
    });
    if (len != 0) PutRun<2>(out, len, &grey);
    return out.Finish();
}

std::vector<uint8_t> cBitMap::PackBW() const {
    // P \ 8 + 1 bytes whatever the picture: the last byte holds the P mod 8
    // remaining bits, and is an extra 0 when there are none.
    const uint64_t pixels = static_cast<uint64_t>(Header_.biWidth) * static_cast<uint64_t>(Header_.biHeight);
    std::vector<uint8_t> out(static_cast<size_t>(pixels / 8 + 1), 0);
    uint64_t bit = 0;
    ForEachRun(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_, [&](uint32_t c, uint64_t n) {
        const uint8_t g = GreyOf(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c));
        if (g < 128) {
            bit += n;
            return;
        }
        for (; n != 0 && bit % 8 != 0; --n, ++bit) out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        const uint64_t bytes = n / 8;
        std::memset(out.data() + bit / 8, 0xFF, static_cast<size_t>(bytes));
        bit += bytes * 8;
        n -= bytes * 8;
        for (; n != 0; --n, ++bit) out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    });
    return out;
}

bool cBitMap::FromRLE(int32_t Width, int32_t Height, uint8_t iType, int32_t /*Mask*/,
                      const std::vector<uint8_t>& Data) {
    if (Data.size() < 2 || Width <= 0 || Height <= 0 || Width > MaxSide || Height > MaxSide) return false;
    if (iType != 1 && iType != 2 && iType != 4 && iType != 5) return false; // no record format to read

    const int32_t stride = ((24 * Width + 31) / 32) * 4;
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(Height);
    // All three start zeroed: pixels the stream never reaches stay black, and
    // the mask pair stays black until GenMask runs.
    ByteBuffer pixels = ByteBuffer::Zeroed(bytes);
    ByteBuffer mask = ByteBuffer::Zeroed(bytes);
    ByteBuffer sprite = ByteBuffer::Zeroed(bytes);
    if (pixels.empty() || mask.empty() || sprite.empty()) {
        MsgBox("There is not enough memory for a picture of " + std::to_string(Width) + " x " +
                   std::to_string(Height) + " pixels.",
               MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return false;
    }

    Painter painter(pixels.data(), Width, Height, stride);
    switch (iType) {
    case 1:
        for (size_t p = 0; p < Data.size() && !painter.Done(); ++p) {
            const uint8_t byte = Data[p];
            if (byte == 0x00 || byte == 0xFF) {
                painter.Paint(8, byte, byte, byte);
                continue;
            }
            for (int k = 0; k < 8; ++k) {
                const uint8_t v = ((byte >> k) & 1) ? 0xFF : 0x00;
                painter.Paint(1, v, v, v);
            }
        }
        break;
    case 2:
        DecodeRuns<2>(Data, painter, [](const uint8_t* v, uint8_t& b, uint8_t& g, uint8_t& r) { b = g = r = v[0]; });
        break;
    case 4:
        DecodeRuns<3>(Data, painter, [](const uint8_t* v, uint8_t& b, uint8_t& g, uint8_t& r) {
            const uint8_t high = v[0], low = v[1];
            r = Full(high & 0xF8);
            g = Full(static_cast<uint8_t>(((high & 7) << 5) + ((low >> 3) & 0x1C)));
            b = Full(static_cast<uint8_t>((low & 0x1F) << 3));
        });
        break;
    default:
        DecodeRuns<4>(Data, painter, [](const uint8_t* v, uint8_t& b, uint8_t& g, uint8_t& r) {
            r = v[0];
            g = v[1];
            b = v[2];
        });
        break;
    }

    // Resolution and palette fields keep what they held.
    Header_.biSize = 40;
    Header_.biWidth = Width;
    Header_.biHeight = Height;
    Header_.biPlanes = 1;
    Header_.biBitCount = 24;
    Header_.biCompression = 0;
    Header_.biSizeImage = static_cast<uint32_t>(bytes);
    Stride_ = stride;
    RowPad_ = static_cast<int16_t>(stride - (24 * Width + 7) / 8);
    Pixels_ = std::move(pixels);
    MaskBits_ = std::move(mask);
    SpriteBits_ = std::move(sprite);
    Loaded_ = true;
    return true;
}
