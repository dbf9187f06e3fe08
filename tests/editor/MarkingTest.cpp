// Marking frames on the zoom view with real mouse events: rectangle, hot spot,
// crosshair, and what the overview and the thumbnail show while marking.
#include "EditorFixture.h"

class MarkingTest : public EditorTest {
protected:
    // A 640 x 480 sheet, one direction of 3 frames (frame i at (7, 8 + i), 5 x 5), the
    // zoom view at zoom 4 centred on (32, 300) so that its origin is (0, 268), frame 0 current.
    void SetUp() override {
        EditorTest::SetUp();
        FillDirection(640, 480, 3, [](int i) { return FrameData{7, 8 + i, 5, 5, {0, 0}, 1, 0, 0}; });
        WaitForRebuild();
        W().HScroll1->setValue(4), W().TNScrollV->setValue(200); // the overview shows rows 200 to 455
        W().Picture2_MouseDown(1, 0, 10.7, 300.2), W().Picture2_MouseUp(1, 0, 10.7, 300.2);
        ClickThumbOf(W(), 0);
    }
    FrameData& F(int i) { return Dir0().at(i); }
    static QRect Rect(const FrameData& f) { return {f.X, f.Y, f.Width, f.Height}; }
    QString Labels(int i) { return Captions(i).section(' ', 2, 4); }
};

TEST_F(MarkingTest, WorkedExampleRowByRow) {
    ASSERT_EQ(QPoint(W().ZoomOriginX(), W().ZoomOriginY()), QPoint(0, 268));
    Press({10, 20}); // cell (2, 5): sheet pixel (2, 273)
    EXPECT_TRUE(W().Marking && QPoint(W().AnchorX, W().AnchorY) == QPoint(2, 273));
    EXPECT_EQ(Rect(F(0)), QRect(7, 8, 0, 0)); // emptied, the corner stays
    EXPECT_EQ(Labels(0), "(7,8) 5x5 (0,0)");   // the thumbnail hears of it with the first move

    Move({45, 61}); // cell (11, 15): sheet pixel (11, 283)
    EXPECT_EQ(Rect(F(0)), QRect(2, 273, 10, 11));
    // The red frame box from (2, 273) to (12, 284) on a freshly drawn overview without the zoom box.
    for (QPoint p : {QPoint(2, 273), QPoint(12, 284), QPoint(7, 273)}) EXPECT_EQ(Overview(p.x(), p.y()), 255);
    for (QPoint p : {QPoint(7, 278), QPoint(32, 268)}) EXPECT_EQ(Overview(p.x(), p.y()), PositionColor(p.x(), p.y()));
    EXPECT_EQ(Labels(0), "(2,273) 11x10 (0,0)"); // height first
    // The 10 x 11 frame stretched to 72 x 72.
    PictureBox* t = W().ThumbWidget(0)->Thumb();
    EXPECT_TRUE(t->PixelAt(0, 0) == PositionColor(2, 273) && t->PixelAt(71, 71) == PositionColor(11, 283));
    // Crosshair 4 pixels wide on row 62 (view rows 60..63) and column 46 (view columns 44..47).
    for (int k : {60, 63}) EXPECT_TRUE(Zoomed(0, k) == 0xFFFFFF && Zoomed(255, k) == 0xFFFFFF && Zoomed(k - 16, 255) == 0xFFFFFF) << k;
    EXPECT_TRUE(Zoomed(0, 59) == PositionColor(0, 282) && Zoomed(48, 0) == PositionColor(12, 268));

    Move({0, 0}); // cell (0, 0): up and left of the anchor, which becomes the bottom-right pixel
    EXPECT_EQ(Rect(F(0)), QRect(0, 268, 3, 6));
    Press({10, 20}, Qt::RightButton); // the hot spot, relative to the corner; marking goes on
    EXPECT_TRUE(W().Marking && Labels(0) == "(0,268) 6x3 (2,5)");
    Press({200, 200}), Move({100, 100}); // ends marking; the frame keeps the rectangle of the last move
    EXPECT_TRUE(!W().Marking && Rect(F(0)) == QRect(0, 268, 3, 6));
    EXPECT_EQ(Overview(2, 273), PositionColor(2, 273)); // idle moves leave the overview alone
}

TEST_F(MarkingTest, ZoomThreeCrosshairDoubleClicksAndTheKeyboard) {
    W().HScroll1->setValue(3);
    Move({100, 20}); // cell (33, 6): snapped (100.5, 19.5), lines 3 pixels wide on columns 99..101, rows 18..20
    const int ox = W().ZoomOriginX(), oy = W().ZoomOriginY();
    for (int k : {0, 2}) EXPECT_TRUE(Zoomed(99 + k, 200) == 0xFFFFFF && Zoomed(200, 18 + k) == 0xFFFFFF) << k;
    EXPECT_TRUE(Zoomed(98, 200) == PositionColor(ox + 32, oy + 66) && Zoomed(200, 21) == PositionColor(ox + 66, oy + 7));
    // The second press of a double click counts: marking starts and ends.
    Press({10, 20});
    SendMouse(W().Picture1, QEvent::MouseButtonDblClick, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(W().Marking);
    // A click takes the keyboard from the lists, whose text fields leave the menu's keys alone.
    W().lstDirection->lineEdit()->setFocus();
    QTest::mouseClick(W().Picture1, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(W().focusWidget(), W().Picture1);
    for (auto [key, claimed] : {std::pair{Qt::Key_C, false}, {Qt::Key_Z, false}, {Qt::Key_Home, true}}) {
        QKeyEvent over(QEvent::ShortcutOverride, key, key == Qt::Key_Home ? Qt::NoModifier : Qt::ControlModifier);
        over.ignore();
        QApplication::sendEvent(W().lstDirection->lineEdit(), &over);
        EXPECT_EQ(over.isAccepted(), claimed) << key;
    }
}

TEST_F(MarkingTest, PressesNeedAFrameOfTheCurrentDirection) {
    for (int cur : {-1, 3}) { // none, or an index past the frames (a rebuild still pending)
        SP::CurFrame = cur;
        Press({10, 20}), Press({10, 20}, Qt::RightButton);
        EXPECT_FALSE(W().Marking) << cur;
    }
    EXPECT_EQ(Rect(F(0)), QRect(7, 8, 5, 5));
    W().Picture1_MouseDown(1, 0, 10, 20), W().ResetProject();
    EXPECT_TRUE(!W().Marking && W().AnchorX == 0 && W().AnchorY == 0);
}

TEST_F(MarkingTest, MarkingGoesOnAcrossAFrameChangeAndAStripScroll) {
    Press({10, 20}), Move({45, 61});
    ClickThumbOf(W(), 1); // the next move reshapes frame 1 from the old anchor
    Move({18, 22});
    EXPECT_TRUE(Rect(F(0)) == QRect(2, 273, 10, 11) && Rect(F(1)) == QRect(2, 273, 3, 1));
    // A thumbnail scrolled out of the strip is still marked and shows it when scrolled back.
    for (int k = 0; k < 5; ++k) W().lblNewFrame_Click();
    W().FrameScroll->setValue(3); // thumbnail 7 takes the widget that showed thumbnail 1
    ASSERT_TRUE(W().ThumbWidget(1) == nullptr && W().ThumbHolding(1) == nullptr);
    Move({30, 30}), Press({30, 30}, Qt::RightButton), Press({30, 30});
    W().FrameScroll->setValue(0);
    EXPECT_EQ(Labels(1), "(2,273) 3x6 (5,2)");
    EXPECT_EQ(W().ThumbWidget(1)->Thumb()->PixelAt(71, 71), PositionColor(7, 275));
}
