// Sheets large enough for the mapped buffers, including buffers taken over
// from a sheet released before.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Messages.h"
#include "bitmap/BitmapHelpers.h"
#include "bitmap/cBitMap.h"

namespace {

// 1501 x 1000: rows of 4503 bytes plus one of padding, 4.5 MB in all.
constexpr int W = 1501, H = 1000;

std::vector<uint8_t> WhiteStream() {
    std::vector<uint8_t> s;
    for (int64_t left = int64_t{W} * H; left > 0; left -= 255)
        s.insert(s.end(), {255, 255, 255, 255});
    return s;
}

void ExpectPaddingZero(const cBitMap& bm) {
    for (int y = 0; y < bm.Height(); ++y)
        for (int b = 3 * bm.Width(); b < bm.Stride(); ++b)
            ASSERT_EQ(bm.Pixels().data()[static_cast<size_t>(y) * bm.Stride() + b], 0) << y;
}

} // namespace

TEST(LargeSheet, StreamsOverReusedMemoryStartBlack) {
    for (int round = 0; round < 3; ++round) {
        { // a white sheet, released again: its memory may serve the next one
            cBitMap white;
            ASSERT_TRUE(white.FromRLE(W, H, 5, 0, WhiteStream()));
            ASSERT_EQ(white.Pixels().size(), static_cast<size_t>(4504) * H);
            EXPECT_EQ(SheetColor(white, W - 1, 0), Rgb(255, 255, 255));
            ExpectPaddingZero(white);
        }
        cBitMap bm;
        ASSERT_TRUE(bm.FromRLE(W, H, 5, 0, {5, 1, 2, 3, 200, 0, 0, 0, 100, 9, 9, 9, 7}));
        const uint8_t* p = bm.Pixels().data();
        EXPECT_EQ(SheetColor(bm, 4, H - 1), Rgb(1, 2, 3));
        EXPECT_EQ(SheetColor(bm, 304, H - 1), Rgb(9, 9, 9));
        EXPECT_EQ(SheetColor(bm, 305, H - 1), 0);
        // Everything past the stream is black, padding included; the mask pair is zero.
        EXPECT_TRUE(std::all_of(p + 3 * 305, p + bm.Pixels().size(), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(bm.MaskBits().data(), bm.MaskBits().data() + bm.MaskBits().size(),
                                [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(bm.SpriteBits().data(), bm.SpriteBits().data() + bm.SpriteBits().size(),
                                [](uint8_t b) { return b == 0; }));
    }
}

TEST(LargeSheet, FileRoundTripAndStreamsAtFullSize) {
    TempDir dir;
    MessageRecorder rec;
    TestPicture pic = RunnyPicture(W, H, 99, 5);
    for (int y = 0; y < H; y += 97)
        for (int x = 0; x < W; x += 3)
            pic.At(x, y) = (x * 2654435761u + y) & 0xFFFFFF;
    { // leave a released white sheet behind first
        cBitMap white;
        ASSERT_TRUE(white.FromRLE(W, H, 5, 0, WhiteStream()));
    }
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, pic, dir, "big.bmp"));
    EXPECT_EQ(PictureOf(bm).Colors, pic.Colors);
    ExpectPaddingZero(bm);
    ASSERT_TRUE(bm.Save(dir / "again.bmp"));
    EXPECT_EQ(ReadFileBytes(dir / "again.bmp"), ReadFileBytes(dir / "big.bmp"));

    const std::vector<uint8_t> s5 = bm.ToRLE(5);
    cBitMap back;
    ASSERT_TRUE(back.FromRLE(W, H, 5, 0, s5));
    EXPECT_EQ(0, std::memcmp(back.Pixels().data(), bm.Pixels().data(), bm.Pixels().size()));
    // Decoded pictures are fixed points of their mode.
    for (uint8_t mode : {1, 2, 4}) {
        ASSERT_TRUE(back.FromRLE(W, H, mode, 0, bm.ToRLE(mode)));
        ExpectPaddingZero(back);
        cBitMap again;
        ASSERT_TRUE(again.FromRLE(W, H, mode, 0, back.ToRLE(mode)));
        EXPECT_EQ(0, std::memcmp(again.Pixels().data(), back.Pixels().data(), back.Pixels().size()))
            << int(mode);
    }

    // Replacing a sheet by another keeps each one whole.
    cBitMap other = std::move(back);
    bm = cBitMap();
    EXPECT_FALSE(bm.Loaded());
    EXPECT_TRUE(bm.Pixels().empty());
    EXPECT_EQ(other.Width(), W);
    EXPECT_TRUE(rec.Shown.empty());
}
