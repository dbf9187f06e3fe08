// SIF files: any bytes parse or are refused; an accepted image stream rebuilds
// a sheet, and writing that tree and sheet again gives a file that parses.
#include <cstdlib>

#include "base/Messages.h"
#include "sif/SifFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageRecorder quiet; // no message boxes, no stderr noise
    quiet.Shown.clear();
    const std::vector<uint8_t> bytes(data, data + size);
    SifContents parsed;
    std::string detail;
    if (ParseSifBytes(bytes, parsed, detail) != SifParseStatus::Ok) return 0;
    if (parsed.Width == 0 || parsed.Height == 0) return 0;
    cBitMap sheet;
    if (!sheet.FromRLE(parsed.Width, parsed.Height, parsed.Mode, parsed.MaskColor, parsed.Data)) return 0;
    sheet.GenMask(parsed.MaskColor);
    const std::vector<uint8_t> again =
        BuildSifBytes(parsed.Actions, sheet, parsed.MaskColor, parsed.Mode, parsed.Flags & 1, parsed.Flags & 2);
    SifContents reparsed;
    if (ParseSifBytes(again, reparsed, detail) != SifParseStatus::Ok) std::abort();
    if (reparsed.Width != parsed.Width || reparsed.Height != parsed.Height) std::abort();
    return 0;
}
