// The image streams, read back: run records or bits painted into a picture,
// whole in memory (FromRLE) or a window of rows at a time straight into a BMP
// file (SaveFromRLE).
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
