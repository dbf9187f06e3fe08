// Bitmap files: any bytes load or are refused with the picture left as it was;
// a loaded picture survives every stream mode and draws inside its target, and
// coding the file while reading it gives the loaded picture's streams.
#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

#include "base/Messages.h"
#include "bitmap/cBitMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageRecorder quiet;
    quiet.Shown.clear();
    static const std::string path = "/tmp/celwright-fuzz-" + std::to_string(::getpid()) + ".bmp";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    cBitMap bm;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> streamed;
    const bool read = cBitMap::StreamOfFile(path, cBitMap::DefaultClearColor, 5, width, height, streamed);
    if (!bm.LoadBMP(path)) {
        if (bm.Loaded() || bm.Width() != 0 || read) std::abort();
        return 0;
    }
    if (!read || width != bm.Width() || height != bm.Height() || streamed != bm.ToRLE(5)) std::abort();
    if (bm.Width() <= 0 || bm.Height() <= 0 || bm.Pixels().size() != size_t(bm.Stride()) * bm.Height()) std::abort();
    bm.GenMask(0xFF00FF);
    uint32_t pixels[32 * 32];
    const PixelSurface target{pixels, 32, 32, 32, -3, -5};
    bm.DrawTo(target, -2, -2, 0, 0, bm.Width() + 4, bm.Height() + 4, 0.37, 1.9);
    bm.DrawTrans(target, 1, 1, -1, 2, 5, 7, 3.0, 0.5);
    for (uint8_t mode : {1, 2, 4, 5}) {
        cBitMap copy;
        const std::vector<uint8_t> stream = bm.ToRLE(mode);
        if (stream.size() >= 2 && !copy.FromRLE(bm.Width(), bm.Height(), mode, 0, stream)) std::abort();
    }
    return 0;
}
