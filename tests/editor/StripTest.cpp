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
};

TEST_F(StripTest, TenFramesLayOutSixThenTheLabel) {
    MakeDirection(10);
    EXPECT_EQ(W().ThumbWidget(0), nullptr); // deferred: nothing yet
    WaitForRebuild();
    EXPECT_EQ(Shown(), (Layout{{0, 0}, {1, 89}, {2, 178}, {3, 267}, {4, 356}, {5, 445}, {-1, 534}}));
    EXPECT_EQ(Captions(0), "Frame 0 (0,0) 40x10 (0,0) 1"); // delay 0 shows as 1
    EXPECT_EQ(W().ThumbWidget(3)->Thumb()->PixelAt(71, 71), PositionColor(39, 39)); // 10 x 40 stretched to 72 x 72
    for (const auto& [pos, layout] : {std::pair{9, Layout{{9, 0}, {-1, 89}}},
                                      std::pair{7, Layout{{7, 0}, {8, 89}, {9, 178}, {-1, 267}}}}) {
        W().FrameScroll->setValue(pos);
        EXPECT_EQ(Shown(), layout) << pos;
    }
}

TEST_F(StripTest, DeferredRebuildMergesRequestsAndFollowsTheLastSelection) {
    MakeDirection(4), W().Command4_Click(); // "Dir 1": one unmarked frame
    const int before = W().StripRebuilds;
    for (int i : {1, 0, 1}) W().lstDirection_Click(i);
    EXPECT_EQ(W().StripRebuilds, before); // nothing until the handlers have returned
    SP::CurFrame = 3, WaitForRebuild();
    EXPECT_TRUE(W().StripRebuilds == before + 1 && SP::CurFrame == -1);
    EXPECT_TRUE(Shown() == (Layout{{0, 0}, {-1, 89}}) && Captions(0) == "Frame 0 (0,0) 0x0 (0,0) 1");
}
