#include "platform/PictureBox.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kMaxSide = 32767;
// Pictures up to this many pixels are held whole, wherever they sit: they are
// cheap to keep, and then never need replaying.
constexpr int64_t kHeldWholeArea = 512 * 512;
// Never hold more than this across or down, whatever the parent shows.
constexpr int kMaxHeldSide = 8192;
// A fully held picture with this many recorded operations is condensed into
// one copy of its pixels.
constexpr size_t kCondenseAfter = 256;
constexpr int64_t kCondenseArea = 2048 * 2048;
// Coordinates beyond this are as good as infinitely far off the picture.
constexpr double kFar = 1 << 20;

double ClampCoord(double v) { return std::clamp(v, -kFar, kFar); }

// First of the `width` pixels a pen of that width covers across a line at
// coordinate c (pixel n is centred on n): the band [c - width/2, c + width/2).
int BandStart(double c, int width) { return static_cast<int>(std::ceil(ClampCoord(c) - width / 2.0)); }

struct Op {
    enum class Kind { Draw, Box, Line } kind = Kind::Draw;
    std::function<void(const PixelSurface&)> fn;
    QRect bounds; // Draw: where it may paint (invalid = anywhere)
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t pixel = 0;
    int width = 1;
};

} // namespace

int ButtonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int ShiftCode(Qt::KeyboardModifiers mods) {
    int code = 0;
    if (mods & Qt::ShiftModifier) code |= 1;
    if (mods & Qt::ControlModifier) code |= 2;
    if (mods & Qt::AltModifier) code |= 4;
    return code;
}

struct PictureBox::Impl {
    explicit Impl(PictureBox* owner) : self(owner) {}

    PictureBox* self;
    QImage image;        // the held window, Format_RGB32
    QRect held;          // logical area of image
    bool heldWhole = false; // image covers the whole picture
    int32_t backColor = 0;
    int drawWidth = 1;
    bool pressOnDoubleClick = false;
    std::vector<Op> ops; // since the last clear
    QPointer<QWidget> watchedParent;

    PixelSurface SurfaceFor(const QRect& r) {
        PixelSurface s;
        if (r.isEmpty() || image.isNull()) return s;
        const int stride = static_cast<int>(image.bytesPerLine() / 4);
        s.Bits = reinterpret_cast<uint32_t*>(image.bits()) + static_cast<int64_t>(r.y() - held.y()) * stride +
                 (r.x() - held.x());
        s.Width = r.width();
        s.Height = r.height();
        s.Stride = stride;
        s.OriginX = r.x();
        s.OriginY = r.y();
        return s;
    }

    void Fill(const QRect& area, uint32_t pixel) {
        const QRect r = area.intersected(held);
        if (r.isEmpty()) return;
        PixelSurface s = SurfaceFor(r);
        for (int y = 0; y < s.Height; ++y) std::fill_n(s.Bits + static_cast<int64_t>(y) * s.Stride, s.Width, pixel);
    }

    // Paints op onto the part clip of the held window.
    void Apply(const Op& op, const QRect& clip) {
        switch (op.kind) {
        case Op::Kind::Draw: {
            const QRect r = op.bounds.isValid() ? op.bounds.intersected(clip) : clip;
            if (!r.isEmpty() && op.fn) op.fn(SurfaceFor(r));
            break;
        }
        case Op::Kind::Box: ApplyBox(op, clip); break;
        case Op::Kind::Line: ApplyLine(op, clip); break;
        }
    }

    static QRect Span(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right, bottom)); }

    void ApplyBox(const Op& op, const QRect& clip) {
        const int w = op.width;
        const int left = BandStart(std::min(op.x1, op.x2), w);
        const int right = BandStart(std::max(op.x1, op.x2), w) + w - 1;
        const int top = BandStart(std::min(op.y1, op.y2), w);
        const int bottom = BandStart(std::max(op.y1, op.y2), w) + w - 1;
        const QRect edges[4] = {
            Span(left, top, right, top + w - 1),       // top
            Span(left, bottom - w + 1, right, bottom), // bottom
            Span(left, top, left + w - 1, bottom),     // left
            Span(right - w + 1, top, right, bottom),   // right
        };
        for (const QRect& e : edges) Fill(e.intersected(clip), op.pixel);
    }

    void ApplyLine(const Op& op, const QRect& clip) {
        const int w = op.width;
        const double dx = op.x2 - op.x1, dy = op.y2 - op.y1;
        if (std::abs(dx) >= std::abs(dy)) {
            // Mostly across: a band of w rows under each column.
            const double xa = std::min(op.x1, op.x2), xb = std::max(op.x1, op.x2);
            const int first = std::max(BandStart(xa, 1), clip.left());
            const int last = std::min(BandStart(xb, 1), clip.right());
            if (dy == 0) {
                const int top = BandStart(op.y1, w);
                Fill(Span(first, top, last, top + w - 1).intersected(clip), op.pixel);
                return;
            }
            for (int x = first; x <= last; ++x) {
                const double y = op.y1 + (x - op.x1) * dy / dx;
                const int top = BandStart(y, w);
                Fill(Span(x, top, x, top + w - 1).intersected(clip), op.pixel);
            }
        } else {
            const double ya = std::min(op.y1, op.y2), yb = std::max(op.y1, op.y2);
            const int first = std::max(BandStart(ya, 1), clip.top());
            const int last = std::min(BandStart(yb, 1), clip.bottom());
            if (dx == 0) {
                const int left = BandStart(op.x1, w);
                Fill(Span(left, first, left + w - 1, last).intersected(clip), op.pixel);
                return;
            }
            for (int y = first; y <= last; ++y) {
                const double x = op.x1 + (y - op.y1) * dx / dy;
                const int left = BandStart(x, w);
                Fill(Span(left, y, left + w - 1, y).intersected(clip), op.pixel);
            }
        }
    }

    // Background plus every recorded operation, on the part r of the held window.
    void Render(const QRect& r) {
        if (r.isEmpty()) return;
        Fill(r, ColorToPixel(backColor));
        for (const Op& op : ops) Apply(op, r);
    }

    void Sync();
    void Record(Op op);
    void RenderAround(const QRect& area, const QRect& keep);
    void Slide(const QRect& from, const QRect& to, const QRect& overlap);
};

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), d_(new Impl(this)) {
    d_->backColor = [this] {
        const QColor c = palette().color(QPalette::Button);
        return static_cast<int32_t>((c.blue() << 16) | (c.green() << 8) | c.red());
    }();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (parent) {
        parent->installEventFilter(this);
        d_->watchedParent = parent;
    }
}

PictureBox::~PictureBox() { delete d_; }

namespace {
QRect FullRect(const QWidget* w) { return QRect(0, 0, w->width(), w->height()); }
} // namespace

void PictureBox::SetPictureSize(int width, int height) {
    resize(std::clamp(width, 0, kMaxSide), std::clamp(height, 0, kMaxSide));
    d_->Sync();
}

int PictureBox::PictureWidth() const { return width(); }
int PictureBox::PictureHeight() const { return height(); }

void PictureBox::SetBackColor(int32_t color) {
    d_->backColor = color & 0xFFFFFF;
    Cls();
}

int32_t PictureBox::BackColor() const { return d_->backColor; }

void PictureBox::SetDrawWidth(int width) { d_->drawWidth = std::clamp(width, 1, kMaxSide); }

int PictureBox::DrawWidth() const { return d_->drawWidth; }

void PictureBox::Cls() {
    d_->ops.clear();
    d_->Sync();
    d_->Fill(d_->held, ColorToPixel(d_->backColor));
}

namespace {

// Keeps the list of a fully held picture short by replacing it with a copy of
// the pixels, which is exactly what replaying it would give.
void Condense(std::vector<Op>& ops, const QImage& image, const QRect& held) {
    QImage copy = image.copy();
    Op snap;
    snap.kind = Op::Kind::Draw;
    snap.bounds = held;
    snap.fn = [copy, held](const PixelSurface& s) {
        for (int y = 0; y < s.Height; ++y) {
            const int sy = s.OriginY + y - held.y();
            const uint32_t* src = reinterpret_cast<const uint32_t*>(copy.constScanLine(sy)) + (s.OriginX - held.x());
            std::memcpy(s.Bits + static_cast<int64_t>(y) * s.Stride, src, static_cast<size_t>(s.Width) * 4);
        }
    };
    ops.clear();
    ops.push_back(std::move(snap));
}

} // namespace

void PictureBox::Impl::Record(Op op) {
    Sync();
    const QRect full = FullRect(self);
    if (op.kind == Op::Kind::Draw && op.bounds.isValid() && op.bounds.contains(full)) ops.clear();
    Apply(op, held);
    ops.push_back(std::move(op));
    if (ops.size() > kCondenseAfter && heldWhole && static_cast<int64_t>(held.width()) * held.height() <= kCondenseArea)
        Condense(ops, image, held);
}

void PictureBox::Draw(const std::function<void(const PixelSurface&)>& op, const QRect& bounds) {
    Op o;
    o.kind = Op::Kind::Draw;
    o.fn = op;
    const QRect b = bounds.normalized();
    o.bounds = b.isValid() ? b : QRect(); // empty: anywhere
    d_->Record(std::move(o));
}

void PictureBox::DrawBox(double x1, double y1, double x2, double y2, int32_t color) {
    RecordShape(true, x1, y1, x2, y2, color);
}

void PictureBox::DrawLine(double x1, double y1, double x2, double y2, int32_t color) {
    RecordShape(false, x1, y1, x2, y2, color);
}

void PictureBox::RecordShape(bool box, double x1, double y1, double x2, double y2, int32_t color) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
    Op o;
    o.kind = box ? Op::Kind::Box : Op::Kind::Line;
    o.x1 = ClampCoord(x1);
    o.y1 = ClampCoord(y1);
    o.x2 = ClampCoord(x2);
    o.y2 = ClampCoord(y2);
    o.pixel = ColorToPixel(color);
    o.width = d_->drawWidth;
    d_->Record(std::move(o));
}

void PictureBox::Present() { update(); }

int32_t PictureBox::PixelAt(int x, int y) const {
    d_->Sync();
    if (!d_->held.contains(x, y)) return -1;
    const uint32_t* row = reinterpret_cast<const uint32_t*>(d_->image.constScanLine(y - d_->held.y()));
    return PixelToColor(row[x - d_->held.x()]);
}

const QImage& PictureBox::BackBuffer() const {
    d_->Sync();
    return d_->image;
}

QRect PictureBox::HeldRect() const {
    d_->Sync();
    return d_->held;
}

PixelSurface PictureBox::Surface() {
    d_->Sync();
    return d_->SurfaceFor(d_->held);
}

int PictureBox::RecordedOps() const { return static_cast<int>(d_->ops.size()); }

// Brings the back buffer in line with the part of the picture now shown: the
// overlap with the old window is copied, the rest is rendered afresh.
void PictureBox::Impl::Sync() {
    const QRect full = FullRect(self);
    QRect want = full;
    QWidget* parent = self->parentWidget();
    if (parent && static_cast<int64_t>(full.width()) * full.height() > kHeldWholeArea) {
        const QRect geo = self->geometry();
        want = geo.intersected(parent->rect()).translated(-geo.topLeft()).intersected(full);
    }
    if (want.width() > kMaxHeldSide) want.setWidth(kMaxHeldSide);
    if (want.height() > kMaxHeldSide) want.setHeight(kMaxHeldSide);
    if (want.isEmpty()) want = QRect();
    if (want == held && (want.isEmpty() || image.size() == want.size())) return;

    // A small picture held whole keeps what was drawn on it directly too: its
    // pixels stand in for the recorded operations when its size changes.
    if (heldWhole && !image.isNull() && static_cast<int64_t>(held.width()) * held.height() <= kCondenseArea)
        Condense(ops, image, held);

    const QRect oldHeld = held;
    const QRect overlap = want.intersected(oldHeld);
    if (!image.isNull() && !want.isEmpty() && want.size() == oldHeld.size()) {
        // A pan: the buffer stays; the kept part slides inside it, and only
        // the newly shown strips are drawn.
        if (!overlap.isEmpty()) Slide(oldHeld, want, overlap);
        held = want;
        heldWhole = want == full;
        if (overlap.isEmpty())
            Render(want);
        else
            RenderAround(want, overlap);
        return;
    }

    const QImage old = image;
    QImage fresh;
    if (!want.isEmpty()) {
        fresh = QImage(want.size(), QImage::Format_RGB32);
        if (fresh.isNull()) want = QRect(); // out of memory: hold nothing rather than fail
    }
    image = fresh;
    held = want;
    heldWhole = !want.isEmpty() && want == full;
    if (want.isEmpty()) return;

    const QRect keep = old.isNull() ? QRect() : want.intersected(oldHeld);
    if (keep.isEmpty()) {
        Render(want);
        return;
    }
    for (int y = keep.top(); y <= keep.bottom(); ++y) {
        const uint32_t* src =
            reinterpret_cast<const uint32_t*>(old.constScanLine(y - oldHeld.y())) + (keep.x() - oldHeld.x());
        uint32_t* dst = reinterpret_cast<uint32_t*>(image.scanLine(y - want.y())) + (keep.x() - want.x());
        std::memcpy(dst, src, static_cast<size_t>(keep.width()) * 4);
    }
    RenderAround(want, keep);
}

// The newly shown strips above, below, left and right of the kept part.
void PictureBox::Impl::RenderAround(const QRect& area, const QRect& keep) {
    Render(QRect(QPoint(area.left(), area.top()), QPoint(area.right(), keep.top() - 1)));
    Render(QRect(QPoint(area.left(), keep.bottom() + 1), QPoint(area.right(), area.bottom())));
    Render(QRect(QPoint(area.left(), keep.top()), QPoint(keep.left() - 1, keep.bottom())));
    Render(QRect(QPoint(keep.right() + 1, keep.top()), QPoint(area.right(), keep.bottom())));
}

// Moves the pixels of overlap from their place in a buffer holding `from` to
// their place in the same buffer holding `to` (same size), rows in the order
// that never overwrites a row still to be moved.
void PictureBox::Impl::Slide(const QRect& from, const QRect& to, const QRect& overlap) {
    const int rows = overlap.height();
    const size_t bytes = static_cast<size_t>(overlap.width()) * 4;
    const bool downward = to.y() < from.y(); // rows move to higher indexes
    image.bits();                            // detach first: source and target are then one buffer
    for (int i = 0; i < rows; ++i) {
        const int y = downward ? overlap.bottom() - i : overlap.top() + i;
        const uint32_t* src =
            reinterpret_cast<const uint32_t*>(image.constScanLine(y - from.y())) + (overlap.x() - from.x());
        uint32_t* dst = reinterpret_cast<uint32_t*>(image.scanLine(y - to.y())) + (overlap.x() - to.x());
        std::memmove(dst, src, bytes);
    }
}

void PictureBox::paintEvent(QPaintEvent* e) {
    d_->Sync();
    QPainter p(this);
    const QRect area = e->rect();
    const QRect shown = area.intersected(d_->held);
    if (shown != area) p.fillRect(area, QColor::fromRgb(ColorToPixel(d_->backColor)));
    if (!shown.isEmpty()) p.drawImage(shown.topLeft(), d_->image, shown.translated(-d_->held.topLeft()));
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit MouseDown(ButtonCode(e->button()), ShiftCode(e->modifiers()), pos.x(), pos.y());
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit MouseMove(ButtonCode(e->buttons()), ShiftCode(e->modifiers()), pos.x(), pos.y());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit MouseUp(ButtonCode(e->button()), ShiftCode(e->modifiers()), pos.x(), pos.y());
}

void PictureBox::SetPressOnDoubleClick(bool on) { d_->pressOnDoubleClick = on; }

void PictureBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (d_->pressOnDoubleClick) {
        mousePressEvent(e);
        return;
    }
    emit DblClick();
}

void PictureBox::moveEvent(QMoveEvent*) { d_->Sync(); }

void PictureBox::resizeEvent(QResizeEvent*) { d_->Sync(); }

bool PictureBox::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange) {
        if (d_->watchedParent) d_->watchedParent->removeEventFilter(this);
        d_->watchedParent = parentWidget();
        if (d_->watchedParent) d_->watchedParent->installEventFilter(this);
        d_->Sync();
    }
    return QWidget::event(e);
}

bool PictureBox::eventFilter(QObject* watched, QEvent* e) {
    if (watched == d_->watchedParent && e->type() == QEvent::Resize) d_->Sync();
    return QWidget::eventFilter(watched, e);
}
