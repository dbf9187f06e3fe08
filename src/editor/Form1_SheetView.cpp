// The zoom view (Picture1) and the overview (Picture2 inside the viewport
// Picture3): preparing them for a sheet, zooming, panning and moving the zoom
// centre with the mouse.
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QScrollBar>
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

double Form1::Half() const { return 128.0 / ZoomFactor; }
int32_t Form1::ZoomOriginX() const { return RoundEven(ZoomCenterX - Half()); }
int32_t Form1::ZoomOriginY() const { return RoundEven(ZoomCenterY - Half()); }

void Form1::SetupSheetView() {
    // The overview is at least one pixel: an empty sheet leaves it as the reset made it.
    const int w = std::max(1, static_cast<int>(Sheet.Width()));
    const int h = std::max(1, static_cast<int>(Sheet.Height()));
    Picture2->SetPictureSize(w, h);
    Picture2->SetBackColor(MaskColor);

    // Lowering a maximum below the value moves the value, which pans as usual.
    TNScrollH->setMaximum(w - 256 > 0 ? w - 256 : 0);
    TNScrollV->setMaximum(h - 256 > 0 ? h - 256 : 0);

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
}

void Form1::HScroll1_Change() {
    const int value = HScroll1->value();
    Label3->setText(QString("Zoom: %1x").arg(value));
    ZoomFactor = value;
    Picture1->SetDrawWidth(ZoomFactor);
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

    ZoomCenterX = FloorPos(X);
    ZoomCenterY = FloorPos(Y);
    const double half = Half();
    const double w = Picture2->PictureWidth();
    const double h = Picture2->PictureHeight();
    // The far-edge clamps come last: on a sheet narrower than twice half they win.
    if (half > ZoomCenterX) ZoomCenterX = RoundEven(half);
    if (half > ZoomCenterY) ZoomCenterY = RoundEven(half);
    if (w - half < ZoomCenterX) ZoomCenterX = RoundEven(w - half);
    if (h - half < ZoomCenterY) ZoomCenterY = RoundEven(h - half);

    DrawFrameBox();
    DrawZoomBox();
    Picture2->Present();
    DrawZoomView();
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
    // Blocks past the sheet's edges keep the view's background.
    Picture1->Draw([ox, oy, z](const PixelSurface& s) { Sheet.DrawTo(s, ox, oy, 0, 0, 128, 128, z, z); },
                   QRect(0, 0, 128 * z, 128 * z));
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
    const double half = Half();
    Picture2->DrawBox(ZoomCenterX - half, ZoomCenterY - half, ZoomCenterX + half, ZoomCenterY + half,
                      ContrastColor);
}
