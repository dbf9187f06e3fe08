// Jitter marks on the strip's thumbnails: they follow a hot spot moved with the
// mouse, undo and redo, delete, paste, marking and a reload of the sheet.
#include <algorithm>
#include <initializer_list>

#include "EditorFixture.h"

namespace {

constexpr int32_t Magenta = 0x00FF00FF;
constexpr int Cell = 32, CellH = 40;

// Six cells of a walk, each figure's feet on row 30 and middle on column 15 of
// its cell; the figures of the cells in `low` stand 3 pixels lower. Cells i and
// i + 3 hold the same figure.
TestPicture WalkSheet(std::initializer_list<int> low = {}) {
    TestPicture pic = MakePicture(6 * Cell, CellH, Magenta);
    for (int i = 0; i < 6; ++i) {
        const int cx = i * Cell + 15, foot = 30 + (std::find(low.begin(), low.end(), i) != low.end() ? 3 : 0);
        for (int y = foot - 15; y <= foot - 5; ++y)
            for (int x = cx - 3; x <= cx + 3; ++x) pic.At(x, y) = 0x00402080;
        for (int y = foot - 4; y <= foot; ++y) pic.At(cx - 1 - i % 3, y) = pic.At(cx + 1 + i % 3, y) = 0x00101010;
    }
    return pic;
}

} // namespace

class JitterMarksTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        SP::MaskColor = Magenta;
        WriteFileBytes(dir / "walk.bmp", MakeBmp24(WalkSheet()));
        Menu(W().mnuNew, dir / "walk.bmp");
        W().Command1_Click();
        DirectionData& d = SP::Actions[0].Directions[0];
        d.Frames.clear();
        for (int i = 0; i < 6; ++i) d.Frames.push_back(FrameData{i * Cell, 0, CellH, Cell, {0, 0}, 1, 15, 30});
        d.FrameUBound = 5;
        W().lstAction_Click(0), W().lstDirection_Click(0);
        WaitForRebuild();
    }
    // Thumbnail i's mark as its widget shows it, and whether the window agrees.
    QString Mark(int i) {
        SpriteFrame* t = W().ThumbWidget(i);
        EXPECT_NE(t, nullptr) << i;
        if (!t) return "?";
        EXPECT_EQ(t->JitterMark(), W().JitterText(i)) << i;
        return t->JitterMark();
    }
    std::vector<int> Marked() {
        std::vector<int> out;
        for (int i = 0; i < std::min(W().ThumbCount(), 6); ++i)
            if (!Mark(i).isEmpty()) out.push_back(i);
        return out;
    }
    // A real right press on the zoom view over sheet pixel (x, y): the current frame's hot spot.
    void SetHotSpot(int frame, int x, int y) {
        ClickThumbOf(W(), frame);
        W().Picture2_MouseDown(1, 0, x, y), W().Picture2_MouseUp(1, 0, x, y); // the zoom view around it
        const int z = W().ZoomFactor;
        Press({(x - W().ZoomOriginX() + 0.5) * z, (y - W().ZoomOriginY() + 0.5) * z}, Qt::RightButton);
    }
    const QString Low3 = "Hot spot jitter: 3 pixels low of the others";
};

TEST_F(JitterMarksTest, AHotSpotMovedThreePixelsMarksItsThumbnailAndUndoTakesItAway) {
    EXPECT_EQ(Marked(), std::vector<int>{});
    SetHotSpot(2, 2 * Cell + 15, 28); // two pixels up: within the limit
    EXPECT_EQ(std::pair(Dir0()[2].HotSpotX, Dir0()[2].HotSpotY), std::pair(15, 28));
    EXPECT_EQ(Marked(), std::vector<int>{});
    SetHotSpot(2, 2 * Cell + 15, 27); // three up: the figure hangs three pixels low
    EXPECT_EQ(Marked(), std::vector<int>{2});
    EXPECT_EQ(Mark(2), Low3);
    SetHotSpot(2, 2 * Cell + 19, 27);
    EXPECT_EQ(Mark(2), "Hot spot jitter: 3 pixels low, 4 pixels left of the others");

    W().mnuUndo->trigger();
    EXPECT_EQ(Mark(2), Low3);
    W().mnuUndo->trigger();
    EXPECT_EQ(Marked(), std::vector<int>{});
    W().mnuRedo->trigger();
    EXPECT_EQ(Marked(), std::vector<int>{2});
}

TEST_F(JitterMarksTest, MarksFollowDeletePasteMarkingAndAReloadedSheet) {
    SetHotSpot(3, 3 * Cell + 15, 33); // three down: the figure stands three high
    EXPECT_EQ(Mark(3), "Hot spot jitter: 3 pixels high of the others");
    // Deleting a frame before it moves the mark with the frame.
    DeleteThumb(0);
    EXPECT_EQ(Marked(), std::vector<int>{2});
    // A copy pasted in front: both copies are marked.
    ClickThumbOf(W(), 2), CtrlKey(Qt::Key_C);
    W().DoPaste(2);
    EXPECT_EQ(Marked(), (std::vector<int>{0, 3}));
    // Marking frame 3 anew: emptied at the press, it is no longer measured.
    ClickThumbOf(W(), 3);
    Press({10, 10});
    EXPECT_EQ(Marked(), std::vector<int>{0});
    Press({10, 10}); // a 1 x 1 rectangle of background: no sprite pixel, no mark
    EXPECT_EQ(Marked(), std::vector<int>{0});
    W().mnuUndo->trigger();
    EXPECT_EQ(Marked(), (std::vector<int>{0, 3}));

    // The sheet file redrawn with the figures of cells 1 and 4 three pixels low.
    // No copy of their old pixels is left for the frames to follow, so they stay
    // and their thumbnails (1 and 4) are marked once the sheet is reloaded.
    WriteFileBytes(dir / "walk.bmp", MakeBmp24(WalkSheet({1, 4})));
    ASSERT_TRUE(W().ReloadSheet());
    EXPECT_EQ(Marked(), (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(Mark(1), Low3);
    EXPECT_EQ(Mark(4), Low3);
    // A direction of fewer than three frames shows none, however far off.
    W().Command4_Click();
    W().lstDirection_Click(1);
    WaitForRebuild();
    DirectionData& two = SP::Actions[0].Directions[1];
    two.Frames = {FrameData{0, 0, CellH, Cell, {0, 0}, 1, 15, 30}, FrameData{Cell, 0, CellH, Cell, {0, 0}, 1, 0, 0}};
    two.FrameUBound = 1;
    W().RebuildStripAt(0);
    EXPECT_EQ(Marked(), std::vector<int>{});
}
