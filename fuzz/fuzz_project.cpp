// Project files: the parser must refuse or accept any bytes without reading
// outside them, and an accepted file must write back to exactly its bytes.
#include <cstdlib>

#include "project/SpriteProject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    ProjectFileContents parsed;
    std::string error;
    if (!ParseProjectBytes(bytes, parsed, error)) return 0;
    std::vector<uint8_t> again;
    if (!BuildProjectBytes(parsed.MaskColor, parsed.SheetPath, parsed.Actions, again, error)) std::abort();
    // Bytes after the tree are ignored by the reader, so compare the tree's part.
    if (again.size() > bytes.size() || !std::equal(again.begin(), again.end(), bytes.begin())) std::abort();
    return 0;
}
