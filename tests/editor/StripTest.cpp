// The frame strip: deferred rebuild, layout from the scroll position, the
// "New Frame" label, and what the thumbnails show.
#include "EditorFixture.h"

using Layout = std::vector<std::pair<int, int>>;

class StripTest : public EditorTest {
protected:
    // A 100 x 100 sheet; action 0, direction 0 of `count` frames: frame i at (i * 10, 0), 10 wide, 40 high.
    void MakeDirection(int count) {
        FillDirection(100, 100, count, [](int i) { return FrameData{i * 10, 0, 40, 10, {0, 0}, int16_t(i), i, 0}; });
    }
    // The thumbnails on screen as (index, x) left to right, then the label as (-1, x), or (-1, -1) if hidden.
    Layout Shown() {
        Layout out;
        for (int i = 0; i < W().ThumbCount(); ++i)
            if (SpriteFrame* t = W().ThumbWidget(i)) out.emplace_back(i, t->x());
        std::sort(out.begin(), out.end(), [](auto a, auto b) { return a.second < b.second; });
        out.emplace_back(-1, W().lblNewFrame->isHidden() ? -1 : W().lblNewFrame->x());
        return out;
    }
    QString Captions(int i) {
        SpriteFrame* t = W().ThumbWidget(i);
        return t->NumText() + " " + t->LocText() + " " + t->SizeText() + " " + t->HSText() + " " +
               t->DelayText();
    }
};

TEST_F(StripTest, TenFramesLayOutSixThenTheLabel) {
    MakeDirection(10);
    EXPECT_EQ(W().ThumbWidget(0), nullptr); // deferred: nothing yet
    WaitForRebuild();
    EXPECT_EQ(Shown(), (Layout{{0, 0}, {1, 89}, {2, 178}, {3, 267}, {4, 356}, {5, 445}, {-1, 534}}));
    EXPECT_EQ(Captions(3), "Frame 3 (30,0) 40x10 (3,0) 3");
    EXPECT_EQ(Captions(0), "Frame 0 (0,0) 40x10 (0,0) 1"); // delay 0 shows as 1
    // A 10 x 40 frame is stretched to fill 72 x 72.
    EXPECT_EQ(W().ThumbWidget(3)->Thumb()->PixelAt(0, 0), PositionColor(30, 0));
    EXPECT_EQ(W().ThumbWidget(3)->Thumb()->PixelAt(71, 71), PositionColor(39, 39));
    for (const auto& [pos, layout] : {std::pair{9, Layout{{9, 0}, {-1, 89}}},
                                      std::pair{7, Layout{{7, 0}, {8, 89}, {9, 178}, {-1, 267}}}}) {
        W().FrameScroll->setValue(pos);
        EXPECT_EQ(Shown(), layout) << pos;
    }
}

TEST_F(StripTest, NewFrameLabelAppendsAnUnfilledThumbnail) {
    MakeDirection(2), WaitForRebuild(), W().FrameScroll->setValue(1);
    SendMouse(W().lblNewFrame, QEvent::MouseButtonPress, {20, 80}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(W().lblNewFrame, QEvent::MouseButtonRelease, {20, 80}, Qt::LeftButton, Qt::NoButton);
    const DirectionData& d = SP::Actions[0].Directions[0];
    EXPECT_TRUE(d.FrameUBound == 2 && d.Frames.at(2) == FrameData{});
    EXPECT_EQ(Shown(), (Layout{{1, 0}, {2, 89}, {-1, 178}}));
    // The new thumbnail keeps the control's initial captions, also after scrolling away and back.
    W().FrameScroll->setValue(0), W().FrameScroll->setValue(2);
    EXPECT_EQ(Captions(2), "Frame 2 (?,?) ?x? (0,0) 1");
    W().lstAction_Click(-1), SP::CurDirection = -1; // without a current direction the label does nothing
    W().lblNewFrame_Click();
    EXPECT_EQ(d.Frames.size(), 3u);
}

TEST_F(StripTest, DeferredRebuildMergesRequestsAndFollowsTheLastSelection) {
    MakeDirection(4), W().Command4_Click(); // "Dir 1": one unmarked frame
    const int before = W().StripRebuilds;
    for (int i : {1, 0, 1}) W().lstDirection_Click(i);
    EXPECT_EQ(W().StripRebuilds, before); // nothing until the handlers have returned
    SP::CurFrame = 3, WaitForRebuild();
    EXPECT_TRUE(W().StripRebuilds == before + 1 && SP::CurFrame == -1);
    EXPECT_EQ(Shown(), (Layout{{0, 0}, {-1, 89}}));
    EXPECT_EQ(Captions(0), "Frame 0 (0,0) 0x0 (0,0) 1");
    EXPECT_NE(W().ThumbWidget(0)->Thumb()->PixelAt(0, 0), PositionColor(0, 0)); // cleared, not the sheet
    // Selecting an action empties the strip until a direction is chosen, and keeps frame and anchor.
    W().Command1_Click(), W().lstAction_Click(1);
    SP::CurFrame = 2, SP::SelAnchor = 1, WaitForRebuild();
    EXPECT_EQ(Shown(), (Layout{{-1, -1}}));
    EXPECT_EQ(QPoint(SP::CurFrame, SP::SelAnchor), QPoint(2, 1));
}
