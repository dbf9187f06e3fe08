// Stretched and transparent drawing, and the transparency mask.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "bitmap/BitmapHelpers.h"

namespace {

// A target window onto logical (ox, oy) of a canvas, inside a border of guard
// pixels: comparing whole stores also checks that nothing was drawn outside.
struct GuardedSurface {
    std::vector<uint32_t> Store;
    PixelSurface S;
    GuardedSurface(int w, int h, uint32_t background = 0xFFEEEEEEu, int ox = 0, int oy = 0)
        : Store(size_t(w + 6) * (h + 6), 0xFF123456u),
          S{Store.data() + 3 * (w + 6) + 3, w, h, w + 6, ox, oy} {
        for (int y = 0; y < h; ++y)
            std::fill_n(S.Row(y + oy), w, background);
    }
};

// Pixel-at-a-time model of the drawing rule: pixel (i, j) of the outW x outH
// block shows sheet pixel (fx + i * dw / outW, fy + j * dh / outH) when that
// lies on the sheet and, drawing transparently, does not have the key colour;
// transparent drawing without a mask (NoMask) paints black.
constexpr int64_t NoMask = -1;
void ModelDraw(const TestPicture& pic, int64_t key, bool trans, GuardedSurface& t, int fx, int fy, int tx,
               int ty, int dw, int dh, int outW, int outH) {
    for (int j = 0; j < outH; ++j)
        for (int i = 0; i < outW; ++i) {
            const int x = tx + i, y = ty + j;
            const int sx = fx + static_cast<int>(int64_t{i} * dw / outW);
            const int sy = fy + static_cast<int>(int64_t{j} * dh / outH);
            if (x >= t.S.OriginX && x < t.S.OriginX + t.S.Width && y >= t.S.OriginY &&
                y < t.S.OriginY + t.S.Height && sx >= 0 && sx < pic.Width && sy >= 0 && sy < pic.Height &&
                !(trans && key != NoMask && pic.At(sx, sy) == (key & 0xFFFFFF)))
                t.S.Row(y)[x - t.S.OriginX] = ColorToPixel(trans && key == NoMask ? 0 : pic.At(sx, sy));
        }
}

// A mode-5 image stream of the picture, a record per pixel, bottom row first.
Bytes PixelStream(const TestPicture& pic) {
    Bytes stream;
    for (int i = 0; i < pic.Width * pic.Height; ++i) {
        const int32_t c = pic.At(i % pic.Width, pic.Height - 1 - i / pic.Width);
        stream.insert(stream.end(), {1, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    }
    return stream;
}

} // namespace

TEST(Drawing, RandomBlocksBeforeAndAfterAMaskMatchThePixelRule) {
    TempDir dir;
    std::mt19937 rng(11);
    auto R = [&](int n) { return int(rng() % unsigned(n)); };
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        const int w = 1 + R(23), h = 1 + R(17);
        TestPicture pic = RunnyPicture(w, h, rng(), 3);
        int32_t key = pic.Colors[R(w * h)];
        for (auto& c : pic.Colors) // near misses of the key in every bit
            if (R(5) == 0) c = key ^ (1 << R(24));
        if (round % 10 == 0) key = 0x7F000000 | (key ^ 0x800000); // high byte ignored; often absent
        cBitMap bm;
        ASSERT_TRUE(round % 2 ? LoadPicture(bm, pic, dir) : bm.FromRLE(w, h, 5, 0, PixelStream(pic)));
        // Blocks partly off the sheet, windows at any origin, enlarging and reducing.
        const int fx = R(w + 6) - 3, fy = R(h + 6) - 3, dw = 1 + R(w + 3), dh = 1 + R(h + 3);
        const double scales[] = {0.3, 0.5, 1.0, 1.5, 2.0, 3.0, 7.25}, xs = scales[R(7)], ys = scales[R(7)];
        const int ox = R(9) - 4, oy = R(9) - 4, tx = ox + R(21) - 10, ty = oy + R(21) - 10;
        for (int step : {0, 1, 2}) { // transparent before a mask, then both ways after
            if (step == 1) bm.GenMask(key);
            const bool trans = step != 2;
            GuardedSurface got(25, 19, 0xFF445566u, ox, oy), want(25, 19, 0xFF445566u, ox, oy);
            (bm.*(trans ? &cBitMap::DrawTrans : &cBitMap::DrawTo))(got.S, fx, fy, tx, ty, dw, dh, xs, ys);
            ModelDraw(pic, step ? key : NoMask, trans, want, fx, fy, tx, ty, dw, dh, int(std::nearbyint(dw * xs)),
                      int(std::nearbyint(dh * ys)));
            EXPECT_EQ(got.Store, want.Store) << "step " << step;
        }
        for (int y = -1; y <= h; ++y)
            for (int x = -1; x <= w; ++x)
                ASSERT_EQ(bm.Masked(x, y), x >= 0 && y >= 0 && x < w && y < h && pic.At(x, y) == (key & 0xFFFFFF));
    }
}

// The key colour, or a near miss of it in its first or last byte, at every
// position of every row length decides its own pixel only, whether the drawn
// row covers the sheet or runs off it.
TEST(Drawing, TransparencyOfAPixelAtEveryPositionOfEveryRowLength) {
    const int32_t key = Rgb(255, 0, 255), other = Rgb(10, 20, 30);
    for (int w = 1; w <= 40; ++w)
        for (int x = 0; x < w; ++x)
            for (int32_t background : {key, other})
                for (int32_t odd : {key, key ^ 1, key ^ 0x010000, other}) {
                    TestPicture pic = MakePicture(w, 2, background);
                    pic.At(x, 0) = odd;
                    cBitMap bm;
                    ASSERT_TRUE(bm.FromRLE(w, 2, 5, 0, PixelStream(pic)));
                    bm.GenMask(key);
                    for (int fx : {0, -1}) {
                        GuardedSurface got(w + 1, 2), want(w + 1, 2);
                        bm.DrawTrans(got.S, fx, 0, 0, 0, w, 2, 1.0, 1.0);
                        ModelDraw(pic, key, true, want, fx, 0, 0, 0, w, 2, w, 2);
                        ASSERT_EQ(got.Store, want.Store) << w << " " << x << " " << fx;
                    }
                }
}

TEST(Drawing, SizesRoundHalfToEvenAndOddArgumentsStayInside) {
    TempDir dir;
    cBitMap sq, bm;
    ASSERT_TRUE(LoadPicture(sq, Sample(8, 8), dir));
    for (auto [dw, scale, n] : {std::tuple{5, 14.4, 72}, {1, 2.5, 2}, {1, 3.5, 4}, {1, 0.5, 0}}) {
        GuardedSurface got(80, 80), want(80, 80); // the same rule across and down
        sq.DrawTo(got.S, 0, 0, 0, 0, dw, 1, scale, 1.0);
        sq.DrawTo(got.S, 0, 0, 0, 1, 1, dw, 1.0, scale);
        ModelDraw(Sample(8, 8), 0, false, want, 0, 0, 0, 0, dw, 1, n, 1);
        ModelDraw(Sample(8, 8), 0, false, want, 0, 0, 0, 1, 1, dw, 1, n);
        EXPECT_EQ(got.Store, want.Store) << n;
    }
    // A stream surface: nothing beside the window, for empty sizes or scales, or without a picture.
    ASSERT_TRUE(bm.FromRLE(4, 3, 5, 0, {1, 9, 9, 9, 11, 1, 2, 3}));
    constexpr int32_t Max = std::numeric_limits<int32_t>::max(), Min = std::numeric_limits<int32_t>::min();
    GuardedSurface got(5, 3, 0xFFEEEEEEu, 100, 50), want(5, 3, 0xFFEEEEEEu, 100, 50);
    const double cases[][5] = {{Max, 4, 3, 1, 1},  {100, 0, 3, 1, 1},  {100, 4, -1, 1, 1},
                               {100, 4, 3, 0, 1},  {100, 4, 3, 1, -2}, {100, 4, 3, std::nan(""), 1},
                               {100, 4, 3, 0.1, 1}}; // tx, dw, dh, xs, ys
    for (const auto& [tx, dw, dh, xs, ys] : cases) {
        bm.DrawTo(got.S, 0, 0, int32_t(tx), 50, int32_t(dw), int32_t(dh), xs, ys);
        bm.DrawTrans(got.S, 0, 0, int32_t(tx), 50, int32_t(dw), int32_t(dh), xs, ys);
    }
    cBitMap().DrawTo(got.S, 0, 0, 100, 50, 4, 3, 1.0, 1.0);
    cBitMap().DrawTrans(got.S, 0, 0, 100, 50, 4, 3, 1.0, 1.0);
    bm.DrawTo(PixelSurface{}, 0, 0, 0, 0, 4, 3, 1.0, 1.0); // no pixels held at all
    EXPECT_EQ(got.Store, want.Store);
    // Before any mask, transparent drawing paints a black rectangle.
    bm.DrawTrans(got.S, 0, 0, 101, 51, 3, 2, 1.0, 1.0);
    ModelDraw(MakePicture(3, 2, 0), 0, false, want, 0, 0, 101, 51, 3, 2, 3, 2);
    EXPECT_EQ(got.Store, want.Store);
    // A huge enlargement covers the window with the sheet's top-left pixel.
    bm.DrawTo(got.S, 0, 0, Min, Min, 4, 3, 1e12, 1e12);
    EXPECT_EQ(got.Store, GuardedSurface(5, 3, ColorToPixel(Rgb(1, 2, 3)), 100, 50).Store);
}
