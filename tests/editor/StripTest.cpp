// The frame strip: deferred rebuild, layout from the scroll position, the
// "New Frame" label, and what the thumbnails show.
#include "EditorFixture.h"

namespace {

using Layout = std::vector<std::pair<int, int>>;

// Action 0 with direction 0 of `count` frames, frame i at (i * 10, 0), 10 wide, 40 high.
void MakeDirection(Form1& w, int count) {
    w.Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.resize(count);
    d.FrameUBound = static_cast<int16_t>(count - 1);
    for (int i = 0; i < count; ++i) d.Frames[i] = FrameData{i * 10, 0, 40, 10, {0, 0}, int16_t(i), i, 0};
    w.lstAction_Click(0);
    w.lstDirection_Click(0);
}

// Indices and x positions of the thumbnails on screen, left to right.
Layout Shown(Form1& w) {
    Layout out;
    for (int i = 0; i < w.ThumbCount(); ++i)
        if (SpriteFrame* t = w.ThumbWidget(i)) out.emplace_back(i, t->x());
    std::sort(out.begin(), out.end(), [](auto a, auto b) { return a.second < b.second; });
    return out;
}

} // namespace

TEST_F(EditorTest, TenFramesLayOutSixThenTheLabel) {
    NewProject(WriteSheet("s.bmp", PositionSheet(200, 100)));
    MakeDirection(W(), 10);
    EXPECT_EQ(W().ThumbWidget(0), nullptr); // deferred: nothing yet
    WaitForRebuild();
    EXPECT_EQ(W().FrameScroll->maximum(), 9);
    EXPECT_EQ(Shown(W()), (Layout{{0, 0}, {1, 89}, {2, 178}, {3, 267}, {4, 356}, {5, 445}}));
    EXPECT_EQ(W().lblNewFrame->x(), 534);
    EXPECT_FALSE(W().lblNewFrame->isHidden());
    SpriteFrame* t3 = W().ThumbWidget(3);
    EXPECT_EQ(t3->NumText(), "Frame 3");
    EXPECT_EQ(t3->LocText(), "(30,0)");
    EXPECT_EQ(t3->SizeText(), "40x10");
    EXPECT_EQ(t3->HSText(), "(3,0)");
    EXPECT_EQ(t3->DelayText(), "3");
    EXPECT_EQ(W().ThumbWidget(0)->DelayText(), "1"); // delay 0 shows as 1
    // A 10 x 40 frame is stretched to fill 72 x 72.
    EXPECT_EQ(t3->Thumb()->PixelAt(0, 0), PositionColor(30, 0));
    EXPECT_EQ(t3->Thumb()->PixelAt(71, 71), PositionColor(39, 39));
    const std::pair<int, Layout> scrolled[] = {{9, {{9, 0}}}, {7, {{7, 0}, {8, 89}, {9, 178}}}};
    for (const auto& [pos, layout] : scrolled) {
        W().FrameScroll->setValue(pos);
        EXPECT_EQ(Shown(W()), layout) << pos;
        EXPECT_EQ(W().lblNewFrame->x(), 89 * static_cast<int>(layout.size()));
    }
    EXPECT_EQ(W().ThumbWidget(8)->Thumb()->PixelAt(0, 0), PositionColor(80, 0));
}

TEST_F(EditorTest, NewFrameLabelAppendsAnUnfilledThumbnail) {
    NewProject(WriteSheet("s.bmp", PositionSheet(100, 100)));
    MakeDirection(W(), 2);
    WaitForRebuild();
    W().FrameScroll->setValue(1);
    SendMouse(W().lblNewFrame, QEvent::MouseButtonPress, {20, 80}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(W().lblNewFrame, QEvent::MouseButtonRelease, {20, 80}, Qt::LeftButton, Qt::NoButton);
    const DirectionData& d = SP::Actions[0].Directions[0];
    EXPECT_EQ(d.FrameUBound, 2);
    ASSERT_EQ(d.Frames.size(), 3u);
    EXPECT_EQ(d.Frames[2], FrameData{});
    EXPECT_EQ(W().FrameScroll->value(), 1);
    EXPECT_EQ(Shown(W()), (Layout{{1, 0}, {2, 89}}));
    EXPECT_EQ(W().lblNewFrame->x(), 178);
    // The new thumbnail keeps the control's initial captions, with its number, also after scrolling.
    W().FrameScroll->setValue(0);
    W().FrameScroll->setValue(2);
    SpriteFrame* t = W().ThumbWidget(2);
    EXPECT_EQ(t->NumText(), "Frame 2");
    EXPECT_EQ(t->LocText(), "(?,?)");
    EXPECT_EQ(t->SizeText(), "?x?");
    SP::Actions[0].Directions[0].Frames[2] = FrameData{5, 6, 7, 8, {0, 0}, 2, 0, 0};
    W().ThumbChanged(2);
    EXPECT_EQ(W().ThumbWidget(2)->SizeText(), "7x8");
    // Without a current direction the label does nothing.
    W().lstAction_Click(-1);
    SP::CurDirection = -1;
    W().lblNewFrame_Click();
    EXPECT_EQ(d.Frames.size(), 3u);
}

TEST_F(EditorTest, DeferredRebuildMergesRequestsAndFollowsTheLastSelection) {
    NewProject(WriteSheet("s.bmp", PositionSheet(100, 100)));
    MakeDirection(W(), 4);
    W().Command4_Click(); // "Dir 1": one unmarked frame
    const int before = W().StripRebuilds;
    for (int i : {1, 0, 1}) W().lstDirection_Click(i);
    EXPECT_EQ(W().StripRebuilds, before); // nothing until the handlers have returned
    SP::CurFrame = 3;
    WaitForRebuild();
    EXPECT_EQ(W().StripRebuilds, before + 1);
    EXPECT_EQ(SP::CurFrame, -1);
    EXPECT_EQ(Shown(W()), (Layout{{0, 0}}));
    EXPECT_EQ(W().lblNewFrame->x(), 89);
    EXPECT_EQ(W().ThumbWidget(0)->SizeText(), "0x0");
    EXPECT_NE(W().ThumbWidget(0)->Thumb()->PixelAt(0, 0), PositionColor(0, 0)); // cleared, not the sheet

    // Selecting an action empties the strip until a direction is chosen; such a
    // rebuild leaves the current frame and the anchor alone.
    W().Command1_Click();
    W().lstAction_Click(1);
    SP::CurFrame = 2;
    SP::SelAnchor = 1;
    WaitForRebuild();
    EXPECT_TRUE(Shown(W()).empty());
    EXPECT_TRUE(W().lblNewFrame->isHidden());
    EXPECT_EQ(SP::CurFrame, 2);
    EXPECT_EQ(SP::SelAnchor, 1);
}

TEST_F(EditorTest, DirectRebuildKeepsTheScrollPositionAndHighlights) {
    NewProject(WriteSheet("s.bmp", PositionSheet(100, 100)));
    MakeDirection(W(), 8);
    WaitForRebuild();
    W().FrameScroll->setValue(5);
    W().SetThumbHighlight(6, 1);
    W().RebuildStrip(false);
    EXPECT_EQ(W().FrameScroll->value(), 5);
    EXPECT_TRUE(Shown(W()).empty()); // hidden until the caller lays them out
    W().FrameScroll_Change();
    EXPECT_EQ(Shown(W()).front(), (std::pair<int, int>{5, 0}));
    EXPECT_EQ(W().ThumbWidget(6)->Highlight(), 0);
    // A highlight stays with its thumbnail while the widgets change hands.
    W().SetThumbHighlight(1, 1);
    W().SetThumbHighlight(7, 1);
    W().FrameScroll->setValue(0);
    EXPECT_EQ(W().ThumbWidget(1)->Highlight(), 1);
    EXPECT_EQ(W().ThumbWidget(2)->Highlight(), 0);
    W().FrameScroll->setValue(2);
    EXPECT_EQ(W().ThumbWidget(7)->Highlight(), 1);
    EXPECT_EQ(W().ThumbWidget(2)->Highlight(), 0);
    // A timer rebuild goes back to the start; a reset empties the strip.
    W().RequestStripRebuild();
    WaitForRebuild();
    EXPECT_EQ(W().FrameScroll->value(), 0);
    W().ResetProject();
    EXPECT_TRUE(Shown(W()).empty());
    EXPECT_TRUE(W().lblNewFrame->isHidden());
}
