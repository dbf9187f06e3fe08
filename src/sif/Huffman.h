#pragma once
// Static Huffman coding of a byte buffer, in place. A stream carries its own code
// table, the input length and an XOR checksum; input with fewer than two distinct
// byte values is wrapped in the stored form ("HE0\r" + the bytes).
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Huffman {

// Raised by Decode. Number, Source and the message (what()) are those a caller shows.
class HuffmanError : public std::runtime_error {
public:
    HuffmanError(int32_t number, std::string source, const std::string& message)
        : std::runtime_error(message), Number(number), Source(std::move(source)) {}
    int32_t Number;
    std::string Source;
};

inline constexpr int32_t ChecksumErrorNumber = static_cast<int32_t>(0x80040000u);
inline constexpr const char* ErrorSource = "clsHuffman.Decode()";
inline constexpr const char* ChecksumMessage = "The data might be corrupted (checksum did not match expected value)";

// Raised by Decode for a stream that cannot have come from Encode (same Number and Source).
inline constexpr const char* MalformedMessage = "The data is corrupted (malformed Huffman stream)";

// Replaces Buffer with its encoded stream. Never fails for input the format can describe;
// input of more than 2^31 - 1 bytes (the length field is 32-bit signed) throws
// std::length_error and leaves Buffer unchanged.
void Encode(std::vector<uint8_t>& Buffer);

// The length Encode gives a buffer whose byte values occur Counts times each
// (Counts[v] for value v), worked out from the counts alone: what a stream would
// cost coded without making or coding it. Counts must sum to less than 2^31.
size_t EncodedSize(const std::array<uint64_t, 256>& Counts);

// Replaces an encoded stream with the bytes that were encoded. Throws HuffmanError
// on a checksum mismatch or a malformed stream; Buffer is then unchanged.
void Decode(std::vector<uint8_t>& Buffer);

// Encodes Data like Encode, but with the code built for Weights instead of the data's own
// counts. Every byte of Data must have a weight above 0, and the weights must sum to less
// than 2^63 (std::invalid_argument otherwise). Encode is EncodeWithWeights with the counts;
// other weights reach code lengths that real inputs would need absurdly large buffers for.
std::vector<uint8_t> EncodeWithWeights(const std::vector<uint8_t>& Data, const std::array<int64_t, 256>& Weights);

} // namespace Huffman
