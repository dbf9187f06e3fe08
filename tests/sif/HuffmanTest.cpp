#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sif/Huffman.h"

using Bytes = std::vector<uint8_t>;

namespace {

Bytes Encoded(Bytes b) {
    Huffman::Encode(b);
    return b;
}

Bytes Decoded(Bytes b) {
    Huffman::Decode(b);
    return b;
}

// Decode must refuse the stream as corrupted and leave it as it was.
void ExpectRejected(const Bytes& stream, const char* message = Huffman::MalformedMessage) {
    Bytes b = stream;
    try {
        Huffman::Decode(b);
        ADD_FAILURE() << "accepted a stream of " << stream.size() << " bytes";
    } catch (const Huffman::HuffmanError& e) {
        EXPECT_EQ(e.Number, -2147221504);
        EXPECT_EQ(e.Source, "clsHuffman.Decode()");
        EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(b, stream);
}

// LSB-first bit writer for hand-made streams.
struct Bits {
    Bytes out;
    size_t n = 0;
    void Put(bool bit) {
        if (n % 8 == 0) out.push_back(0);
        if (bit) out.back() |= static_cast<uint8_t>(1u << (n % 8));
        ++n;
    }
    void Put(const std::string& code) {
        for (char c : code) Put(c == '1');
    }
};

// A coded stream with the given codes ("0101"...) for ascending values.
Bytes MakeStream(uint8_t checksum, int32_t n, const std::vector<std::pair<uint8_t, std::string>>& codes,
                 const Bytes& dataBytes) {
    Bytes s = {checksum};
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * i)));
    s.push_back(static_cast<uint8_t>(codes.size()));
    s.push_back(static_cast<uint8_t>(codes.size() >> 8));
    Bits table;
    for (const auto& [value, code] : codes) {
        s.push_back(value);
        s.push_back(static_cast<uint8_t>(code.size()));
        table.Put(code);
    }
    s.insert(s.end(), table.out.begin(), table.out.end());
    s.insert(s.end(), dataBytes.begin(), dataBytes.end());
    return s;
}

uint8_t Xor(const Bytes& b) {
    uint8_t x = 0;
    for (uint8_t v : b) x ^= v;
    return x;
}

// The plain tree walk of the format, with the same refusals, as a model for Decode;
// the checksum is left to the caller.
bool ModelDecode(const Bytes& s, Bytes& out) {
    if (s.size() >= 4 && s[0] == 0x48 && s[1] == 0x45 && s[2] == 0x30 && s[3] == 0x0D) {
        out.assign(s.begin() + 4, s.end());
        return true;
    }
    if (s.size() < 7) return false;
    const int32_t n = static_cast<int32_t>(s[1] | s[2] << 8 | s[3] << 16 | static_cast<uint32_t>(s[4]) << 24);
    const int count = static_cast<int16_t>(s[5] | s[6] << 8);
    if (n == 0) { // left as it is
        out = s;
        return true;
    }
    if (n < 0 || count < 2 || count > 256 || 7 + 2 * count > static_cast<int>(s.size())) return false;
    size_t bit = (7 + 2 * count) * 8, sum = 0;
    for (int i = 0; i < count; ++i) {
        if (s[8 + 2 * i] == 0 || (i > 0 && s[7 + 2 * i] <= s[5 + 2 * i])) return false;
        sum += s[8 + 2 * i];
    }
    const size_t start = 7 + 2 * count + (sum + 7) / 8;
    if (start > s.size() || uint64_t(n) > (s.size() - start) * 8) return false;
    std::vector<std::array<int, 3>> nodes = {{-1, -1, -1}}; // left, right, value
    auto next = [&](size_t at) { return (s[at / 8] >> (at % 8)) & 1; };
    for (int i = 0; i < count; ++i) {
        size_t node = 0;
        for (int b = 0; b < s[8 + 2 * i]; ++b) {
            int bitv = next(bit);
            ++bit;
            if (nodes[node][bitv] < 0) {
                if (nodes.size() == 512) return false;
                nodes[node][bitv] = static_cast<int>(nodes.size());
                nodes.push_back({-1, -1, -1});
            }
            node = nodes[node][bitv];
        }
        nodes[node][2] = s[7 + 2 * i];
    }
    out.clear();
    int node = 0;
    for (size_t at = start * 8; at < s.size() * 8 && out.size() < size_t(n); ++at) {
        node = nodes[node][next(at)];
        if (node < 0) return false;
        if (nodes[node][2] >= 0) out.push_back(static_cast<uint8_t>(nodes[node][2])), node = 0;
    }
    return true;
}

Bytes Random(std::mt19937& rng, size_t n, int distinct, double skew) {
    std::geometric_distribution<int> geo(skew);
    std::uniform_int_distribution<int> uni(0, distinct - 1);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(skew > 0 ? std::min(geo(rng), distinct - 1) : uni(rng));
    return b;
}

} // namespace

TEST(Huffman, WorkedExamples) {
    EXPECT_EQ(Encoded({}), (Bytes{0x48, 0x45, 0x30, 0x0D}));
    EXPECT_EQ(Decoded({0x48, 0x45, 0x30, 0x0D}), Bytes{});
    EXPECT_EQ(Encoded({0x41, 0x41, 0x41, 0x41}), (Bytes{0x48, 0x45, 0x30, 0x0D, 0x41, 0x41, 0x41, 0x41}));
    const Bytes aba = {0x42, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x41, 0x01, 0x42, 0x01, 0x02, 0x02};
    EXPECT_EQ(Encoded({0x41, 0x42, 0x41}), aba);
    EXPECT_EQ(Decoded(aba), (Bytes{0x41, 0x42, 0x41}));
    const Bytes abc = {0x40, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x41, 0x02, 0x42, 0x02, 0x43, 0x01, 0x0D, 0x0D};
    EXPECT_EQ(Encoded({0x41, 0x42, 0x43}), abc);
    EXPECT_EQ(Decoded(abc), (Bytes{0x41, 0x42, 0x43}));

    Bytes corrupted = aba;
    corrupted[12] = 0x00; // decodes to 41 41 41, whose XOR is not the stored 0x42
    ExpectRejected(corrupted, Huffman::ChecksumMessage);
}

TEST(Huffman, MergeKeepsTheTwoLightestInScanOrder) {
    // A(3) B(2) C(1): C is lighter than both and first is not lighter than second,
    // so C replaces first: the pair is (C, B), giving A 0, C 10, B 11.
    EXPECT_EQ(Encoded({'A', 'A', 'A', 'B', 'B', 'C'}),
              (Bytes{0x02, 6, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0xF8, 0x00}));
    // A(3) B(1) C(2): C is lighter than first only, so it replaces first again.
    EXPECT_EQ(Encoded({'A', 'A', 'A', 'B', 'C', 'C'}),
              (Bytes{0x03, 6, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0xB8, 0x00}));
    // A(2) B(2) C(1): lighter than two equal picks, C replaces first.
    EXPECT_EQ(Encoded({'A', 'A', 'B', 'B', 'C'}),
              (Bytes{0x43, 5, 0, 0, 0, 3, 0, 'A', 1, 'B', 2, 'C', 2, 0x0E, 0x7C}));
}

TEST(Huffman, RoundTripsEveryMaximumCodeLength) {
    // Fibonacci weights over values 0..L give codes of up to L bits, the longest to
    // values 0 and 1; data made mostly of those fills the packer's word to the brim.
    std::mt19937 rng(1);
    for (int L = 2; L <= 62; ++L) {
        std::array<int64_t, 256> w{};
        w[0] = w[1] = 1;
        for (int v = 2; v <= L; ++v) w[v] = w[v - 1] + w[v - 2];
        Bytes in(2000 + rng() % 8);
        for (auto& v : in) v = static_cast<uint8_t>(rng() % 8 ? rng() % 2 : rng() % (L + 1));
        const Bytes enc = Huffman::EncodeWithWeights(in, w);
        ASSERT_EQ(enc[8], L);
        ASSERT_EQ(Decoded(enc), in) << L;
    }
}

TEST(Huffman, RoundTripsGeneratedInputs) {
    std::mt19937 rng(7);
    for (size_t n = 0; n < 3000; n += (n < 40 ? 1 : 97)) {
        for (auto [distinct, skew] : {std::pair{256, 0.0}, {2, 0.0}, {256, 0.3}, {20, 0.05}, {256, 0.9}}) {
            const Bytes in = Random(rng, n, distinct, skew);
            const Bytes enc = Encoded(in);
            ASSERT_EQ(Decoded(enc), in) << n;
            std::array<int64_t, 256> counts{};
            for (uint8_t v : in) ++counts[v];
            ASSERT_EQ(Huffman::EncodeWithWeights(in, counts), enc);
        }
    }
    // Large enough for the table decoder, with codes from 1 bit to past its table width.
    for (double skew : {0.0, 0.02, 0.25, 0.6, 0.95}) {
        const Bytes in = Random(rng, 300000, 256, skew);
        ASSERT_EQ(Decoded(Encoded(in)), in) << skew;
    }
    Bytes all(256 * 40);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i * 7);
    const Bytes enc = Encoded(all);
    EXPECT_EQ(enc[5] | enc[6] << 8, 256);
    EXPECT_EQ(Decoded(enc), all);
}

TEST(Huffman, CodesLongerThan64Bits) {
    // Fibonacci weights make every merge take the newest node: value v gets a code of
    // about 90 - v bits.
    std::array<int64_t, 256> w{};
    w[0] = w[1] = 1;
    for (int v = 2; v < 90; ++v) w[v] = w[v - 1] + w[v - 2];
    std::mt19937 rng(3);
    Bytes in(5000);
    for (auto& v : in) v = static_cast<uint8_t>(rng() % 90);
    const Bytes enc = Huffman::EncodeWithWeights(in, w);
    int maxLen = 0;
    for (int i = 0; i < 90; ++i) maxLen = std::max<int>(maxLen, enc[8 + 2 * i]);
    EXPECT_GT(maxLen, 64);
    EXPECT_EQ(Decoded(enc), in);

    // The deepest tree the format allows: value v gets 1^v 0, value 255 gets 1^255.
    std::vector<std::pair<uint8_t, std::string>> codes;
    for (int v = 0; v < 256; ++v) codes.push_back({uint8_t(v), std::string(std::min(v, 255), '1') + (v < 255 ? "0" : "")});
    Bytes values(3000);
    Bits data;
    for (auto& v : values) {
        v = static_cast<uint8_t>(rng() % 4 == 0 ? rng() % 256 : rng() % 6);
        data.Put(codes[v].second);
    }
    const Bytes deep = MakeStream(Xor(values), 3000, codes, data.out);
    EXPECT_EQ(Decoded(deep), values);
    EXPECT_THROW(Huffman::EncodeWithWeights({1, 200}, w), std::invalid_argument); // 200 has no weight
}

TEST(Huffman, RejectsMalformedStreams) {
    for (size_t n = 1; n < 7; ++n) ExpectRejected(Bytes(n, 0x11));
    ExpectRejected({0x48, 0x45, 0x30});
    const auto ab = std::vector<std::pair<uint8_t, std::string>>{{'A', "0"}, {'B', "1"}};
    ExpectRejected(MakeStream(0, -5, ab, {0x00}));                                 // negative length
    ExpectRejected(MakeStream(0, 9, ab, {0x00}));                                  // 9 values in 8 bits
    ExpectRejected(MakeStream(0, 1, {{'A', "0"}}, {0x00}));                        // one code
    ExpectRejected(MakeStream(0, 1, {}, {0x00}));                                  // none
    ExpectRejected(MakeStream(0, 1, {{'A', "0"}, {'B', ""}}, {0x00}));             // empty code
    ExpectRejected(MakeStream(0, 1, {{'B', "0"}, {'A', "1"}}, {0x00}));            // descending
    ExpectRejected(MakeStream(0, 1, {{'A', "0"}, {'A', "1"}}, {0x00}));            // repeated
    ExpectRejected(MakeStream(0, 1, {{'A', "0"}, {'B', std::string(200, '1')}}, {})); // table cut short
    Bytes n257 = MakeStream(0, 1, ab, {0});
    n257[5] = 0x01, n257[6] = 0x01;
    ExpectRejected(n257);
    n257[5] = 0xFF, n257[6] = 0xFF;
    ExpectRejected(n257);
    n257[5] = 0x00, n257[6] = 0x00;
    ExpectRejected(n257);

    // Codes that are not a prefix code need more nodes than any real tree.
    std::mt19937 rng(11);
    std::vector<std::pair<uint8_t, std::string>> wild;
    for (int v = 0; v < 256; ++v) {
        std::string code(255, '0');
        for (auto& c : code) c = (rng() & 1) ? '1' : '0';
        wild.push_back({uint8_t(v), code});
    }
    ExpectRejected(MakeStream(0, 1, wild, {0}));

    // Value v < 255 gets 1^v 0 (510 nodes); "011" for 255 makes all 512, "0111" one more.
    std::vector<std::pair<uint8_t, std::string>> spine;
    for (int v = 0; v < 255; ++v) spine.push_back({uint8_t(v), std::string(v, '1') + "0"});
    spine.push_back({255, "011"});
    EXPECT_EQ(Decoded(MakeStream(1, 1, spine, {0b01})), Bytes{1});
    spine.back().second = "0111";
    ExpectRejected(MakeStream(1, 1, spine, {0b01}));
    Bytes pairsCut = MakeStream(0, 1, ab, {0});
    pairsCut[5] = 200; // 200 pairs announced, 2 present
    ExpectRejected(pairsCut);

    // A path into a child no code made: A 0, B 10, and the bits 11. Short data goes
    // through the plain walk, long data through the table.
    const auto gap = std::vector<std::pair<uint8_t, std::string>>{{'A', "0"}, {'B', "10"}};
    ExpectRejected(MakeStream('A', 2, gap, {0b1110}));
    Bytes longData(5000, 0x00);
    longData[3000] = 0b11000000;
    ExpectRejected(MakeStream(0, 40000, gap, longData));
    longData[3000] = 0xFF; // a table lookup that starts on the dead end
    ExpectRejected(MakeStream(0, 40000, gap, longData));

    // A coded header with length 0 is left alone.
    const Bytes empty = {0x00, 0, 0, 0, 0, 0x05, 0x00};
    EXPECT_EQ(Decoded(empty), empty);
}

TEST(Huffman, StopsAfterTheAnnouncedCount) {
    // Data that holds more codes than announced: exactly n values come out, for every
    // n around the sizes where the table decoder hands over to the plain walk.
    std::mt19937 rng(2);
    Bytes data(2000);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    const auto ab = std::vector<std::pair<uint8_t, std::string>>{{'A', "0"}, {'B', "1"}};
    for (int32_t n = 1; n < 16000; n += (n < 200 || n > 15700 ? 1 : 251)) {
        Bytes expected;
        for (int32_t i = 0; i < n; ++i) expected.push_back((data[i / 8] >> (i % 8)) & 1 ? 'B' : 'A');
        ASSERT_EQ(Decoded(MakeStream(Xor(expected), n, ab, data)), expected) << n;
    }
}

TEST(Huffman, TruncatedStreamsDecodeAPrefixOrFail) {
    // Six values announced, the data ends after four: those four are the result when
    // their XOR matches, else the checksum error.
    const auto ab = std::vector<std::pair<uint8_t, std::string>>{{'A', "0"}, {'B', "11"}};
    EXPECT_EQ(Decoded(MakeStream(0, 6, ab, {0xFF})), (Bytes{'B', 'B', 'B', 'B'}));
    ExpectRejected(MakeStream('B', 6, ab, {0xFF}), Huffman::ChecksumMessage);

    std::mt19937 rng(5);
    for (size_t size : {700, 40000}) {
        const Bytes in = Random(rng, size, 256, 0.15);
        const Bytes enc = Encoded(in);
        const size_t step = size > 1000 ? 37 : 1;
        for (size_t len = 0; len < enc.size(); len += step) {
            Bytes cut(enc.begin(), enc.begin() + len);
            try {
                Huffman::Decode(cut);
            } catch (const Huffman::HuffmanError&) {
                continue;
            }
            ASSERT_LE(cut.size(), in.size()) << len;
            ASSERT_TRUE(std::equal(cut.begin(), cut.end(), in.begin())) << len;
        }
    }
}

TEST(Huffman, GarbageDecodesLikeThePlainTreeWalk) {
    // Random code tables (often not prefix codes) and random data, small and large,
    // must give exactly what the plain bit-by-bit walk gives.
    std::mt19937 rng(9);
    int accepted = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::pair<uint8_t, std::string>> codes;
        const int maxLen = 1 + static_cast<int>(rng() % 16);
        for (int v = 0; v < 256; ++v) {
            if (rng() % 4 != 0) continue;
            std::string code(1 + rng() % maxLen, '0');
            for (auto& c : code) c = (rng() % 3 == 0) ? '1' : '0';
            codes.push_back({uint8_t(v), code});
        }
        Bytes data(round % 2 ? 3000 + rng() % 3000 : rng() % 300);
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        Bytes s = MakeStream(0, static_cast<int32_t>(rng() % (8 * data.size() + 1)), codes, data);
        Bytes model, actual = s;
        if (!ModelDecode(s, model)) {
            ExpectRejected(s);
            continue;
        }
        if (s[1] == 0 && s[2] == 0 && s[3] == 0 && s[4] == 0) continue; // left alone
        s[0] = Xor(model);
        if (round % 5 == 0) {
            s[0] ^= 0x10;
            ExpectRejected(s, Huffman::ChecksumMessage);
            continue;
        }
        ++accepted;
        actual = s;
        ASSERT_NO_THROW(Huffman::Decode(actual)) << round;
        ASSERT_EQ(actual, model) << round;
    }
    EXPECT_GT(accepted, 50);
}

TEST(Huffman, StoredFormGuardsItsTag) {
    // 864,325 bytes (45 30 0D in the low length bytes) whose XOR is 0x48 would start
    // 48 45 30 0D in the coded form.
    Bytes in(864325, 0x00);
    in[10] = 0x48;
    const Bytes enc = Encoded(in);
    ASSERT_EQ(enc.size(), in.size() + 4);
    EXPECT_EQ(Bytes(enc.begin(), enc.begin() + 4), (Bytes{0x48, 0x45, 0x30, 0x0D}));
    EXPECT_EQ(Decoded(enc), in);
    in.push_back(0x00); // one byte longer: coded as usual
    EXPECT_EQ(Encoded(in)[0], 0x48);
    EXPECT_EQ(Decoded(Encoded(in)), in);
}
