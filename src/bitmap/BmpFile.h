#pragma once
// Writing 24-bit BMP files: the headers, then the pixel rows in file order as
// they come, then a durable commit. Shared by cBitMap::Save, which has every
// row at hand, and cBitMap::SaveFromRLE, which paints them a slice at a time.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/FileIO.h"
#include "bitmap/cBitMap.h"

namespace Bmp {

inline constexpr size_t FileHeaderBytes = 14;
inline constexpr uint32_t InfoHeaderBytes = 40;
inline constexpr size_t HeadersBytes = FileHeaderBytes + InfoHeaderBytes;

// Bytes per 24-bit row, rounded up to a multiple of 4 (width <= MaxSide, no overflow).
inline int32_t StrideFor(int32_t width) { return ((24 * width + 31) / 32) * 4; }

// Writes through a temporary file beside the target. Rows are sent on their
// way to the disk a slice at a time as soon as they are written, so the disk
// works while the rest is made and the final flush has less to wait for.
// Any failure is shown as "Whoops" naming the target, and leaves no file.
class Writer {
public:
    explicit Writer(std::string target) : target_(target), file_(std::move(target)) {}

    // Creates the temporary file and writes the headers for pixelBytes of rows.
    bool Open(const BitmapInfoHeader& header, size_t pixelBytes);
    // The next n bytes of rows.
    bool Write(const uint8_t* rows, size_t n) { return Put(rows, n) || Fail(); }
    // As Write, but a failure is only kept, for Commit to show: rows may then be
    // written by a thread of their own while the user hears only from this one.
    bool Put(const uint8_t* rows, size_t n);
    // Flushes, syncs and renames the file over the target (or shows why not).
    bool Commit();
    // Gives up the file silently: nothing is left, the target stays as it was.
    void Discard() {
        file_.Discard();
        ok_ = false;
    }

private:
    bool Fail();

    std::string target_;
    AtomicFile file_;
    std::string error_;
    bool ok_ = false;
    bool failed_ = false; // the failure has been shown
    size_t total_ = 0;   // pixel bytes announced
    size_t written_ = 0; // pixel bytes written
    size_t started_ = 0; // pixel bytes whose writing to disk has begun
};

} // namespace Bmp
