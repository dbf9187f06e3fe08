// Getting around the sheet as in other pixel editors: the wheel zooms the zoom
// view around the pointer, scrolls the overview and the strip, and a drag with
// the middle button pans the zoom view. None of it changes a frame.
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "editor/Form1.h"
#include "editor/ViewMath.h"
#include "platform/PictureBox.h"

using ViewMath::FloorPos;
using ViewMath::RoundEven;

namespace {

// One notch of a wheel; finer devices send parts of it, which add up.
constexpr int Notch = 120;

// The zoom centre whose zoom origin is `origin`.
int32_t CentreFor(int64_t origin, double half) {
    const int32_t centre = RoundEven(std::floor(static_cast<double>(origin) + half));
    return ViewMath::ZoomOrigin(centre, half) == origin ? centre : centre + 1;
}

} // namespace

void Form1::DrawZoomViewAt(double X, double Y) {
    DrawZoomView();
    DrawCrosshairAt(X, Y);
}

void Form1::DrawCrosshairAt(double X, double Y) {
    const QPoint cell = ZoomCell(X, Y);
    LastCellX = static_cast<double>(cell.x()) * ZoomFactor + ZoomFactor / 2.0;
    LastCellY = static_cast<double>(cell.y()) * ZoomFactor + ZoomFactor / 2.0;
    DrawCrosshair();
}

void Form1::DrawCrosshair() {
    // As wide as a zoomed pixel (the view's pen width is the zoom factor).
    Picture1->DrawLine(0, LastCellY, ZoomViewWidth(), LastCellY, ContrastColor);
    Picture1->DrawLine(LastCellX, 0, LastCellX, ZoomViewHeight(), ContrastColor);
    CrosshairShown = true;
    Picture1->Present();
}

void Form1::ZoomViewWheel(int steps, double X, double Y) {
    const int zoom = std::clamp(ZoomFactor + steps, HScroll1->minimum(), HScroll1->maximum());
    if (zoom == ZoomFactor) return;
    const QPoint cell = ZoomCell(X, Y);
    const int64_t px = int64_t{ZoomOriginX()} + cell.x();
    const int64_t py = int64_t{ZoomOriginY()} + cell.y();
    // The origin that puts that pixel under the pointer at the new zoom.
    const double hx = ZoomViewWidth() / 2.0 / zoom, hy = ZoomViewHeight() / 2.0 / zoom;
    const int32_t cx = CentreFor(px - FloorPos(X / zoom), hx);
    const int32_t cy = CentreFor(py - FloorPos(Y / zoom), hy);
    {
        const QSignalBlocker block(HScroll1);
        HScroll1->setValue(zoom);
    }
    const QRectF oldBox = ZoomBoxRect();
    ApplyZoomFactor();
    ClampZoomCentre(cx, cy);
    DrawZoomViewAt(X, Y);
    MoveZoomBox(oldBox);
}

QRectF Form1::ZoomBoxRect() const {
    const double hx = HalfX(), hy = HalfY();
    return QRectF(QPointF(ZoomCenterX - hx, ZoomCenterY - hy), QPointF(ZoomCenterX + hx, ZoomCenterY + hy));
}

void Form1::MoveZoomBox(const QRectF& from) {
    // Every move adds a few operations to the overview; now and then start afresh.
    if (Picture2->RecordedOps() > 200) {
        RedrawOverview();
        return;
    }
    // The old outline's rows and columns, with a pixel to spare, get the sheet back.
    const int l = static_cast<int>(std::floor(from.left())) - 1, r = static_cast<int>(std::ceil(from.right())) + 1;
    const int t = static_cast<int>(std::floor(from.top())) - 1, b = static_cast<int>(std::ceil(from.bottom())) + 1;
    const int32_t w = Picture2->PictureWidth(), h = Picture2->PictureHeight();
    for (const QRect& strip : {QRect(QPoint(l, t), QPoint(r, t + 2)), QRect(QPoint(l, b - 2), QPoint(r, b)),
                               QRect(QPoint(l, t), QPoint(l + 2, b)), QRect(QPoint(r - 2, t), QPoint(r, b))})
        Picture2->Draw([w, h](const PixelSurface& s) { SpriteProject::Sheet.DrawTo(s, 0, 0, 0, 0, w, h, 1, 1); }, strip);
    DrawFrameBox();
    DrawZoomBox();
    Picture2->Present();
}

void Form1::ZoomPan_Down(int Shift, double X, double Y) { Pan = PanState{Shift, X, Y, ZoomCenterX, ZoomCenterY, false}; }

void Form1::ZoomPan_Move(double X, double Y) {
    if (!Pan) return;
    const QPoint from = ZoomCell(Pan->StartX, Pan->StartY), to = ZoomCell(X, Y);
    if (!Pan->Moved && from == to) return; // still a click
    Pan->Moved = true;
    const int32_t oldX = ZoomCenterX, oldY = ZoomCenterY;
    const QRectF oldBox = ZoomBoxRect();
    // Moving the centre by whole sheet pixels moves the origin by as many, so the
    // pixel grabbed stays under the pointer.
    ClampZoomCentre(static_cast<int32_t>(int64_t{Pan->CentreX} - (to.x() - from.x())),
                    static_cast<int32_t>(int64_t{Pan->CentreY} - (to.y() - from.y())));
    const QPoint cell = ZoomCell(X, Y);
    const bool sameCell = cell.x() * ZoomFactor + ZoomFactor / 2.0 == LastCellX &&
                          cell.y() * ZoomFactor + ZoomFactor / 2.0 == LastCellY;
    if (ZoomCenterX == oldX && ZoomCenterY == oldY && sameCell) return;
    DrawZoomViewAt(X, Y);
    if (ZoomCenterX != oldX || ZoomCenterY != oldY) MoveZoomBox(oldBox);
}

void Form1::ZoomPan_Up(double /*X*/, double /*Y*/) {
    if (!Pan) return;
    const PanState pan = *Pan;
    Pan.reset();
    // A middle click that never dragged is the press it always was.
    if (!pan.Moved) Picture1_MouseDown(4, pan.Shift, pan.StartX, pan.StartY);
}

bool Form1::WheelEvent(QObject* watched, QWheelEvent* event) {
    QPoint delta = event->angleDelta();
    if ((event->modifiers() & Qt::ShiftModifier) && delta.x() == 0) delta = QPoint(delta.y(), 0);
    WheelRest += delta;
    const int stepsX = WheelRest.x() / Notch, stepsY = WheelRest.y() / Notch;
    WheelRest = QPoint(WheelRest.x() % Notch, WheelRest.y() % Notch);

    if (watched == Picture1) {
        const QPointF at = event->position();
        if (stepsY != 0) ZoomViewWheel(stepsY > 0 ? 1 : -1, at.x(), at.y());
        return true;
    }
    if (watched == Picture3) {
        // A fifth of the viewport a notch, but never less than the bars' own three small steps.
        const int stepX = std::max(3 * TNScrollH->singleStep(), Picture3->width() / 5);
        const int stepY = std::max(3 * TNScrollV->singleStep(), Picture3->height() / 5);
        if (stepsX != 0) TNScrollH->setValue(TNScrollH->value() - stepsX * stepX);
        if (stepsY != 0) TNScrollV->setValue(TNScrollV->value() - stepsY * stepY);
        return true;
    }
    if (watched == Picture4) {
        const int steps = stepsY != 0 ? stepsY : stepsX;
        if (steps != 0) FrameScroll->setValue(FrameScroll->value() - steps);
        return true;
    }
    return false;
}
