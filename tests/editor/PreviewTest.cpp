// The animation preview: frame sequences of play, loop and step, placement and
// scale, transparency, the colour choosers and the clock.
#include "EditorFixture.h"

class PreviewTest : public EditorTest {
protected:
    // A 100 x 100 position sheet; action 0, direction 0 of `count` frames:
    // frame i is the 10 x 10 block at (i * 10, 0) with its hot spot at (5, 5),
    // so at scale 1 it covers box pixels 40 to 49.
    void MakeDirection(int count) {
        FillDirection(100, 100, count, [](int i) { return FrameData{i * 10, 0, 10, 10, {0, 0}, 0, 5, 5}; });
        WaitForRebuild();
        W().HScroll2->setValue(1000); // the real clock stays out of the way; ticks are driven below
    }
    // The frame the box shows (-1: only background).
    int Shown() {
        const int32_t c = W().Picture5->PixelAt(40, 40);
        return c == W().Picture5->BackColor() ? -1 : (c & 0xFF) / 10;
    }
    std::vector<int> Ticks(int n) {
        std::vector<int> out(n);
        for (int& s : out) W().Timer1_Timer(), s = Shown();
        return out;
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    bool Running() { return W().Playing && !W().PlayImageShown && W().Timer1->isActive(); }
    bool Stopped() { return !W().Playing && W().PlayImageShown && !W().Timer1->isActive(); }
};

TEST_F(PreviewTest, PlayShowsFrameOneFirstAndLoopsOrStopsAtTheEnd) {
    // Frames, loop, the frame shown at each tick (-1: nothing drawn), ticks until the pass ends (0: never).
    struct Case { int frames; bool loop; std::vector<int> shown; int stoppedAfter; };
    for (const Case& c : {Case{3, true, {1, 2, 0, 1, 2, 0, 1}, 0}, Case{3, false, {1, 2, 2, 2}, 3},
                          Case{1, true, {0, 0, 0}, 0}, Case{1, false, {-1, -1}, 1}}) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames, loop " << c.loop);
        MakeDirection(c.frames), W().Check1->setChecked(c.loop);
        Click(W().cmdPlay);
        EXPECT_TRUE(Running() && W().Counter == 0);
        for (size_t t = 0; t < c.shown.size(); ++t) {
            W().Timer1_Timer();
            EXPECT_EQ(Shown(), c.shown[t]) << "tick " << t;
            EXPECT_EQ(Stopped(), c.stoppedAfter && int(t) + 1 >= c.stoppedAfter) << "tick " << t;
        }
    }
    // After the non-looping pass: Counter 3, Step draws nothing, Play starts over from frame 1.
    MakeDirection(3), W().Check1->setChecked(false), Click(W().cmdPlay), Ticks(3);
    EXPECT_TRUE(W().Counter == 3 && Shown() == 2);
    Click(W().cmdStep);
    EXPECT_TRUE(Stopped() && Shown() == 2);
    // Step pressed on and on at the end of the pass never wraps the counter.
    W().Counter = 32766;
    for (int k = 0; k < 3; ++k) Click(W().cmdStep);
    EXPECT_TRUE(W().Counter == 32767 && Stopped());
    Click(W().cmdPlay);
    EXPECT_EQ(Ticks(1), std::vector<int>{1});
}

TEST_F(PreviewTest, StepRedrawsWhilePlayingAndAdvancesWhileStopped) {
    MakeDirection(4);
    Click(W().cmdPlay), Ticks(2);
    Click(W().cmdStep); // playing: stops and shows frame 2 again
    EXPECT_TRUE(Stopped() && Shown() == 2);
    for (int expect : {3, 0, 1}) { // stopped: the next frame each time, looping
        Click(W().cmdStep);
        EXPECT_TRUE(Stopped() && Shown() == expect) << expect;
    }
    Click(W().cmdPlay), Click(W().cmdStep); // Step before the first tick: back from 0 to the last thumbnail
    EXPECT_TRUE(Stopped() && Shown() == 0);
}

TEST_F(PreviewTest, PlacementScaleAndAnchorsAreReadAtEachTick) {
    MakeDirection(1);
    FrameData& f = Dir0()[0];
    f = FrameData{30, 40, 10, 10, {0, 0}, 0, 10, 20};
    W().HScroll3->setValue(8), W().Timer1_Timer(); // 2x: corner at (25, 5), 20 x 20
    PictureBox* box = W().Picture5;
    EXPECT_TRUE(box->PixelAt(25, 5) == PositionColor(30, 40) && box->PixelAt(44, 24) == PositionColor(39, 49));
    for (QPoint p : {QPoint(24, 5), QPoint(25, 4), QPoint(45, 24), QPoint(44, 25)}) EXPECT_EQ(box->PixelAt(p.x(), p.y()), 0);
    W().HScroll4->setValue(55), W().VScroll1->setValue(0), W().Timer1_Timer(); // anchor (35, 90)
    EXPECT_TRUE(box->PixelAt(15, 50) == PositionColor(30, 40) && box->PixelAt(25, 5) == 0);
    W().HScroll4->setValue(45), W().VScroll1->setValue(45), W().HScroll3->setValue(1);
    f.Width = 0, f.HotSpotX = 2, W().Timer1_Timer(); // unmarked: the box stays cleared
    EXPECT_EQ(box->PixelAt(44, 44), 0);
}

TEST_F(PreviewTest, ColourChoosersSetBackgroundAndMaskAndACancelKeepsThem) {
    MakeDirection(1);
    Dir0()[0] = FrameData{30, 40, 10, 10, {0, 0}, 0, 5, 5};
    dialogs.ColorAnswers = {0x00FF00, PositionColor(31, 41), std::nullopt, std::nullopt};
    QTest::mouseDClick(W().Picture5, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_TRUE(W().Picture5->BackColor() == 0x00FF00 && W().Picture5->PixelAt(3, 3) == 0x00FF00);
    QTest::mouseDClick(W().Label6, Qt::LeftButton);
    EXPECT_TRUE(SP::MaskColor == PositionColor(31, 41) && W().Picture2->BackColor() == PositionColor(31, 41));
    W().Timer1_Timer(); // the mask-coloured sheet pixel lets the background through
    EXPECT_TRUE(W().Picture5->PixelAt(41, 41) == 0x00FF00 && W().Picture5->PixelAt(40, 40) == PositionColor(30, 40));
    QTest::mouseDClick(W().Picture5, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QTest::mouseDClick(W().Label6, Qt::LeftButton);
    EXPECT_TRUE(dialogs.ColorRequests == 4 && W().Picture5->BackColor() == 0x00FF00 && SP::MaskColor == PositionColor(31, 41));
}
