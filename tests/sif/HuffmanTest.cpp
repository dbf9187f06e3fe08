#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <set>
#include <random>

#include "sif/Huffman.h"
#include "support/TestSupport.h"

using Bytes = std::vector<uint8_t>;
using Codes = std::vector<std::pair<uint8_t, std::string>>;

namespace {

Bytes Encoded(Bytes b) { return Huffman::Encode(b), b; }

Bytes Decoded(Bytes b) { return Huffman::Decode(b), b; }

// Decode must refuse the stream with the given message and leave it as it was.
void ExpectRejected(const Bytes& stream, const char* message = Huffman::MalformedMessage) {
    Bytes b = stream;
    try {
        Huffman::Decode(b);
        ADD_FAILURE() << "accepted a stream of " << stream.size() << " bytes";
    } catch (const Huffman::HuffmanError& e) {
        EXPECT_EQ(std::to_string(e.Number) + " " + e.Source, "-2147221504 clsHuffman.Decode()");
        EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(b, stream);
}

// A coded stream with the given codes ("0101"...) for ascending values; the code
// bits are packed LSB first.
Bytes MakeStream(uint8_t checksum, int32_t n, const Codes& codes, const Bytes& data) {
    Bytes s = {checksum, 0, 0, 0, 0, uint8_t(codes.size()), uint8_t(codes.size() >> 8)};
    for (int i = 0; i < 4; ++i) s[1 + i] = static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * i));
    std::string bits;
    for (const auto& [value, code] : codes) s.insert(s.end(), {value, uint8_t(code.size())}), bits += code;
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0) s.push_back(0);
        s.back() |= static_cast<uint8_t>((bits[i] == '1') << (i % 8));
    }
    s.insert(s.end(), data.begin(), data.end());
    return s;
}

Bytes Random(std::mt19937& rng, size_t n, int k, double skew) {
    std::geometric_distribution<int> geo(skew);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(skew > 0 ? std::min(geo(rng), k - 1) : rng() % k);
    return b;
}

std::array<int64_t, 256> Fibonacci(int last) {
    std::array<int64_t, 256> w{1, 1};
    for (int v = 2; v <= last; ++v) w[v] = w[v - 1] + w[v - 2];
    return w;
}

} // namespace

TEST(Huffman, WorkedExamplesAndTieBreaks) {
    // The merge keeps the two lightest in scan order: a later node replaces "first"
    // when it is lighter than it, even if "second" is heavier.
    const struct { Bytes plain, coded; } cases[] = {
        {{}, {0x48, 0x45, 0x30, 0x0D}},
        {{0x41, 0x41, 0x41, 0x41}, {0x48, 0x45, 0x30, 0x0D, 0x41, 0x41, 0x41, 0x41}},
        {{0x41, 0x42, 0x41}, {0x42, 3, 0, 0, 0, 2, 0, 0x41, 1, 0x42, 1, 0x02, 0x02}},
        {{0x41, 0x42, 0x43}, {0x40, 3, 0, 0, 0, 3, 0, 0x41, 2, 0x42, 2, 0x43, 1, 0x0D, 0x0D}},
        {{'A', 'A', 'A', 'B', 'B', 'C'}, {0x02, 6, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0xF8, 0x00}},
        {{'A', 'A', 'A', 'B', 'C', 'C'}, {0x03, 6, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0xB8, 0x00}},
        {{'A', 'A', 'B', 'B', 'C'}, {0x43, 5, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0x7C}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.plain));
        EXPECT_EQ(Encoded(c.plain), c.coded);
        EXPECT_EQ(Decoded(c.coded), c.plain);
    }
    Bytes corrupted = cases[2].coded;
    corrupted[12] = 0x00; // decodes to 41 41 41, whose XOR is not the stored 0x42
    ExpectRejected(corrupted, Huffman::ChecksumMessage);
    // 864,325 bytes whose XOR is 0x48 would start 48 45 30 0D in the coded form: stored instead;
    // one byte longer, coded as usual.
    Bytes in(864325, 0x00);
    in[10] = 0x48;
    const Bytes stored = Encoded(in);
    EXPECT_TRUE(stored.size() == in.size() + 4 && Bytes(stored.begin(), stored.begin() + 4) == cases[0].coded);
    EXPECT_EQ(Decoded(stored), in);
    in.push_back(0x00);
    EXPECT_TRUE(Encoded(in)[0] == 0x48 && Encoded(in)[1] != 0x45 && Decoded(Encoded(in)) == in);
}

TEST(Huffman, RoundTripsGeneratedInputs) {
    std::mt19937 rng(7);
    // EncodedSize foretells every length from the counts alone.
    auto sizeOf = [](const Bytes& in) {
        std::array<uint64_t, 256> counts{};
        for (uint8_t b : in) ++counts[b];
        return Huffman::EncodedSize(counts);
    };
    for (size_t n = 0; n < 3000; n += (n < 40 ? 1 : 197)) {
        for (auto [distinct, skew] : {std::pair{256, 0.0}, {2, 0.0}, {256, 0.3}, {20, 0.05}, {256, 0.9}}) {
            const Bytes in = Random(rng, n, distinct, skew);
            const Bytes enc = Encoded(in);
            ASSERT_EQ(Decoded(enc), in) << n << " " << skew;
            ASSERT_EQ(sizeOf(in), enc.size()) << n << " " << skew;
        }
    }
    // The stored form for one value, and for a coded stream that would look stored.
    EXPECT_EQ(sizeOf(Bytes(9, 7)), 13u);
    Bytes tagged(0x0D3045, 0);
    tagged[0] = 0x48;
    EXPECT_EQ(sizeOf(tagged), tagged.size() + 4);
    // Large enough for the table decoder, with codes from 1 bit to past its table width.
    for (double p : {0.0, 0.02, 0.25, 0.95}) {
        const Bytes in = Random(rng, 300000, 256, p);
        ASSERT_TRUE(Decoded(Encoded(in)) == in) << p;
    }
    // Fibonacci weights give codes of up to L bits; beyond 64 bits too.
    for (int L : {2, 7, 31, 32, 33, 63, 64, 89}) {
        Bytes in(2000);
        for (auto& v : in) v = static_cast<uint8_t>(rng() % 8 ? rng() % 2 : rng() % (L + 1));
        const Bytes enc = Huffman::EncodeWithWeights(in, Fibonacci(L));
        ASSERT_EQ(enc[8], L);
        ASSERT_EQ(Decoded(enc), in) << L;
    }
    // A value without a weight cannot be coded.
    EXPECT_THROW(Huffman::EncodeWithWeights({1, 200}, Fibonacci(89)), std::invalid_argument);
}

// A code longer than the decoder's lookup table is walked bit by bit; near the end of
// the stream the fast loop then hands over to the tail, which must go on from the very
// bit where the walk stopped, whatever the stream's length and end alignment.
TEST(Huffman, LongCodesNearTheEndRoundTrip) {
    const auto weights = Fibonacci(20); // value v >= 2 has a code of 21 - v bits; 0 and 1 have 20
    const auto bitsOf = [](uint8_t v) { return v < 2 ? 20 : 21 - v; };
    constexpr size_t kPreamble = 7 + 2 * 21 + (230 + 7) / 8; // header, pairs and code table
    std::mt19937 rng(11);
    Bytes body(4300);
    for (auto& v : body) v = static_cast<uint8_t>(20 - std::min(std::countr_zero(rng() | 0x40u), 6));
    // Data sections just under and over 1024 bytes, the size from which the table is used.
    std::set<int> alignments;
    int below = 0, above = 0;
    for (size_t n : {3850, 3851, 3852, 3853, 3854, 3855, 3856, 3857, 4160, 4161, 4162, 4163, 4164, 4165, 4166, 4167}) {
        for (size_t back = 1; back <= 16; ++back) {
            for (uint8_t rare : {0, 5, 8}) { // 20-, 16- and 13-bit codes against a 12-bit table
                Bytes in(body.begin(), body.begin() + n);
                for (size_t i = n - 16; i < n; ++i) in[i] = static_cast<uint8_t>(13 + i % 5);
                in[n - back] = rare;
                in[n - 1 - (back + 5) % 16] = 1;
                const Bytes enc = Huffman::EncodeWithWeights(in, weights);
                (enc.size() - kPreamble < 1024 ? below : above)++;
                uint64_t bits = 0;
                for (uint8_t v : in) bits += bitsOf(v);
                alignments.insert(static_cast<int>(bits % 8));
                ASSERT_EQ(Decoded(enc), in) << n << " " << back << " " << int(rare);
            }
        }
    }
    EXPECT_TRUE(below > 0 && above > 0 && alignments.size() == 8) << below << " " << above;
    // The same with the data's own counts, as files are written: rare bytes late in skewed data.
    for (int t = 0; t < 800; ++t) {
        Bytes in = Random(rng, 1030 + rng() % 4970, 60, 0.25);
        for (int r = 0; r < 3; ++r) in[in.size() - 1 - rng() % 16] = static_cast<uint8_t>(100 + rng() % 150);
        ASSERT_EQ(Decoded(Encoded(in)), in) << t;
    }
    const Bytes found = ReadFileBytes(std::string(CELWRIGHT_FUZZ_CORPUS) + "/huffman/huffman-long-code-near-end.bin");
    ASSERT_EQ(found.size(), 4876u);
    EXPECT_EQ(Decoded(Encoded(found)), found);
}

TEST(Huffman, RejectsMalformedStreams) {
    for (size_t n = 1; n < 7; ++n) ExpectRejected(Bytes(n, 0x11));
    ExpectRejected({0x48, 0x45, 0x30});
    const Codes ab = {{'A', "0"}, {'B', "1"}};
    const Codes gap = {{'A', "0"}, {'B', "10"}}; // the path 11 leads nowhere
    Bytes longData(5000, 0x00), deadStart(5000, 0x00);
    longData[3000] = 0b11000000;
    deadStart[3000] = 0xFF; // a table lookup that starts on the dead end
    Codes spine; // value v gets 1^v 0, 255 gets 011: the most nodes a tree may have
    for (int v = 0; v < 256; ++v) spine.push_back({uint8_t(v), v < 255 ? std::string(v, '1') + "0" : "011"});
    EXPECT_EQ(Decoded(MakeStream(1, 1, spine, {0b01})), Bytes{1});
    spine.back().second = "0111"; // one node more
    const Codes tables[] = {{{'A', "0"}}, {}, {{'A', "0"}, {'B', ""}}, // one code, none, an empty one,
                            {{'B', "0"}, {'A', "1"}}, {{'A', "0"}, {'A', "1"}}}; // descending, repeated
    for (const Codes& c : tables) ExpectRejected(MakeStream(0, 1, c, {0}));
    const Codes cut = {{'A', "0"}, {'B', std::string(200, '1')}}; // the table is cut short
    for (const Bytes& s : {MakeStream(0, -5, ab, {0}), MakeStream(0, 9, ab, {0}), MakeStream(0, 1, cut, {}),
                           MakeStream(1, 1, spine, {1}), MakeStream('A', 2, gap, {0b1110}),
                           MakeStream(0, 40000, gap, longData), MakeStream(0, 40000, gap, deadStart)})
        ExpectRejected(s);
    for (int count : {0x0101, 0xFFFF, 0, 200}) { // 257, negative, none, more pairs than present
        Bytes s = MakeStream(0, 1, ab, {0});
        s[5] = static_cast<uint8_t>(count), s[6] = static_cast<uint8_t>(count >> 8);
        ExpectRejected(s);
    }
    const Bytes empty = {0x00, 0, 0, 0, 0, 0x05, 0x00}; // length 0 is left alone
    EXPECT_EQ(Decoded(empty), empty);
}

TEST(Huffman, TruncatedStreamsDecodeAPrefixOrFail) {
    // Six values announced, the data ends after four: those four when their XOR matches.
    const Codes ab = {{'A', "0"}, {'B', "11"}};
    EXPECT_EQ(Decoded(MakeStream(0, 6, ab, {0xFF})), (Bytes{'B', 'B', 'B', 'B'}));
    ExpectRejected(MakeStream('B', 6, ab, {0xFF}), Huffman::ChecksumMessage);
    std::mt19937 rng(5);
    for (size_t size : {700, 40000}) {
        const Bytes in = Random(rng, size, 256, 0.15), enc = Encoded(in);
        for (size_t len = 0; len < enc.size(); len += size > 1000 ? 37 : 1) {
            Bytes cut(enc.begin(), enc.begin() + len);
            try {
                Huffman::Decode(cut);
                ASSERT_EQ(cut, Bytes(in.begin(), in.begin() + std::min(cut.size(), in.size()))) << len;
            } catch (const Huffman::HuffmanError&) {
            }
        }
    }
}
