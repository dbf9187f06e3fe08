// Static Huffman codec. The tree is built with one exact merge order and tie-breaking,
// so that a given input always gives the same stream, byte for byte, as files written
// before; the bit packing and the decoder are table-driven for speed.
#include "sif/Huffman.h"

#include <bit>
#include <cstring>
#include <limits>

namespace Huffman {

namespace {

constexpr uint8_t kStoredTag[4] = {0x48, 0x45, 0x30, 0x0D};
constexpr size_t kHeaderSize = 7;
constexpr int kMaxNodes = 512;

[[noreturn]] void ThrowMalformed() { throw HuffmanError(ChecksumErrorNumber, ErrorSource, MalformedMessage); }

// ---------------------------------------------------------------- unaligned access

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

inline void Store64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

inline void Store32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

uint8_t XorBytes(const uint8_t* p, size_t n) {
    uint64_t acc = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) acc ^= Load64(p + i);
    acc ^= acc >> 32;
    acc ^= acc >> 16;
    acc ^= acc >> 8;
    uint8_t x = static_cast<uint8_t>(acc);
    for (; i < n; ++i) x ^= p[i];
    return x;
}

// ---------------------------------------------------------------- encoder

struct HuffNode {
    int16_t Parent;
    int16_t Right; // child reached by bit 1
    int16_t Left;  // child reached by bit 0
    int16_t Value; // byte value of a leaf, -1 for an inner node
    int64_t Weight;
};

// One code, first bit in bit 0 of Bits[0] (the order the bits are packed in).
struct BitCode {
    uint8_t Length = 0;
    uint64_t Bits[4] = {0, 0, 0, 0};
};

// Builds the tree over the values with a weight above 0 and returns the root
// (-1 when no value has a weight).
int BuildTree(const int64_t* weights, HuffNode* nodes) {
    int count = 0;
    for (int v = 0; v < 256; ++v) {
        if (weights[v] > 0) nodes[count++] = HuffNode{-1, -1, -1, static_cast<int16_t>(v), weights[v]};
    }
    if (count == 0) return -1;
    const int leaves = count;
    for (int merge = 1; merge < leaves; ++merge) {
        // Of equal weights the node scanned first is kept, so the result depends on
        // the exact order of these strict comparisons.
        int first = -1, second = -1;
        int64_t w1 = 0, w2 = 0;
        for (int i = 0; i < count; ++i) {
            if (nodes[i].Parent != -1) continue;
            const int64_t w = nodes[i].Weight;
            if (first < 0) {
                first = i;
                w1 = w;
            } else if (second < 0) {
                second = i;
                w2 = w;
            } else if (w < w1 && w < w2) {
                if (w1 < w2) {
                    second = i;
                    w2 = w;
                } else {
                    first = i;
                    w1 = w;
                }
            } else if (w < w1) {
                first = i;
                w1 = w;
            } else if (w < w2) {
                second = i;
                w2 = w;
            }
        }
        nodes[count] = HuffNode{-1, static_cast<int16_t>(second), static_cast<int16_t>(first), -1, w1 + w2};
        nodes[first].Parent = static_cast<int16_t>(count);
        nodes[second].Parent = static_cast<int16_t>(count);
        ++count;
    }
    return count - 1;
}

void AssignCodes(const HuffNode* nodes, int index, int depth, uint64_t* path, BitCode* codes) {
    const HuffNode& node = nodes[index];
    if (node.Value >= 0) {
        BitCode& c = codes[node.Value];
        c.Length = static_cast<uint8_t>(depth);
        for (int i = 0; i < 4; ++i) c.Bits[i] = path[i];
        return;
    }
    // A tree of at most 511 nodes is at most 255 levels deep, so depth < 255 here.
    const uint64_t bit = uint64_t{1} << (depth & 63);
    if (node.Left != -1) {
        path[depth >> 6] &= ~bit;
        AssignCodes(nodes, node.Left, depth + 1, path, codes);
    }
    if (node.Right != -1) {
        path[depth >> 6] |= bit;
        AssignCodes(nodes, node.Right, depth + 1, path, codes);
        path[depth >> 6] &= ~bit;
    }
}

// LSB-first bit packer writing into a buffer that has 8 spare bytes past the end of
// what is written (every put stores a whole 64-bit word). After each put fewer than
// 8 bits are pending, so one put takes up to 56 bits.
struct BitSink {
    uint8_t* p;
    uint64_t acc = 0;
    unsigned bits = 0;

    void Put(uint64_t word, unsigned len) {
        acc |= word << bits;
        bits += len;
        Store64(p, acc);
        p += bits >> 3;
        acc >>= (bits & 56);
        bits &= 7;
    }
    void PutCode(const BitCode& c) {
        unsigned len = c.Length;
        for (int i = 0; len > 0; ++i) {
            const unsigned lo = len < 32 ? len : 32;
            Put(static_cast<uint32_t>(c.Bits[i]), lo);
            len -= lo;
            if (len == 0) break;
            const unsigned hi = len < 32 ? len : 32;
            Put(c.Bits[i] >> 32, hi);
            len -= hi;
        }
    }
    // Writes the partly filled byte, if any.
    void Flush() {
        if (bits > 0) *p++ = static_cast<uint8_t>(acc);
        acc = 0;
        bits = 0;
    }
};

// Packs several codes per store: K codes of at most 56 / K bits each fit the word.
template <int K>
void PackShort(const uint8_t* in, size_t n, const uint64_t* entry, BitSink& sink) {
    constexpr uint64_t kWordMask = (uint64_t{1} << 56) - 1;
    uint8_t* p = sink.p;
    uint64_t acc = sink.acc;
    unsigned bits = sink.bits;
    size_t i = 0;
    for (; i + K <= n; i += K) {
        for (int j = 0; j < K; ++j) {
            const uint64_t e = entry[in[i + j]];
            acc |= (e & kWordMask) << bits;
            bits += static_cast<unsigned>(e >> 56);
        }
        Store64(p, acc);
        p += bits >> 3;
        acc >>= (bits & 56);
        bits &= 7;
    }
    sink.p = p;
    sink.acc = acc;
    sink.bits = bits;
    for (; i < n; ++i) sink.Put(entry[in[i]] & kWordMask, static_cast<unsigned>(entry[in[i]] >> 56));
}

void PackData(const uint8_t* in, size_t n, const BitCode* codes, unsigned maxLen, BitSink& sink) {
    if (maxLen > 56) {
        // Codes this long need weights near 2^40 and more; a plain loop does.
        for (size_t i = 0; i < n; ++i) sink.PutCode(codes[in[i]]);
        return;
    }
    uint64_t entry[256];
    for (int v = 0; v < 256; ++v) entry[v] = codes[v].Bits[0] | (uint64_t{codes[v].Length} << 56);
    if (maxLen <= 14)
        PackShort<4>(in, n, entry, sink);
    else if (maxLen <= 18)
        PackShort<3>(in, n, entry, sink);
    else if (maxLen <= 28)
        PackShort<2>(in, n, entry, sink);
    else
        PackShort<1>(in, n, entry, sink);
}

void CountBytes(const uint8_t* p, size_t n, uint64_t* counts) {
    // Four tables so that runs of one value do not serialise on one counter.
    uint32_t c[4][256] = {};
    size_t i = 0;
    while (i < n) {
        // uint32_t counters cannot overflow within a chunk of 2^32 - 4 bytes.
        const size_t chunkEnd = (n - i > 0xFFFFFFF0u) ? i + 0xFFFFFFF0u : n;
        for (; i + 8 <= chunkEnd; i += 8) {
            const uint64_t w = Load64(p + i);
            ++c[0][w & 0xFF];
            ++c[1][(w >> 8) & 0xFF];
            ++c[2][(w >> 16) & 0xFF];
            ++c[3][(w >> 24) & 0xFF];
            ++c[0][(w >> 32) & 0xFF];
            ++c[1][(w >> 40) & 0xFF];
            ++c[2][(w >> 48) & 0xFF];
            ++c[3][w >> 56];
        }
        for (; i < chunkEnd; ++i) ++c[0][p[i]];
        for (int v = 0; v < 256; ++v) {
            counts[v] += uint64_t{c[0][v]} + c[1][v] + c[2][v] + c[3][v];
            c[0][v] = c[1][v] = c[2][v] = c[3][v] = 0;
        }
    }
}

// The coded form of in[0..n) with the code of weights, or false when the stored form
// has to be written instead (fewer than two coded values, or a coded stream that
// would start like a stored one).
bool EncodeCoded(const uint8_t* in, size_t n, const int64_t* weights, const uint64_t* counts, uint8_t checksum,
                 std::vector<uint8_t>& out) {
    // A coded stream opens with the checksum and the low three bytes of n; when those
    // spell the stored-form tag, a decoder would take it for stored data.
    if (checksum == kStoredTag[0] && (n & 0xFFFFFF) == 0x0D3045u) return false;

    HuffNode nodes[kMaxNodes];
    const int root = BuildTree(weights, nodes);
    if (root <= 0) return false; // no value, or a single one: its code would be empty

    BitCode codes[256];
    uint64_t path[4] = {0, 0, 0, 0};
    AssignCodes(nodes, root, 0, path, codes);

    int coded = 0;
    unsigned maxLen = 0;
    uint64_t tableBits = 0, dataBits = 0;
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Length == 0) continue;
        ++coded;
        tableBits += codes[v].Length;
        dataBits += counts[v] * codes[v].Length;
        if (codes[v].Length > maxLen) maxLen = codes[v].Length;
    }
    const size_t tableBytes = static_cast<size_t>((tableBits + 7) / 8);
    const size_t dataBytes = static_cast<size_t>((dataBits + 7) / 8);
    const size_t total = kHeaderSize + 2 * static_cast<size_t>(coded) + tableBytes + dataBytes;

    out.resize(total + 8); // the packer stores whole words
    uint8_t* o = out.data();
    o[0] = checksum;
    const uint32_t n32 = static_cast<uint32_t>(n);
    for (int i = 0; i < 4; ++i) o[1 + i] = static_cast<uint8_t>(n32 >> (8 * i));
    o[5] = static_cast<uint8_t>(coded);
    o[6] = static_cast<uint8_t>(coded >> 8);
    size_t at = kHeaderSize;
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Length == 0) continue;
        o[at++] = static_cast<uint8_t>(v);
        o[at++] = codes[v].Length;
    }
    BitSink sink{o + at};
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Length != 0) sink.PutCode(codes[v]);
    }
    sink.Flush();
    PackData(in, n, codes, maxLen, sink);
    sink.Flush();
    out.resize(total);
    return true;
}

void CheckLength(size_t n) {
    if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw std::length_error("Huffman::Encode: input longer than 2^31 - 1 bytes");
}

// ---------------------------------------------------------------- decoder

struct DecodeNode {
    int16_t Left = -1;
    int16_t Right = -1;
    int16_t Value = -1;
};

enum class WalkEnd { Done, EndOfInput, MissingChild };

// The reference bit-by-bit walk: decodes from bit position pos (counted from data[0])
// until k reaches stopAt, the input ends, or a bit leads nowhere.
WalkEnd WalkTree(const DecodeNode* nodes, const uint8_t* data, uint64_t& pos, uint64_t bitEnd, uint8_t* out,
                 size_t& k, size_t stopAt) {
    int node = 0;
    while (k < stopAt) {
        if (pos >= bitEnd) return WalkEnd::EndOfInput;
        const bool bit = (data[pos >> 3] >> (pos & 7)) & 1;
        ++pos;
        const int child = bit ? nodes[node].Right : nodes[node].Left;
        if (child < 0) return WalkEnd::MissingChild;
        node = child;
        if (nodes[node].Value >= 0) {
            out[k++] = static_cast<uint8_t>(nodes[node].Value);
            node = 0;
        }
    }
    return WalkEnd::Done;
}

// Lookup table over the next kTableBits bits. An ordinary entry holds the bits its
// values use (bits 0..5, so that the shift needs no masking on the critical path), the
// number of values, 1 to 3 (bits 6..7), and the values (bytes 1..3). An entry with
// no value is kLong, bits that begin a code longer than the table, or kMissing, bits
// that lead to no node.
constexpr unsigned kTableBits = 12;
constexpr uint32_t kLong = 0;
constexpr uint32_t kMissing = 1;
constexpr uint32_t kCountBits = 0xC0;
// Below this much data the table costs more to build than it saves.
constexpr size_t kTableMinBytes = 1024;

void BuildTable(const DecodeNode* nodes, uint32_t* table) {
    for (uint32_t index = 0; index < (1u << kTableBits); ++index) {
        int node = 0;
        uint32_t values = 0, used = 0, emitted = 0;
        bool missing = false;
        for (unsigned b = 0; b < kTableBits; ++b) {
            const int child = ((index >> b) & 1) ? nodes[node].Right : nodes[node].Left;
            if (child < 0) {
                missing = true;
                break;
            }
            node = child;
            if (nodes[node].Value >= 0) {
                values |= static_cast<uint32_t>(nodes[node].Value) << (8 * emitted + 8);
                used = b + 1;
                node = 0;
                if (++emitted == 3) break;
            }
        }
        if (emitted > 0)
            table[index] = values | used | (emitted << 6);
        else
            table[index] = missing ? kMissing : kLong;
    }
}

// Decodes into out (room for n + 8 bytes) and returns the number of values decoded.
size_t DecodeData(const DecodeNode* nodes, const uint8_t* data, size_t dataStart, size_t size, uint8_t* out,
                  size_t n) {
    size_t k = 0;
    uint64_t pos = uint64_t{dataStart} * 8;
    const uint64_t bitEnd = uint64_t{size} * 8;

    if (size - dataStart >= kTableMinBytes) {
        uint32_t table[1u << kTableBits];
        BuildTable(nodes, table);
        constexpr uint64_t kMask = (1u << kTableBits) - 1;
        const uint8_t* p = data + dataStart;
        const uint8_t* const end = data + size;
        uint64_t acc = 0;
        unsigned bits = 0;
        // Invariant: acc holds the next `bits` bits of the stream, p the first byte
        // not fully in acc (higher bits of acc repeat bits of p, never others).
        // Every way out of the loop leaves pos at the exact next bit for the tail.
        for (;;) {
            if (end - p < 8 || n - k < 12) {
                pos = static_cast<uint64_t>(p - data) * 8 - bits;
                break;
            }
            acc |= Load64(p) << bits;
            p += (63 - bits) >> 3;
            bits |= 56;
            uint32_t e = 0;
            // 4 lookups of at most 12 bits each use at most 48 of the >= 56 bits.
            for (int r = 0; r < 4; ++r) {
                e = static_cast<uint32_t>(table[acc & kMask]);
                if (!(e & kCountBits)) break;
                Store32(out + k, e >> 8);
                k += (e >> 6) & 3;
                acc >>= (e & 63);
                bits -= e & 63;
            }
            if (e & kCountBits) continue;
            pos = static_cast<uint64_t>(p - data) * 8 - bits;
            if (e == kMissing) ThrowMalformed();
            // A code longer than the table: walk it bit by bit, then resume.
            const WalkEnd w = WalkTree(nodes, data, pos, bitEnd, out, k, k + 1);
            if (w == WalkEnd::MissingChild) ThrowMalformed();
            if (w == WalkEnd::EndOfInput) return k;
            // The walk may end mid-byte; near the end the tail goes on from that bit.
            p = data + (pos >> 3);
            if (end - p < 8) break;
            const unsigned skip = static_cast<unsigned>(pos & 7);
            acc = Load64(p) >> skip;
            bits = 56 - skip;
            p += 7;
        }
    }
    if (WalkTree(nodes, data, pos, bitEnd, out, k, n) == WalkEnd::MissingChild) ThrowMalformed();
    return k;
}

} // namespace

std::vector<uint8_t> EncodeWithWeights(const std::vector<uint8_t>& Data, const std::array<int64_t, 256>& Weights) {
    CheckLength(Data.size());
    int64_t sum = 0;
    for (int64_t w : Weights) {
        if (w < 0 || w > std::numeric_limits<int64_t>::max() - sum)
            throw std::invalid_argument("Huffman::EncodeWithWeights: weights negative or too large");
        sum += w;
    }
    uint64_t counts[256] = {};
    CountBytes(Data.data(), Data.size(), counts);
    uint8_t checksum = 0;
    for (int v = 0; v < 256; ++v) {
        if (counts[v] != 0 && Weights[v] <= 0)
            throw std::invalid_argument("Huffman::EncodeWithWeights: a byte of the data has no weight");
        if (counts[v] & 1) checksum ^= static_cast<uint8_t>(v);
    }
    std::vector<uint8_t> out;
    if (Data.empty() || !EncodeCoded(Data.data(), Data.size(), Weights.data(), counts, checksum, out)) {
        out.assign(kStoredTag, kStoredTag + 4);
        out.insert(out.end(), Data.begin(), Data.end());
    }
    return out;
}

void Encode(std::vector<uint8_t>& Buffer) {
    const size_t n = Buffer.size();
    CheckLength(n);
    uint64_t counts[256] = {};
    CountBytes(Buffer.data(), n, counts);
    int64_t weights[256];
    uint8_t checksum = 0;
    for (int v = 0; v < 256; ++v) {
        weights[v] = static_cast<int64_t>(counts[v]);
        if (counts[v] & 1) checksum ^= static_cast<uint8_t>(v);
    }
    std::vector<uint8_t> out;
    if (n > 0 && EncodeCoded(Buffer.data(), n, weights, counts, checksum, out)) {
        Buffer.swap(out);
        return;
    }
    Buffer.insert(Buffer.begin(), kStoredTag, kStoredTag + 4);
}

size_t EncodedSize(const std::array<uint64_t, 256>& Counts) {
    uint64_t n = 0;
    int64_t weights[256];
    uint8_t checksum = 0;
    for (int v = 0; v < 256; ++v) {
        n += Counts[v];
        weights[v] = static_cast<int64_t>(Counts[v]);
        if (Counts[v] & 1) checksum ^= static_cast<uint8_t>(v);
    }
    // The same choices as EncodeCoded, without the packing.
    const auto stored = static_cast<size_t>(n) + 4;
    if (n == 0 || (checksum == kStoredTag[0] && (n & 0xFFFFFF) == 0x0D3045u)) return stored;
    HuffNode nodes[kMaxNodes];
    const int root = BuildTree(weights, nodes);
    if (root <= 0) return stored;
    BitCode codes[256];
    uint64_t path[4] = {0, 0, 0, 0};
    AssignCodes(nodes, root, 0, path, codes);
    uint64_t coded = 0, tableBits = 0, dataBits = 0;
    for (int v = 0; v < 256; ++v) {
        if (codes[v].Length == 0) continue;
        ++coded;
        tableBits += codes[v].Length;
        dataBits += Counts[v] * codes[v].Length;
    }
    return static_cast<size_t>(kHeaderSize + 2 * coded + (tableBits + 7) / 8 + (dataBits + 7) / 8);
}

void Decode(std::vector<uint8_t>& Buffer) {
    const size_t size = Buffer.size();
    const uint8_t* data = Buffer.data();
    if (size >= 4 && std::memcmp(data, kStoredTag, 4) == 0) {
        Buffer.erase(Buffer.begin(), Buffer.begin() + 4);
        return;
    }
    if (size < kHeaderSize) ThrowMalformed();
    const uint8_t checksum = data[0];
    const int32_t n = static_cast<int32_t>(uint32_t{data[1]} | uint32_t{data[2]} << 8 | uint32_t{data[3]} << 16 |
                                           uint32_t{data[4]} << 24);
    const int16_t coded = static_cast<int16_t>(data[5] | data[6] << 8);
    if (n == 0) return; // an empty input, stored without a table
    if (n < 0 || coded < 2 || coded > 256) ThrowMalformed();

    const size_t tableStart = kHeaderSize + 2 * static_cast<size_t>(coded);
    if (tableStart > size) ThrowMalformed();
    uint8_t lengths[256] = {};
    size_t tableBits = 0;
    for (int i = 0; i < coded; ++i) {
        const uint8_t value = data[kHeaderSize + 2 * i];
        const uint8_t length = data[kHeaderSize + 2 * i + 1];
        if (length == 0) ThrowMalformed();
        if (i > 0 && value <= data[kHeaderSize + 2 * (i - 1)]) ThrowMalformed();
        lengths[value] = length;
        tableBits += length;
    }
    const size_t dataStart = tableStart + (tableBits + 7) / 8;
    if (dataStart > size) ThrowMalformed();
    // Every code takes at least one bit, which bounds what the data can hold.
    if (static_cast<uint64_t>(n) > uint64_t{size - dataStart} * 8) ThrowMalformed();

    DecodeNode nodes[kMaxNodes];
    int used = 1;
    uint64_t bitPos = uint64_t{tableStart} * 8;
    for (int v = 0; v < 256; ++v) {
        int node = 0;
        for (unsigned b = 0; b < lengths[v]; ++b, ++bitPos) {
            const bool bit = (data[bitPos >> 3] >> (bitPos & 7)) & 1;
            int16_t& child = bit ? nodes[node].Right : nodes[node].Left;
            if (child < 0) {
                if (used == kMaxNodes) ThrowMalformed();
                child = static_cast<int16_t>(used++);
            }
            node = child;
        }
        if (lengths[v] > 0) nodes[node].Value = static_cast<int16_t>(v);
    }

    std::vector<uint8_t> out(static_cast<size_t>(n) + 8);
    const size_t decoded = DecodeData(nodes, data, dataStart, size, out.data(), static_cast<size_t>(n));
    if (XorBytes(out.data(), decoded) != checksum)
        throw HuffmanError(ChecksumErrorNumber, ErrorSource, ChecksumMessage);
    out.resize(decoded);
    Buffer.swap(out);
}

} // namespace Huffman
