// The window's geometry: one rule places every control of the client area.
// At the default size (also the smallest) each control stands where it always
// has; extra width is shared evenly between the zoom view and the overview's
// viewport, extra height goes to both views, and everything below them moves
// down with the bottom edge while the strip widens to the right edge. The
// window's size, position and zoom factor, and the View menu's options, are
// remembered between runs.
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <limits>

#include "editor/Form1.h"
#include "platform/PictureBox.h"

namespace {

// Which share of the extra width a coordinate or a width takes.
enum class Share : uint8_t {
    None,
    Zoom,     // the zoom view's half
    Overview, // the overview's half
    All,
};

struct Placement {
    QWidget* widget;
    QRect base; // at the default size
    Share moveX, growWidth;
    bool moveDown, growHeight;
};

int Extra(Share share, int dw) {
    switch (share) {
    case Share::None: return 0;
    case Share::Zoom: return dw / 2;
    case Share::Overview: return dw - dw / 2;
    case Share::All: return dw;
    }
    return 0;
}

const char* const GeometryKey = "window/geometry";
const char* const ZoomKey = "window/zoom";
const char* const OnionKey = "view/onionSkin";
const char* const OnionDepthKey = "view/onionSkinFrames";

} // namespace

void Form1::LayoutClient() {
    const int dw = std::max(0, Client->width() - DefaultClientWidth);
    const int dh = std::max(0, Client->height() - DefaultClientHeight);
    const Placement placements[] = {
        {Picture1, {8, 24, 256, 256}, Share::None, Share::Zoom, false, true},
        {Picture3, {272, 8, 256, 256}, Share::Zoom, Share::Overview, false, true},
        {TNScrollH, {272, 264, 257, 17}, Share::Zoom, Share::Overview, true, false},
        {TNScrollV, {528, 8, 17, 257}, Share::All, Share::None, false, true},
        {Label1, {-8, 290, 57, 17}, Share::None, Share::None, true, false},
        {lstAction, {56, 288, 137, 21}, Share::None, Share::None, true, false},
        {Command1, {192, 288, 17, 21}, Share::None, Share::None, true, false},
        {Command2, {208, 288, 17, 21}, Share::None, Share::None, true, false},
        {Label2, {-8, 322, 57, 17}, Share::None, Share::None, true, false},
        {lstDirection, {56, 320, 137, 21}, Share::None, Share::None, true, false},
        {Command4, {192, 320, 17, 21}, Share::None, Share::None, true, false},
        {Command3, {208, 320, 17, 21}, Share::None, Share::None, true, false},
        {Frame1, {8, 352, 217, 121}, Share::None, Share::None, true, false},
        {Picture4, {240, 288, 305, 165}, Share::None, Share::All, true, false},
        {FrameScroll, {240, 456, 305, 17}, Share::None, Share::All, true, false},
    };
    const QSize zoomBefore = Picture1->size(), viewportBefore = Picture3->size(), stripBefore = Picture4->size();
    for (const Placement& p : placements) {
        p.widget->setGeometry(p.base.x() + Extra(p.moveX, dw), p.base.y() + (p.moveDown ? dh : 0),
                              p.base.width() + Extra(p.growWidth, dw), p.base.height() + (p.growHeight ? dh : 0));
    }
    const bool zoomResized = Picture1->size() != zoomBefore;
    const bool viewportResized = Picture3->size() != viewportBefore;
    if (zoomResized || viewportResized || Picture4->size() != stripBefore) ++Relayouts;
    if (viewportResized) UpdateOverviewScrollRanges();
    if (zoomResized) {
        // The centre keeps the view on the sheet as a press on the overview would,
        // the zoom box takes the view's new proportions, and the crosshair comes
        // back with the next move.
        ClampZoomCentre(ZoomCenterX, ZoomCenterY);
        LastCellX = LastCellY = std::numeric_limits<double>::quiet_NaN();
        DrawZoomView();
        RedrawOverview();
    }
    if (Picture4->size() != stripBefore) FrameScroll_Change();
}

void Form1::SaveWindowState() const {
    QSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
    settings.setValue(ZoomKey, ZoomFactor);
    settings.setValue(OnionKey, OnionSkin);
    settings.setValue(OnionDepthKey, OnionDepth);
}

void Form1::RestoreWindowState() {
    QSettings settings;
    const QByteArray geometry = settings.value(GeometryKey).toByteArray();
    const QSize defaultSize = size();
    if (!geometry.isEmpty() && restoreGeometry(geometry)) {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        const QRect room = screen ? screen->availableGeometry() : QRect();
        if (room.isValid()) {
            // A size remembered from a larger screen does not fit this one.
            if (frameGeometry().width() > room.width() || frameGeometry().height() > room.height()) {
                setWindowState(windowState() & ~Qt::WindowMaximized);
                resize(defaultSize);
            }
            if (!room.intersects(frameGeometry())) move(room.topLeft());
        }
    }
    bool ok = false;
    const int zoom = settings.value(ZoomKey).toInt(&ok);
    if (ok && zoom >= HScroll1->minimum() && zoom <= HScroll1->maximum()) HScroll1->setValue(zoom);
    // The View menu's options, through their check marks.
    const int depth = settings.value(OnionDepthKey).toInt(&ok);
    if (ok && depth >= 1 && depth <= Onion::MaxDepth) mnuOnionFrames[depth]->setChecked(true);
    // Stored as "true" or "false"; anything else (a hand-edited file) is off.
    mnuOnionSkin->setChecked(settings.value(OnionKey).toString() == "true");
}
