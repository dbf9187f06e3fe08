// The window beyond its default size: the layout rule, the zoom view's mapping
// and clamps with a view that is not square, the wheel, the middle-button pan,
// the remembered geometry, and sharp pixels on screens with a scale factor.
#include <QSettings>

#include "EditorFixture.h"

namespace {

QRect Geo(const QWidget* w) { return w->geometry(); }

} // namespace

class WorkspaceTest : public EditorTest {
protected:
    // Grows the client area by (dw, dh) over its default size.
    void Grow(int dw, int dh) {
        W().resize(W().width() - W().Client->width() + Form1::DefaultClientWidth + dw,
                   W().height() - W().Client->height() + Form1::DefaultClientHeight + dh);
        QApplication::processEvents();
    }
    void Wheel(QWidget* target, QPointF at, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWheelEvent ev(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &ev);
    }
    void Middle(QEvent::Type type, QPointF at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MiddleButton;
        SendMouse(W().Picture1, type, at, type == QEvent::MouseMove ? Qt::NoButton : Qt::MiddleButton, held);
    }
    // The sheet pixel the zoom view shows at view pixel (x, y).
    int32_t SheetUnder(double x, double y) {
        const QPoint c = W().ZoomCell(x, y);
        return PositionColor(W().ZoomOriginX() + c.x(), W().ZoomOriginY() + c.y());
    }
};

TEST_F(WorkspaceTest, ExtraRoomGoesToTheViewsAndTheStripAndComesBack) {
    FillDirection(640, 480, 20, [](int i) { return FrameData{i, 0, 8, 8, {0, 0}, 1, 0, 0}; });
    WaitForRebuild();
    const auto defaults = [&] {
        return std::vector<QRect>{Geo(W().Picture1), Geo(W().Picture3), Geo(W().TNScrollH), Geo(W().TNScrollV),
                                  Geo(W().lstAction), Geo(W().Command3), Geo(W().Frame1), Geo(W().Picture4),
                                  Geo(W().FrameScroll)};
    };
    EXPECT_EQ(W().Client->size(), QSize(553, 483));
    const std::vector<QRect> at553 = defaults();
    EXPECT_EQ(at553, (std::vector<QRect>{{8, 24, 256, 256}, {272, 8, 256, 256}, {272, 264, 257, 17},
                                         {528, 8, 17, 257}, {56, 288, 137, 21}, {208, 320, 17, 21},
                                         {8, 352, 217, 121}, {240, 288, 305, 165}, {240, 456, 305, 17}}));
    EXPECT_EQ(W().minimumSize(), W().size()); // the default size is the smallest

    Grow(201, 100); // an odd extra width: the overview takes the odd pixel
    EXPECT_EQ(defaults(), (std::vector<QRect>{{8, 24, 356, 356}, {372, 8, 357, 356}, {372, 364, 358, 17},
                                              {729, 8, 17, 357}, {56, 388, 137, 21}, {208, 420, 17, 21},
                                              {8, 452, 217, 121}, {240, 388, 506, 165}, {240, 556, 506, 17}}));
    EXPECT_TRUE(W().Picture1->PictureWidth() == 356 && W().Picture1->PictureHeight() == 356);
    EXPECT_TRUE(W().TNScrollH->maximum() == 640 - 357 && W().TNScrollV->maximum() == 480 - 356);
    // Six thumbnails and a part fill 506 pixels: seven are laid out, then the label.
    ASSERT_NE(W().ThumbWidget(6), nullptr);
    EXPECT_TRUE(W().ThumbWidget(6)->x() == 6 * 89 && W().ThumbWidget(7) == nullptr);
    W().FrameScroll->setValue(15);
    EXPECT_TRUE(W().ThumbWidget(19) && W().ThumbWidget(19)->x() == 4 * 89 && W().lblNewFrame->x() == 5 * 89);
    EXPECT_TRUE(Captions(19).startsWith("Frame 19")) << Captions(19).toStdString();

    // Growing keeps the zoom view on the sheet.
    W().Picture2_MouseDown(1, 0, 5000, 5000), W().Picture2_MouseUp(1, 0, 5000, 5000);
    Grow(401, 300);
    const int z = W().ZoomFactor;
    EXPECT_TRUE(W().ZoomOriginX() + W().ZoomViewWidth() / z <= 640 && W().ZoomOriginY() + W().ZoomViewHeight() / z <= 480);
    Grow(0, 0);
    EXPECT_EQ(defaults(), at553);
    EXPECT_TRUE(W().TNScrollH->maximum() == 640 - 256 && W().Picture1->PictureWidth() == 256);
}

TEST_F(WorkspaceTest, AWideZoomViewMapsAndClampsWithItsOwnHalfWidthAndHeight) {
    NewSheet(640, 480);
    Grow(200, 0); // a zoom view of 356 x 256
    W().HScroll1->setValue(4); // half 44.5 across, 32 down
    W().Picture2_MouseDown(1, 0, 10.7, 300.2), W().Picture2_MouseUp(1, 0, 10.7, 300.2);
    // 89 zoomed pixels across: the centre sits half a pixel further in, so the view starts at column 0.
    EXPECT_EQ(Centre(), QPoint(45, 300));
    EXPECT_TRUE(W().ZoomOriginX() == 0 && W().ZoomOriginY() == 268);
    for (QPoint p : {QPoint(0, 0), QPoint(355, 255), QPoint(200, 130)})
        EXPECT_EQ(Zoomed(p.x(), p.y()), SheetUnder(p.x(), p.y())) << p.x();
    // The zoom box has the view's proportions: 89 x 64 sheet pixels.
    W().TNScrollV->setValue(200);
    EXPECT_TRUE(Overview(0, 290) == 0xFFFFFF && Overview(89, 290) == 0xFFFFFF && Overview(20, 332) == 0xFFFFFF);
    EXPECT_TRUE(Overview(88, 290) != 0xFFFFFF && Overview(20, 331) != 0xFFFFFF);
    W().Picture2_MouseDown(1, 0, 5000, 5000), W().Picture2_MouseUp(1, 0, 5000, 5000);
    EXPECT_TRUE(Centre() == QPoint(596, 448) && W().ZoomOriginX() == 640 - 89); // the last column shows
    // Every origin can be reached: one sheet pixel a step.
    W().Picture2_MouseDown(1, 0, 101, 101), W().Picture2_MouseUp(1, 0, 101, 101);
    const int32_t ox = W().ZoomOriginX();
    W().Picture2_MouseDown(1, 0, 102, 101), W().Picture2_MouseUp(1, 0, 102, 101);
    EXPECT_EQ(W().ZoomOriginX(), ox + 1);
    // The crosshair spans the whole view.
    Move({350, 10});
    EXPECT_TRUE(Zoomed(0, 9) == 0xFFFFFF && Zoomed(349, 250) == 0xFFFFFF);
}

TEST_F(WorkspaceTest, TheWheelZoomsAroundThePointerAndScrollsTheOverviewAndTheStrip) {
    FillDirection(2000, 1500, 30, [](int) { return FrameData{}; });
    WaitForRebuild();
    Grow(120, 60);
    W().Picture2_MouseDown(1, 0, 700, 600), W().Picture2_MouseUp(1, 0, 700, 600);
    const QString title = W().windowTitle(), undo = W().mnuUndo->text();
    for (QPointF at : {QPointF(101, 57), QPointF(300.5, 7), QPointF(3, 310)}) {
        for (int step : {120, 120, 120, -120, 120, 120, 120, 120, 120, -120, -120}) {
            const int32_t before = SheetUnder(at.x(), at.y());
            const int zoom = W().ZoomFactor;
            Wheel(W().Picture1, at, step);
            EXPECT_EQ(W().ZoomFactor, std::clamp(zoom + step / 120, 2, 10));
            EXPECT_EQ(W().HScroll1->value(), W().ZoomFactor);
            EXPECT_EQ(W().Label3->text(), QString("Zoom: %1x").arg(W().ZoomFactor));
            EXPECT_EQ(SheetUnder(at.x(), at.y()), before) << at.x() << " " << W().ZoomFactor;
        }
    }
    // Near the sheet's corner the clamps win.
    W().Picture2_MouseDown(1, 0, 0, 0), W().Picture2_MouseUp(1, 0, 0, 0);
    Wheel(W().Picture1, {300, 300}, -120);
    EXPECT_TRUE(W().ZoomOriginX() >= 0 && W().ZoomOriginY() >= 0);
    EXPECT_TRUE(W().windowTitle() == title && W().mnuUndo->text() == undo); // no edit

    Wheel(W().Picture3, {10, 10}, -240);
    Wheel(W().Picture3, {10, 10}, -120, Qt::ShiftModifier);
    // A fifth of the 316-pixel viewport a notch.
    EXPECT_TRUE(W().TNScrollV->value() == 2 * 63 && W().TNScrollH->value() == 63);
    EXPECT_EQ(W().Picture2->y(), -W().TNScrollV->value());
    Wheel(W().Picture4, {10, 10}, -360); // where a thumbnail passes the wheel on
    EXPECT_EQ(W().FrameScroll->value(), 3);
    EXPECT_TRUE(W().ThumbWidget(3) && W().ThumbWidget(3)->x() == 0);
}

TEST_F(WorkspaceTest, AMiddleDragPansWithoutEditingAndAMiddleClickStillMarks) {
    FillDirection(1000, 800, 2, [](int) { return FrameData{}; });
    WaitForRebuild();
    W().Picture2_MouseDown(1, 0, 400, 400), W().Picture2_MouseUp(1, 0, 400, 400);
    ClickThumbOf(W(), 0);
    Press({40, 40}), Move({61, 81}); // marking on: an 11 x 21 frame
    const FrameData marked = Dir0()[0];
    const int32_t grabbed = SheetUnder(61, 81);
    Middle(QEvent::MouseButtonPress, {61, 81});
    for (QPointF p : {QPointF(101, 41), QPointF(11, 201), QPointF(200, 3)}) {
        Middle(QEvent::MouseMove, p);
        EXPECT_EQ(SheetUnder(p.x(), p.y()), grabbed); // the sheet follows the pointer
        EXPECT_EQ(Zoomed(int(p.x()) + 2, int(p.y()) + 2), SheetUnder(p.x() + 2, p.y() + 2));
    }
    Middle(QEvent::MouseButtonRelease, {200, 3});
    EXPECT_EQ(Centre(), QPoint(400 - 70, 400 + 39));
    // The zoom box on the overview moved with it; marking went on, the frame did not change.
    W().TNScrollH->setValue(200), W().TNScrollV->setValue(300);
    EXPECT_EQ(Overview(Centre().x() - 64, Centre().y()), 0xFFFFFF);
    EXPECT_TRUE(W().Marking && Dir0()[0] == marked);
    // A middle click that does not drag toggles marking, as a left press does.
    Middle(QEvent::MouseButtonPress, {20, 20}), Middle(QEvent::MouseMove, {21, 20});
    Middle(QEvent::MouseButtonRelease, {21, 20});
    EXPECT_FALSE(W().Marking);
    Middle(QEvent::MouseButtonPress, {20, 20}), Middle(QEvent::MouseButtonRelease, {20, 20});
    EXPECT_TRUE(W().Marking && Dir0()[0].Width == 0);
}

TEST_F(WorkspaceTest, SizePositionAndZoomComeBackUnlessTheScreenIsTooSmall) {
    Grow(140, 50), W().move(12, 20), W().HScroll1->setValue(5);
    const QSize grown = W().size();
    W().SaveWindowState();
    Fresh(), W().RestoreWindowState();
    EXPECT_TRUE(W().size() == grown && W().pos() == QPoint(12, 20) && W().ZoomFactor == 5);
    EXPECT_EQ(W().Picture1->PictureWidth(), 256 + 70);

    const QSize screen = W().screen()->availableGeometry().size();
    W().resize(screen.width() + 300, screen.height() + 200), W().SaveWindowState();
    Fresh();
    const QSize fresh = W().size();
    W().RestoreWindowState();
    EXPECT_EQ(W().size(), fresh);
    QSettings().setValue("window/zoom", 99), QSettings().setValue("window/geometry", QByteArray("junk"));
    Fresh(), W().RestoreWindowState();
    EXPECT_TRUE(W().size() == fresh && W().ZoomFactor == 2);
}

TEST_F(WorkspaceTest, EverySheetPixelIsOneSolidBlockAtEveryScaleFactor) {
    FillDirection(400, 400, 1, [](int) { return FrameData{5, 7, 30, 20, {0, 0}, 1, 0, 0}; });
    WaitForRebuild();
    Grow(90, 40);
    W().HScroll1->setValue(3);
    W().Picture2_MouseDown(1, 0, 250, 250), W().Picture2_MouseUp(1, 0, 250, 250);
    struct View { QWidget* widget; int zoom; QPoint origin; };
    const View views[] = {{W().Picture1, 3, {W().ZoomOriginX(), W().ZoomOriginY()}},
                          {W().Picture2->parentWidget(), 1, {0, 0}}};
    for (double dpr : {1.25, 1.5, 2.0}) {
        for (const View& v : views) {
            QImage shot((QSizeF(v.widget->size()) * dpr).toSize(), QImage::Format_RGB32);
            shot.setDevicePixelRatio(dpr);
            v.widget->render(&shot);
            // Across a row and down a column: each device pixel shows exactly one sheet
            // pixel's colour, in order, every sheet pixel in a block of floor or ceil of
            // zoom x ratio device pixels.
            for (bool across : {true, false}) {
                const int n = across ? shot.width() : shot.height();
                int cell = -1, run = 0;
                for (int d = 0; d < n; ++d) {
                    const QRgb c = across ? shot.pixel(d, 37) : shot.pixel(37, d);
                    const int pos = across ? qRed(c) : qGreen(c);
                    const int want = ((across ? v.origin.x() : v.origin.y()) + cell) & 0xFF;
                    ASSERT_EQ(qBlue(c), 0x40) << dpr << " " << d; // no blend with a neighbour
                    if (cell >= 0 && pos == want) {
                        ++run;
                        continue;
                    }
                    if (cell >= 0) {
                        ASSERT_EQ(pos, (want + 1) & 0xFF) << "a skipped sheet pixel " << dpr << " " << d;
                        if (d < n - 1) {
                            EXPECT_NEAR(run, v.zoom * dpr, 1.0) << dpr << " " << d;
                        }
                    }
                    cell = cell < 0 ? (pos - (across ? v.origin.x() : v.origin.y())) & 0xFF : cell + 1;
                    run = 1;
                }
            }
        }
    }
}
