#include "bitmap/BmpFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include "base/Messages.h"

namespace Bmp {

namespace {

// Writing to disk starts once this much is written and not yet on its way:
// little, so the disk is busy from the start and the final sync finds little left.
constexpr size_t WritebackSlice = size_t{2} << 20;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

bool Writer::Open(const BitmapInfoHeader& h, size_t pixelBytes) {
    uint8_t head[HeadersBytes] = {};
    PutU16(head, 0x4D42);
    PutU32(head + 2, static_cast<uint32_t>(HeadersBytes + pixelBytes));
    PutU32(head + 10, static_cast<uint32_t>(HeadersBytes));
    uint8_t* p = head + FileHeaderBytes;
    PutU32(p, h.biSize);
    PutU32(p + 4, static_cast<uint32_t>(h.biWidth));
    PutU32(p + 8, static_cast<uint32_t>(h.biHeight));
    PutU16(p + 12, h.biPlanes);
    PutU16(p + 14, h.biBitCount);
    PutU32(p + 16, h.biCompression);
    PutU32(p + 20, h.biSizeImage);
    PutU32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    PutU32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    PutU32(p + 32, h.biClrUsed);
    PutU32(p + 36, h.biClrImportant);

    total_ = pixelBytes;
    ok_ = file_.Open(error_);
    // Rows come in large blocks: each goes to the file in one write, not via
    // the stream's small buffer.
    if (ok_) std::setvbuf(file_.Handle(), nullptr, _IONBF, 0);
    ok_ = ok_ && file_.Write(head, sizeof head);
    return ok_ || Fail();
}

bool Writer::Put(const uint8_t* rows, size_t n) {
    if (!ok_) return false;
    if (n == 0) return true;
    // errno is the writing thread's own: the text is taken here.
    auto failed = [this] {
        error_ = std::strerror(errno ? errno : EIO);
        ok_ = false;
        return false;
    };
    if (!file_.Write(rows, n)) return failed();
    written_ += n;
#ifdef SYNC_FILE_RANGE_WRITE
    // Pictures of one slice or less are left to the final flush.
    if (total_ > WritebackSlice && (written_ - started_ >= WritebackSlice || written_ == total_)) {
        if (std::fflush(file_.Handle()) != 0) return failed();
        ::sync_file_range(::fileno(file_.Handle()), static_cast<off_t>(HeadersBytes + started_),
                          static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
#endif
    return true;
}

bool Writer::Commit() {
    if (!ok_ || !file_.Commit(error_)) return Fail();
    return true;
}

bool Writer::Fail() {
    if (!failed_) {
        failed_ = true;
        if (error_.empty()) error_ = std::strerror(errno ? errno : EIO);
        file_.Discard();
        MsgBox(target_ + "\n\n" + "This file could not be written (" + error_ + ").", MsgButtons::OK,
               MsgIcon::Critical, "Whoops");
    }
    ok_ = false;
    return false;
}

} // namespace Bmp
