#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "sprites/FollowSheet.h"
#include "support/SheetArt.h"

using namespace SheetArt;

namespace {

SheetPixels View(const Bytes& b) { return {b.Data.data(), b.Width, b.Height, b.Stride}; }

// Each rectangle of the old picture looked for on the new one.
std::vector<FollowedPiece> Follow(const TestPicture& before, const TestPicture& after, const std::vector<SpriteRect>& rects) {
    const Bytes old(before), fresh(after);
    return FollowPieces(TakePieces(View(old), rects), View(fresh), Mask);
}

// The 12 sprites of 20 x 24 of a 3 x 4 grid, 30 pixels apart from (4, 4).
std::vector<SpriteRect> GridRects() {
    std::vector<SpriteRect> rects;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) rects.push_back({4 + c * 30, 4 + r * 30, 20, 24});
    return rects;
}
TestPicture GridSheet() { return Grid(130, 100, 4, 3, 20, 24, 30); }

SpriteRect Moved(SpriteRect r, int dx, int dy) { return {r.X + dx, r.Y + dy, r.Width, r.Height}; }

// The nearest place (reading order among equals) where at least 90% of the
// sprite pixels of `from` at r are unchanged, tried at every place.
std::optional<SpriteRect> NearestByHand(const TestPicture& from, SpriteRect r, const TestPicture& to) {
    const int n = SpritePixels(from, r.X, r.Y, r.Width, r.Height);
    std::optional<SpriteRect> best;
    int64_t bestD2 = 0;
    for (int y = 0; y + r.Height <= to.Height; ++y)
        for (int x = 0; x + r.Width <= to.Width; ++x) {
            int same = 0;
            for (int j = 0; j < r.Height; ++j)
                for (int i = 0; i < r.Width; ++i) {
                    const int32_t c = from.At(r.X + i, r.Y + j);
                    same += c != Mask && to.At(x + i, y + j) == c;
                }
            const int64_t d2 = int64_t(x - r.X) * (x - r.X) + int64_t(y - r.Y) * (y - r.Y);
            if (same * 10 >= n * 9 && (!best || d2 < bestD2)) best = SpriteRect{x, y, r.Width, r.Height}, bestD2 = d2;
        }
    return best;
}

} // namespace

TEST(FollowSheet, PiecesFollowAnInsertedColumnAMovedRowAndASwap) {
    const TestPicture before = GridSheet();
    const std::vector<SpriteRect> rects = GridRects();

    // A column of 16 pixels before the third column of sprites.
    std::vector<FollowedPiece> got = Follow(before, InsertColumns(before, 64, 16), rects);
    ASSERT_EQ(got.size(), rects.size());
    for (size_t i = 0; i < rects.size(); ++i) {
        const bool right = rects[i].X >= 64;
        EXPECT_EQ(got[i].Rect, Moved(rects[i], right ? 16 : 0, 0)) << i;
        EXPECT_EQ(got[i].Kind, right ? FollowKind::Copied : FollowKind::Stayed) << i;
    }

    // The middle row of sprites moved down by 40 pixels on a taller sheet.
    TestPicture down = MakePicture(130, 140, Mask);
    CopyBlock(before, 0, 0, 130, 30, down, 0, 0);
    CopyBlock(before, 0, 30, 130, 30, down, 0, 70);
    CopyBlock(before, 0, 60, 130, 40, down, 0, 100);
    got = Follow(before, down, rects);
    for (size_t i = 0; i < rects.size(); ++i)
        EXPECT_EQ(got[i].Rect, Moved(rects[i], 0, i < 4 ? 0 : 40)) << i;

    // Two sprites swapped places.
    TestPicture swapped = before;
    CopyBlock(before, 4, 4, 20, 24, swapped, 94, 64);
    CopyBlock(before, 94, 64, 20, 24, swapped, 4, 4);
    got = Follow(before, swapped, rects);
    EXPECT_EQ(got[0].Rect, rects[11]);
    EXPECT_EQ(got[11].Rect, rects[0]);
    for (size_t i = 1; i < 11; ++i) EXPECT_EQ(got[i].Kind, FollowKind::Stayed);

    // A smaller sheet: 10 columns and 3 rows cut off at the left and the top.
    TestPicture cropped = MakePicture(120, 97, Mask);
    CopyBlock(before, 10, 3, 120, 97, cropped, 0, 0);
    got = Follow(before, cropped, rects);
    for (size_t i = 0; i < rects.size(); ++i) {
        // The first column of sprites lost its left edge.
        if (rects[i].X < 10)
            EXPECT_EQ(got[i].Kind, FollowKind::NotFound) << i;
        else
            EXPECT_EQ(got[i].Rect, Moved(rects[i], -10, -3)) << i;
    }
}

TEST(FollowSheet, RetouchedArtIsFoundUpToATenthOfItsSpritePixelsErasedArtNowhere) {
    const TestPicture before = GridSheet();
    const std::vector<SpriteRect> rects = GridRects();
    TestPicture after = InsertColumns(before, 64, 16);
    auto n = [&](int x, int y) { return SpritePixels(before, x, y, 20, 24); };
    Retouch(after, 94 + 16, 4, 20, 24, n(94, 4) / 20);   // sprite 3: 5%
    Retouch(after, 64 + 16, 34, 20, 24, n(64, 34) / 10); // sprite 6: exactly the tenth allowed
    Retouch(after, 34, 64, 20, 24, n(34, 64) / 10 + 1);  // sprite 9: one pixel more
    Fill(after, 4, 34, 20, 24);                      // sprite 4: erased
    const std::vector<FollowedPiece> got = Follow(before, after, rects);
    EXPECT_EQ(got[3].Rect, Moved(rects[3], 16, 0));
    EXPECT_EQ(got[3].Kind, FollowKind::Retouched);
    EXPECT_EQ(got[6].Rect, Moved(rects[6], 16, 0));
    EXPECT_EQ(got[6].Kind, FollowKind::Retouched);
    for (int i : {4, 9}) {
        EXPECT_EQ(got[i].Kind, FollowKind::NotFound) << i;
        EXPECT_EQ(got[i].Rect, rects[i]) << i;
    }
    EXPECT_EQ(got[5].Kind, FollowKind::Stayed);
}

TEST(FollowSheet, OfTwoCopiesTheNearestWinsAndOfEquallyNearTheFirstInReadingOrder) {
    TestPicture before = MakePicture(200, 200, Mask);
    PaintSprite(before, 90, 90, 10, 10, 7);
    const SpriteRect r{90, 90, 10, 10};
    struct Case {
        std::vector<std::pair<int, int>> copies;
        SpriteRect expected;
    };
    const Case cases[] = {
        {{{90, 150}, {150, 90}}, {150, 90, 10, 10}},                // 60 against 60: the upper one
        {{{150, 90}, {90, 30}}, {90, 30, 10, 10}},                  // 60 against 60: the upper one
        {{{60, 60}, {130, 90}}, {130, 90, 10, 10}},                 // about 42.4 against 40
        {{{110, 90}, {70, 90}}, {70, 90, 10, 10}},                  // one row: the left one
        {{{10, 10}, {90, 91}}, {90, 91, 10, 10}},                   // one row down, itself gone
        {{{90, 90}, {91, 90}}, {90, 90, 10, 10}},                   // overlapping copies: the place first
    };
    for (const Case& c : cases) {
        TestPicture after = MakePicture(200, 200, Mask);
        for (const auto& [x, y] : c.copies) CopyBlock(before, 90, 90, 10, 10, after, x, y);
        // A copy painted over another keeps only what shows: copy the place again last.
        if (c.copies[0] == std::pair(90, 90)) CopyBlock(before, 90, 90, 10, 10, after, 90, 90);
        const std::vector<FollowedPiece> got = Follow(before, after, {r});
        EXPECT_EQ(got[0].Rect, c.expected) << c.expected.X << "," << c.expected.Y;
    }
}

TEST(FollowSheet, TheRetouchedSearchFindsWhatEveryPlaceTriedByHandFinds) {
    // Sprites moved near and far, some retouched, some copied twice, on random
    // sheets: the pruned search must agree with trying every place.
    std::mt19937 random(42);
    int far = 0; // retouched pieces found beyond the first rings, through their runs
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        TestPicture before = MakePicture(160, 120, Mask);
        std::vector<SpriteRect> rects;
        for (int k = 0; k < 4; ++k) {
            const SpriteRect r{4 + k * 38, 10, 14 + k * 2, 12 + k};
            PaintSprite(before, r.X, r.Y, r.Width, r.Height, random());
            rects.push_back(r);
        }
        TestPicture after = MakePicture(150 + int(random() % 30), 110 + int(random() % 30), Mask);
        for (const SpriteRect& r : rects) {
            for (int copy = 0; copy < 1 + int(random() % 2); ++copy) {
                const int x = int(random() % (after.Width - r.Width)), y = int(random() % (after.Height - r.Height));
                CopyBlock(before, r.X, r.Y, r.Width, r.Height, after, x, y);
                Retouch(after, x, y, r.Width, r.Height, int(random() % 3) * SpritePixels(before, r.X, r.Y, r.Width, r.Height) / 16);
            }
        }
        const std::vector<FollowedPiece> got = Follow(before, after, rects);
        for (size_t i = 0; i < rects.size(); ++i) {
            const std::optional<SpriteRect> byHand = NearestByHand(before, rects[i], after);
            if (got[i].Kind == FollowKind::Retouched || got[i].Kind == FollowKind::NotFound) {
                EXPECT_EQ(got[i].Kind == FollowKind::NotFound, !byHand) << i;
                if (byHand) {
                    EXPECT_EQ(got[i].Rect, *byHand) << i;
                    far += std::max(std::abs(byHand->X - rects[i].X), std::abs(byHand->Y - rects[i].Y)) > 32;
                }
            }
        }
    }
    EXPECT_GT(far, 3);
}

TEST(FollowSheet, FramesMoveWithTheirPiecesKeepingSizeAndHotSpotAndAreNamedWhenLost) {
    const TestPicture before = GridSheet();
    TestPicture after = InsertColumns(before, 64, 16);
    Fill(after, 4, 34, 20, 24); // sprite 4 erased
    std::vector<ActionData> actions(2);
    actions[0].Name = "Walk";
    actions[0].Directions.resize(2);
    actions[0].Directions[1].Name = "Right";
    auto frame = [](int i, int hx, int hy) { return FrameData{4 + i % 4 * 30, 4 + i / 4 * 30, 24, 20, {0, 0}, 100, hx, hy}; };
    actions[0].Directions[0].Frames = {frame(2, 10, 23), FrameData{}};
    actions[0].Directions[1].Frames = {frame(0, 1, 2), frame(3, -5, 40), frame(4, 0, 0), frame(2, 10, 23)};
    // A frame reaching past the old sheet has no old pixels to look for.
    actions[1].Directions.resize(1);
    actions[1].Directions[0].Frames = {FrameData{120, 90, 24, 20, {0, 0}, 50, 0, 0}};
    const std::vector<ActionData> was = actions;

    const Bytes old(before), fresh(after);
    const std::vector<SpriteRect> rects = MarkedRects(actions);
    EXPECT_EQ(rects.size(), 5u) << "each rectangle once, unmarked frames left out";
    const FollowReport report = FollowFrames(actions, TakePieces(View(old), rects), View(fresh), Mask);
    EXPECT_EQ(report.Moved, 3u);
    EXPECT_EQ(report.NotFound, (std::vector<std::string>{"Walk/Right/2", "Action 1/Dir 0/0"}));
    const std::vector<FrameData>& right = actions[0].Directions[1].Frames;
    FrameData expected = was[0].Directions[1].Frames[1];
    expected.X += 16;
    EXPECT_EQ(right[1], expected) << "only X moves: size, delay and the relative hot spot stay";
    EXPECT_EQ(right[0], was[0].Directions[1].Frames[0]);
    EXPECT_EQ(right[2], was[0].Directions[1].Frames[2]);
    EXPECT_EQ(right[3].X, 64 + 16);
    EXPECT_EQ(actions[0].Directions[0].Frames[0], right[3]);
    EXPECT_EQ(actions[0].Directions[0].Frames[1], FrameData{});
    EXPECT_EQ(actions[1].Directions[0].Frames[0], was[1].Directions[0].Frames[0]);
}

TEST(FollowSheet, DirectionNamesAreTheAtlasNames) {
    std::vector<ActionData> actions(2);
    actions[0].Name = "Run";
    actions[0].Directions.resize(3);
    actions[0].Directions[0].Name = actions[0].Directions[1].Name = actions[0].Directions[2].Name = "Up";
    actions[0].Directions[0].Frames = {FrameData{0, 0, 1, 1}};
    actions[0].Directions[1].Frames = {FrameData{}}; // nothing marked: takes no name
    actions[0].Directions[2].Frames = {FrameData{0, 0, 1, 1}};
    actions[1].Directions.resize(1);
    const auto names = DirectionNames(actions);
    EXPECT_EQ(names[0], (std::vector<std::string>{"Run/Up", "Run/Up (2)", "Run/Up (2)"}));
    EXPECT_EQ(names[1], (std::vector<std::string>{"Action 1/Dir 0"}));
}

TEST(FollowSheet, NothingIsFoundOnASheetWithoutPixelsAndBadPiecesAreSkipped) {
    const TestPicture before = GridSheet();
    const Bytes old(before);
    std::vector<SheetPiece> pieces = TakePieces(View(old), {{4, 4, 20, 24}, {-1, 0, 5, 5}, {120, 90, 20, 24}, {0, 0, 0, 3}});
    ASSERT_EQ(pieces.size(), 1u) << "off the sheet or empty: no piece";
    pieces.push_back({{0, 0, 4, 4}, std::vector<uint8_t>(5)}); // pixels not of its size
    const std::vector<FollowedPiece> got = FollowPieces(pieces, SheetPixels{}, Mask);
    EXPECT_TRUE(got.size() == 2 && got[0].Kind == FollowKind::NotFound && got[0].Rect == pieces[0].Rect);
    EXPECT_EQ(FollowPieces(pieces, View(old), Mask)[1].Kind, FollowKind::NotFound);
}
