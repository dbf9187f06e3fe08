// The image streams in the four depth modes, both ways.
#include <gtest/gtest.h>

#include "bitmap/BitmapHelpers.h"
#include "bitmap/RowScan.h"

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
    const size_t stride = size_t(3 * w + 3) & ~size_t{3};
    Bytes rows(colors.size() / size_t(w) * stride, 0);
    for (size_t i = 0; i < colors.size(); ++i)
        for (int k = 0; k < 3; ++k)
            rows[i / w * stride + i % w * 3 + k] = uint8_t(colors[i] >> (16 - 8 * k));
    return rows;
}

// The stream of a pixel-at-a-time encoder (colours bottom row first): a record
// closes when its value changes or its count reaches 127; mode 1 sets bit i,
// low bit first, for a grey of 128 or more.
Bytes ReferenceStream(const std::vector<int32_t>& colors, int mode) {
    const size_t rec = mode == 5 ? 4 : mode == 4 ? 3 : 2;
    Bytes s(mode == 1 ? colors.size() / 8 + 1 : 0, 0);
    s.reserve(colors.size() * rec);
    int32_t key = -1;
    for (size_t i = 0; i < colors.size(); ++i) {
        const int32_t c = colors[i], r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16, grey = (r + g + b) / 3;
        if (mode == 1) {
            s[i / 8] |= uint8_t((grey >= 128) << i % 8);
            continue;
        }
        if ((mode == 2 ? grey : c) != key || s[s.size() - rec] == 127) {
            key = mode == 2 ? grey : c;
            s.push_back(0);
            if (mode == 5) s.insert(s.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
            if (mode == 4)
                s.insert(s.end(), {uint8_t((r & 0xF8) | g >> 5), uint8_t((g & 0x1C) << 3 | b >> 3)});
            if (mode == 2) s.push_back(uint8_t(grey));
        }
        ++s[s.size() - rec];
    }
    return s;
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
        EXPECT_TRUE(NoneMasked(bm));
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

// The run scanner compares eight or sixteen bytes at a time and then finishes
// byte by byte; a difference in any byte of any pixel must end the run there,
// wherever it falls against those steps. Rows are exactly as long as their
// pixels, so a load past the end is caught under the sanitizers.
TEST(RunLength, TheRunScannerFindsEveryRunEndUpToTheRowsLastByte) {
    for (size_t w = 1; w <= 40; ++w)
        for (size_t at = 0; at < w; ++at)
            for (size_t byte = 0; byte < 3; ++byte) {
                Bytes row(3 * w);
                for (size_t k = 0; k < row.size(); ++k)
                    row[k] = uint8_t(0x31 + k % 3);
                row[3 * at + byte] ^= 0x80;
                for (size_t start = 0; start < w; ++start) {
                    size_t end = start + 1;
                    while (end < w && std::equal(&row[3 * end], &row[3 * end + 3], &row[3 * start]))
                        ++end;
                    uint32_t colour = 0;
                    ASSERT_EQ(RowScan::NextRun(row.data(), 3 * start, row.size(), colour), 3 * end)
                        << w << " " << at << " " << byte << " " << start;
                    ASSERT_EQ(colour, RowScan::Load24(&row[3 * start]));
                }
            }
}

// The coders take several pixels per step (a load of eight bytes, fills of
// sixteen pixels, records merged while their value repeats) and finish one at
// a time. For every row length, a change sits at each of the last 16 positions
// of the first row and of the picture: a rare pixel or a change for good in
// one colour (runs past 127 and across rows), a copy of its neighbour or a
// change for good where every pixel has its own colour, and a copy of its
// neighbour where neighbours agree only after the mode's reduction.
// The stream must be the pixel-at-a-time one, also when the rows come one at
// a time, and must decode to the reduced pixels.
TEST(RunLength, EveryPositionNearARowEndOrTheStreamEndCodesAsPixelByPixel) {
    constexpr int H = 4;
    auto busy = [](int i) { return Rgb(17 * i & 0xFF, (i * 5 + 3) & 0xFF, 255 - i); };
    auto twins = [](int i) { // same grey, then the same 16-bit colour
        const int k = i / 2, a = 40 + 3 * k % 150, c = Rgb(a, 90, 200 - k);
        return i % 2 == 0 ? c : k % 2 ? Rgb(90, 200 - k, a) : c ^ 0x010101;
    };
    // 0: a rare pixel, 1: a copy of its neighbour, 2: a change for good.
    const std::pair<int, int> changes[] = {{0, 0}, {0, 2}, {1, 1}, {1, 2}, {2, 1}}; // background, change
    for (int w = 1; w <= 40; ++w)
        for (const auto& [background, change] : changes)
            for (int p = 0; p < w * H; ++p) {
                if (p % w < w - 16 || (p >= w && p < w * (H - 1))) continue;
                std::vector<int32_t> colors(size_t(w) * H);
                for (int i = 0; i < w * H; ++i)
                    colors[i] = background == 0 ? Rgb(40, 60, 80) : background == 1 ? busy(i) : twins(i);
                if (change == 0)
                    colors[p] = Rgb(250, 240, 230);
                else if (change == 1)
                    colors[p] = colors[p == 0 ? 1 : p - 1];
                else
                    std::fill(colors.begin() + p, colors.end(), Rgb(200, 210, 220));
                const cBitMap src = FromColors(w, H, colors);
                for (uint8_t mode : {1, 2, 4, 5}) {
                    SCOPED_TRACE(testing::Message() << "width " << w << " background " << background << " at "
                                                    << p << " change " << change << " mode " << int(mode));
                    const Bytes s = src.ToRLE(mode);
                    ASSERT_EQ(s, ReferenceStream(colors, mode));
                    ImageStreamEncoder sliced(mode, w, H);
                    for (int y = 0; y < H; ++y)
                        sliced.AddRows(src.Pixels().data() + y * src.Stride(), 1, 0);
                    ASSERT_EQ(sliced.Finish(), s) << "a row at a time";
                    cBitMap back;
                    if (s.size() < 2) continue; // under 8 pixels in mode 1: refused
                    ASSERT_TRUE(back.FromRLE(w, H, mode, 0, s));
                    ASSERT_EQ(RowsOf(back), Decoded(w, colors, mode));
                }
            }
}
