#pragma once
// cBitMap: the program's 24-bit image. One bottom-up pixel buffer (rows padded
// to 4 bytes, blue-green-red per pixel) and the colour that is transparent when
// it is drawn so. It loads and saves BMP files, draws stretched onto a
// PixelSurface and converts itself to and from the run-length image streams.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/Progress.h"
#include "bitmap/PixelSurface.h"

struct BitmapInfoHeader {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

// Heap bytes that are not touched when allocated (their pages stay lazy), so a
// huge sheet costs memory only for what is written. Empty when out of memory.
class ByteBuffer {
public:
    ByteBuffer() = default;
    static ByteBuffer Zeroed(size_t n);
    static ByteBuffer Uninitialized(size_t n);
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    // Large buffers are whole mapped pages (mapped = their length), small ones heap blocks.
    struct Free {
        size_t mapped;
        Free() noexcept : mapped(0) {}
        explicit Free(size_t m) noexcept : mapped(m) {}
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
};

// What tells one version of a file from the next: size, modification time and
// file number (a save by renaming a new file over the old one changes the last).
struct FileStamp {
    int64_t Size = -1; // -1: no file, or it cannot be examined
    int64_t ModifiedNs = 0;
    uint64_t Id = 0;
    bool operator==(const FileStamp&) const = default;
};

// Builds the image stream of depth mode 1, 2, 4 or 5 from rows handed over a
// slice at a time, bottom row first, so that a sheet can be coded while it is
// read instead of after it is held whole. The stream is byte for byte the one
// cBitMap::ToRLE gives for the same picture; other modes give an empty one.
class ImageStreamEncoder {
public:
    ImageStreamEncoder(uint8_t iType, int32_t Width, int32_t Height);
    ~ImageStreamEncoder();
    ImageStreamEncoder(const ImageStreamEncoder&) = delete;
    ImageStreamEncoder& operator=(const ImageStreamEncoder&) = delete;

    // Count rows of Width pixels (blue, green, red), the first at Rows and each
    // Stride bytes after the one before; a negative Stride walks a top-down
    // slice from its last row.
    void AddRows(const uint8_t* Rows, int32_t Count, ptrdiff_t Stride);
    // The stream; the encoder is spent afterwards.
    std::vector<uint8_t> Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

class cBitMap {
public:
    // Largest width or height accepted: pixel loops and scroll ranges are 16-bit.
    static constexpr int32_t MaxSide = 32767;

    // The colour transparent PNG pixels take when the caller knows no mask colour.
    static constexpr int32_t DefaultClearColor = 0x00FF00FF;

    // Loads a sheet file (FromFile empty: the file last named), told apart by its
    // signature: a PNG, else a 24-bit BMP. Reports a missing file ("Whoops"), a
    // file it cannot use ("*yawn*": a BMP that is not 24-bit or is compressed, a
    // side of 0 or over MaxSide) and a damaged one ("Whoops"); a refused load
    // empties FileName and leaves the previous picture whole. BMP rows are read
    // at bfOffBits after an info header of any size from 40 bytes; top-down
    // files are stored bottom-up like the rest, and the stored header always
    // describes the buffer (biSize 40, positive biHeight). A PNG of any colour
    // type, depth and interlacing becomes 24-bit; its pixels with alpha under
    // 128 take ClearColor (the mask colour in force, 0x00BBGGRR) and are
    // remembered, so GenMask keeps them transparent under any later mask
    // colour. The new picture has no mask until GenMask. progress hears how
    // far the load has come (from the calling thread only, between slices of
    // a few MB); when it asks to stop, the load returns false at once without
    // a message, and the picture, FileName and all else stay as they were.
    // Returns true when loaded.
    bool LoadBMP(const std::string& FromFile = "", int32_t ClearColor = DefaultClearColor,
                 const Progress& progress = {});

    // The image stream of a sheet file for depth mode iType: the bytes that
    // LoadBMP(FromFile, ClearColor) and then ToRLE(iType) give, with the same
    // refusals shown the same way, but a BMP's rows pass through one small
    // buffer a slice at a time instead of being held whole. Width and Height
    // receive the sheet's size. Returns true when the stream was made; false
    // without a word when progress was stopped (progress.Cancelled()).
    static bool StreamOfFile(const std::string& FromFile, int32_t ClearColor, uint8_t iType, int32_t& Width,
                             int32_t& Height, std::vector<uint8_t>& Stream, const Progress& progress = {});

    // Writes the picture as a BMP file (ToFile empty: asks "Hold up!" before
    // overwriting the file last loaded). Written through a temporary file, so a
    // failure ("Whoops") leaves an existing file untouched. Without pixels it
    // does nothing. Returns true when written.
    bool Save(const std::string& ToFile = "");

    int32_t Width() const { return Header_.biWidth; }
    int32_t Height() const { return Header_.biHeight; }

    // Copies the dWidth x dHeight block whose top-left sheet pixel (top-down
    // coordinates) is (From_X, From_Y) to (To_X, To_Y) of the target, stretched
    // to round(dWidth * XScale) x round(dHeight * YScale), halves to even.
    // Enlarging repeats pixels, reducing samples the nearest ones. Parts of the
    // block outside the sheet, and everything outside the target, are left
    // untouched. Nothing is drawn for sizes or scales of 0 or less, or before a
    // picture is held.
    void DrawTo(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X, int32_t To_Y,
                int32_t dWidth, int32_t dHeight, double XScale, double YScale) const;
    // Same geometry, but sheet pixels of the colour last given to GenMask leave
    // the target pixel as it is; the others are copied. Before GenMask (after
    // every load or FromRLE) each drawn pixel is black.
    void DrawTrans(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X, int32_t To_Y,
                   int32_t dWidth, int32_t dHeight, double XScale, double YScale) const;

    // Makes 0x00BBGGRR (the high byte is ignored) the transparent colour of
    // DrawTrans. Pixels that were transparent in a loaded PNG are painted that
    // colour first.
    void GenMask(int32_t FromColor);
    // True when DrawTrans leaves the target alone at top-down sheet pixel (x, y):
    // a mask is set and the pixel has its colour. False off the sheet.
    bool Masked(int32_t x, int32_t y) const;
    // The stamp of the sheet file as it was read by the last successful load
    // (Size -1 when the picture came from a stream), and of a file as it is now.
    const FileStamp& LoadedStamp() const { return Stamp_; }
    static FileStamp StampOf(const std::string& path);

    // True when the picture came from a PNG with pixels of alpha under 128.
    bool HasClearPixels() const { return !ClearBits_.empty(); }

    // Image stream of the whole picture for depth mode 1, 2, 4 or 5; empty otherwise.
    std::vector<uint8_t> ToRLE(uint8_t iType) const;

    // Rebuilds the picture from an image stream. Refuses (returns false, surface
    // untouched) a stream of fewer than two bytes, a zero or oversized side and
    // modes other than 1, 2, 4, 5. A cut-short last record is ignored.
    bool FromRLE(int32_t Width, int32_t Height, uint8_t iType, int32_t Mask,
                 const std::vector<uint8_t>& Data);

    // Writes the BMP file that FromRLE and then Save(ToFile) give on a new
    // cBitMap, byte for byte, without holding the picture: its rows are painted
    // a slice at a time into one small buffer and written as they are done.
    // Refused streams (as FromRLE refuses them) give Refused before any file is
    // made; a failed write is shown as Save shows it and gives Failed. Stopped
    // through progress, it gives Cancelled and leaves no file and no message.
    enum class StreamSave { Saved, Refused, Failed, Cancelled };
    static StreamSave SaveFromRLE(const std::string& ToFile, int32_t Width, int32_t Height, uint8_t iType,
                                  const std::vector<uint8_t>& Data, const Progress& progress = {});

    // True once a picture is held (the drawing operations do nothing before).
    bool Loaded() const { return Loaded_; }

    const BitmapInfoHeader& Header() const { return Header_; }
    const std::string& FileName() const { return FileName_; }
    int32_t Stride() const { return Stride_; }
    int16_t RowPad() const { return RowPad_; }
    const ByteBuffer& Pixels() const { return Pixels_; }

private:
    // Both drawing operations: Trans skips pixels of the mask colour.
    template <bool Trans>
    void Stretch(const PixelSurface& Target, int32_t From_X, int32_t From_Y, int32_t To_X, int32_t To_Y,
                 int32_t dWidth, int32_t dHeight, double XScale, double YScale) const;

    BitmapInfoHeader Header_;
    bool Loaded_ = false;
    ByteBuffer Pixels_;
    std::string FileName_;
    int32_t Stride_ = 0;
    int16_t RowPad_ = 0;
    // The transparent colour as the row scanner reads pixels (blue | green << 8
    // | red << 16); meaningful once HasMask_.
    bool HasMask_ = false;
    uint32_t MaskKey_ = 0;
    // The PNG's transparent pixels (see Png::Picture) and the colour they hold now.
    ByteBuffer ClearBits_;
    int32_t ClearColor_ = 0;
    FileStamp Stamp_;
};
