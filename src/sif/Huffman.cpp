// Placeholder: the codec is being written.
#include "sif/Huffman.h"
namespace Huffman {
void Encode(std::vector<uint8_t>&) {}
void Decode(std::vector<uint8_t>&) {}
} // namespace Huffman
