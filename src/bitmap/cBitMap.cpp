// The bitmap surface: buffers, BMP files, drawing and the transparency mask.
// The run-length streams live in RunLength.cpp.
#include "bitmap/cBitMap.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
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

} // namespace

bool cBitMap::LoadBMP(const std::string& FromFile, int32_t ClearColor) {
    if (!FromFile.empty()) FileName_ = FromFile;
    const std::string path = FileName_;

    // Every refusal forgets the file name.
    auto refused = [this](bool) {
        FileName_.clear();
        return false;
    };
    auto damaged = [&]() { return refused(RefuseDamaged(path)); };
    auto noMemory = [&]() { return refused(RefuseNoMemory(path)); };

    SheetFile sheet;
    if (!OpenSheet(path, sheet)) return refused(false);
    const struct stat& st = sheet.St;
    FilePtr file = std::move(sheet.File);

    if (sheet.Png) {
        const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
        ByteBuffer bytes = ByteBuffer::Uninitialized(fileSize);
        if (bytes.empty()) return noMemory();
        std::rewind(file.get());
        if (!ReadFully(file.get(), bytes.data(), fileSize)) return damaged();
        file.reset();
        Png::Picture png;
        switch (Png::Read(bytes.data(), bytes.size(), ClearColor, png)) {
        case Png::ReadStatus::Ok: break;
        case Png::ReadStatus::TooLarge: return refused(RefuseTooLarge(png.Width, png.Height));
        case Png::ReadStatus::NoMemory: return noMemory();
        case Png::ReadStatus::Damaged: return damaged();
        }
        const size_t imageBytes = png.Pixels.size();
        ByteBuffer mask = ByteBuffer::Zeroed(imageBytes);
        ByteBuffer sprite = ByteBuffer::Zeroed(imageBytes);
        if (mask.empty() || sprite.empty()) return noMemory();
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
        MaskBits_ = std::move(mask);
        SpriteBits_ = std::move(sprite);
        ClearBits_ = std::move(png.ClearBits);
        ClearColor_ = ClearColor;
        Stamp_ = StampFrom(st);
        Loaded_ = true;
        return true;
    }

    BitmapInfoHeader h = sheet.Header;
    const bool topDown = sheet.TopDown;
    const int32_t width = sheet.Width;
    const int32_t rows = sheet.Rows;
    const int32_t stride = sheet.Stride;
    const uint64_t imageBytes = sheet.ImageBytes;
    const uint32_t offBits = sheet.OffBits;

    ByteBuffer pixels = ByteBuffer::Uninitialized(imageBytes);
    ByteBuffer mask = ByteBuffer::Zeroed(imageBytes);
    ByteBuffer sprite = ByteBuffer::Zeroed(imageBytes);
    if (pixels.empty() || mask.empty() || sprite.empty()) return noMemory();

    if (::fseeko(file.get(), static_cast<off_t>(offBits), SEEK_SET) != 0) return damaged();
    if (!topDown) {
        if (!ReadFully(file.get(), pixels.data(), imageBytes)) return damaged();
    } else {
        for (int32_t i = 0; i < rows; ++i) {
            uint8_t* row = pixels.data() + static_cast<size_t>(rows - 1 - i) * stride;
            if (!ReadFully(file.get(), row, static_cast<size_t>(stride))) return damaged();
        }
    }
    file.reset();

    // Padding is zero in every buffer, whatever the file held there.
    const int16_t pad = RowPadFor(width);
    if (pad > 0) {
        for (int32_t y = 0; y < rows; ++y)
            std::memset(pixels.data() + static_cast<size_t>(y) * stride + (stride - pad), 0,
                        static_cast<size_t>(pad));
    }

    // The stored header always describes the buffer as held: the usual 40-byte
    // info header, bottom-up rows, the real image size.
    h.biSize = InfoHeaderBytes;
    h.biHeight = rows;
    h.biSizeImage = static_cast<uint32_t>(imageBytes);
    Header_ = h;
    Stride_ = stride;
    RowPad_ = pad;
    Pixels_ = std::move(pixels);
    MaskBits_ = std::move(mask);
    SpriteBits_ = std::move(sprite);
    ClearBits_ = ByteBuffer();
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
    // Source pixels of the visible columns for one sheet row, ready to store
    // (the mask pair for transparent drawing). Enlarged views repeat rows, so
    // a line is built once per sheet row.
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
                    line[k] = RowScan::Load24(MaskBits_.data() + rowOff + c);
                    sprite[k] = RowScan::Load24(SpriteBits_.data() + rowOff + c);
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
    using namespace RowScan;
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
    // The colour as the row scanner reports colours: blue | green << 8 | red << 16.
    const uint32_t key = ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
    const uint32_t white = PackPixel(0xFF, 0xFF, 0xFF);
    const uint32_t keyWord =
        PackPixel(static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key >> 16));
    const size_t rowBytes = static_cast<size_t>(Header_.biWidth) * 3;
    const size_t stride = static_cast<size_t>(Stride_);
    for (int32_t y = 0; y < Header_.biHeight; ++y) {
        const uint8_t* s = Pixels_.data() + y * stride;
        uint8_t* m = MaskBits_.data() + y * stride;
        uint8_t* sp = SpriteBits_.data() + y * stride;
        // Long runs of one colour are block fills and copies; elsewhere the
        // next 16 pixels go one by one with four-byte loads and stores (the
        // fourth byte lands on the next pixel, written after it, so a row's
        // last pixel goes byte by byte and padding is never touched).
        for (size_t i = 0; i < rowBytes;) {
            uint32_t colour;
            const size_t e = NextRun(s, i, rowBytes, colour);
            if (e - i >= 48) {
                const bool hit = colour == key;
                std::memset(m + i, hit ? 0xFF : 0x00, e - i);
                if (hit)
                    std::memset(sp + i, 0, e - i);
                else
                    std::memcpy(sp + i, s + i, e - i);
                i = e;
                continue;
            }
            const size_t stop = std::min(i + 48, rowBytes);
            if constexpr (Little) {
                // Two pixels per eight-byte load and store.
                for (; i < stop && i + 8 <= rowBytes; i += 6) {
                    const uint64_t v = Load64(s + i);
                    const uint64_t m0 = (static_cast<uint32_t>(v) & 0xFFFFFF) == key ? 0xFFFFFFu : 0u;
                    const uint64_t m1 = (static_cast<uint32_t>(v >> 24) & 0xFFFFFF) == key ? 0xFFFFFFu : 0u;
                    const uint64_t hit = m0 | m1 << 24;
                    const uint64_t out = v & 0xFFFFFFFFFFFFull & ~hit;
                    std::memcpy(m + i, &hit, 8);
                    std::memcpy(sp + i, &out, 8);
                }
            }
            for (; i < stop && i + 3 < rowBytes; i += 3) {
                uint32_t v;
                std::memcpy(&v, s + i, 4);
                v &= white;
                const uint32_t hit = (v == keyWord) ? white : 0u;
                const uint32_t out = v & ~hit;
                std::memcpy(m + i, &hit, 4);
                std::memcpy(sp + i, &out, 4);
            }
            if (i < stop) { // the row's last pixel
                const bool hit = Load24(s + i) == key;
                for (int k = 0; k < 3; ++k) {
                    m[i + k] = hit ? 0xFF : 0x00;
                    sp[i + k] = hit ? 0x00 : s[i + k];
                }
                i += 3;
            }
        }
    }
}
