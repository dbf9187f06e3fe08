// Zoom view and overview: clamping, zoom changes, panning and what both views show.
#include "EditorFixture.h"

TEST_F(EditorTest, WorkedExampleZoomFourPressNearTheLeftEdge) {
    NewSheet(640, 480);
    W().HScroll1->setValue(4), W().TNScrollV->setValue(200); // the zoom box lies in the panned part
    W().Picture2_MouseDown(1, 0, 10.7, 300.2);
    EXPECT_TRUE(Centre() == QPoint(32, 300) && W().OverviewDragging);
    EXPECT_EQ(QPoint(W().ZoomOriginX(), W().ZoomOriginY()), QPoint(0, 268));
    // Zoom box (0, 268) to (64, 332) in the contrast colour, sheet elsewhere.
    for (QPoint p : {QPoint(0, 268), QPoint(64, 332), QPoint(32, 268)}) EXPECT_EQ(Overview(p.x(), p.y()), 0xFFFFFF);
    EXPECT_EQ(Overview(32, 300), PositionColor(32, 300));
    // The zoom view: sheet pixel (i, 268 + j) as a 4 x 4 block.
    for (int i : {0, 63})
        for (int j : {0, 63})
            for (int d : {0, 3}) EXPECT_EQ(Zoomed(4 * i + d, 4 * j + d), PositionColor(i, 268 + j));
    W().Picture2_MouseUp(1, 0, 10.7, 300.2);
    EXPECT_FALSE(W().OverviewDragging);
}

TEST_F(EditorTest, CentreClampsForZoomSheetSizeAndDragging) {
    for (auto [zoom, centre] : {std::pair{10, 13}, {3, 43}, {2, 64}}) { // the smallest centre for the zoom
        NewSheet(200, 150), W().HScroll1->setValue(zoom), W().SetupSheetView();
        EXPECT_EQ(Centre(), QPoint(centre, centre)) << zoom;
    }
    // Real mouse events: a drag follows the pointer and is pinned at the limits.
    PictureBox* ov = W().Picture2;
    SendMouse(ov, QEvent::MouseButtonPress, {100.5, 80.9}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(Zoomed(128, 128), PositionColor(100, 80));
    SendMouse(ov, QEvent::MouseMove, {-900, 4000}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(Centre(), QPoint(64, 86));
    SendMouse(ov, QEvent::MouseButtonRelease, {-900, 4000}, Qt::LeftButton, Qt::NoButton);
    NewSheet(100, 100); // narrower than the view: the far edge clamp wins wherever the press is
    for (double x : {0.0, 99.9, -500.0, 5000.0}) {
        SendMouse(ov, QEvent::MouseButtonPress, {x, x}, Qt::RightButton, Qt::RightButton);
        EXPECT_EQ(Centre(), QPoint(36, 36)) << x;
    }
    // The view starts 28 columns left of the sheet.
    EXPECT_TRUE(Zoomed(2 * 27, 2 * 27) == 0 && Zoomed(2 * 28, 2 * 28) == PositionColor(0, 0));
}

TEST_F(EditorTest, ZoomChangeKeepsTheCentreAndDrawsNoFrameBox) {
    NewSheet(300, 200), W().Command1_Click();
    SP::Actions[0].Directions[0].Frames[0] = FrameData{40, 50, 20, 30, {0, 0}, 0, 0, 0};
    SP::CurAction = SP::CurDirection = 0;
    for (int16_t cur : {-1, 7, 0}) { // no current frame, or a stale index: no red frame box
        SP::CurFrame = cur;
        W().Picture2_MouseDown(1, 0, 200, 150);
        EXPECT_EQ(Overview(40, 50), cur ? PositionColor(40, 50) : 255) << cur;
    }
    W().HScroll1->setValue(10), W().Picture2_MouseDown(1, 0, 0, 0);
    W().Picture2_MouseUp(1, 0, 0, 0), W().HScroll1->setValue(2);
    EXPECT_EQ(Centre(), QPoint(13, 13));
    // The view begins 51 pixels before the sheet; the overview loses the frame box.
    EXPECT_TRUE(Zoomed(2 * 50, 2 * 50) == 0 && Zoomed(2 * 51, 2 * 51) == PositionColor(0, 0));
    EXPECT_EQ(Overview(40, 50), PositionColor(40, 50));
    W().Picture2_MouseDown(1, 0, 0, 0); // the next press brings the box back and clamps anew
    EXPECT_TRUE(W().ZoomCenterX == 64 && Overview(40, 50) == 255);
}

TEST_F(EditorTest, ViewsOfASheetLargerThanTheScreenShowExactlyItsPixels) {
    NewSheet(3000, 2600);
    struct Case { int scrollX, scrollY, zoom; QPoint press; };
    for (const Case& c : {Case{0, 0, 2, {10, 10}}, Case{1500, 900, 3, {1700, 1000}}, Case{2744, 2344, 7, {2990, 2590}},
                          Case{377, 2100, 10, {400, 2222}}}) {
        W().TNScrollH->setValue(c.scrollX), W().TNScrollV->setValue(c.scrollY), W().HScroll1->setValue(c.zoom);
        W().Picture2_MouseDown(1, 0, c.press.x(), c.press.y()), W().Picture2_MouseUp(1, 0, c.press.x(), c.press.y());
        int mismatches = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int sx = c.scrollX + x, sy = c.scrollY + y;
                const int32_t o = Overview(sx, sy);
                mismatches += o != PositionColor(sx, sy) && o != 0xFFFFFF; // the zoom box is white
                const int zx = W().ZoomOriginX() + x / c.zoom, zy = W().ZoomOriginY() + y / c.zoom;
                const bool onSheet = zx >= 0 && zy >= 0 && zx < 3000 && zy < 2600; // else the background
                mismatches += Zoomed(x, y) != (onSheet ? PositionColor(zx, zy) : 0);
            }
        EXPECT_EQ(mismatches, 0) << c.scrollX << "," << c.scrollY << " zoom " << c.zoom;
    }
}
