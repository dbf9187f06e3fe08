// The animation preview: frame sequences of play, loop and step, placement and
// scale, transparency, the colour choosers, the clock and the button images.
#include "EditorFixture.h"

namespace {

constexpr int32_t Green = 0x00FF00;

} // namespace

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
        std::vector<int> out;
        for (int i = 0; i < n; ++i) W().Timer1_Timer(), out.push_back(Shown());
        return out;
    }
    void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    bool Running() { return W().Playing && !W().PlayImageShown && W().Timer1->isActive(); }
    bool Stopped() { return !W().Playing && W().PlayImageShown && !W().Timer1->isActive(); }
};

TEST_F(PreviewTest, PlayShowsFrameOneFirstAndLoopsOrStopsAtTheEnd) {
    struct Case {
        int frames;
        bool loop;
        std::vector<int> shown; // one per tick; -1 = the tick drew nothing
        int stoppedAfter;       // ticks until the pass ends (0: it never does)
    };
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

TEST_F(PreviewTest, CounterNeverWrapsAndAnOverLongCounterEndsThePass) {
    MakeDirection(3), W().Check1->setChecked(false), W().Counter = 32765;
    for (int i = 0; i < 4; ++i) Click(W().cmdStep);
    EXPECT_TRUE(W().Counter == 32767 && Stopped() && Shown() == -1);
    // A direction of 32768 frames: a Counter stuck at the top still passes its last frame.
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.resize(32768, d.Frames[1]), d.FrameUBound = 32767;
    W().Timer1_Timer();
    EXPECT_TRUE(W().Counter == 32767 && Shown() == -1);
    W().Check1->setChecked(true), W().Timer1_Timer();
    EXPECT_TRUE(W().Counter == 0 && Shown() == 0);
    // Another direction, shorter than Counter: the end of a pass, then its frame 0 again.
    SP::Actions[0].Directions.push_back(DirectionData{{FrameData{20, 0, 10, 10, {0, 0}, 0, 5, 5}}, 0, ""});
    W().Counter = 2, SP::CurDirection = 1;
    EXPECT_EQ(Ticks(2), (std::vector<int>{2, 2}));
}

TEST_F(PreviewTest, LosingTheDirectionOnlyStopsTheClock) {
    MakeDirection(3);
    Click(W().cmdPlay), SP::CurAction = -1, W().Timer1_Timer();
    EXPECT_TRUE(W().Playing && !W().PlayImageShown && !W().Timer1->isActive());
    SP::CurAction = 0, Click(W().cmdPlay); // stops
    EXPECT_TRUE(Stopped());
    Click(W().cmdPlay);
    EXPECT_TRUE(Running());
    SP::CurDirection = -1, Click(W().cmdPlay); // Play without a direction does nothing
    EXPECT_TRUE(W().Playing);
}

TEST_F(PreviewTest, PlacementScaleAndAnchorsAreReadAtEachTick) {
    MakeDirection(1);
    FrameData& f = SP::Actions[0].Directions[0].Frames[0];
    f = FrameData{30, 40, 10, 10, {0, 0}, 0, 10, 20};
    W().HScroll3->setValue(8), W().Timer1_Timer(); // 2x: corner at (25, 5), 20 x 20
    PictureBox* box = W().Picture5;
    EXPECT_EQ(box->PixelAt(25, 5), PositionColor(30, 40));
    EXPECT_EQ(box->PixelAt(44, 24), PositionColor(39, 49));
    for (QPoint p : {QPoint(24, 5), QPoint(25, 4), QPoint(45, 24), QPoint(44, 25)})
        EXPECT_EQ(box->PixelAt(p.x(), p.y()), 0);
    W().HScroll4->setValue(55), W().VScroll1->setValue(0), W().Timer1_Timer(); // anchor (35, 90)
    EXPECT_TRUE(box->PixelAt(15, 50) == PositionColor(30, 40) && box->PixelAt(25, 5) == 0);
    // Halves go to the even neighbour: 45 - 2 * 0.25 = 44.5 -> 44, 45 - 6 * 0.25 = 43.5 -> 44.
    W().HScroll4->setValue(45), W().VScroll1->setValue(45), W().HScroll3->setValue(1);
    for (int hs : {2, 6}) {
        f.HotSpotX = f.HotSpotY = hs, W().Timer1_Timer();
        EXPECT_TRUE(box->PixelAt(44, 44) == PositionColor(30, 40) && box->PixelAt(43, 43) == 0) << hs;
    }
    W().HScroll3->setValue(16), f.HotSpotX = 2000000000, W().Timer1_Timer(); // far off the box, drawn nowhere
    EXPECT_EQ(box->PixelAt(0, 44), 0);
    f.Width = 0, f.HotSpotX = 2, W().Timer1_Timer(); // unmarked: the box stays cleared
    EXPECT_EQ(box->PixelAt(44, 44), 0);
}

TEST_F(PreviewTest, CaptionsAndClockFollowTheBars) {
    for (auto [value, caption] : {std::pair{1, "Scale (0.25x)"}, {2, "Scale (0.5x)"}, {4, "Scale (1x)"}, {5, "Scale (1.25x)"}}) {
        W().HScroll3->setValue(value);
        EXPECT_EQ(W().Label5->text(), caption);
    }
    MakeDirection(2), W().HScroll2->setValue(1), Click(W().cmdPlay);
    int ticks = 0;
    QObject counting;
    QObject::connect(W().Timer1, &QTimer::timeout, &counting, [&] { ++ticks; });
    for (QDeadlineTimer end(5000); ticks < 5 && !end.hasExpired();)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(ticks, 5);                        // the real clock drives the preview
    QTest::keyClick(W().HScroll2, Qt::Key_End); // to 1000 while running
    EXPECT_EQ(W().Label4->text(), "Speed (1000)");
    EXPECT_TRUE(W().Timer1->interval() == 1000 && Running());
}

TEST_F(PreviewTest, ColourChoosersSetBackgroundAndMaskAndACancelKeepsThem) {
    MakeDirection(1);
    SP::Actions[0].Directions[0].Frames[0] = FrameData{30, 40, 10, 10, {0, 0}, 0, 5, 5};
    dialogs.ColorAnswers = {Green, PositionColor(31, 41), std::nullopt, std::nullopt};
    QTest::mouseDClick(W().Picture5, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_TRUE(W().Picture5->BackColor() == Green && W().Picture5->PixelAt(3, 3) == Green);
    QTest::mouseDClick(W().Label6, Qt::LeftButton);
    EXPECT_TRUE(SP::MaskColor == PositionColor(31, 41) && W().Picture2->BackColor() == PositionColor(31, 41));
    EXPECT_EQ(W().Label6->palette().color(QPalette::Window), BgrToQColor(PositionColor(31, 41)));
    W().Timer1_Timer(); // the mask-coloured sheet pixel lets the background through
    EXPECT_TRUE(W().Picture5->PixelAt(41, 41) == Green && W().Picture5->PixelAt(40, 40) == PositionColor(30, 40));
    QTest::mouseDClick(W().Picture5, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QTest::mouseDClick(W().Label6, Qt::LeftButton);
    EXPECT_TRUE(dialogs.ColorRequests == 4 && W().Picture5->BackColor() == Green && SP::MaskColor == PositionColor(31, 41));
}

TEST_F(PreviewTest, ButtonImagesArePixelExact) {
    const Strings play = {"BB...........", "BBBB.........", "BBBBBB.......", "BBBBBBBB.....", "BBBBBBBBBB...",
                          "BBBBBBBBBBBB.", "BBBBBBBBBBBBB", "BBBBBBBBBBBB.", "BBBBBBBBBB...", "BBBBBBBB.....",
                          "BBBBBB.......", "BBBB.........", "BB..........."};
    const Strings step = {"BB..B...........", "BB..BBB.........", "BB..BBBBB.......", "BB..BBBBBBB.....",
                          "BB..BBBBBBBBB...", "BB..BBBBBBBBBBB.", "BB..BBBBBBBBBBBB", "BB..BBBBBBBBBBB.",
                          "BB..BBBBBBBBB...", "BB..BBBBBBB.....", "BB..BBBBB.......", "BB..BBB.........",
                          "BB..B..........."};
    auto rows = [](const QPixmap& p) {
        const QImage img = p.toImage().convertToFormat(QImage::Format_ARGB32);
        Strings out(img.height(), std::string(img.width(), '?'));
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                out[y][x] = c == 0xFF000000u ? 'B' : qAlpha(c) == 0 ? '.' : '?';
            }
        return out;
    };
    const Strings stop(13, std::string(13, 'B'));
    auto icon = [&](QPushButton* b, QSize s) { return rows(b->icon().pixmap(s)); };
    EXPECT_EQ(icon(W().cmdStep, {16, 13}), step);
    MakeDirection(2);
    for (const Strings& expect : {stop, play}) {
        Click(W().cmdPlay);
        EXPECT_EQ(icon(W().cmdPlay, {13, 13}), expect);
    }
}
