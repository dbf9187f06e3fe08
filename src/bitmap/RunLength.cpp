// The image streams: the whole picture in memory order (bottom row first, each
// row left to right, no row structure) as run records or as one bit per pixel.
#include <algorithm>
#include <cstring>

#include "base/Messages.h"
#include "bitmap/PageAlloc.h"
#include "bitmap/RowScan.h"
#include "bitmap/cBitMap.h"

namespace {

using namespace RowScan;

constexpr uint32_t MaxCount = 127; // the longest run one record carries

// Calls emit(colour, count) for every maximal run of one colour in stream
// order; runs carry on from one row into the next.
template <class Emit>
void ForEachRun(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, Emit&& emit) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    uint32_t cur = 0;
    uint64_t len = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        for (size_t i = 0; i < rowBytes;) {
            uint32_t c;
            const size_t e = NextRun(row, i, rowBytes, c);
            const uint64_t n = (e - i) / 3;
            i = e;
            if (len != 0 && c == cur) {
                len += n;
            } else {
                if (len != 0) emit(cur, len);
                cur = c;
                len = n;
            }
        }
    }
    if (len != 0) emit(cur, len);
}

// A growing output stream written through raw pointers: Room() makes space,
// Advance() keeps what was written. The vector grows in small steps, so the
// zero fill of each step is still in cache when the records overwrite it.
class StreamOut {
public:
    explicit StreamOut(uint64_t expected) {
        constexpr uint64_t cap = uint64_t{1} << 28; // address space only: pages come when written
        v_.reserve(static_cast<size_t>(std::min(expected, cap)));
        PageAlloc::AdviseHuge(v_.data(), v_.capacity());
    }
    uint8_t* Room(size_t n) {
        if (n > v_.size() - pos_) {
            const size_t oldCap = v_.capacity();
            v_.resize(std::max(v_.size() + 65536, pos_ + n));
            if (v_.capacity() != oldCap)
                PageAlloc::AdviseHuge(v_.data() + v_.size(), v_.capacity() - v_.size());
        }
        return v_.data() + pos_;
    }
    void Advance(const uint8_t* end) { pos_ = static_cast<size_t>(end - v_.data()); }
    std::vector<uint8_t> Finish() {
        v_.resize(pos_);
        if (v_.capacity() / 4 > v_.size()) v_.shrink_to_fit();
        return std::move(v_);
    }

private:
    std::vector<uint8_t> v_;
    size_t pos_ = 0;
};

// Value of a run and its record bytes, per mode.
struct Rgb24 { // mode 5: count, red, green, blue
    static constexpr size_t Rec = 4;
    // The key is the record itself with count 0: blue | green << 8 | red << 16
    // becomes the bytes 0, red, green, blue in memory order.
    static uint32_t Key(uint32_t c) {
        if constexpr (Little)
            return ((c >> 8) & 0xFF00) | ((c << 8) & 0xFF0000) | (c << 24);
        else
            return c;
    }
    static void Put(uint8_t* o, uint32_t count, uint32_t key) {
        const uint32_t v = Little ? (key | count) : (key | (count << 24));
        std::memcpy(o, &v, 4);
    }
};

struct Rgb565 { // mode 4: count, high, low; runs follow the full colour
    static constexpr size_t Rec = 3;
    static uint32_t Key(uint32_t c) { return c; }
    static void Put(uint8_t* o, uint32_t count, uint32_t c) {
        const uint32_t blue = c & 0xFF, green = (c >> 8) & 0xFF, red = (c >> 16) & 0xFF;
        o[0] = static_cast<uint8_t>(count);
        o[1] = static_cast<uint8_t>((red & 0xF8) | (green >> 5));
        o[2] = static_cast<uint8_t>(((green & 0x1C) << 3) | (blue >> 3));
    }
};

struct Grey8 { // mode 2: count, grey; colours of one grey level share a run
    static constexpr size_t Rec = 2;
    static uint32_t Key(uint32_t c) { return ((c & 0xFF) + ((c >> 8) & 0xFF) + (c >> 16)) / 3; }
    static void Put(uint8_t* o, uint32_t count, uint32_t grey) {
        o[0] = static_cast<uint8_t>(count);
        o[1] = static_cast<uint8_t>(grey);
    }
};

// Run records in stream order, the same as a pixel-by-pixel encoder that
// closes a run when its value changes or its count reaches 127: full records
// are written as soon as they are complete, and only the partial record of
// the current run waits for more pixels.
template <class Mode>
std::vector<uint8_t> EncodeRuns(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride) {
    constexpr size_t Rec = Mode::Rec;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    StreamOut out(Rec * static_cast<uint64_t>(width) * static_cast<uint64_t>(height));
    uint32_t cur = 0;   // value of the waiting record
    uint32_t count = 0; // its count, 0 when none waits
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        // A run of n pixels writes at most n records, so a row needs room for
        // one record per pixel.
        uint8_t* o = out.Room(Rec * static_cast<size_t>(width));
        for (size_t i = 0; i < rowBytes;) {
            uint32_t c;
            const size_t e = NextRun(row, i, rowBytes, c);
            uint64_t n = (e - i) / 3;
            i = e;
            const uint32_t key = Mode::Key(c);
            if (count != 0 && key == cur) {
                n += count;
            } else {
                if (count != 0) {
                    Mode::Put(o, count, cur);
                    o += Rec;
                }
                cur = key;
            }
            if (n < MaxCount) {
                count = static_cast<uint32_t>(n);
                if (n != 1) continue;
                // Pixels unlike both neighbours, as long as they last: each
                // closes the waiting record and waits itself.
                while (Little && i + 8 <= rowBytes) {
                    const uint64_t v = Load64(row + i);
                    const uint32_t here = static_cast<uint32_t>(v) & 0xFFFFFF;
                    if ((static_cast<uint32_t>(v >> 24) & 0xFFFFFF) == here) break;
                    const uint32_t k = Mode::Key(here);
                    if (k == cur) break;
                    Mode::Put(o, 1, cur);
                    o += Rec;
                    cur = k;
                    i += 3;
                }
                continue;
            }
            const uint64_t full = n / MaxCount;
            count = static_cast<uint32_t>(n % MaxCount);
            uint8_t rec[Rec];
            Mode::Put(rec, MaxCount, cur);
            for (uint64_t k = 0; k < full; ++k, o += Rec)
                std::memcpy(o, rec, Rec);
        }
        out.Advance(o);
    }
    if (count != 0) {
        uint8_t* o = out.Room(Rec);
        Mode::Put(o, count, cur);
        out.Advance(o + Rec);
    }
    return out.Finish();
}

// Writes runs of one colour into a bottom-up buffer of any contents, the
// cursor going along a row and then on to the next; stops for good after the
// last pixel. Padding is zeroed as rows are finished, and Finish() blackens
// whatever the stream did not reach.
class Painter {
public:
    Painter(uint8_t* pixels, int32_t width, int32_t height, int32_t stride)
        : row_(pixels), dst_(pixels), width_(static_cast<size_t>(width)), left_(static_cast<size_t>(width)),
          stride_(static_cast<size_t>(stride)), rowsLeft_(height) {}

    bool Done() const { return rowsLeft_ == 0; }

    // Short runs that end before the row's last pixel: four-byte stores, the
    // fourth byte landing on the next pixel, which is written after it.
    bool Quick(uint64_t n, uint32_t pixel) {
        if (n >= 16 || n >= left_) return false;
        for (uint64_t k = 0; k < n; ++k, dst_ += 3)
            std::memcpy(dst_, &pixel, 4);
        left_ -= static_cast<size_t>(n);
        return true;
    }

    void Paint(uint64_t n, uint32_t pixel) {
        while (n != 0 && rowsLeft_ != 0) {
            const size_t k = n < left_ ? static_cast<size_t>(n) : left_;
            Fill(dst_, k, pixel);
            dst_ += 3 * k;
            left_ -= k;
            n -= k;
            if (left_ == 0) {
                std::memset(dst_, 0, stride_ - 3 * width_);
                row_ += stride_;
                dst_ = row_;
                left_ = width_;
                --rowsLeft_;
            }
        }
    }

    void Finish() {
        if (rowsLeft_ == 0) return;
        std::memset(dst_, 0, static_cast<size_t>(row_ + stride_ * static_cast<size_t>(rowsLeft_) - dst_));
        rowsLeft_ = 0;
    }

private:
    // k pixels at dst, which may end at the row's end: no byte past them is touched.
    static void Fill(uint8_t* dst, size_t k, uint32_t pixel) {
        uint8_t px[4];
        std::memcpy(px, &pixel, 4);
        if (k >= 16 && Little) {
            // Eight pixels in three words, built in registers.
            const uint64_t v = pixel & 0xFFFFFF;
            const uint64_t w[3] = {v | v << 24 | v << 48, v >> 16 | v << 8 | v << 32 | v << 56,
                                   v >> 8 | v << 16 | v << 40};
            uint8_t* const end = dst + 3 * k;
            for (; dst + 48 <= end; dst += 48) {
                std::memcpy(dst, w, 24);
                std::memcpy(dst + 24, w, 24);
            }
            // The rest: 16 pixels ending at the end, over some already written.
            if (dst != end) {
                std::memcpy(end - 48, w, 24);
                std::memcpy(end - 24, w, 24);
            }
            return;
        }
        for (; k != 0; --k, dst += 3)
            std::memcpy(dst, px, 3);
    }

    uint8_t* row_;
    uint8_t* dst_;
    size_t width_;
    size_t left_;
    size_t stride_;
    int32_t rowsLeft_;
};

template <size_t N> inline bool SameValue(const uint8_t* a, const uint8_t* b) {
    for (size_t k = 0; k < N; ++k)
        if (a[k] != b[k]) return false;
    return true;
}

// Decodes Rec-byte run records; decode(value bytes) gives the packed pixel.
// Longer runs take the records that repeat their value along, so a long run
// of 127-records is one fill. A cut-short last record paints nothing.
template <size_t Rec, class Decode>
void DecodeRuns(const std::vector<uint8_t>& data, Painter& painter, Decode decode) {
    const uint8_t* d = data.data();
    const size_t size = data.size();
    size_t p = 0;
    while (size - p >= Rec) {
        uint64_t n = d[p];
        const uint8_t* value = d + p + 1;
        const uint32_t pixel = decode(value);
        p += Rec;
        if (painter.Quick(n, pixel)) continue;
        while (size - p >= Rec && SameValue<Rec - 1>(d + p + 1, value)) {
            n += d[p];
            p += Rec;
        }
        painter.Paint(n, pixel);
        if (painter.Done()) return;
    }
}

uint8_t Full(uint8_t c) {
    return c >= 0xF8 ? 0xFF : c;
}

} // namespace

std::vector<uint8_t> cBitMap::ToRLE(uint8_t iType) const {
    if (!Loaded_ || Pixels_.empty()) return {};
    switch (iType) {
    case 1:
        return PackBW();
    case 2:
        return RLEGrey();
    case 4:
        return RLE16();
    case 5:
        return RLE24();
    default:
        return {};
    }
}

std::vector<uint8_t> cBitMap::RLE24() const {
    return EncodeRuns<Rgb24>(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_);
}

std::vector<uint8_t> cBitMap::RLE16() const {
    // Neighbours that differ only in dropped low bits give separate records
    // with the same bytes.
    return EncodeRuns<Rgb565>(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_);
}

std::vector<uint8_t> cBitMap::RLEGrey() const {
    return EncodeRuns<Grey8>(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_);
}

std::vector<uint8_t> cBitMap::PackBW() const {
    // P \ 8 + 1 bytes whatever the picture: the last byte holds the P mod 8
    // remaining bits, and is an extra 0 when there are none.
    const uint64_t pixels = static_cast<uint64_t>(Header_.biWidth) * static_cast<uint64_t>(Header_.biHeight);
    std::vector<uint8_t> out(static_cast<size_t>(pixels / 8 + 1), 0);
    uint64_t bit = 0;
    ForEachRun(Pixels_.data(), Header_.biWidth, Header_.biHeight, Stride_, [&](uint32_t c, uint64_t n) {
        const uint8_t g =
            GreyOf(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c));
        if (g < 128) {
            bit += n;
            return;
        }
        for (; n != 0 && bit % 8 != 0; --n, ++bit)
            out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        const uint64_t bytes = n / 8;
        std::memset(out.data() + bit / 8, 0xFF, static_cast<size_t>(bytes));
        bit += bytes * 8;
        n -= bytes * 8;
        for (; n != 0; --n, ++bit)
            out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    });
    return out;
}

bool cBitMap::FromRLE(int32_t Width, int32_t Height, uint8_t iType, int32_t /*Mask*/,
                      const std::vector<uint8_t>& Data) {
    if (Data.size() < 2 || Width <= 0 || Height <= 0 || Width > MaxSide || Height > MaxSide) return false;
    if (iType != 1 && iType != 2 && iType != 4 && iType != 5) return false; // no record format to read

    const int32_t stride = ((24 * Width + 31) / 32) * 4;
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(Height);
    // Every pixel byte is written below (black where the stream does not
    // reach); the mask pair starts zeroed and stays black until GenMask runs.
    ByteBuffer pixels = ByteBuffer::Uninitialized(bytes);
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
    case 1: {
        const uint32_t white = PackPixel(0xFF, 0xFF, 0xFF), black = 0;
        for (size_t p = 0; p < Data.size() && !painter.Done(); ++p) {
            const uint8_t byte = Data[p];
            if (byte == 0x00 || byte == 0xFF) {
                painter.Paint(8, byte ? white : black);
                continue;
            }
            for (int k = 0; k < 8; ++k)
                painter.Paint(1, ((byte >> k) & 1) ? white : black);
        }
        break;
    }
    case 2:
        DecodeRuns<2>(Data, painter, [](const uint8_t* v) { return PackPixel(v[0], v[0], v[0]); });
        break;
    case 4:
        DecodeRuns<3>(Data, painter, [](const uint8_t* v) {
            const uint8_t high = v[0], low = v[1];
            return PackPixel(Full(static_cast<uint8_t>((low & 0x1F) << 3)),
                             Full(static_cast<uint8_t>(((high & 7) << 5) + ((low >> 3) & 0x1C))),
                             Full(high & 0xF8));
        });
        break;
    default:
        DecodeRuns<4>(Data, painter, [](const uint8_t* v) { return PackPixel(v[2], v[1], v[0]); });
        break;
    }

    painter.Finish();

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
    ClearBits_ = ByteBuffer();
    Stamp_ = FileStamp();
    Loaded_ = true;
    return true;
}
