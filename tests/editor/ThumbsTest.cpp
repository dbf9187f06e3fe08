// The window's answers to the thumbnails: selection by plain, Shift and Ctrl
// clicks, deleting frames, and typed delays.
#include "EditorFixture.h"

class ThumbsTest : public EditorTest {
protected:
    // A 300 x 300 sheet; one direction of `count` frames, frame i at (i * 10, i), 10 wide, 20 high.
    void MakeDirection(int count) {
        FillDirection(300, 300, count, [](int i) { return FrameData{i * 10, i, 20, 10, {0, 0}, int16_t(i + 1), i, -i}; });
        WaitForRebuild();
    }
    void Click(int i, Qt::KeyboardModifiers mods = Qt::NoModifier) { ClickThumbOf(W(), i, mods); }
    // Highlighted thumbnails, as the vector holds them and as the laid-out widgets show them.
    std::vector<int> Selected() {
        std::vector<int> out;
        for (int i = 0; i < W().ThumbCount(); ++i) {
            if (W().ThumbHighlight[i] == 1) out.push_back(i);
            if (SpriteFrame* t = W().ThumbWidget(i)) {
                EXPECT_EQ(t->Highlight(), W().ThumbHighlight[i]) << i;
            }
        }
        return out;
    }
    std::vector<int> FrameXs() {
        std::vector<int> out;
        for (const FrameData& f : Dir0()) out.push_back(f.X);
        return out;
    }
};

TEST_F(ThumbsTest, SelectionByPlainShiftAndCtrlClicks) {
    MakeDirection(6);
    using V = std::vector<int>;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    struct Step { int index; Qt::KeyboardModifiers mods; V selected; int anchor; };
    const Step steps[] = {
        {4, {}, {4}, -1},
        {2, {}, {2}, -1},
        {5, shift, {2, 3, 4, 5}, 2},       // the range starts at the previous current frame
        {0, shift, {0, 1, 2}, 2},          // and is drawn anew from the anchor
        {2, shift | ctrl, {2}, 2},         // the anchor's own thumbnail alone
        {4, ctrl, {2, 4}, 2},              // Ctrl adds, the anchor stays
        {0, ctrl | Qt::AltModifier, {0, 2, 4}, 2},
        {1, {}, {1}, -1},
    };
    for (const Step& s : steps) {
        Click(s.index, s.mods);
        EXPECT_EQ(Selected(), s.selected) << s.index;
        EXPECT_EQ(QPoint(SP::CurFrame, SP::SelAnchor), QPoint(s.index, s.anchor)) << s.index;
    }
    // With no current frame a Shift click is a plain one.
    SP::CurFrame = -1, Click(3, shift);
    EXPECT_TRUE(Selected() == V{3} && SP::SelAnchor == -1);
    // The overview is redrawn with the clicked frame's red box and the zoom box; the zoom view is not.
    W().Picture1->Cls(), Click(5);
    EXPECT_TRUE(Overview(50, 5) == 255 && Overview(60, 25) == 255 && Overview(55, 15) == PositionColor(55, 15));
    EXPECT_TRUE(Overview(128, 64) == 0xFFFFFF && Zoomed(128, 128) == 0);
    // An index past the strip (a rebuild still pending) changes nothing.
    W().ucSF_Click(6, 0), W().ucSF_DoDelete(6), W().ucSF_SetDelay(6, 9);
    EXPECT_TRUE(Selected() == V{5} && SP::CurFrame == 5 && Dir0().size() == 6u);
}

TEST_F(ThumbsTest, DeletingMovesTheLaterFramesDownAndRefreshesTheirThumbnails) {
    MakeDirection(8);
    Click(1), W().FrameScroll->setValue(2), Click(6, Qt::ControlModifier), Click(7, Qt::ControlModifier);
    W().FrameScroll->setValue(0), DeleteThumb(0, MsgAnswer::No);
    EXPECT_TRUE(FrameXs().size() == 8u && messages.Shown.back().Text == "Delete Frame 0?");
    DeleteThumb(0); // the first
    EXPECT_TRUE(FrameXs() == (std::vector<int>{10, 20, 30, 40, 50, 60, 70}) && SP::Actions[0].Directions[0].FrameUBound == 6);
    EXPECT_EQ(Captions(0), "Frame 0 (10,1) 20x10 (1,-1) 2");
    EXPECT_EQ(W().ThumbWidget(0)->Thumb()->PixelAt(71, 71), PositionColor(19, 20));
    // The marks stay with the positions, the one of the position that went away is dropped,
    // and a current frame past the end is no current frame.
    EXPECT_TRUE(Selected() == (std::vector<int>{1, 6}) && SP::CurFrame == -1 && W().FrameScroll->maximum() == 6);

    W().FrameScroll->setValue(3), DeleteThumb(4); // a middle one, with thumbnails left of the window untouched
    EXPECT_EQ(FrameXs(), (std::vector<int>{10, 20, 30, 40, 60, 70}));
    EXPECT_EQ(Captions(4), "Frame 4 (60,6) 20x10 (6,-6) 7");
    DeleteThumb(5); // the last: nothing moves, only its thumbnail goes
    EXPECT_TRUE(FrameXs() == (std::vector<int>{10, 20, 30, 40, 60}) && W().ThumbCount() == 5);
    W().FrameScroll->setValue(0);
    EXPECT_EQ(Captions(1), "Frame 1 (20,2) 20x10 (2,-2) 3"); // scrolled away during the deletions
}

TEST_F(ThumbsTest, DeletingTheOnlyFrameLeavesOneEmptyFrame) {
    MakeDirection(1);
    Click(0), DeleteThumb(0);
    EXPECT_TRUE(SP::Actions[0].Directions[0].FrameUBound == 0 && Dir0() == std::vector<FrameData>(1) && SP::CurFrame == 0);
    EXPECT_EQ(Captions(0), "Frame 0 (0,0) 0x0 (0,0) 1");
    EXPECT_NE(W().ThumbWidget(0)->Thumb()->PixelAt(0, 0), PositionColor(0, 0)); // cleared
}
