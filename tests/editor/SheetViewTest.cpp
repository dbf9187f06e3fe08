// Zoom view and overview: clamping, zoom changes, panning and what both views show.
#include <QPalette>

#include "EditorFixture.h"

TEST_F(EditorTest, WorkedExampleZoomFourPressNearTheLeftEdge) {
    NewProject(WriteSheet("s.bmp", PositionSheet(640, 480)));
    EXPECT_EQ(W().TNScrollH->maximum(), 384);
    EXPECT_EQ(W().TNScrollV->maximum(), 224);
    W().HScroll1->setValue(4);
    EXPECT_EQ(W().Label3->text(), "Zoom: 4x");
    EXPECT_EQ(W().Picture1->DrawWidth(), 4);
    W().TNScrollV->setValue(200); // the zoom box lies in the panned part
    EXPECT_EQ(W().Picture2->pos(), QPoint(0, -200));
    W().Picture2_MouseDown(1, 0, 10.7, 300.2);
    EXPECT_TRUE(W().OverviewDragging);
    EXPECT_EQ(QPoint(W().ZoomCenterX, W().ZoomCenterY), QPoint(32, 300));
    EXPECT_EQ(QPoint(W().ZoomOriginX(), W().ZoomOriginY()), QPoint(0, 268));
    // Zoom box (0, 268) to (64, 332) in the contrast colour, sheet elsewhere.
    for (QPoint p : {QPoint(0, 268), QPoint(64, 332), QPoint(32, 268)})
        EXPECT_EQ(W().Picture2->PixelAt(p.x(), p.y()), 0xFFFFFF);
    EXPECT_EQ(W().Picture2->PixelAt(32, 300), PositionColor(32, 300));
    // The zoom view: sheet pixel (i, 268 + j) as a 4 x 4 block.
    for (int i : {0, 1, 31, 63})
        for (int j : {0, 5, 63}) {
            EXPECT_EQ(W().Picture1->PixelAt(4 * i, 4 * j), PositionColor(i, 268 + j));
            EXPECT_EQ(W().Picture1->PixelAt(4 * i + 3, 4 * j + 3), PositionColor(i, 268 + j));
        }
    W().Picture2_MouseUp(1, 0, 10.7, 300.2);
    EXPECT_FALSE(W().OverviewDragging);
}

TEST_F(EditorTest, SetupPlacesTheCentreAtTheSmallestPositionForTheZoom) {
    const std::string big = WriteSheet("big.bmp", PositionSheet(200, 150));
    for (auto [zoom, centre] : {std::pair{2, 64}, {3, 43}, {10, 13}}) {
        NewProject(big); // the reset sets zoom 2
        W().HScroll1->setValue(zoom);
        W().SetupSheetView();
        EXPECT_EQ(W().ZoomCenterX, centre) << zoom;
        EXPECT_EQ(W().ZoomCenterY, centre) << zoom;
    }
}

TEST_F(EditorTest, NarrowSheetLetsTheFarEdgeClampWin) {
    NewProject(WriteSheet("s.bmp", PositionSheet(100, 100)));
    EXPECT_EQ(W().TNScrollH->maximum(), 0);
    for (double x : {0.0, 50.0, 99.9, -500.0, 5000.0}) {
        W().Picture2_MouseDown(2, 0, x, x);
        EXPECT_EQ(QPoint(W().ZoomCenterX, W().ZoomCenterY), QPoint(36, 36)) << x;
    }
    // The zoom view starts 28 columns left of the sheet: the background shows there.
    W().Picture2_MouseUp(2, 0, 0, 0);
    EXPECT_EQ(W().Picture1->PixelAt(2 * 27, 2 * 27), 0);
    EXPECT_EQ(W().Picture1->PixelAt(2 * 28, 2 * 28), PositionColor(0, 0));
    EXPECT_EQ(W().Picture1->PixelAt(2 * 127, 2 * 127), PositionColor(99, 99));
}

TEST_F(EditorTest, ZoomChangeKeepsTheCentreAndDrawsNoFrameBox) {
    NewProject(WriteSheet("s.bmp", PositionSheet(300, 200)));
    W().Command1_Click();
    SP::Actions[0].Directions[0].Frames[0] = FrameData{40, 50, 20, 30, {0, 0}, 0, 0, 0};
    SP::CurAction = SP::CurDirection = 0;
    // No current frame, or a stale index past the frames: no frame box.
    for (int16_t cur : {-1, 7}) {
        SP::CurFrame = cur;
        W().Picture2_MouseDown(1, 0, 200, 150);
        EXPECT_EQ(W().Picture2->PixelAt(40, 50), PositionColor(40, 50)) << cur;
    }
    SP::CurFrame = 0;
    W().HScroll1->setValue(10);
    W().Picture2_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(W().ZoomCenterX, 13);
    EXPECT_EQ(W().Picture2->PixelAt(40, 50), 255); // red frame box corners
    EXPECT_EQ(W().Picture2->PixelAt(70, 70), 255);
    W().Picture2_MouseUp(1, 0, 0, 0);

    W().HScroll1->setValue(2);
    EXPECT_EQ(QPoint(W().ZoomCenterX, W().ZoomCenterY), QPoint(13, 13));
    EXPECT_EQ(W().ZoomOriginX(), -51);
    EXPECT_EQ(W().Picture1->PixelAt(2 * 50, 2 * 50), 0);
    EXPECT_EQ(W().Picture1->PixelAt(2 * 51, 2 * 51), PositionColor(0, 0));
    EXPECT_EQ(W().Picture2->PixelAt(40, 50), PositionColor(40, 50));
    EXPECT_EQ(W().Picture2->PixelAt(77, 77), 0xFFFFFF);
    // The next press brings the frame box back and clamps the centre anew.
    W().Picture2_MouseDown(1, 0, 0, 0);
    EXPECT_EQ(W().ZoomCenterX, 64);
    EXPECT_EQ(W().Picture2->PixelAt(40, 50), 255);
}

TEST_F(EditorTest, DraggingWithRealMouseEventsMovesAndPinsTheCentre) {
    NewProject(WriteSheet("s.bmp", PositionSheet(300, 300)));
    PictureBox* ov = W().Picture2;
    SendMouse(ov, QEvent::MouseMove, {150, 150}, Qt::NoButton, Qt::NoButton); // no press: nothing
    EXPECT_EQ(W().ZoomCenterX, 64);
    SendMouse(ov, QEvent::MouseButtonPress, {100.5, 120.9}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(QPoint(W().ZoomCenterX, W().ZoomCenterY), QPoint(100, 120));
    SendMouse(ov, QEvent::MouseMove, {150, 170}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(W().Picture1->PixelAt(128, 128), PositionColor(150, 170));
    SendMouse(ov, QEvent::MouseMove, {-900, 4000}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(QPoint(W().ZoomCenterX, W().ZoomCenterY), QPoint(64, 236));
    SendMouse(ov, QEvent::MouseButtonRelease, {-900, 4000}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(W().OverviewDragging);
    SendMouse(ov, QEvent::MouseButtonPress, {200, 200}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(W().ZoomCenterX, 200);
}

TEST_F(EditorTest, PanningMovesTheOverviewOnly) {
    NewProject(WriteSheet("s.bmp", PositionSheet(600, 500)));
    W().TNScrollH->setValue(100);
    W().TNScrollV->setValue(37);
    EXPECT_EQ(W().Picture2->pos(), QPoint(-100, -37));
    EXPECT_EQ(W().ZoomCenterX, 64);
    // A smaller sheet lowers the maximum and with it the value.
    NewProject(WriteSheet("t.bmp", PositionSheet(300, 260)));
    EXPECT_EQ(W().Picture2->pos(), QPoint(-44, -4));
}

TEST_F(EditorTest, MaskColourPaintsTheSwatchAndTheBackgrounds) {
    SP::MaskColor = 0xFF00FF;
    NewProject(WriteSheet("s.bmp", PositionSheet(50, 50)));
    EXPECT_EQ(W().Label6->palette().color(QPalette::Window), QColor(0xFF, 0x00, 0xFF));
    EXPECT_EQ(W().Label6->palette().color(QPalette::WindowText), QColor(0x00, 0xFF, 0x00));
    EXPECT_EQ(W().Picture2->BackColor(), 0xFF00FF);
    // 50 pixels at zoom 2: centre -14, the view starts at sheet pixel -78.
    EXPECT_EQ(W().Picture1->PixelAt(0, 0), 0xFF00FF);
    EXPECT_EQ(W().Picture1->PixelAt(154, 154), 0xFF00FF);
    EXPECT_EQ(W().Picture1->PixelAt(156, 156), PositionColor(0, 0));
    for (auto [mask, contrast] : {std::pair{0x123456, 0xEDCBA9}, {0xFFFFFF, 0}}) {
        SP::MaskColor = mask;
        W().SetupSheetView();
        EXPECT_EQ(W().ContrastColor, contrast);
    }
    EXPECT_EQ(W().Label6->palette().color(QPalette::WindowText), QColor(Qt::black));
}
