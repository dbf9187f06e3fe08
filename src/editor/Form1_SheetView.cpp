// The zoom view (Picture1) and the overview (Picture2 inside the viewport
// Picture3): preparing them for a sheet, zooming, panning and moving the zoom
// centre with the mouse.
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "editor/Form1.h"
#include "editor/ViewMath.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

namespace {

using ViewMath::FloorPos;
using ViewMath::RoundEven;

QColor ToQColor(int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

} // namespace

int Form1::ZoomViewWidth() const { return Picture1->PictureWidth(); }
int Form1::ZoomViewHeight() const { return Picture1->PictureHeight(); }
// At the default size both are 128 / ZoomFactor.
double Form1::HalfX() const { return ZoomViewWidth() / 2.0 / ZoomFactor; }
double Form1::HalfY() const { return ZoomViewHeight() / 2.0 / ZoomFactor; }
int32_t Form1::ZoomOriginX() const { return ViewMath::ZoomOrigin(ZoomCenterX, HalfX()); }
int32_t Form1::ZoomOriginY() const { return ViewMath::ZoomOrigin(ZoomCenterY, HalfY()); }

void Form1::UpdateOverviewScrollRanges() {
    // Lowering a maximum below the value moves the value, which pans as usual.
    const int w = Picture2->PictureWidth(), h = Picture2->PictureHeight();
    const int vw = Picture3->width(), vh = Picture3->height();
    TNScrollH->setMaximum(w - vw > 0 ? w - vw : 0);
    TNScrollV->setMaximum(h - vh > 0 ? h - vh : 0);
}

void Form1::SetupSheetView() {
    // The overview is at least one pixel: an empty sheet leaves it as the reset made it.
    const int w = std::max(1, static_cast<int>(Sheet.Width()));
    const int h = std::max(1, static_cast<int>(Sheet.Height()));
    Picture2->SetPictureSize(w, h);
    Picture2->SetBackColor(MaskColor);

    UpdateOverviewScrollRanges();

    const int32_t contrast = ~MaskColor & 0xFFFFFF;
    QPalette pal = Label6->palette();
    pal.setColor(QPalette::Window, ToQColor(MaskColor));
    pal.setColor(QPalette::WindowText, ToQColor(contrast));
    Label6->setPalette(pal);
    ContrastColor = contrast;

    Picture1->SetBackColor(MaskColor);
    Sheet.GenMask(MaskColor);

    Picture2_MouseDown(0, 0, 0, 0);
    Picture2_MouseUp(0, 0, 0, 0);
    RefreshJitterMarks(true); // other pixels or another mask colour: other sprite boxes
}

void Form1::ApplyZoomFactor() {
    const int value = HScroll1->value();
    Label3->setText(QString("Zoom: %1x").arg(value));
    ZoomFactor = value;
    Picture1->SetDrawWidth(ZoomFactor);
}

void Form1::HScroll1_Change() {
    ApplyZoomFactor();
    DrawZoomView();
    // The frame box is left out here; it returns with the next press on the overview.
    DrawOverviewSheet();
    DrawZoomBox();
    Picture2->Present();
}

void Form1::TNScrollH_Change() { Picture2->move(-TNScrollH->value(), Picture2->y()); }

void Form1::TNScrollV_Change() { Picture2->move(Picture2->x(), -TNScrollV->value()); }

void Form1::Picture2_MouseDown(int /*Button*/, int /*Shift*/, double X, double Y) {
    OverviewDragging = true;
    Picture2_MouseMove(0, 0, X, Y);
}

void Form1::Picture2_MouseMove(int /*Button*/, int /*Shift*/, double X, double Y) {
    if (!OverviewDragging) return;
    // The sheet covers the whole overview, so redrawing it replaces the old boxes.
    DrawOverviewSheet();

    ClampZoomCentre(FloorPos(X), FloorPos(Y));

    DrawFrameBox();
    DrawZoomBox();
    Picture2->Present();
    DrawZoomView();
}

void Form1::ClampZoomCentre(int32_t x, int32_t y) {
    ZoomCenterX = x;
    ZoomCenterY = y;
    const double hx = HalfX(), hy = HalfY();
    const double w = Picture2->PictureWidth();
    const double h = Picture2->PictureHeight();
    // The far-edge clamps come last: on a sheet narrower than twice half they win.
    // A view an odd number of zoomed pixels across takes the centre half a pixel
    // further in, so that its origin (a tie, rounded down) shows the edge pixel.
    const auto near = [](double half) { return ViewMath::OddSpan(half) ? RoundEven(half + 0.5) : RoundEven(half); };
    const auto far = [](double side, double half) {
        return ViewMath::OddSpan(half) ? RoundEven(side - half + 0.5) : RoundEven(side - half);
    };
    if (hx > ZoomCenterX) ZoomCenterX = near(hx);
    if (hy > ZoomCenterY) ZoomCenterY = near(hy);
    if (w - hx < ZoomCenterX) ZoomCenterX = far(w, hx);
    if (h - hy < ZoomCenterY) ZoomCenterY = far(h, hy);
}

void Form1::Picture2_MouseUp(int /*Button*/, int /*Shift*/, double /*X*/, double /*Y*/) {
    OverviewDragging = false;
    DrawZoomView();
}

void Form1::DrawZoomView() {
    Picture1->Cls();
    const int32_t ox = ZoomOriginX();
    const int32_t oy = ZoomOriginY();
    const int32_t z = ZoomFactor;
    // The 128 x 128 block covers the default view at every zoom; a larger view
    // takes as many sheet pixels as it shows. Blocks past the sheet's edges
    // keep the view's background.
    const int32_t cols = std::max(128, (ZoomViewWidth() + z - 1) / z);
    const int32_t rows = std::max(128, (ZoomViewHeight() + z - 1) / z);
    Picture1->Draw([ox, oy, z, cols, rows](const PixelSurface& s) { Sheet.DrawTo(s, ox, oy, 0, 0, cols, rows, z, z); },
                   QRect(0, 0, cols * z, rows * z));
    DrawOnionSkin(); // over the sheet, under whatever is drawn on the view after it
    CrosshairShown = false;
    Picture1->Present();
}

void Form1::DrawOverviewSheet() {
    Picture2->Cls();
    const int32_t w = Picture2->PictureWidth();
    const int32_t h = Picture2->PictureHeight();
    Picture2->Draw([w, h](const PixelSurface& s) { Sheet.DrawTo(s, 0, 0, 0, 0, w, h, 1, 1); }, QRect(0, 0, w, h));
}

void Form1::DrawFrameBox() {
    if (CurFrame < 0) return;
    const FrameData* f = CurrentFrameAt(CurFrame);
    if (!f) return;
    const double x = f->X, y = f->Y;
    Picture2->DrawBox(x, y, x + static_cast<double>(f->Width), y + static_cast<double>(f->Height), 255);
}

void Form1::RedrawOverview() {
    DrawOverviewSheet();
    DrawFrameBox();
    DrawZoomBox();
    Picture2->Present();
}

void Form1::DrawZoomBox() {
    const double hx = HalfX(), hy = HalfY();
    Picture2->DrawBox(ZoomCenterX - hx, ZoomCenterY - hy, ZoomCenterX + hx, ZoomCenterY + hy, ContrastColor);
}
