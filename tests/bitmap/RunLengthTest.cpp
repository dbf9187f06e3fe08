// The image streams in the four depth modes, both ways.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Messages.h"
#include "bitmap/BitmapHelpers.h"
#include "bitmap/cBitMap.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A surface holding the picture, rebuilt from a one-record-per-pixel stream.
cBitMap FromPicture(const TestPicture& pic) {
    Bytes s;
    for (int y = pic.Height - 1; y >= 0; --y)
        for (int x = 0; x < pic.Width; ++x) {
            const uint32_t c = static_cast<uint32_t>(pic.At(x, y));
            s.insert(s.end(), {1, static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                               static_cast<uint8_t>(c >> 16)});
        }
    cBitMap bm;
    EXPECT_TRUE(bm.FromRLE(pic.Width, pic.Height, 5, 0, s));
    return bm;
}

uint8_t Grey(uint32_t c) {
    return static_cast<uint8_t>(((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF)) / 3);
}

// Straightforward pixel-at-a-time encoder in stream order (bottom row first).
Bytes ReferenceStream(const TestPicture& pic, int mode) {
    std::vector<uint32_t> px;
    for (int y = pic.Height - 1; y >= 0; --y)
        for (int x = 0; x < pic.Width; ++x)
            px.push_back(static_cast<uint32_t>(pic.At(x, y)));
    Bytes out;
    if (mode == 1) {
        out.assign(px.size() / 8 + 1, 0);
        for (size_t i = 0; i < px.size(); ++i)
            if (Grey(px[i]) >= 128) out[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
        return out;
    }
    auto key = [&](uint32_t c) { return mode == 2 ? Grey(c) : c; };
    auto put = [&](int n, uint32_t c) {
        out.push_back(static_cast<uint8_t>(n));
        const uint8_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        if (mode == 5) out.insert(out.end(), {r, g, b});
        if (mode == 4)
            out.insert(out.end(), {static_cast<uint8_t>((r & 0xF8) | (g >> 5)),
                                   static_cast<uint8_t>(((g & 0x1C) << 3) | (b >> 3))});
        if (mode == 2) out.push_back(Grey(c));
    };
    uint32_t run = px[0];
    int n = 1;
    for (size_t i = 1; i < px.size(); ++i) {
        if (n != 127 && key(px[i]) == key(run)) {
            ++n;
        } else {
            put(n, run);
            run = px[i];
            n = 1;
        }
    }
    put(n, run);
    return out;
}

// Colour 0x00BBGGRR of every pixel in stream order.
std::vector<int32_t> StreamOrder(const cBitMap& bm) {
    std::vector<int32_t> out;
    for (int y = bm.Height() - 1; y >= 0; --y)
        for (int x = 0; x < bm.Width(); ++x)
            out.push_back(SheetColor(bm, x, y));
    return out;
}

} // namespace

TEST(RunLengthEncode, WorkedExamples) {
    EXPECT_EQ(FromPicture(MakePicture(1, 1, 0)).ToRLE(5), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(FromPicture(MakePicture(1, 1, Rgb(10, 20, 30))).ToRLE(5), (Bytes{1, 0x0A, 0x14, 0x1E}));

    // 300 pixels of one colour, in one row or over rows with padding.
    for (auto [w, h] : {std::pair{300, 1}, std::pair{5, 60}, std::pair{1, 300}}) {
        SCOPED_TRACE(w);
        const Bytes s = FromPicture(MakePicture(w, h, Rgb(1, 2, 3))).ToRLE(5);
        EXPECT_EQ(s, (Bytes{127, 1, 2, 3, 127, 1, 2, 3, 46, 1, 2, 3}));
    }

    // Bottom row first; a run goes on into the next row.
    TestPicture two = MakePicture(3, 2, Rgb(9, 9, 9));
    two.At(1, 0) = two.At(2, 0) = Rgb(1, 2, 3);
    EXPECT_EQ(FromPicture(two).ToRLE(5), (Bytes{4, 9, 9, 9, 2, 1, 2, 3}));

    // Mode 4 compares full colours: two records with the same bytes.
    TestPicture nearWhite = MakePicture(2, 1, Rgb(255, 255, 255));
    nearWhite.At(1, 0) = Rgb(255, 255, 254);
    EXPECT_EQ(FromPicture(nearWhite).ToRLE(4), (Bytes{1, 0xFF, 0xFF, 1, 0xFF, 0xFF}));
    EXPECT_EQ(FromPicture(MakePicture(1, 1, Rgb(0x12, 0x34, 0x56))).ToRLE(4), (Bytes{1, 0x11, 0xAA}));

    // Mode 2: (10, 20, 31) is grey 20; colours of one grey level share a run.
    EXPECT_EQ(FromPicture(MakePicture(1, 1, Rgb(10, 20, 31))).ToRLE(2), (Bytes{1, 20}));
    TestPicture greys = MakePicture(3, 1, Rgb(10, 20, 30));
    greys.At(1, 0) = Rgb(30, 20, 10);
    greys.At(2, 0) = Rgb(20, 20, 21);
    EXPECT_EQ(FromPicture(greys).ToRLE(2), (Bytes{3, 20}));
}

TEST(RunLengthEncode, BlackAndWhitePacking) {
    // Grey 127 gives 0, grey 128 gives 1; pixel k of eight is bit k.
    TestPicture row = MakePicture(8, 1, Rgb(127, 127, 127));
    row.At(1, 0) = Rgb(128, 128, 128);
    row.At(7, 0) = Rgb(255, 0, 129); // grey 128
    row.At(3, 0) = Rgb(255, 0, 128); // grey 127
    EXPECT_EQ(FromPicture(row).ToRLE(1), (Bytes{0x82, 0}));

    // 3 x 3: the ninth pixel lands in bit 0 of a second byte.
    TestPicture nine = MakePicture(3, 3, Rgb(255, 255, 255));
    EXPECT_EQ(FromPicture(nine).ToRLE(1), (Bytes{0xFF, 0x01}));
    nine.At(2, 0) = 0; // top-right: the last pixel of the stream
    EXPECT_EQ(FromPicture(nine).ToRLE(1), (Bytes{0xFF, 0x00}));
    // 4 x 2: 8 pixels, and still an extra (zero) byte.
    EXPECT_EQ(FromPicture(MakePicture(4, 2, Rgb(200, 200, 200))).ToRLE(1), (Bytes{0xFF, 0}));
    EXPECT_EQ(FromPicture(MakePicture(4, 2, 0)).ToRLE(1), (Bytes{0, 0}));
}

TEST(RunLengthEncode, OtherModesAndEmptySurfacesGiveNothing) {
    const cBitMap bm = FromPicture(MakePicture(2, 2, Rgb(1, 2, 3)));
    for (int mode : {0, 3, 6, 255})
        EXPECT_TRUE(bm.ToRLE(static_cast<uint8_t>(mode)).empty()) << mode;
    cBitMap empty;
    for (int mode : {1, 2, 4, 5})
        EXPECT_TRUE(empty.ToRLE(static_cast<uint8_t>(mode)).empty()) << mode;
}

TEST(RunLengthEncode, MatchesAPixelAtATimeEncoder) {
    // Every row padding, runs over rows and past 127, single pixels, and rows
    // long enough for the word compares.
    const int sizes[][2] = {{1, 1}, {1, 7},  {2, 5},  {3, 9},   {4, 4},  {5, 13},  {7, 3},
                            {8, 8}, {16, 4}, {17, 9}, {33, 20}, {64, 3}, {301, 7}, {1000, 2}};
    unsigned key = 1;
    for (auto [w, h] : sizes) {
        for (int palette : {1, 2, 5, 1000}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " palette " + std::to_string(palette));
            TestPicture pic = RunnyPicture(w, h, key++, palette);
            if (palette == 1000) // noise
                for (auto& c : pic.Colors)
                    c = static_cast<int32_t>((static_cast<uint32_t>(c) * 2654435761u + key++) & 0xFFFFFF);
            const cBitMap bm = FromPicture(pic);
            for (int mode : {1, 2, 4, 5}) {
                SCOPED_TRACE(mode);
                EXPECT_EQ(bm.ToRLE(static_cast<uint8_t>(mode)), ReferenceStream(pic, mode));
            }
        }
    }
    // Colours that differ in one byte only, each position in turn.
    for (int k = 0; k < 3; ++k) {
        TestPicture pic = MakePicture(40, 2, Rgb(50, 60, 70));
        pic.At(17, 1) = static_cast<int32_t>(static_cast<uint32_t>(Rgb(50, 60, 70)) ^ (1u << (8 * k)));
        EXPECT_EQ(FromPicture(pic).ToRLE(5), ReferenceStream(pic, 5)) << k;
    }
}

TEST(RunLengthDecode, WorkedExamplesAndRoundTrips) {
    cBitMap bm;
    // Mode 4: 01 FF FF is white; high 07 low 80 is green F0.
    ASSERT_TRUE(bm.FromRLE(2, 1, 4, 0, {1, 0xFF, 0xFF, 1, 0x07, 0x80}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(255, 255, 255), Rgb(0, 0xF0, 0)}));
    // Green 0xF8 and 0xFC both become 0xFF; red and blue 0xF0 stay.
    ASSERT_TRUE(bm.FromRLE(2, 1, 4, 0, {1, 0xF7, 0x00, 1, 0x07, 0xDE}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(0xF0, 0xE0, 0), Rgb(0, 0xFF, 0xF0)}));
    ASSERT_TRUE(bm.FromRLE(1, 1, 4, 0, {1, 0x07, 0xE0})); // green 0xFC
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(0, 0xFF, 0)}));

    // Mode 2 gives grey, mode 1 white and black from the low bit up.
    ASSERT_TRUE(bm.FromRLE(3, 1, 2, 0, {2, 20, 1, 200}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(20, 20, 20), Rgb(20, 20, 20), Rgb(200, 200, 200)}));
    ASSERT_TRUE(bm.FromRLE(3, 3, 1, 0, {0x82, 0x01}));
    const int32_t W = Rgb(255, 255, 255);
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{0, W, 0, 0, 0, 0, 0, W, W}));

    // Mode 5 round-trips; modes 1 and 2 reproduce their own streams, and
    // mode 4 its own decoded colours (neighbours that share a 5-6-5 code
    // merge into one run once decoded).
    for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 5}, std::pair{17, 9}, std::pair{130, 3}}) {
        TestPicture pic = RunnyPicture(w, h, static_cast<unsigned>(w * 31 + h), 6);
        const cBitMap src = FromPicture(pic);
        cBitMap back;
        ASSERT_TRUE(back.FromRLE(w, h, 5, 0, src.ToRLE(5)));
        EXPECT_EQ(PictureOf(back).Colors, pic.Colors);
        EXPECT_EQ(back.Stride(), src.Stride());
        EXPECT_EQ(back.RowPad(), src.RowPad());
        for (int mode : {1, 2, 4}) {
            const Bytes s = src.ToRLE(static_cast<uint8_t>(mode));
            if (s.size() < 2) { // a one-byte stream is refused: 1 x 1 in mode 1
                EXPECT_FALSE(back.FromRLE(w, h, static_cast<uint8_t>(mode), 0, s));
                continue;
            }
            ASSERT_TRUE(back.FromRLE(w, h, static_cast<uint8_t>(mode), 0, s));
            if (mode != 4) {
                EXPECT_EQ(back.ToRLE(static_cast<uint8_t>(mode)), s) << mode;
            } else {
                cBitMap again;
                ASSERT_TRUE(again.FromRLE(w, h, 4, 0, back.ToRLE(4)));
                EXPECT_EQ(PictureOf(again).Colors, PictureOf(back).Colors);
            }
        }
        // Mode 4 reproduces colours to 5-6-5 precision, full intensity kept.
        ASSERT_TRUE(back.FromRLE(w, h, 4, 0, src.ToRLE(4)));
        const TestPicture got = PictureOf(back);
        for (size_t i = 0; i < pic.Colors.size(); ++i) {
            const uint32_t c = static_cast<uint32_t>(pic.Colors[i]);
            auto q = [](uint32_t v, uint32_t keep) {
                v &= keep;
                return v >= 0xF8 ? 0xFFu : v;
            };
            const int32_t want = Rgb(q(c & 0xFF, 0xF8), q((c >> 8) & 0xFF, 0xFC), q((c >> 16) & 0xFF, 0xF8));
            EXPECT_EQ(got.Colors[i], want);
        }
    }
}

TEST(RunLengthDecode, OddStreams) {
    cBitMap bm;
    // A count-0 record paints nothing.
    ASSERT_TRUE(bm.FromRLE(2, 1, 5, 0, {0, 255, 0, 0, 2, 0, 255, 0}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(0, 255, 0), Rgb(0, 255, 0)}));
    // A run past the last pixel fills the picture and ends the decoding.
    ASSERT_TRUE(bm.FromRLE(2, 2, 5, 0, {255, 1, 2, 3, 5, 9, 9, 9}));
    EXPECT_EQ(StreamOrder(bm), std::vector<int32_t>(4, Rgb(1, 2, 3)));
    EXPECT_EQ(bm.Pixels().data()[5], 1);
    EXPECT_EQ(bm.Pixels().data()[6], 0); // padding stays zero
    EXPECT_EQ(bm.Pixels().data()[7], 0);
    // A short stream leaves the rest black.
    ASSERT_TRUE(bm.FromRLE(3, 2, 2, 0, {2, 90}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(90, 90, 90), Rgb(90, 90, 90), 0, 0, 0, 0}));
    // A cut-short last record is ignored, in every run mode.
    ASSERT_TRUE(bm.FromRLE(3, 1, 5, 0, {1, 10, 20, 30, 2, 40, 50}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(10, 20, 30), 0, 0}));
    ASSERT_TRUE(bm.FromRLE(3, 1, 4, 0, {1, 0xFF, 0xFF, 2, 0xFF}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(255, 255, 255), 0, 0}));
    ASSERT_TRUE(bm.FromRLE(3, 1, 2, 0, {1, 77, 2}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(77, 77, 77), 0, 0}));
    ASSERT_TRUE(bm.FromRLE(3, 1, 5, 0, {2, 1}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{0, 0, 0}));
    // Records repeating one colour with many counts add up; long counts cross rows.
    ASSERT_TRUE(bm.FromRLE(5, 120, 5, 0, {255, 7, 7, 7, 255, 7, 7, 7, 0, 7, 7, 7, 90, 7, 7, 7, 1, 1, 1, 1}));
    const std::vector<int32_t> got = StreamOrder(bm);
    EXPECT_EQ(std::count(got.begin(), got.end(), Rgb(7, 7, 7)), 600);
    // Bytes past the last pixel are ignored.
    ASSERT_TRUE(bm.FromRLE(1, 1, 1, 0, {0xFF, 0x00, 0x12}));
    EXPECT_EQ(StreamOrder(bm), (std::vector<int32_t>{Rgb(255, 255, 255)}));
}

TEST(RunLengthDecode, RefusalsLeaveTheSurfaceAlone) {
    TempDir dir;
    MessageRecorder rec;
    cBitMap bm;
    const TestPicture pic = RunnyPicture(5, 4, 3);
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    const BitmapInfoHeader header = bm.Header();
    const Bytes ok = {1, 2, 3, 4};
    EXPECT_FALSE(bm.FromRLE(2, 2, 5, 0, {}));
    EXPECT_FALSE(bm.FromRLE(2, 2, 5, 0, {7}));
    EXPECT_FALSE(bm.FromRLE(0, 2, 5, 0, ok));
    EXPECT_FALSE(bm.FromRLE(2, 0, 5, 0, ok));
    EXPECT_FALSE(bm.FromRLE(-2, 2, 5, 0, ok));
    EXPECT_FALSE(bm.FromRLE(2, -2, 5, 0, ok));
    EXPECT_FALSE(bm.FromRLE(32768, 1, 5, 0, ok));
    EXPECT_FALSE(bm.FromRLE(1, 32768, 5, 0, ok));
    for (int mode : {0, 3, 6, 255})
        EXPECT_FALSE(bm.FromRLE(2, 2, static_cast<uint8_t>(mode), 0, ok)) << mode;
    EXPECT_EQ(PictureOf(bm).Colors, pic.Colors);
    EXPECT_EQ(0, std::memcmp(&bm.Header(), &header, sizeof header));
    EXPECT_EQ(bm.FileName(), dir / "p.bmp");
    EXPECT_TRUE(rec.Shown.empty());

    // The largest side is accepted.
    ASSERT_TRUE(bm.FromRLE(32767, 1, 5, 0, {255, 1, 2, 3}));
    EXPECT_EQ(bm.Width(), 32767);
    EXPECT_EQ(bm.Stride(), 98304);
    EXPECT_EQ(bm.RowPad(), 3);
    EXPECT_EQ(bm.Header().biSizeImage, 98304u);
    EXPECT_EQ(SheetColor(bm, 254, 0), Rgb(1, 2, 3));
    EXPECT_EQ(SheetColor(bm, 255, 0), 0);
}
