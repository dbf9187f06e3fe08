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
        for (const FrameData& f : SP::Actions[0].Directions[0].Frames) out.push_back(f.X);
        return out;
    }
    // Clicks the delete cross of thumbnail i and answers the question.
    void Delete(int i, MsgAnswer answer = MsgAnswer::Yes) {
        messages.Answers.push_back(answer);
        QTest::mouseClick(W().ThumbWidget(i)->findChild<QWidget*>("Image1"), Qt::LeftButton, {}, QPoint(4, 4));
    }
    QString Captions(int i) {
        SpriteFrame* t = W().ThumbWidget(i);
        return t->NumText() + " " + t->LocText() + " " + t->SizeText() + " " + t->HSText() + " " + t->DelayText();
    }
};

TEST_F(ThumbsTest, SelectionByPlainShiftAndCtrlClicks) {
    MakeDirection(6);
    using V = std::vector<int>;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    struct Step {
        int index;
        Qt::KeyboardModifiers mods;
        V selected;
        int anchor;
    };
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
    W().Picture1->Cls();
    Click(5);
    EXPECT_TRUE(Overview(50, 5) == 255 && Overview(60, 25) == 255 && Overview(55, 15) == PositionColor(55, 15));
    EXPECT_TRUE(Centre() == QPoint(64, 64) && Overview(128, 64) == 0xFFFFFF);
    EXPECT_EQ(Zoomed(128, 128), 0);
    // Without a current direction, or for an index past the strip, nothing changes.
    W().ucSF_Click(6, 0), SP::CurDirection = -1, W().ucSF_Click(1, 0);
    EXPECT_TRUE(Selected() == V{5} && SP::CurFrame == 5);
}

TEST_F(ThumbsTest, DeletingMovesTheLaterFramesDownAndRefreshesTheirThumbnails) {
    MakeDirection(8);
    Click(1), W().FrameScroll->setValue(2), Click(6, Qt::ControlModifier), Click(7, Qt::ControlModifier);
    W().FrameScroll->setValue(0), Delete(0, MsgAnswer::No);
    EXPECT_EQ(FrameXs().size(), 8u);
    EXPECT_EQ(messages.Shown.back().Text, "Delete Frame 0?");
    Delete(0); // the first
    EXPECT_EQ(FrameXs(), (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
    EXPECT_EQ(SP::Actions[0].Directions[0].FrameUBound, 6);
    EXPECT_EQ(Captions(0), "Frame 0 (10,1) 20x10 (1,-1) 2");
    EXPECT_EQ(W().ThumbWidget(0)->Thumb()->PixelAt(71, 71), PositionColor(19, 20));
    // The marks stay with the positions; the mark of the position that went away is dropped,
    // and a current frame past the end is no current frame.
    EXPECT_EQ(Selected(), (std::vector<int>{1, 6}));
    EXPECT_EQ(SP::CurFrame, -1);
    EXPECT_EQ(W().FrameScroll->maximum(), 6);

    W().FrameScroll->setValue(3), Delete(4); // a middle one, with thumbnails left of the window untouched
    EXPECT_EQ(FrameXs(), (std::vector<int>{10, 20, 30, 40, 60, 70}));
    EXPECT_EQ(Captions(4), "Frame 4 (60,6) 20x10 (6,-6) 7");
    Delete(5); // the last: nothing moves, only its thumbnail goes
    EXPECT_EQ(FrameXs(), (std::vector<int>{10, 20, 30, 40, 60}));
    EXPECT_EQ(W().ThumbCount(), 5);
    EXPECT_EQ(W().lblNewFrame->x(), 2 * 89);
    W().FrameScroll->setValue(0);
    EXPECT_EQ(Captions(1), "Frame 1 (20,2) 20x10 (2,-2) 3"); // scrolled away during the deletions
}

TEST_F(ThumbsTest, DeletingTheOnlyFrameLeavesOneEmptyFrame) {
    MakeDirection(1);
    Click(0), Delete(0);
    const DirectionData& d = SP::Actions[0].Directions[0];
    EXPECT_TRUE(d.FrameUBound == 0 && d.Frames == std::vector<FrameData>{FrameData{}});
    EXPECT_EQ(Captions(0), "Frame 0 (0,0) 0x0 (0,0) 1");
    EXPECT_NE(W().ThumbWidget(0)->Thumb()->PixelAt(0, 0), PositionColor(0, 0)); // cleared
    EXPECT_EQ(SP::CurFrame, 0);
}

TEST_F(ThumbsTest, TypedDelaysAreStoredAsTheyAre) {
    MakeDirection(3);
    SpriteFrame* t = W().ThumbWidget(2);
    for (auto [typed, stored] : {std::pair{"0", 0}, {"-40", -40}, {"250", 250}}) {
        QTest::mouseDClick(t->findChild<QWidget*>("lblDelay"), Qt::LeftButton, {}, QPoint(30, 5));
        auto* editor = t->findChild<QLineEdit*>("Text1");
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(SP::Actions[0].Directions[0].Frames[2].Delay, stored) << typed;
    }
    SP::CurAction = -1, W().ucSF_SetDelay(2, 9);
    EXPECT_EQ(SP::Actions[0].Directions[0].Frames[2].Delay, 250);
}
