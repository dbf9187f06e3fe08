// The image streams: the whole picture in memory order (bottom row first, each
// row left to right, no row structure) as run records or as one bit per pixel.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Messages.h"
#include "bitmap/BmpFile.h"
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

// Writes runs of one colour into a bottom-up buffer of any contents, the
// cursor going along a row and then on to the next; stops for good after the
// last pixel. Padding is zeroed as rows are finished, and Finish() blackens
// whatever the stream did not reach. The buffer may be a window of fewer rows
// than the picture: each time it is full (and at the end) its rows go to the
// sink, and painting goes on from the top of the window the sink gives back,
// or stops for good when it gives none.
class Painter {
public:
    // Takes the finished rows of a window (bytes of whole rows from its start)
    // and gives the window of the same size to paint next, or nullptr to stop.
    using Sink = uint8_t* (*)(void* context, uint8_t* rows, size_t bytes);

    Painter(uint8_t* pixels, int32_t width, int32_t height, int32_t stride, int32_t windowRows = 0,
            Sink sink = nullptr, void* context = nullptr)
        : window_(pixels), windowEnd_(pixels + static_cast<size_t>(stride) * static_cast<size_t>(windowRows ? windowRows : height)),
          row_(pixels), dst_(pixels), width_(static_cast<size_t>(width)), left_(static_cast<size_t>(width)),
          stride_(static_cast<size_t>(stride)), rowsLeft_(height), sink_(sink), context_(context) {}

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
                --rowsLeft_;
                if (row_ == windowEnd_ || rowsLeft_ == 0) Hand();
                dst_ = row_;
                // None left after the last row: Quick then takes nothing either.
                left_ = rowsLeft_ != 0 ? width_ : 0;
            }
        }
    }

    void Finish() {
        while (rowsLeft_ != 0) {
            // Black to the end of the window or of the picture, whichever is first.
            const size_t rows = std::min(static_cast<size_t>(rowsLeft_), static_cast<size_t>(windowEnd_ - row_) / stride_);
            std::memset(dst_, 0, static_cast<size_t>(row_ + stride_ * rows - dst_));
            row_ += stride_ * rows;
            rowsLeft_ -= static_cast<int32_t>(rows);
            Hand();
            dst_ = row_;
            left_ = width_;
        }
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

    void Hand() {
        if (!sink_) return;
        uint8_t* next = sink_(context_, window_, static_cast<size_t>(row_ - window_));
        if (!next) {
            rowsLeft_ = 0; // stopped: nothing more is painted anywhere
            return;
        }
        windowEnd_ = next + (windowEnd_ - window_);
        window_ = row_ = next;
    }

    uint8_t* window_;
    uint8_t* windowEnd_;
    uint8_t* row_;
    uint8_t* dst_;
    size_t width_;
    size_t left_;
    size_t stride_;
    int32_t rowsLeft_;
    Sink sink_;
    void* context_;
};

// Sends full windows of rows to the file on a thread of its own while the
// next ones are painted, so painting and copying into the file overlap. The
// windows are used in turn; one is painted again only once it is written.
// Nothing here talks to the user: a failed write is kept in the writer.
class BackgroundRows {
public:
    BackgroundRows(Bmp::Writer& out, size_t windowBytes)
        : out_(out), windowBytes_(windowBytes), buffer_(new uint8_t[Windows * windowBytes]),
          worker_([this] { Run(); }) {}
    ~BackgroundRows() { Close(false); }
    BackgroundRows(const BackgroundRows&) = delete;
    BackgroundRows& operator=(const BackgroundRows&) = delete;

    uint8_t* First() { return Window(0); }

    // Queues the first n bytes of the window last given out; gives the next
    // window once it is free, or nullptr when a write has failed.
    uint8_t* Hand(size_t n) {
        std::unique_lock lock(mutex_);
        sizes_[queued_ % Windows] = n;
        ++queued_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return failed_ || queued_ - written_ < Windows; });
        return failed_ ? nullptr : Window(queued_ % Windows);
    }

    // Writes what is queued (or drops it) and ends the thread; true when every
    // queued window was written.
    bool Close(bool writeQueued) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            if (!writeQueued) dropped_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable()) worker_.join();
        return !failed_ && !dropped_;
    }

private:
    static constexpr size_t Windows = 3;

    uint8_t* Window(size_t i) { return buffer_.get() + i * windowBytes_; }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return written_ < queued_ || closing_; });
            if (written_ == queued_ || dropped_) return;
            const size_t i = written_ % Windows, n = sizes_[i];
            if (!failed_) { // after a failure the rest is only counted off
                lock.unlock();
                const bool ok = out_.Put(Window(i), n);
                lock.lock();
                if (!ok) failed_ = true;
            }
            ++written_;
            changed_.notify_all();
        }
    }

    Bmp::Writer& out_;
    const size_t windowBytes_;
    std::unique_ptr<uint8_t[]> buffer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t sizes_[Windows] = {};
    size_t queued_ = 0, written_ = 0;
    bool closing_ = false, dropped_ = false, failed_ = false;
    std::thread worker_; // last: started once everything it uses is ready
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

// Paints an image stream of depth mode iType (1, 2, 4 or 5).
void PaintStream(uint8_t iType, const std::vector<uint8_t>& Data, Painter& painter) {
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
}

// What FromRLE refuses: too short a stream, an impossible size, a mode without records.
bool Rebuildable(int32_t width, int32_t height, uint8_t iType, const std::vector<uint8_t>& data) {
    if (data.size() < 2 || width <= 0 || height <= 0 || width > cBitMap::MaxSide || height > cBitMap::MaxSide)
        return false;
    return iType == 1 || iType == 2 || iType == 4 || iType == 5; // no record format to read otherwise
}

// The fields of an info header that describe a rebuilt 24-bit picture; the
// resolution and palette fields are left as they are.
void DescribePicture(BitmapInfoHeader& h, int32_t width, int32_t height, size_t bytes) {
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = 0;
    h.biSizeImage = static_cast<uint32_t>(bytes);
}

// The info header FromRLE gives a new cBitMap.
BitmapInfoHeader RebuiltHeader(int32_t width, int32_t height, size_t bytes) {
    BitmapInfoHeader h;
    DescribePicture(h, width, height, bytes);
    return h;
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

bool cBitMap::FromRLE(int32_t Width, int32_t Height, uint8_t iType, int32_t /*Mask*/,
                      const std::vector<uint8_t>& Data) {
    if (!Rebuildable(Width, Height, iType, Data)) return false;

    const int32_t stride = ((24 * Width + 31) / 32) * 4;
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(Height);
    // Every pixel byte is written below (black where the stream does not
    // reach); there is no mask until GenMask runs.
    ByteBuffer pixels = ByteBuffer::Uninitialized(bytes);
    if (pixels.empty()) {
        MsgBox("There is not enough memory for a picture of " + std::to_string(Width) + " x " +
                   std::to_string(Height) + " pixels.",
               MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return false;
    }

    Painter painter(pixels.data(), Width, Height, stride);
    PaintStream(iType, Data, painter);
    painter.Finish();

    // Resolution and palette fields keep what they held.
    DescribePicture(Header_, Width, Height, bytes);
    Stride_ = stride;
    RowPad_ = static_cast<int16_t>(stride - (24 * Width + 7) / 8);
    Pixels_ = std::move(pixels);
    HasMask_ = false;
    ClearBits_ = ByteBuffer();
    Stamp_ = FileStamp();
    Loaded_ = true;
    return true;
}

cBitMap::StreamSave cBitMap::SaveFromRLE(const std::string& ToFile, int32_t Width, int32_t Height, uint8_t iType,
                                         const std::vector<uint8_t>& Data, const Progress& progress) {
    if (!Rebuildable(Width, Height, iType, Data)) return StreamSave::Refused;
    if (!progress.Report(0)) return StreamSave::Cancelled;
    const int32_t stride = Bmp::StrideFor(Width);
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(Height);
    Bmp::Writer out(ToFile);
    if (!out.Open(RebuiltHeader(Width, Height, bytes), bytes)) return StreamSave::Failed;

    // Windows of rows small enough to stay in the cache from the painting to
    // the copy into the file.
    constexpr size_t WindowBytes = size_t{1} << 20;
    const int32_t windowRows =
        static_cast<int32_t>(std::clamp<size_t>(WindowBytes / static_cast<size_t>(stride), 1, static_cast<size_t>(Height)));
    BackgroundRows rows(out, static_cast<size_t>(windowRows) * static_cast<size_t>(stride));
    struct Handing {
        BackgroundRows& Rows;
        const Progress& Steps;
        size_t Stride;
        int32_t Height;
        int32_t Done;
    } handing{rows, progress, static_cast<size_t>(stride), Height, 0};
    Painter painter(rows.First(), Width, Height, stride, windowRows,
                    [](void* context, uint8_t*, size_t n) -> uint8_t* {
                        auto& h = *static_cast<Handing*>(context);
                        h.Done += static_cast<int32_t>(n / h.Stride);
                        // The rows of a stopped save are not worth writing.
                        if (!h.Steps.Report(0.9 * h.Done / h.Height)) return nullptr;
                        return h.Rows.Hand(n);
                    },
                    &handing);
    PaintStream(iType, Data, painter);
    painter.Finish();
    const bool written = rows.Close(!progress.Cancelled());
    if (!progress.Cancelled()) {
        if (!written) {
            out.Commit(); // shows the failure the writing thread kept
            return StreamSave::Failed;
        }
        // The last report comes before the file takes the target's name, so a
        // save stopped there too leaves the target as it was.
        if (progress.Report(1)) return out.Commit() ? StreamSave::Saved : StreamSave::Failed;
    }
    out.Discard();
    return StreamSave::Cancelled;
}
