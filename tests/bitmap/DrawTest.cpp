// Stretched and transparent drawing, and the transparency mask.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "bitmap/BitmapHelpers.h"
#include "bitmap/cBitMap.h"

namespace {

// A 4 x 3 sheet whose every pixel has its own colour.
TestPicture Distinct(int w = 4, int h = 3) {
    TestPicture pic = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.At(x, y) = Rgb(16 * x + 1, 16 * y + 2, 99);
    return pic;
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadPicture(bm, pic, dir)); }
    uint32_t Px(int x, int y) const { return ColorToPixel(pic.At(x, y)); }

    TempDir dir;
    TestPicture pic = Distinct();
    cBitMap bm;
};

} // namespace

TEST_F(Drawing, OneToOneUsesTopDownSheetCoordinates) {
    GuardedSurface t(6, 5);
    bm.DrawTo(t.S, 1, 1, 2, 1, 3, 2, 1.0, 1.0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(t.At(x, y), inside ? Px(x - 1, y) : t.Background) << x << "," << y;
        }
    EXPECT_TRUE(t.GuardsIntact());
}

TEST_F(Drawing, EnlargingRepeatsPixels) {
    GuardedSurface t(12, 9);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 3, 3.0, 3.0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(t.At(x, y), Px(x / 3, y / 3)) << x << "," << y;
    EXPECT_TRUE(t.GuardsIntact());

    // Unequal factors: 2 across, 1.5 down (3 rows become 4 or 5: 4.5 -> 4).
    GuardedSurface u(10, 6);
    bm.DrawTo(u.S, 0, 0, 0, 0, 4, 3, 2.0, 1.5);
    EXPECT_EQ(u.CountNot(u.Background), 8 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(u.At(x, y), Px(x / 2, y * 3 / 4));
}

TEST_F(Drawing, ReductionSamplesNearestPixels) {
    GuardedSurface t(4, 4);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 2, 0.5, 0.5);
    EXPECT_EQ(t.CountNot(t.Background), 2);
    EXPECT_EQ(t.At(0, 0), Px(0, 0));
    EXPECT_EQ(t.At(1, 0), Px(2, 0));
}

TEST_F(Drawing, DestinationSizesRoundHalfToEven) {
    struct Case {
        int dWidth;
        double scale;
        int expected;
    } cases[] = {{5, 14.4, 72}, {1, 2.5, 2}, {1, 3.5, 4}, {5, 0.5, 2},
                 {3, 0.5, 2},   {1, 0.5, 0}, {2, 0.75, 2}};
    TestPicture wide = Distinct(8, 1);
    cBitMap w, tall;
    ASSERT_TRUE(LoadPicture(w, wide, dir, "w.bmp"));
    ASSERT_TRUE(LoadPicture(tall, Distinct(1, 8), dir, "t.bmp"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        GuardedSurface t(100, 100);
        // The same rule across and down.
        w.DrawTo(t.S, 0, 0, 0, 0, c.dWidth, 1, c.scale, 1.0);
        int across = 0;
        while (across < 100 && t.At(across, 0) != t.Background)
            ++across;
        EXPECT_EQ(across, c.expected);
        EXPECT_EQ(t.CountNot(t.Background), c.expected);
        GuardedSurface u(100, 100);
        tall.DrawTo(u.S, 0, 0, 0, 0, 1, c.dWidth, 1.0, c.scale);
        EXPECT_EQ(u.CountNot(u.Background), c.expected);
        EXPECT_TRUE(u.GuardsIntact());
        EXPECT_TRUE(t.GuardsIntact());
    }
}

TEST_F(Drawing, PartsOutsideTheSheetAreLeftUntouched) {
    GuardedSurface t(8, 7);
    // A 6 x 5 block from (-1, -1): a one-pixel frame of it lies off the 4 x 3 sheet.
    bm.DrawTo(t.S, -1, -1, 1, 1, 6, 5, 1.0, 1.0);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x) {
            const int sx = x - 2, sy = y - 2;
            const bool onSheet = sx >= 0 && sx < 4 && sy >= 0 && sy < 3;
            EXPECT_EQ(t.At(x, y), onSheet ? Px(sx, sy) : t.Background) << x << "," << y;
        }
    // Enlarged: the off-sheet column and row are 2 pixels wide.
    GuardedSurface u(10, 8);
    bm.DrawTo(u.S, 3, 2, 0, 0, 2, 2, 2.0, 2.0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(u.At(x, y), (x < 2 && y < 2) ? Px(3, 2) : u.Background);
    // Entirely off the sheet.
    GuardedSurface v(4, 4);
    bm.DrawTo(v.S, 10, 0, 0, 0, 2, 2, 1.0, 1.0);
    bm.DrawTo(v.S, 0, -5, 0, 0, 2, 2, 1.0, 1.0);
    EXPECT_EQ(v.CountNot(v.Background), 0);
    EXPECT_TRUE(t.GuardsIntact() && u.GuardsIntact() && v.GuardsIntact());
}

TEST_F(Drawing, ClipsToTheHeldWindowOfALargerCanvas) {
    // The window holds logical (100..104, 50..52) of a large canvas.
    GuardedSurface t(5, 3, 0xFFEEEEEEu, 100, 50);
    bm.DrawTo(t.S, 0, 0, 98, 49, 4, 3, 2.0, 2.0); // covers logical 98..105, 49..54
    for (int y = 50; y < 53; ++y)
        for (int x = 100; x < 105; ++x)
            EXPECT_EQ(t.At(x, y), Px((x - 98) / 2, (y - 49) / 2)) << x << "," << y;
    EXPECT_TRUE(t.GuardsIntact());

    // Blocks wholly beside the window, and at the limits of the coordinates.
    GuardedSurface u(5, 3, 0xFFEEEEEEu, 100, 50);
    bm.DrawTo(u.S, 0, 0, 0, 0, 4, 3, 1.0, 1.0);
    bm.DrawTo(u.S, 0, 0, 105, 50, 4, 3, 1.0, 1.0);
    bm.DrawTo(u.S, 0, 0, std::numeric_limits<int32_t>::max(), 50, 4, 3, 1.0, 1.0);
    bm.DrawTo(u.S, 0, 0, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(), 4, 3, 1e12,
              1e12);
    EXPECT_TRUE(u.GuardsIntact());
    // The huge enlargement covers the window with the sheet's top-left pixel.
    for (int y = 50; y < 53; ++y)
        for (int x = 100; x < 105; ++x)
            EXPECT_EQ(u.At(x, y), Px(0, 0));
}

TEST_F(Drawing, NothingDrawnForEmptySizesScalesOrSurface) {
    GuardedSurface t(8, 8);
    const double nan = std::nan("");
    bm.DrawTo(t.S, 0, 0, 0, 0, 0, 3, 1.0, 1.0);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, -1, 1.0, 1.0);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 3, 0.0, 1.0);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 3, 1.0, -2.0);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 3, nan, 1.0);
    bm.DrawTo(t.S, 0, 0, 0, 0, 4, 3, 0.1, 1.0); // 0.4 rounds to 0 wide
    bm.DrawTrans(t.S, 0, 0, 0, 0, -4, 3, 1.0, 1.0);
    EXPECT_EQ(t.CountNot(t.Background), 0);

    cBitMap empty;
    empty.DrawTo(t.S, 0, 0, 0, 0, 4, 3, 1.0, 1.0);
    empty.DrawTrans(t.S, 0, 0, 0, 0, 4, 3, 1.0, 1.0);
    EXPECT_EQ(t.CountNot(t.Background), 0);
    EXPECT_TRUE(t.GuardsIntact());

    PixelSurface none; // no pixels held at all
    bm.DrawTo(none, 0, 0, 0, 0, 4, 3, 1.0, 1.0);
}

TEST_F(Drawing, MaskSeparatesTheTransparentColour) {
    // Width 4 has no padding; use width 5 to see padding stay zero.
    TestPicture p5 = Distinct(5, 2);
    const int32_t key = Rgb(255, 0, 255);
    p5.At(1, 0) = key;
    p5.At(4, 1) = key;
    cBitMap m;
    ASSERT_TRUE(LoadPicture(m, p5, dir, "m.bmp"));
    m.GenMask(key | 0x7F000000); // the high byte is not part of the colour
    ASSERT_EQ(m.MaskBits().size(), m.Pixels().size());
    for (int row = 0; row < 2; ++row) {
        const int y = 1 - row; // memory row 0 is the bottom
        for (int x = 0; x < 5; ++x) {
            const size_t at = static_cast<size_t>(row) * m.Stride() + 3 * x;
            const bool hit = (p5.At(x, y) & 0xFFFFFF) == key;
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(m.MaskBits().data()[at + k], hit ? 0xFF : 0x00) << x << "," << y;
                EXPECT_EQ(m.SpriteBits().data()[at + k], hit ? 0x00 : m.Pixels().data()[at + k])
                    << x << "," << y;
            }
        }
        EXPECT_EQ(m.MaskBits().data()[row * m.Stride() + 15], 0);
        EXPECT_EQ(m.SpriteBits().data()[row * m.Stride() + 15], 0);
    }
    // Exact match only: one step off in any channel is opaque.
    m.GenMask(Rgb(255, 1, 255));
    for (size_t i = 0; i < m.MaskBits().size(); ++i)
        EXPECT_EQ(m.MaskBits().data()[i], 0);
}

TEST_F(Drawing, TransparentDrawingKeepsTheBackgroundUnderTheMaskColour) {
    const int32_t key = pic.At(1, 1);
    pic.At(2, 0) = key;
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    bm.GenMask(key);
    GuardedSurface t(8, 6, 0xFF0A0B0Cu);
    bm.DrawTrans(t.S, 0, 0, 0, 0, 4, 3, 2.0, 2.0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const int32_t c = pic.At(x / 2, y / 2);
            EXPECT_EQ(t.At(x, y), c == key ? t.Background : ColorToPixel(c)) << x << "," << y;
        }
    EXPECT_TRUE(t.GuardsIntact());

    // A colour that does not occur: the same as DrawTo.
    bm.GenMask(Rgb(1, 2, 3));
    GuardedSurface a(8, 6, 0xFF0A0B0Cu), b(8, 6, 0xFF0A0B0Cu);
    bm.DrawTrans(a.S, 1, 0, 1, 1, 3, 2, 2.0, 1.0);
    bm.DrawTo(b.S, 1, 0, 1, 1, 3, 2, 2.0, 1.0);
    EXPECT_EQ(a.Store, b.Store);
}

TEST_F(Drawing, TransparentDrawingBeforeAnyMaskPaintsBlack) {
    // Straight after a stream rebuild the mask pair is all zero.
    cBitMap s;
    ASSERT_TRUE(s.FromRLE(3, 2, 5, 0, {6, 200, 100, 50}));
    GuardedSurface t(5, 4, 0xFF808080u);
    s.DrawTrans(t.S, 0, 0, 1, 1, 3, 2, 1.0, 1.0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(t.At(x, y), inside ? 0xFF000000u : t.Background);
        }
    // Likewise right after loading a file.
    GuardedSurface u(4, 3, 0xFF808080u);
    bm.DrawTrans(u.S, 0, 0, 0, 0, 4, 3, 1.0, 1.0);
    EXPECT_EQ(u.CountNot(0xFF000000u), 0);
}

namespace {

// Pixel-at-a-time model of the drawing rule: destination pixel (i, j) of the
// stretched block shows sheet pixel (From_X + i * dWidth / outW, From_Y + j *
// dHeight / outH) when that lies on the sheet.
void ModelDraw(const TestPicture& pic, const TestPicture* mask, GuardedSurface& t, int fx, int fy, int tx,
               int ty, int dw, int dh, int outW, int outH) {
    for (int j = 0; j < outH; ++j)
        for (int i = 0; i < outW; ++i) {
            const int x = tx + i, y = ty + j;
            if (x < t.S.OriginX || x >= t.S.OriginX + t.W || y < t.S.OriginY || y >= t.S.OriginY + t.H)
                continue;
            const int sx = fx + static_cast<int>(static_cast<int64_t>(i) * dw / outW);
            const int sy = fy + static_cast<int>(static_cast<int64_t>(j) * dh / outH);
            if (sx < 0 || sx >= pic.Width || sy < 0 || sy >= pic.Height) continue;
            uint32_t& d = t.S.Row(y)[x - t.S.OriginX];
            const uint32_t src = ColorToPixel(pic.At(sx, sy));
            if (!mask)
                d = src;
            else
                d = mask->At(sx, sy) ? d : src;
        }
}

} // namespace

TEST(DrawingModel, RandomBlocksMatchThePixelRule) {
    TempDir dir;
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const int w = 1 + static_cast<int>(rng() % 23), h = 1 + static_cast<int>(rng() % 17);
        TestPicture pic = RunnyPicture(w, h, rng(), 3);
        for (auto& c : pic.Colors)
            if (rng() % 5 == 0) c = static_cast<int32_t>(rng() & 0xFFFFFF);
        const int32_t key = pic.Colors[rng() % pic.Colors.size()];
        TestPicture isKey = MakePicture(w, h);
        for (size_t k = 0; k < pic.Colors.size(); ++k)
            isKey.Colors[k] = pic.Colors[k] == key;
        cBitMap bm;
        ASSERT_TRUE(LoadPicture(bm, pic, dir));
        bm.GenMask(key);

        const int fx = static_cast<int>(rng() % (w + 6)) - 3, fy = static_cast<int>(rng() % (h + 6)) - 3;
        const int dw = 1 + static_cast<int>(rng() % (w + 3)), dh = 1 + static_cast<int>(rng() % (h + 3));
        const double scales[] = {0.3, 0.5, 1.0, 1.5, 2.0, 3.0, 7.25, 10.0};
        const double xs = scales[rng() % 8], ys = scales[rng() % 8];
        const int outW = static_cast<int>(std::nearbyint(dw * xs)),
                  outH = static_cast<int>(std::nearbyint(dh * ys));
        const int ox = static_cast<int>(rng() % 9) - 4, oy = static_cast<int>(rng() % 9) - 4;
        const int tx = ox + static_cast<int>(rng() % 21) - 10, ty = oy + static_cast<int>(rng() % 21) - 10;
        for (bool trans : {false, true}) {
            GuardedSurface got(25, 19, 0xFF445566u, ox, oy), want(25, 19, 0xFF445566u, ox, oy);
            if (trans)
                bm.DrawTrans(got.S, fx, fy, tx, ty, dw, dh, xs, ys);
            else
                bm.DrawTo(got.S, fx, fy, tx, ty, dw, dh, xs, ys);
            ModelDraw(pic, trans ? &isKey : nullptr, want, fx, fy, tx, ty, dw, dh, outW, outH);
            EXPECT_EQ(got.Store, want.Store) << "trans " << trans;
        }
    }
}

TEST(DrawingModel, MaskMatchesAPixelAtATimeRule) {
    TempDir dir;
    std::mt19937 rng(5);
    for (int w : {1, 2, 3, 5, 6, 7, 15, 16, 17, 33, 100}) {
        for (int palette : {1, 2, 6}) {
            SCOPED_TRACE(std::to_string(w) + " palette " + std::to_string(palette));
            TestPicture pic = RunnyPicture(w, 9, rng(), palette);
            for (auto& c : pic.Colors)
                if (rng() % 7 == 0) c ^= 1 << (rng() % 24); // near misses of every byte
            const int32_t key = pic.Colors[rng() % pic.Colors.size()];
            cBitMap bm;
            ASSERT_TRUE(LoadPicture(bm, pic, dir));
            bm.GenMask(key);
            for (int y = 0; y < 9; ++y) {
                const size_t row = static_cast<size_t>(8 - y) * bm.Stride();
                for (int x = 0; x < w; ++x) {
                    const bool hit = pic.At(x, y) == key;
                    const uint32_t c = static_cast<uint32_t>(pic.At(x, y));
                    const uint8_t bgr[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                            static_cast<uint8_t>(c)};
                    for (int k = 0; k < 3; ++k) {
                        ASSERT_EQ(bm.MaskBits().data()[row + 3 * x + k], hit ? 0xFF : 0) << x << "," << y;
                        ASSERT_EQ(bm.SpriteBits().data()[row + 3 * x + k], hit ? 0 : bgr[k]) << x << "," << y;
                    }
                }
                for (int b = 3 * w; b < bm.Stride(); ++b) {
                    ASSERT_EQ(bm.MaskBits().data()[row + b], 0);
                    ASSERT_EQ(bm.SpriteBits().data()[row + b], 0);
                }
            }
        }
    }
}
