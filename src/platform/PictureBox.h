#pragma once
// A picture box: a widget with a persistent back buffer, a background colour,
// clearing, outline and line drawing with a pen width and colour, a drawing
// context (PixelSurface) for cBitMap, and an explicit Present() that shows the
// back buffer. Mouse events come with the button code (1 left, 2 right,
// 4 middle), the modifier state (1 Shift, 2 Ctrl, 4 Alt) and a real-valued
// position in picture pixels; the widget holds the pointer while a button is
// pressed on it.
//
// The picture may be far larger than what is visible (the overview of a
// 32767-pixel sheet inside a 256 x 256 viewport): the back buffer then covers
// only the part that the parent shows. Drawing operations are recorded since the
// last clear and replayed for newly uncovered parts when the widget moves, so
// the picture behaves as if the whole of it were kept.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "bitmap/PixelSurface.h"

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    ~PictureBox() override;

    // The picture's size in pixels (also the widget's size).
    void SetPictureSize(int width, int height);
    int PictureWidth() const;
    int PictureHeight() const;

    void SetBackColor(int32_t color); // 0x00BBGGRR; clears the picture, as on the original platform
    int32_t BackColor() const;
    void SetDrawWidth(int width);
    int DrawWidth() const;

    void Cls(); // clears the picture to the background colour

    // Draws through a PixelSurface onto the picture. bounds is the logical area
    // the operation may touch (used to drop recorded operations it covers).
    // The operation is handed only the held part of bounds, and is replayed
    // later on other parts of it, so it must paint each pixel the same way
    // whatever window it is given. One whose bounds cover the whole picture
    // is taken to paint all of it: the earlier recorded operations are dropped.
    // An empty bounds means "anywhere": it is drawn and kept, but drops nothing.
    void Draw(const std::function<void(const PixelSurface&)>& op, const QRect& bounds);
    // Outline of the rectangle with corners (x1, y1) and (x2, y2), current pen width.
    void DrawBox(double x1, double y1, double x2, double y2, int32_t color);
    // Line from (x1, y1) to (x2, y2), current pen width.
    void DrawLine(double x1, double y1, double x2, double y2, int32_t color);

    void Present(); // shows the back buffer on screen

    // A view without a double-click command counts every press: the second
    // press of a double click then raises MouseDown instead of DblClick.
    void SetPressOnDoubleClick(bool on);

    // The logical pixel (x, y) as it stands in the back buffer (0x00BBGGRR), for
    // tests; -1 when that pixel is not held.
    int32_t PixelAt(int x, int y) const;
    const QImage& BackBuffer() const;
    QRect HeldRect() const; // logical area the back buffer covers

    // The held part of the picture as a drawing target. What is drawn through
    // it directly is not recorded, so use it only for pictures held whole
    // (small ones); it stays valid until the picture's size or place changes.
    PixelSurface Surface();
    // Number of recorded operations since the last clear (for tests).
    int RecordedOps() const;

signals:
    void MouseDown(int Button, int Shift, double X, double Y);
    void MouseMove(int Button, int Shift, double X, double Y);
    void MouseUp(int Button, int Shift, double X, double Y);
    void DblClick();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    // The second press of a double click raises DblClick instead of MouseDown,
    // unless SetPressOnDoubleClick is on.
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool event(QEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RecordShape(bool box, double x1, double y1, double x2, double y2, int32_t color);
    struct Impl;
    Impl* d_;
};

// Mouse codes of the program: buttons 1 left, 2 right, 4 middle; modifiers
// 1 Shift, 2 Ctrl, 4 Alt, summed.
int ButtonCode(Qt::MouseButtons buttons);
int ShiftCode(Qt::KeyboardModifiers mods);
