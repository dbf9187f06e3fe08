// The bitmap surface: buffers, BMP files, drawing and the transparency mask.
// The run-length streams live in RunLengthEncode.cpp and RunLengthDecode.cpp.
#include "bitmap/cBitMap.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "bitmap/BmpFile.h"
#include "bitmap/PageAlloc.h"
#include "bitmap/PngFile.h"
#include "bitmap/RowScan.h"

ByteBuffer ByteBuffer::Zeroed(size_t n) {
    ByteBuffer b;
    if (n >= PageAlloc::MapThreshold) {
        size_t mapped = 0;
        uint8_t* p = static_cast<uint8_t*>(PageAlloc::MapZeroed(n, mapped));
        b.data_ = std::unique_ptr<uint8_t, Free>(p, Free{mapped});
    } else {
        b.data_.reset(static_cast<uint8_t*>(std::calloc(n ? n : 1, 1)));
    }
    b.size_ = b.data_ ? n : 0;
    return b;
}

ByteBuffer ByteBuffer::Uninitialized(size_t n) {
    ByteBuffer b;
    if (n >= PageAlloc::MapThreshold) {
        size_t mapped = 0;
        uint8_t* p = static_cast<uint8_t*>(PageAlloc::MapAny(n, mapped));
        b.data_ = std::unique_ptr<uint8_t, Free>(p, Free{mapped});
        b.size_ = p ? n : 0;
        return b;
    }
    b.data_.reset(static_cast<uint8_t*>(std::malloc(n ? n : 1)));
    b.size_ = b.data_ ? n : 0;
    return b;
}

void ByteBuffer::Free::operator()(uint8_t* p) const {
    if (mapped)
        PageAlloc::Unmap(p, mapped);
    else
        std::free(p);
}

namespace {

using Bmp::FileHeaderBytes;
using Bmp::HeadersBytes;
using Bmp::InfoHeaderBytes;
using Bmp::StrideFor;

int16_t RowPadFor(int32_t width) {
    return static_cast<int16_t>(StrideFor(width) - (24 * width + 7) / 8);
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
BitmapInfoHeader ParseInfoHeader(const uint8_t* p) {
    BitmapInfoHeader h;
    h.biSize = GetU32(p);
    h.biWidth = static_cast<int32_t>(GetU32(p + 4));
    h.biHeight = static_cast<int32_t>(GetU32(p + 8));
    h.biPlanes = GetU16(p + 12);
    h.biBitCount = GetU16(p + 14);
    h.biCompression = GetU32(p + 16);
    h.biSizeImage = GetU32(p + 20);
    h.biXPelsPerMeter = static_cast<int32_t>(GetU32(p + 24));
    h.biYPelsPerMeter = static_cast<int32_t>(GetU32(p + 28));
    h.biClrUsed = GetU32(p + 32);
    h.biClrImportant = GetU32(p + 36);
    return h;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadFully(std::FILE* f, uint8_t* dst, size_t n) {
    return std::fread(dst, 1, n, f) == n;
}

// n bytes at offset of a file, whatever sizes the reads come back in.
bool ReadFullyAt(int fd, uint8_t* dst, size_t n, uint64_t offset) {
    while (n != 0) {
        const ssize_t got = ::pread(fd, dst, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        dst += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

// Nearest integer, an exact half going to the even neighbour; NaN gives 0 and
// values are capped far beyond any drawable size so later products stay exact.
int64_t RoundHalfEven(double v) {
    constexpr double cap = 4611686018427387904.0; // 2^62
    if (!(v > 0)) return 0;
    if (v >= cap) return static_cast<int64_t>(cap);
    double f = std::floor(v);
    double d = v - f;
    if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
    return static_cast<int64_t>(f);
}

FileStamp StampFrom(const struct stat& st) {
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<uint64_t>(st.st_ino)};
}

} // namespace

FileStamp cBitMap::StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return StampFrom(st);
}

namespace {

// The refusals of a sheet file, as LoadBMP shows them.
bool Refuse(const std::string& text, MsgIcon icon, const std::string& title) {
    MsgBox(text, MsgButtons::OK, icon, title);
    return false;
}
bool RefuseDamaged(const std::string& path) {
    return Refuse(path + "\n\n" + "This file is damaged or incomplete.", MsgIcon::Critical, "Whoops");
}
bool RefuseTooLarge(int64_t width, int64_t height) {
    return Refuse("This picture is " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels.\nSheets up to 32767 pixels wide and high are supported.",
                  MsgIcon::Information, "*yawn*");
}
bool RefuseNoMemory(const std::string& path) {
    return Refuse(path + "\n\n" + "There is not enough memory to load this picture.", MsgIcon::Critical, "Whoops");
}

// A sheet file opened for reading: a PNG, recognised by its signature, or a
// 24-bit BMP whose headers have been checked against the file's size.
struct SheetFile {
    FilePtr File;
    struct stat St {};
    bool Png = false;
    // BMP only: the headers and where the rows lie.
    BitmapInfoHeader Header;
    uint32_t OffBits = 0;
    bool TopDown = false; // rows stored top row first
    int32_t Width = 0;
    int32_t Rows = 0;
    int32_t Stride = 0;
    uint64_t ImageBytes = 0;
};

// Opens a sheet file; shows the refusal and returns false when it is missing,
// unreadable, or a BMP this program does not read.
bool OpenSheet(const std::string& path, SheetFile& sheet) {
    if (!IsNormalFile(path)) return Refuse(path + "\n\n" + "This file does not exist.", MsgIcon::Critical, "Whoops");

    sheet.File.reset(std::fopen(path.c_str(), "rb"));
    struct stat& st = sheet.St;
    if (!sheet.File || ::fstat(::fileno(sheet.File.get()), &st) != 0 || !S_ISREG(st.st_mode))
        return Refuse(path + "\n\n" + "This file cannot be read.", MsgIcon::Critical, "Whoops");
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    uint8_t signature[8];
    if (fileSize >= sizeof signature && ReadFully(sheet.File.get(), signature, sizeof signature) &&
        Png::HasSignature(signature, sizeof signature)) {
        sheet.Png = true;
        return true;
    }
    std::rewind(sheet.File.get());

    uint8_t head[HeadersBytes];
    if (fileSize < HeadersBytes || !ReadFully(sheet.File.get(), head, HeadersBytes)) return RefuseDamaged(path);
    const uint32_t offBits = GetU32(head + 10);
    const BitmapInfoHeader h = ParseInfoHeader(head + FileHeaderBytes);

    // Anything but an uncompressed 24-bit picture with at least the usual info
    // header is a format this program does not read.
    if (h.biSize < InfoHeaderBytes || h.biBitCount != 24 || h.biCompression != 0)
        return Refuse("Brovik is lazy. Only 24 bit\nbitmap images are supported.", MsgIcon::Information, "*yawn*");

    // A negative height marks rows stored top row first.
    const bool topDown = h.biHeight < 0;
    const int64_t height = topDown ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    if (h.biWidth <= 0 || h.biWidth > cBitMap::MaxSide || height <= 0 || height > cBitMap::MaxSide)
        return RefuseTooLarge(h.biWidth, height);

    const int32_t stride = StrideFor(h.biWidth);
    const uint64_t imageBytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
    // The pixel rows start at bfOffBits, which must lie past the headers, and
    // every row must be in the file before anything is allocated.
    if (static_cast<uint64_t>(FileHeaderBytes) + h.biSize > fileSize ||
        offBits < FileHeaderBytes + h.biSize || static_cast<uint64_t>(offBits) + imageBytes > fileSize)
        return RefuseDamaged(path);

    sheet.Header = h;
    sheet.OffBits = offBits;
    sheet.TopDown = topDown;
    sheet.Width = h.biWidth;
    sheet.Rows = static_cast<int32_t>(height);
    sheet.Stride = stride;
    sheet.ImageBytes = imageBytes;
    return true;
}

// What became of the rows of a BMP on their way into the picture's buffer.
enum class RowsRead { Done, Damaged, Cancelled };

// Reads the rows of a checked BMP straight into pixels (bottom-up, padding
// zeroed) in slices of whole rows, on two threads: the pages of a fresh buffer
// are faulted in as they are written, and that work, not the copy out of the
// page cache, is most of a large load, so two cores share it. Only the calling
// thread reports, between its slices, each time with a share under 1; the
// last report (1) comes once every row is in.
RowsRead ReadRows(int fd, const SheetFile& sheet, uint8_t* pixels, const Progress& progress) {
    const size_t stride = static_cast<size_t>(sheet.Stride);
    const int32_t rows = sheet.Rows;
    const uint64_t total = sheet.ImageBytes;
    // About sixteen slices a picture, from 256 KB to 16 MB: reports every few
    // MB at most, few enough system calls, and work for both threads.
    const uint64_t sliceBytes = std::clamp<uint64_t>(total / 16, uint64_t{256} << 10, uint64_t{16} << 20);
    const int32_t sliceRows = static_cast<int32_t>(std::clamp<uint64_t>(sliceBytes / stride, 1, rows));
    const int32_t slices = (rows - 1) / sliceRows + 1;
    const size_t pad = static_cast<size_t>(RowPadFor(sheet.Width));

    if (!progress.Report(0)) return RowsRead::Cancelled;
    ::posix_fadvise(fd, static_cast<off_t>(sheet.OffBits), static_cast<off_t>(total), POSIX_FADV_SEQUENTIAL);

    // Slice s holds the file's rows from s * sliceRows on.
    auto readSlice = [&](int32_t s) {
        const int32_t first = s * sliceRows, n = std::min(sliceRows, rows - first);
        const uint64_t at = sheet.OffBits + static_cast<uint64_t>(first) * stride;
        if (!sheet.TopDown) {
            if (!ReadFullyAt(fd, pixels + static_cast<size_t>(first) * stride, static_cast<size_t>(n) * stride, at))
                return false;
        } else {
            for (int32_t i = 0; i < n; ++i)
                if (!ReadFullyAt(fd, pixels + static_cast<size_t>(rows - 1 - first - i) * stride, stride,
                                 at + static_cast<uint64_t>(i) * stride))
                    return false;
        }
        // Padding is zero whatever the file held there.
        for (int32_t i = 0; pad && i < n; ++i) {
            const int32_t row = sheet.TopDown ? rows - 1 - first - i : first + i;
            std::memset(pixels + static_cast<size_t>(row) * stride + stride - pad, 0, pad);
        }
        return true;
    };

    std::atomic<int32_t> next{0};
    std::atomic<uint64_t> done{0};
    std::atomic<bool> stop{false}, failed{false};
    bool cancelled = false;
    auto work = [&](bool reporting) {
        for (bool first = true;; first = false) {
            if (stop.load(std::memory_order_relaxed)) return;
            const int32_t s = next.fetch_add(1, std::memory_order_relaxed);
            if (s >= slices) return;
            // Slice s is still to be read, so the share reported is under 1.
            if (reporting && !first &&
                !progress.Report(static_cast<double>(done.load(std::memory_order_relaxed)) / static_cast<double>(total))) {
                cancelled = true;
                stop.store(true);
                return;
            }
            if (!readSlice(s)) {
                failed.store(true);
                stop.store(true);
                return;
            }
            const int32_t n = std::min(sliceRows, rows - s * sliceRows);
            done.fetch_add(static_cast<uint64_t>(n) * stride, std::memory_order_relaxed);
        }
    };
    std::thread helper;
    if (slices > 1) {
        try {
            helper = std::thread(work, false);
        } catch (const std::system_error&) {
            // No second thread: the calling one reads everything.
        }
    }
    work(true);
    if (helper.joinable()) helper.join();
    if (cancelled) return RowsRead::Cancelled;
    if (failed.load()) return RowsRead::Damaged;
    return progress.Report(1) ? RowsRead::Done : RowsRead::Cancelled;
}

} // namespace

bool cBitMap::LoadBMP(const std::string& FromFile, int32_t ClearColor, const Progress& progress) {
    const std::string path = FromFile.empty() ? FileName_ : FromFile;

    // Every refusal forgets the file name; a cancelled load changes nothing.
    auto refused = [this](bool) {
        FileName_.clear();
        return false;
    };
    auto damaged = [&]() { return refused(RefuseDamaged(path)); };
    auto noMemory = [&]() { return refused(RefuseNoMemory(path)); };
    // The block of a dropped buffer would be kept for the next picture; after
    // a cancel nobody may want one, so it goes back to the system.
    auto cancelled = [](ByteBuffer& dropped) {
        dropped = ByteBuffer();
        PageAlloc::ReleaseSpare();
        return false;
    };

    SheetFile sheet;
    if (!OpenSheet(path, sheet)) return refused(false);
    const struct stat& st = sheet.St;
    FilePtr file = std::move(sheet.File);

    if (sheet.Png) {
        // The file is read whole in slices, a tenth of the work; decoding is the rest.
        constexpr size_t Slice = size_t{16} << 20;
        const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
        ByteBuffer bytes = ByteBuffer::Uninitialized(fileSize);
        if (bytes.empty()) return noMemory();
        const Progress reading = progress.Part(0, 0.1);
        for (uint64_t at = 0; at < fileSize; at += Slice) {
            if (!reading.Report(static_cast<double>(at) / static_cast<double>(fileSize))) return cancelled(bytes);
            if (!ReadFullyAt(::fileno(file.get()), bytes.data() + at, std::min<uint64_t>(Slice, fileSize - at), at))
                return damaged();
        }
        file.reset();
        Png::Picture png;
        switch (Png::Read(bytes.data(), bytes.size(), ClearColor, png, progress.Part(0.1, 1))) {
        case Png::ReadStatus::Ok: break;
        case Png::ReadStatus::TooLarge: return refused(RefuseTooLarge(png.Width, png.Height));
        case Png::ReadStatus::NoMemory: return noMemory();
        case Png::ReadStatus::Damaged: return damaged();
        case Png::ReadStatus::Cancelled: bytes = ByteBuffer(); return cancelled(png.Pixels);
        }
        const size_t imageBytes = png.Pixels.size();
        BitmapInfoHeader h;
        h.biSize = InfoHeaderBytes;
        h.biWidth = png.Width;
        h.biHeight = static_cast<int32_t>(png.Height);
        h.biPlanes = 1;
        h.biBitCount = 24;
        h.biSizeImage = static_cast<uint32_t>(imageBytes);
        Header_ = h;
        Stride_ = png.Stride;
        RowPad_ = RowPadFor(png.Width);
        Pixels_ = std::move(png.Pixels);
        HasMask_ = false;
        ClearBits_ = std::move(png.ClearBits);
        ClearColor_ = ClearColor;
        FileName_ = path;
        Stamp_ = StampFrom(st);
        Loaded_ = true;
        return true;
    }

    ByteBuffer pixels = ByteBuffer::Uninitialized(sheet.ImageBytes);
    if (pixels.empty()) return noMemory();
    // Ordinary pages: see AdviseSmall. Two threads writing share their faults.
    PageAlloc::AdviseSmall(pixels.data(), pixels.size());
    switch (ReadRows(::fileno(file.get()), sheet, pixels.data(), progress)) {
    case RowsRead::Done: break;
    case RowsRead::Damaged: pixels = ByteBuffer(); return damaged();
    case RowsRead::Cancelled: return cancelled(pixels);
    }
    file.reset();

    // The stored header always describes the buffer as held: the usual 40-byte
    // info header, bottom-up rows, the real image size.
    BitmapInfoHeader h = sheet.Header;
    h.biSize = InfoHeaderBytes;
    h.biHeight = sheet.Rows;
    h.biSizeImage = static_cast<uint32_t>(sheet.ImageBytes);
    Header_ = h;
    Stride_ = sheet.Stride;
    RowPad_ = RowPadFor(sheet.Width);
    Pixels_ = std::move(pixels);
    HasMask_ = false;
    ClearBits_ = ByteBuffer();
    FileName_ = path;
    Stamp_ = StampFrom(st);
    Loaded_ = true;
    return true;
}

bool cBitMap::StreamOfFile(const std::string& FromFile, int32_t ClearColor, uint8_t iType, int32_t& Width,
                           int32_t& Height, std::vector<uint8_t>& Stream, const Progress& progress) {
    if (!progress.Report(0)) return false;
    SheetFile sheet;
    if (!OpenSheet(FromFile, sheet)) return false;
    if (sheet.Png) {
        // A PNG is decoded whole anyway.
        sheet.File.reset();
        cBitMap whole;
        if (!whole.LoadBMP(FromFile, ClearColor)) return false;
        std::vector<uint8_t> stream = whole.ToRLE(iType);
        if (!progress.Report(1)) return false;
        Width = whole.Width();
        Height = whole.Height();
        Stream = std::move(stream);
        return true;
    }

    // Slices of rows small enough to stay in the cache between the read that
    // fills them and the encoder that scans them.
    constexpr size_t SliceBytes = size_t{1} << 20;
    const size_t stride = static_cast<size_t>(sheet.Stride);
    const int32_t sliceRows = static_cast<int32_t>(std::clamp<size_t>(SliceBytes / stride, 1, sheet.Rows));
    std::unique_ptr<uint8_t[]> slice(new uint8_t[static_cast<size_t>(sliceRows) * stride]);
    ImageStreamEncoder encoder(iType, sheet.Width, sheet.Rows);
    const int fd = ::fileno(sheet.File.get());
    // The stream starts with the bottom row: the first in a bottom-up file, the
    // last in a top-down one, whose slices are read from the end backwards.
    for (int32_t done = 0; done < sheet.Rows;) {
        if (done != 0 && !progress.Report(static_cast<double>(done) / sheet.Rows)) return false;
        const int32_t n = std::min(sliceRows, sheet.Rows - done);
        const int32_t first = sheet.TopDown ? sheet.Rows - done - n : done; // file row
        if (!ReadFullyAt(fd, slice.get(), static_cast<size_t>(n) * stride,
                         sheet.OffBits + static_cast<uint64_t>(first) * stride))
            return RefuseDamaged(FromFile);
        if (sheet.TopDown)
            encoder.AddRows(slice.get() + static_cast<size_t>(n - 1) * stride, n, -static_cast<ptrdiff_t>(stride));
        else
            encoder.AddRows(slice.get(), n, static_cast<ptrdiff_t>(stride));
        done += n;
    }
    if (!progress.Report(1)) return false;
    Width = sheet.Width;
    Height = sheet.Rows;
    Stream = encoder.Finish();
    return true;
}

bool cBitMap::Save(const std::string& ToFile) {
    if (Pixels_.empty()) return false;
    std::string target = ToFile;
    if (target.empty()) {
        if (FileName_.empty()) return false;
        if (MsgBox("Do you want to over write the file:\n\n" + FileName_, MsgButtons::YesNo,
                   MsgIcon::Question, "Hold up!") != MsgAnswer::Yes)
            return false;
        target = FileName_;
    }

    Bmp::Writer out(target);
    if (!out.Open(Header_, Pixels_.size())) return false;
    // In slices, so that the first ones go to disk while the rest is copied.
    constexpr size_t Slice = size_t{8} << 20;
    for (size_t at = 0; at < Pixels_.size(); at += Slice)
        if (!out.Write(Pixels_.data() + at, std::min(Slice, Pixels_.size() - at))) return false;
    return out.Commit();
}

template <bool Trans>
void cBitMap::Stretch(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X, int32_t To_Y,
                      int32_t dWidth, int32_t dHeight, double XScale, double YScale) const {
    if (!Loaded_ || Pixels_.empty() || !Target.Bits || Target.Width <= 0 || Target.Height <= 0) return;
    if (dWidth <= 0 || dHeight <= 0 || !(XScale > 0) || !(YScale > 0)) return;
    const int64_t outW = RoundHalfEven(dWidth * XScale);
    const int64_t outH = RoundHalfEven(dHeight * YScale);
    if (outW <= 0 || outH <= 0) return;

    // Destination pixels i of [0, outW) that fall inside the held window. Every
    // i here is below 2^33, so i * dWidth stays exact in unsigned 64 bits.
    const int64_t i0 = std::max<int64_t>(0, int64_t{Target.OriginX} - To_X);
    const int64_t i1 = std::min<int64_t>(outW, int64_t{Target.OriginX} + Target.Width - To_X);
    const int64_t j0 = std::max<int64_t>(0, int64_t{Target.OriginY} - To_Y);
    const int64_t j1 = std::min<int64_t>(outH, int64_t{Target.OriginY} + Target.Height - To_Y);
    if (i0 >= i1 || j0 >= j1) return;

    const int32_t sheetW = Header_.biWidth;
    const int32_t sheetH = Header_.biHeight;
    // Byte offset within a row of the source pixel of every visible column, or
    // -1 where the column falls outside the sheet (the target keeps its pixel).
    std::vector<int32_t> cols(static_cast<size_t>(i1 - i0));
    for (int64_t i = i0; i < i1; ++i) {
        const int64_t sx =
            From_X + static_cast<int64_t>(static_cast<uint64_t>(i) * static_cast<uint64_t>(dWidth) /
                                          static_cast<uint64_t>(outW));
        cols[static_cast<size_t>(i - i0)] = (sx >= 0 && sx < sheetW) ? static_cast<int32_t>(sx * 3) : -1;
    }

    const bool allOnSheet = std::all_of(cols.begin(), cols.end(), [](int32_t c) { return c >= 0; });
    const size_t n = cols.size();
    // Source pixels of the visible columns for one sheet row, ready to store;
    // for transparent drawing an AND / XOR pair instead: all ones / zero for
    // the mask colour, zero / the pixel for others, and zero / zero (black)
    // before any mask. Enlarged views repeat rows, so a line is built once per
    // sheet row.
    std::vector<uint32_t> line(n), sprite(Trans ? n : 0);
    int64_t lineRow = -1;
    for (int64_t j = j0; j < j1; ++j) {
        const int64_t sy =
            From_Y + static_cast<int64_t>(static_cast<uint64_t>(j) * static_cast<uint64_t>(dHeight) /
                                          static_cast<uint64_t>(outH)); // top-down sheet row
        if (sy < 0 || sy >= sheetH) continue;
        if (sy != lineRow) {
            lineRow = sy;
            const size_t rowOff = static_cast<size_t>(sheetH - 1 - sy) * static_cast<size_t>(Stride_);
            for (size_t k = 0; k < n; ++k) {
                const int32_t c = cols[k];
                if (c < 0) continue;
                if constexpr (Trans) {
                    const uint32_t v = RowScan::Load24(Pixels_.data() + rowOff + c);
                    const bool hit = v == MaskKey_;
                    line[k] = HasMask_ && hit ? 0xFFFFFFu : 0u;
                    sprite[k] = HasMask_ && !hit ? v : 0u;
                } else {
                    line[k] = 0xFF000000u | RowScan::Load24(Pixels_.data() + rowOff + c);
                }
            }
        }
        uint32_t* dst =
            Target.Bits + (To_Y + j - Target.OriginY) * int64_t{Target.Stride} + (To_X + i0 - Target.OriginX);
        if constexpr (Trans) {
            if (allOnSheet) {
                for (size_t k = 0; k < n; ++k)
                    dst[k] = 0xFF000000u | ((dst[k] & line[k]) ^ sprite[k]);
            } else {
                for (size_t k = 0; k < n; ++k)
                    if (cols[k] >= 0) dst[k] = 0xFF000000u | ((dst[k] & line[k]) ^ sprite[k]);
            }
        } else {
            if (allOnSheet) {
                std::memcpy(dst, line.data(), n * sizeof(uint32_t));
            } else {
                for (size_t k = 0; k < n; ++k)
                    if (cols[k] >= 0) dst[k] = line[k];
            }
        }
    }
}

void cBitMap::DrawTo(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X, int32_t To_Y,
                     int32_t dWidth, int32_t dHeight, double XScale, double YScale) const {
    Stretch<false>(Target, From_X, From_Y, To_X, To_Y, dWidth, dHeight, XScale, YScale);
}

void cBitMap::DrawTrans(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X,
                        int32_t To_Y, int32_t dWidth, int32_t dHeight, double XScale, double YScale) const {
    Stretch<true>(Target, From_X, From_Y, To_X, To_Y, dWidth, dHeight, XScale, YScale);
}

void cBitMap::GenMask(int32_t FromColor) {
    if (!Loaded_ || Pixels_.empty()) return;
    const uint32_t c = static_cast<uint32_t>(FromColor);
    if (!ClearBits_.empty() && FromColor != ClearColor_) {
        // The PNG's transparent pixels follow the mask colour wherever it goes.
        const uint8_t bgr[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
        const size_t clearStride = Png::ClearStride(Header_.biWidth);
        for (int32_t y = 0; y < Header_.biHeight; ++y) {
            const uint8_t* bits = ClearBits_.data() + static_cast<size_t>(y) * clearStride;
            uint8_t* row = Pixels_.data() + static_cast<size_t>(y) * Stride_;
            for (size_t b = 0; b < clearStride; ++b) {
                if (!bits[b]) continue;
                for (int k = 0; k < 8; ++k)
                    if (bits[b] >> k & 1) std::memcpy(row + (b * 8 + static_cast<size_t>(k)) * 3, bgr, 3);
            }
        }
        ClearColor_ = FromColor;
    }
    // DrawTrans compares pixels with the colour as it reads them: blue | green << 8 | red << 16.
    MaskKey_ = ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
    HasMask_ = true;
}

bool cBitMap::Masked(int32_t x, int32_t y) const {
    if (!Loaded_ || !HasMask_ || x < 0 || y < 0 || x >= Header_.biWidth || y >= Header_.biHeight) return false;
    const size_t row = static_cast<size_t>(Header_.biHeight - 1 - y) * static_cast<size_t>(Stride_);
    return RowScan::Load24(Pixels_.data() + row + static_cast<size_t>(x) * 3) == MaskKey_;
}
