// Recovery files: the reader must refuse or accept any bytes without reading
// outside them, and an accepted file must read back the same after a rewrite.
// Each input is tried as it is and with its checksum made right, so that the
// fuzzer reaches the lengths and counts behind the checksum.
#include <cstdlib>
#include <zlib.h>

#include "project/Recovery.h"

namespace {

void Check(const std::vector<uint8_t>& bytes) {
    RecoveryData parsed;
    std::string error;
    if (!ParseRecoveryBytes(bytes, parsed, error)) return;
    std::vector<uint8_t> again;
    if (!BuildRecoveryBytes(parsed, again, error)) std::abort();
    // The .sip part ignores bytes after its tree, so the bytes may differ; what they say may not.
    RecoveryData twice;
    if (!ParseRecoveryBytes(again, twice, error) || twice.Actions.size() != parsed.Actions.size() ||
        twice.ProjectPath != parsed.ProjectPath || twice.SheetSource != parsed.SheetSource ||
        twice.ChangedMs != parsed.ChangedMs || twice.MaskColor != parsed.MaskColor)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Check(bytes);
    if (bytes.size() >= 4) {
        const size_t body = bytes.size() - 4;
        const auto crc = static_cast<uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(body)));
        for (int i = 0; i < 4; ++i) bytes[body + i] = static_cast<uint8_t>(crc >> (8 * i));
        Check(bytes);
    }
    return 0;
}
