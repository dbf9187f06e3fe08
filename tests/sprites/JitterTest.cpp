#include <gtest/gtest.h>

#include <random>

#include "sprites/Jitter.h"

void PrintTo(const FrameJitter& j, std::ostream* os) { *os << "{frame " << j.Frame << " " << j.Dx << "," << j.Dy << "}"; }

namespace {

constexpr int32_t Mask = 0x00FF00FF;

// A sheet of cells 32 x 40, one figure of a walk cycle in each: a head, a body
// and legs that swing (the box of a step is wider than the box of a stand), so
// that only the box's bottom and centre stay the same from frame to frame.
struct WalkSheet {
    static constexpr int Cell = 32, CellH = 40;
    int32_t Width, Height, Stride;
    std::vector<uint8_t> Bytes;

    explicit WalkSheet(int cells) : Width(cells * Cell), Height(CellH), Stride((3 * Width + 3) & ~3) {
        Bytes.assign(static_cast<size_t>(Stride) * Height, 0);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) Put(x, y, Mask);
    }
    void Put(int x, int y, int32_t c) {
        uint8_t* p = Bytes.data() + static_cast<size_t>(Height - 1 - y) * Stride + 3 * x;
        p[0] = static_cast<uint8_t>(c >> 16), p[1] = static_cast<uint8_t>(c >> 8), p[2] = static_cast<uint8_t>(c);
    }
    // Figure `pose` in cell `cell`, its feet on row 35 and its middle on column 15
    // of the cell, moved by (dx, dy).
    void Figure(int cell, int pose, int dx = 0, int dy = 0) {
        const int cx = cell * Cell + 15 + dx, foot = 35 + dy;
        for (int y = foot - 20; y <= foot - 17; ++y)
            for (int x = cx - 2; x <= cx + 2; ++x) Put(x, y, 0x00C0D0F0); // head
        for (int y = foot - 16; y <= foot - 6; ++y)
            for (int x = cx - 3; x <= cx + 3; ++x) Put(x, y, 0x00302080); // body
        const int swing = pose % 4 == 1 ? 4 : pose % 4 == 3 ? 2 : 1; // legs apart by this much either side
        for (int y = foot - 5; y <= foot; ++y) {
            Put(cx - swing, y, 0x00101010);
            Put(cx + swing, y, 0x00101010);
        }
    }
    SheetPixels View() const { return {Bytes.data(), Width, Height, Stride}; }
};

// Frame of cell i, anchored at the figures' common foot point.
FrameData CellFrame(int i) {
    FrameData f;
    f.X = i * WalkSheet::Cell;
    f.Width = WalkSheet::Cell;
    f.Height = WalkSheet::CellH;
    f.HotSpotX = 15;
    f.HotSpotY = 35;
    return f;
}

std::vector<FrameData> Walk(int n) {
    std::vector<FrameData> frames;
    for (int i = 0; i < n; ++i) frames.push_back(CellFrame(i));
    return frames;
}

using Flags = std::vector<FrameJitter>;

} // namespace

TEST(Jitter, AWalkCycleWithOneFigureShiftedByThreeIsFlaggedButNotByTwo) {
    for (const auto& [dx, dy, flagged] : {std::tuple(0, 3, true), std::tuple(0, 2, false), std::tuple(-3, 0, true),
                                          std::tuple(2, -2, false), std::tuple(3, -1, true), std::tuple(0, -3, true)}) {
        WalkSheet sheet(8);
        for (int i = 0; i < 8; ++i) sheet.Figure(i, i, i == 5 ? dx : 0, i == 5 ? dy : 0);
        const Flags got = FindJitter(sheet.View(), Mask, Walk(8));
        const Flags want = flagged ? Flags{{5, double(dx), double(dy)}} : Flags{};
        EXPECT_EQ(got, want) << dx << "," << dy;
        // A looser limit lets the same shift through.
        EXPECT_EQ(FindJitter(sheet.View(), Mask, Walk(8), 3), Flags{});
    }
}

TEST(Jitter, HotSpotsAtDifferentPlacesAndFramesOfDifferentSizesAnchorTheSame) {
    WalkSheet sheet(6);
    for (int i = 0; i < 6; ++i) sheet.Figure(i, i);
    // Each frame cut differently around its figure, its hot spot on the same foot point.
    std::vector<FrameData> frames = Walk(6);
    const int cut[6][4] = {{0, 0, 0, 0}, {5, 3, 10, 2}, {9, 12, 4, 0}, {0, 14, 13, 4}, {7, 0, 0, 3}, {3, 5, 2, 1}};
    for (int i = 0; i < 6; ++i) {
        FrameData& f = frames[i];
        f.X += cut[i][0], f.Y += cut[i][1], f.Width -= cut[i][0] + cut[i][2], f.Height -= cut[i][1] + cut[i][3];
        f.HotSpotX -= cut[i][0], f.HotSpotY -= cut[i][1];
    }
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), Flags{});
    // The same hot spot in sheet terms but another pixel of a frame: frame 2's hot
    // spot 3 pixels up makes its figure hang 3 pixels low.
    frames[2].HotSpotY -= 3;
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), (Flags{{2, 0, 3}}));
    // A hot spot outside its frame still counts from the frame's corner.
    frames[2].HotSpotY += 3;
    frames[4].HotSpotX = -20;
    const Flags far = FindJitter(sheet.View(), Mask, frames);
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(std::pair(far[0].Frame, far[0].Dy), std::pair(4, 0.0));
    EXPECT_GT(far[0].Dx, 20);
}

TEST(Jitter, FewerThanThreeMeasuredFramesAndFramesWithoutPixelsGiveNothing) {
    WalkSheet sheet(6);
    for (int i = 0; i < 3; ++i) sheet.Figure(i, i, 0, i == 2 ? 9 - 35 + 20 : 0); // cells 3.. stay empty
    std::vector<FrameData> frames = Walk(2);
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), Flags{});
    frames[1].HotSpotY = 0; // far off, yet only two frames
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), Flags{});
    // Unmarked frames and frames over empty cells are no third frame.
    frames.push_back(FrameData{});
    frames.push_back(CellFrame(4));
    frames.push_back(CellFrame(3));
    frames.back().Width = -5;
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), Flags{});
    // A third figure makes medians: of the three, the one far off is flagged.
    frames.push_back(CellFrame(2));
    const Flags got = FindJitter(sheet.View(), Mask, frames);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(std::pair(got[0].Frame, got[1].Frame), std::pair(1, 5)) << "frame 5's figure stands 6 pixels higher";
    // No sheet at all, or a frame off the sheet: no box, no flag, no crash.
    EXPECT_EQ(FindJitter(SheetPixels{}, Mask, frames), Flags{});
    frames = Walk(3);
    frames[0].X = -100000;
    frames[1].X = 1 << 30;
    frames[2].Width = 1 << 30;
    EXPECT_EQ(FindJitter(sheet.View(), Mask, frames), Flags{});
}

TEST(Jitter, MediansOfEvenCountsAndTheWordsUsed) {
    WalkSheet sheet(4);
    for (int i = 0; i < 4; ++i) sheet.Figure(i, 0, 0, i < 2 ? 0 : 4); // two stand at 0, two at 4
    // The median is 2: every frame is 2 away, none more.
    EXPECT_EQ(FindJitter(sheet.View(), Mask, Walk(4)), Flags{});
    EXPECT_EQ(FindJitter(sheet.View(), Mask, Walk(4), 1).size(), 4u);
    EXPECT_EQ(DescribeJitter({0, 1, 3}), "3 pixels low, 1 pixel right of the others");
    EXPECT_EQ(DescribeJitter({0, -2.5, 0}), "2.5 pixels left of the others");
    EXPECT_EQ(DescribeJitter({0, 0, -1}), "1 pixel high of the others");
}

TEST(Jitter, TheTrackerScansOnlyNewRectanglesAndAgreesWithAFreshCount) {
    WalkSheet sheet(40);
    for (int i = 0; i < 40; ++i) sheet.Figure(i, i, 0, i % 7 == 3 ? 3 : 0);
    std::vector<FrameData> frames = Walk(40);
    JitterTracker tracker;
    tracker.Update(sheet.View(), Mask, frames);
    EXPECT_EQ(tracker.Scanned(), 40u);
    EXPECT_EQ(tracker.Flags().size(), 6u);
    // A hot spot moved: no scan. A frame deleted, frames pasted again: no scan.
    frames[11].HotSpotY -= 3;
    EXPECT_EQ(tracker.Update(sheet.View(), Mask, frames).size(), 7u);
    EXPECT_EQ(tracker.Scanned(), 0u);
    frames.erase(frames.begin() + 3);
    frames.insert(frames.begin() + 20, frames.begin(), frames.begin() + 5);
    tracker.Update(sheet.View(), Mask, frames);
    EXPECT_EQ(tracker.Scanned(), 0u);
    // A rectangle changed: that one alone.
    frames[7].Width -= 1;
    tracker.Update(sheet.View(), Mask, frames);
    EXPECT_EQ(tracker.Scanned(), 1u);
    // The pixels changed under the same buffer: only Invalidate can tell.
    sheet.Figure(0, 0, 0, 3);
    tracker.Invalidate();
    tracker.Update(sheet.View(), Mask, frames);
    EXPECT_EQ(tracker.Scanned(), 39u); // 44 frames, 39 rectangles (frame 3's went)
    // A random run of edits always ends where a fresh count does.
    std::mt19937 rng(7);
    for (int step = 0; step < 200; ++step) {
        FrameData& f = frames[rng() % frames.size()];
        switch (rng() % 4) {
        case 0: f.HotSpotX += static_cast<int>(rng() % 7) - 3; break;
        case 1: f.HotSpotY += static_cast<int>(rng() % 7) - 3; break;
        case 2: f.Height = static_cast<int>(rng() % 42); break;
        default: frames.erase(frames.begin() + static_cast<long>(rng() % frames.size())); break;
        }
        if (frames.size() < 5) frames = Walk(40);
        ASSERT_EQ(tracker.Update(sheet.View(), Mask, frames), FindJitter(sheet.View(), Mask, frames)) << step;
    }
}
