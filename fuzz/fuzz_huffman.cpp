// The Huffman codec: any bytes decode or are refused with an error, leaving the
// buffer as it was; any bytes encode to a stream that decodes back to them.
#include <cstdlib>

#include "sif/Huffman.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    std::vector<uint8_t> buffer = input;
    try {
        Huffman::Decode(buffer);
    } catch (const Huffman::HuffmanError&) {
        if (buffer != input) std::abort();
    }
    buffer = input;
    Huffman::Encode(buffer);
    Huffman::Decode(buffer);
    if (buffer != input) std::abort();
    return 0;
}
