// The image streams, written: the whole picture in memory order (bottom row
// first, each row left to right, no row structure) as run records or as one
// bit per pixel, coded a slice of rows at a time.
#include <algorithm>
#include <cstring>
#include <memory>

#include "bitmap/PageAlloc.h"
#include "bitmap/RowScan.h"
#include "bitmap/cBitMap.h"

namespace {

using namespace RowScan;

constexpr uint32_t MaxCount = 127; // the longest run one record carries

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
// the current run waits for more pixels, also from one slice of rows to the
// next.
struct RunState {
    uint32_t cur = 0;   // value of the waiting record
    uint32_t count = 0; // its count, 0 when none waits
};

template <class Mode>
void EncodeRows(const uint8_t* pixels, int32_t width, int32_t rows, ptrdiff_t stride, RunState& state,
                StreamOut& out) {
    constexpr size_t Rec = Mode::Rec;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    uint32_t cur = state.cur;
    uint32_t count = state.count;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* row = pixels + y * stride;
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
    state.cur = cur;
    state.count = count;
}

template <class Mode>
void FinishRuns(const RunState& state, StreamOut& out) {
    if (state.count == 0) return;
    uint8_t* o = out.Room(Mode::Rec);
    Mode::Put(o, state.count, state.cur);
    out.Advance(o + Mode::Rec);
}

// Mode 1: one bit per pixel, set for pixels whose grey is 128 or more.
void PackRows(const uint8_t* pixels, int32_t width, int32_t rows, ptrdiff_t stride, uint64_t& bit,
              std::vector<uint8_t>& out) {
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* row = pixels + y * stride;
        for (size_t i = 0; i < rowBytes;) {
            uint32_t c;
            const size_t e = NextRun(row, i, rowBytes, c);
            uint64_t n = (e - i) / 3;
            i = e;
            const auto grey = ((c & 0xFF) + ((c >> 8) & 0xFF) + (c >> 16)) / 3;
            if (grey < 128) {
                bit += n;
                continue;
            }
            for (; n != 0 && bit % 8 != 0; --n, ++bit)
                out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
            const uint64_t bytes = n / 8;
            std::memset(out.data() + bit / 8, 0xFF, static_cast<size_t>(bytes));
            bit += bytes * 8;
            n -= bytes * 8;
            for (; n != 0; --n, ++bit)
                out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        }
    }
}

} // namespace

// What the encoder carries from one slice of rows to the next.
struct ImageStreamEncoder::State {
    State(uint8_t type, int32_t width, int32_t height)
        : Type(type), Width(width),
          Out(type == 1 ? 0 : RecordBytes(type) * static_cast<uint64_t>(width) * static_cast<uint64_t>(height)) {
        // P \ 8 + 1 bytes whatever the picture: the last byte holds the P mod 8
        // remaining bits, and is an extra 0 when there are none.
        if (Type == 1) Bits.assign(static_cast<size_t>(static_cast<uint64_t>(width) * static_cast<uint64_t>(height) / 8 + 1), 0);
    }
    static uint64_t RecordBytes(uint8_t type) { return type == 5 ? Rgb24::Rec : type == 4 ? Rgb565::Rec : Grey8::Rec; }

    uint8_t Type;
    int32_t Width;
    StreamOut Out;             // modes 2, 4 and 5
    RunState Runs;
    std::vector<uint8_t> Bits; // mode 1
    uint64_t Bit = 0;
};

ImageStreamEncoder::ImageStreamEncoder(uint8_t iType, int32_t Width, int32_t Height) {
    if (iType == 1 || iType == 2 || iType == 4 || iType == 5) state_ = std::make_unique<State>(iType, Width, Height);
}

ImageStreamEncoder::~ImageStreamEncoder() = default;

void ImageStreamEncoder::AddRows(const uint8_t* Rows, int32_t Count, ptrdiff_t Stride) {
    if (!state_) return;
    State& s = *state_;
    switch (s.Type) {
    case 1: PackRows(Rows, s.Width, Count, Stride, s.Bit, s.Bits); break;
    case 2: EncodeRows<Grey8>(Rows, s.Width, Count, Stride, s.Runs, s.Out); break;
    // Neighbours that differ only in dropped low bits give separate records
    // with the same bytes.
    case 4: EncodeRows<Rgb565>(Rows, s.Width, Count, Stride, s.Runs, s.Out); break;
    default: EncodeRows<Rgb24>(Rows, s.Width, Count, Stride, s.Runs, s.Out); break;
    }
}

std::vector<uint8_t> ImageStreamEncoder::Finish() {
    if (!state_) return {};
    State& s = *state_;
    std::vector<uint8_t> out;
    switch (s.Type) {
    case 1: out = std::move(s.Bits); break;
    case 2: FinishRuns<Grey8>(s.Runs, s.Out); break;
    case 4: FinishRuns<Rgb565>(s.Runs, s.Out); break;
    default: FinishRuns<Rgb24>(s.Runs, s.Out); break;
    }
    if (s.Type != 1) out = s.Out.Finish();
    state_.reset();
    return out;
}

std::vector<uint8_t> cBitMap::ToRLE(uint8_t iType) const {
    if (!Loaded_ || Pixels_.empty()) return {};
    ImageStreamEncoder encoder(iType, Header_.biWidth, Header_.biHeight);
    encoder.AddRows(Pixels_.data(), Header_.biHeight, Stride_);
    std::vector<uint8_t> out = encoder.Finish();
    // A stream far smaller than the room it was given keeps only what it needs.
    if (out.capacity() / 4 > out.size()) out.shrink_to_fit();
    return out;
}
