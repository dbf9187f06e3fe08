// Recovery files: the reader must refuse or accept any bytes without reading
// outside them, and an accepted file must write back to exactly its bytes.
#include <cstdlib>

#include "project/Recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    RecoveryData parsed;
    std::string error;
    if (!ParseRecoveryBytes(bytes, parsed, error)) return 0;
    std::vector<uint8_t> again;
    if (!BuildRecoveryBytes(parsed, again, error)) std::abort();
    // The .sip part ignores bytes after its tree, so only that part may differ.
    RecoveryData twice;
    if (!ParseRecoveryBytes(again, twice, error) || twice.Actions.size() != parsed.Actions.size() ||
        twice.ProjectPath != parsed.ProjectPath || twice.ChangedMs != parsed.ChangedMs)
        std::abort();
    return 0;
}
