// The image streams in the four depth modes, both ways.
#include <gtest/gtest.h>

#include "bitmap/BitmapHelpers.h"

namespace {

// A surface rebuilt from a one-record-per-pixel stream of the colours (bottom row first).
cBitMap FromColors(int w, int h, const std::vector<int32_t>& colors) {
    Bytes s;
    for (int32_t c : colors) s.insert(s.end(), {1, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    cBitMap bm;
    EXPECT_TRUE(bm.FromRLE(w, h, 5, 0, s));
    return bm;
}

// The rows held for the colours (bottom row first) as they come back from a stream of the mode.
Bytes Decoded(int w, std::vector<int32_t> colors, int mode) {
    auto q = [](int v, int keep) { return (v & keep) >= 0xF8 ? 0xFF : v & keep; };
    for (int32_t& c : colors) {
        const int g = ((c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16)) / 3, bw = g >= 128 ? 255 : 0;
        c = mode == 5   ? c
            : mode == 2 ? Rgb(g, g, g)
            : mode == 1 ? Rgb(bw, bw, bw)
                        : Rgb(q(c & 0xFF, 0xF8), q(c >> 8 & 0xFF, 0xFC), q(c >> 16, 0xF8));
    }
    const int h = int(colors.size()) / w;
    TestPicture pic = MakePicture(w, h);
    for (int i = 0; i < w * h; ++i) pic.At(i % w, h - 1 - i / w) = colors[i];
    return RowsOf(pic);
}

} // namespace

TEST(RunLength, WorkedExamplesBothWaysAndOddStreams) {
    const int32_t W = Rgb(255, 255, 255), C = Rgb(1, 2, 3), N = Rgb(9, 9, 9), G = Rgb(127, 127, 127),
                  L = Rgb(0, 255, 0);
    const std::vector<int32_t> many(300, C);
    const Bytes thrice = {127, 1, 2, 3, 127, 1, 2, 3, 46, 1, 2, 3};
    const struct {
        int w, mode;
        std::vector<int32_t> colors; // bottom row first
        Bytes stream;
        bool encodes = true; // or an odd stream that only decodes
    } cases[] = {
        {1, 5, {0}, {1, 0, 0, 0}},
        {1, 5, {Rgb(10, 20, 30)}, {1, 0x0A, 0x14, 0x1E}},
        {300, 5, many, thrice}, // in one row or over padded rows
        {5, 5, many, thrice},
        {3, 5, {N, N, N, N, C, C}, {4, 9, 9, 9, 2, 1, 2, 3}},
        {2, 4, {W, Rgb(255, 255, 254)}, {1, 0xFF, 0xFF, 1, 0xFF, 0xFF}}, // full colours compared
        {1, 4, {Rgb(0x12, 0x34, 0x56)}, {1, 0x11, 0xAA}},
        {3, 4, {Rgb(0xF0, 0xE0, 0), Rgb(0, 0xFF, 0xF0), L}, {1, 0xF7, 0, 1, 7, 0xDE, 1, 7, 0xE0}, false},
        {1, 4, {Rgb(0, 0xF0, 0)}, {1, 0x07, 0x80}},
        {1, 2, {Rgb(10, 20, 31)}, {1, 20}},
        {3, 2, {Rgb(10, 20, 30), Rgb(30, 20, 10), Rgb(20, 20, 21)}, {3, 20}}, // one grey level, one run
        {8, 1, {G, Rgb(128, 128, 128), G, Rgb(255, 0, 128), G, G, G, Rgb(255, 0, 129)}, {0x82, 0}},
        {3, 1, std::vector<int32_t>(9, W), {0xFF, 0x01}},
        {4, 1, std::vector<int32_t>(8, Rgb(200, 200, 200)), {0xFF, 0}},
        {2, 3, {C, C}, {}},                                                 // other modes give nothing
        {2, 5, {L, L}, {0, 255, 0, 0, 2, 0, 255, 0}, false},                // count 0
        {2, 5, {C, C, C, C}, {255, 1, 2, 3, 5, 9, 9, 9}, false},            // a run past the end ends it
        {3, 2, {N, N, 0, 0, 0, 0}, {2, 9}, false},                          // the rest stays black
        {3, 5, {Rgb(10, 20, 30), 0, 0}, {1, 10, 20, 30, 2, 40, 50}, false}, // cut-short records
        {3, 4, {W, 0, 0}, {1, 0xFF, 0xFF, 2, 0xFF}, false},
        {3, 2, {N, 0, 0}, {1, 9, 2}, false},
        {3, 5, {0, 0, 0}, {2, 1}, false},
        {1, 1, {W}, {0xFF, 0x00, 0x12}, false}, // bytes past the last pixel
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.stream) + " mode " + std::to_string(c.mode));
        const int h = int(c.colors.size()) / c.w;
        EXPECT_EQ(c.encodes ? FromColors(c.w, h, c.colors).ToRLE(uint8_t(c.mode)) : c.stream, c.stream);
        cBitMap bm;
        if (c.stream.size() < 2) continue;
        ASSERT_TRUE(bm.FromRLE(c.w, h, uint8_t(c.mode), 0, c.stream));
        EXPECT_EQ(RowsOf(bm), Decoded(c.w, c.colors, c.mode));
        EXPECT_TRUE(AllZero(bm.MaskBits()) && AllZero(bm.SpriteBits()));
    }
    for (uint8_t mode : {1, 2, 4, 5}) EXPECT_TRUE(cBitMap().ToRLE(mode).empty()) << int(mode);
}

TEST(RunLength, RoundTrips) {
    unsigned key = 1;
    for (auto [w, h] : {std::pair{1, 1}, {2, 5}, {3, 9}, {4, 4}, {7, 3}, {17, 9}, {33, 20}, {301, 7}})
        for (unsigned palette : {1, 2, 5, 1000}) {
            TestPicture pic = RunnyPicture(w, h, key++, palette);
            for (size_t i = 0; palette == 1000 && i < pic.Colors.size(); i += 3) // colours one bit apart
                pic.Colors[i] ^= 1 << (i % 24);
            const cBitMap src = FromColors(w, h, pic.Colors);
            for (uint8_t mode : {1, 2, 4, 5}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " palette " << palette << " mode " << int(mode));
                const Bytes s = src.ToRLE(mode);
                cBitMap back;
                ASSERT_EQ(back.FromRLE(w, h, mode, 0, s), s.size() >= 2); // 1 x 1 in mode 1 is refused
                EXPECT_EQ(RowsOf(back), s.size() >= 2 ? Decoded(w, pic.Colors, mode) : Bytes{});
            }
        }
}

TEST(RunLength, RefusedStreamsLeaveTheSurfaceAloneAndTheLargestSideWorks) {
    TempDir dir;
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, RunnyPicture(5, 4, 3), dir));
    const Bytes before = StateOf(bm);
    EXPECT_FALSE(bm.FromRLE(2, 2, 5, 0, {}) || bm.FromRLE(2, 2, 5, 0, {7}));
    const int cases[][3] = {{0, 2, 5},     {2, 0, 5}, {-2, 2, 5}, {2, -2, 5}, {32768, 1, 5},
                            {1, 32768, 5}, {2, 2, 0}, {2, 2, 3},  {2, 2, 6},  {2, 2, 255}};
    for (const auto& [w, h, mode] : cases)
        EXPECT_FALSE(bm.FromRLE(w, h, uint8_t(mode), 0, {1, 2, 3, 4})) << w << "x" << h << " " << mode;
    EXPECT_TRUE(StateOf(bm) == before && bm.FileName() == dir / "p.bmp");
    // The largest side is accepted. Built over the memory of a white sheet released
    // just before (buffers this large are mapped), what the stream leaves out is black.
    ASSERT_TRUE(cBitMap().FromRLE(32767, 130, 5, 0, Bytes(32767 * 130 / 255 * 4 + 4, 255)));
    ASSERT_TRUE(bm.FromRLE(32767, 130, 5, 0, {255, 1, 2, 3, 1, 9, 9, 9}));
    Bytes want(98304 * 130, 0); // rows of 3 padding bytes, bottom row first
    for (int x = 0; x < 256; ++x) std::copy_n(x < 255 ? "\3\2\1" : "\11\11\11", 3, want.begin() + 3 * x);
    EXPECT_TRUE(RowsOf(bm) == want && bm.Header().biSizeImage == want.size());
}
