#include "platform/PictureBox.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>
#include <string>
#include <vector>

namespace {

constexpr int32_t kBack = 0x00203040;
constexpr int32_t kInk = 0x000000FF;

// The picture as text, one character per pixel: '#' for ink, '.' for the
// background, '?' for anything else; rows separated by '|'.
std::string Picture(const PictureBox& pic, int32_t ink = kInk) {
    std::string out;
    for (int y = 0; y < pic.PictureHeight(); ++y) {
        if (y) out += '|';
        for (int x = 0; x < pic.PictureWidth(); ++x) {
            const int32_t c = pic.PixelAt(x, y);
            out += c == ink ? '#' : c == pic.BackColor() ? '.' : '?';
        }
    }
    return out;
}

// Rows (or columns) fully inked, as a list of indexes.
std::vector<int> InkedRows(const PictureBox& pic) {
    std::vector<int> rows;
    for (int y = 0; y < pic.PictureHeight(); ++y) {
        bool all = true;
        for (int x = 0; x < pic.PictureWidth() && all; ++x) all = pic.PixelAt(x, y) == kInk;
        if (all) rows.push_back(y);
    }
    return rows;
}
std::vector<int> InkedColumns(const PictureBox& pic) {
    std::vector<int> cols;
    for (int x = 0; x < pic.PictureWidth(); ++x) {
        bool all = true;
        for (int y = 0; y < pic.PictureHeight() && all; ++y) all = pic.PixelAt(x, y) == kInk;
        if (all) cols.push_back(x);
    }
    return cols;
}

int CountInk(const PictureBox& pic) {
    int n = 0;
    for (int y = 0; y < pic.PictureHeight(); ++y)
        for (int x = 0; x < pic.PictureWidth(); ++x) n += pic.PixelAt(x, y) == kInk;
    return n;
}

// A test pattern that paints every pixel of its window from its logical
// coordinates alone, and logs the windows it was handed.
struct Pattern {
    std::vector<QRect>* windows = nullptr;
    static int32_t At(int x, int y) { return (x * 7 + y * 131) & 0xFFFFFF; }
    void operator()(const PixelSurface& s) const {
        if (windows) windows->push_back(QRect(s.OriginX, s.OriginY, s.Width, s.Height));
        for (int y = s.OriginY; y < s.OriginY + s.Height; ++y) {
            uint32_t* row = s.Row(y);
            for (int x = s.OriginX; x < s.OriginX + s.Width; ++x) row[x - s.OriginX] = ColorToPixel(At(x, y));
        }
    }
};

// Everything a picture shows in its held window equals the same pixel of the
// reference picture.
void ExpectHeldMatches(const PictureBox& pic, const PictureBox& ref) {
    const QRect held = pic.HeldRect();
    ASSERT_FALSE(held.isEmpty());
    int wrong = 0;
    for (int y = held.top(); y <= held.bottom(); ++y)
        for (int x = held.left(); x <= held.right(); ++x)
            if (pic.PixelAt(x, y) != ref.PixelAt(x, y) && ++wrong <= 3)
                ADD_FAILURE() << "pixel (" << x << "," << y << ") is " << std::hex << pic.PixelAt(x, y)
                              << " instead of " << ref.PixelAt(x, y);
    EXPECT_EQ(wrong, 0);
}

int64_t Area(const std::vector<QRect>& rects) {
    int64_t a = 0;
    for (const QRect& r : rects) a += static_cast<int64_t>(r.width()) * r.height();
    return a;
}

} // namespace

TEST(PictureBox, BackColorClearsAndPixelsOutsideThePictureAreNotHeld) {
    PictureBox pic;
    pic.SetPictureSize(6, 4);
    EXPECT_EQ(pic.PictureWidth(), 6);
    EXPECT_EQ(pic.PictureHeight(), 4);
    EXPECT_EQ(pic.HeldRect(), QRect(0, 0, 6, 4));
    pic.SetDrawWidth(1);
    pic.DrawBox(0, 0, 5, 3, kInk);
    pic.SetBackColor(kBack); // setting the colour clears, as on the original platform
    EXPECT_EQ(pic.BackColor(), kBack);
    EXPECT_EQ(Picture(pic), "......|......|......|......");
    EXPECT_EQ(pic.BackBuffer().format(), QImage::Format_RGB32);
    EXPECT_EQ(pic.BackBuffer().pixel(0, 0), 0xFF403020u) << "0x00BBGGRR shows as RGB 40 30 20";
    EXPECT_EQ(pic.PixelAt(6, 0), -1);
    EXPECT_EQ(pic.PixelAt(-1, 0), -1);

    pic.DrawLine(0, 1, 5, 1, kInk);
    pic.Cls();
    EXPECT_EQ(Picture(pic), "......|......|......|......");
    EXPECT_EQ(pic.RecordedOps(), 0);

    pic.SetDrawWidth(0); // no pen is thinner than one pixel
    EXPECT_EQ(pic.DrawWidth(), 1);
}

TEST(PictureBox, BoxOutlineForPenWidthsOneToFour) {
    PictureBox pic;
    pic.SetPictureSize(11, 12);
    pic.SetBackColor(kBack);
    // Corners (2, 3) and (7, 9); width 1 covers both corner pixels, wider pens
    // are centred on the outline.
    const char* expected[] = {
        // width 1: columns 2..7, rows 3..9
        "...........|...........|...........|..######...|..#....#...|..#....#...|..#....#...|"
        "..#....#...|..#....#...|..######...|...........|...........",
        // width 2: columns 1..7, rows 2..9, two pixels thick
        "...........|...........|.#######...|.#######...|.##...##...|.##...##...|.##...##...|"
        ".##...##...|.#######...|.#######...|...........|...........",
        // width 3: columns 1..8, rows 2..10, three pixels thick
        "...........|...........|.########..|.########..|.########..|.###..###..|.###..###..|"
        ".###..###..|.########..|.########..|.########..|...........",
        // width 4: columns 0..8, rows 1..10, four pixels thick
        "...........|#########..|#########..|#########..|#########..|####.####..|####.####..|"
        "#########..|#########..|#########..|#########..|...........",
    };
    for (int w = 1; w <= 4; ++w) {
        SCOPED_TRACE("pen width " + std::to_string(w));
        pic.Cls();
        pic.SetDrawWidth(w);
        pic.DrawBox(7, 9, 2, 3, kInk); // corners in either order
        EXPECT_EQ(Picture(pic), expected[w - 1]);
    }

    // Real corners (the zoom box at a zoom of 3) go to the nearest pixel.
    pic.Cls();
    pic.SetDrawWidth(1);
    pic.DrawBox(1.333, 2.667, 5.4, 6.6, kInk);
    EXPECT_EQ(Picture(pic), "...........|...........|...........|.#####.....|.#...#.....|.#...#.....|"
                            ".#...#.....|.#####.....|...........|...........|...........|...........");
}

TEST(PictureBox, LinesCoverTheirPenWidthCentredOnTheLine) {
    PictureBox pic;
    pic.SetPictureSize(256, 256);
    pic.SetBackColor(kBack);

    // The crosshair at zoom 4 on the zoomed pixel (11, 15): rows 60..63, columns 44..47.
    pic.SetDrawWidth(4);
    pic.DrawLine(0, 62, 256, 62, kInk);
    EXPECT_EQ(InkedRows(pic), (std::vector<int>{60, 61, 62, 63}));
    pic.DrawLine(46, 0, 46, 256, kInk);
    EXPECT_EQ(InkedColumns(pic), (std::vector<int>{44, 45, 46, 47}));
    EXPECT_EQ(CountInk(pic), 4 * 256 * 2 - 16);

    // At zoom 3 the lines run on half pixels and cover the zoomed pixel exactly.
    pic.Cls();
    pic.SetDrawWidth(3);
    pic.DrawLine(0, 4.5, 256, 4.5, kInk);
    pic.DrawLine(7.5, 0, 7.5, 256, kInk);
    EXPECT_EQ(InkedRows(pic), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(InkedColumns(pic), (std::vector<int>{6, 7, 8}));

    pic.Cls();
    pic.SetDrawWidth(2); // zoom 2, zoomed pixel 5: view rows 10 and 11
    pic.DrawLine(0, 11, 256, 11, kInk);
    EXPECT_EQ(InkedRows(pic), (std::vector<int>{10, 11}));

    pic.Cls();
    pic.SetDrawWidth(1);
    pic.DrawLine(0, 100, 255, 100, kInk);
    EXPECT_EQ(InkedRows(pic), (std::vector<int>{100}));
    EXPECT_EQ(CountInk(pic), 256);

    // A slanted line of width 1 and 3, and lines far off or into the picture.
    PictureBox small;
    small.SetPictureSize(6, 6);
    small.SetBackColor(kBack);
    small.DrawLine(0, 0, 5, 5, kInk);
    EXPECT_EQ(Picture(small), "#.....|.#....|..#...|...#..|....#.|.....#");
    small.Cls();
    small.SetDrawWidth(3);
    small.DrawLine(5, 2, 0, 2, kInk);
    small.DrawLine(-1e300, 1e300, 1e300, -1e300, kInk);
    small.DrawLine(0, 0, std::numeric_limits<double>::quiet_NaN(), 3, kInk);
    EXPECT_EQ(small.RecordedOps(), 2) << "a line with an undefined end is not drawn";
}

TEST(PictureBox, DrawHandsTheOperationTheHeldPartOfItsBounds) {
    PictureBox pic;
    pic.SetPictureSize(8, 5);
    pic.SetBackColor(kBack);
    std::vector<PixelSurface> seen;
    pic.Draw(
        [&](const PixelSurface& s) {
            seen.push_back(s);
            for (int y = s.OriginY; y < s.OriginY + s.Height; ++y)
                for (int x = s.OriginX; x < s.OriginX + s.Width; ++x) s.Row(y)[x - s.OriginX] = ColorToPixel(kInk);
        },
        QRect(5, 1, 10, 2));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].OriginX, 5);
    EXPECT_EQ(seen[0].OriginY, 1);
    EXPECT_EQ(seen[0].Width, 3) << "clipped to the picture";
    EXPECT_EQ(seen[0].Height, 2);
    EXPECT_EQ(Picture(pic), "........|.....###|.....###|........|........");

    // Direct drawing through the surface of a small picture.
    PixelSurface s = pic.Surface();
    ASSERT_NE(s.Bits, nullptr);
    EXPECT_EQ(s.Width, 8);
    s.Row(4)[0] = ColorToPixel(kInk);
    EXPECT_EQ(pic.PixelAt(0, 4), kInk);
}

TEST(PictureBox, RecordedOperationsAreDroppedWhenCovered) {
    QWidget parent;
    parent.resize(100, 100);
    PictureBox pic(&parent);
    pic.SetPictureSize(4000, 3000);
    pic.SetBackColor(kBack);
    EXPECT_EQ(pic.RecordedOps(), 0);
    pic.DrawBox(1, 1, 50, 50, kInk);
    pic.DrawLine(0, 10, 3999, 10, kInk);
    pic.Draw(Pattern{}, QRect(0, 0, 200, 200));
    pic.Draw(Pattern{}, QRect()); // anywhere: kept, drops nothing
    EXPECT_EQ(pic.RecordedOps(), 4);
    pic.Draw(Pattern{}, QRect(0, 0, 4000, 3000)); // the whole sheet
    EXPECT_EQ(pic.RecordedOps(), 1);
    pic.DrawBox(5, 5, 20, 20, kInk);
    pic.Draw(Pattern{}, QRect(-10, -10, 5000, 5000));
    EXPECT_EQ(pic.RecordedOps(), 1);
    pic.Cls();
    EXPECT_EQ(pic.RecordedOps(), 0);

    // Dragging on the overview redraws sheet and boxes without clearing: the list stays short.
    for (int i = 0; i < 1000; ++i) {
        pic.Draw(Pattern{}, QRect(0, 0, 4000, 3000));
        pic.DrawBox(i, i, i + 64, i + 64, kInk);
    }
    EXPECT_EQ(pic.RecordedOps(), 2);

    // A small picture that is never cleared condenses its list and keeps its pixels.
    PictureBox small;
    small.SetPictureSize(40, 30);
    small.SetBackColor(kBack);
    for (int i = 0; i < 1000; ++i) small.DrawLine(i % 40, 0, i % 40, 29, i % 2 ? kInk : kBack);
    EXPECT_LE(small.RecordedOps(), 300);
    // Column c was last drawn by line 960 + c: ink on odd columns.
    std::string row;
    for (int c = 0; c < 40; ++c) row += c % 2 ? '#' : '.';
    std::string all = row;
    for (int y = 1; y < 30; ++y) all += '|' + row;
    EXPECT_EQ(Picture(small), all);
    small.SetPictureSize(41, 30); // re-rendered from the condensed record
    EXPECT_EQ(small.PixelAt(39, 29), kInk);
    EXPECT_EQ(small.PixelAt(38, 29), kBack);
    EXPECT_EQ(small.PixelAt(40, 29), kBack);
}

TEST(PictureBox, VirtualPictureHoldsOnlyWhatItsParentShowsAndRerendersWhenMoved) {
    QWidget parent;
    parent.resize(64, 48);
    PictureBox pic(&parent);
    pic.SetPictureSize(8192, 8192);
    EXPECT_EQ(pic.HeldRect(), QRect(0, 0, 64, 48));
    EXPECT_EQ(pic.BackBuffer().size(), QSize(64, 48)) << "an 8192 x 8192 picture must not be allocated whole";

    // The reference: the same drawing on a picture held whole (no parent).
    PictureBox ref;
    ref.SetPictureSize(700, 600);
    for (PictureBox* p : {&pic, &ref}) {
        p->SetBackColor(kBack);
        p->Draw(Pattern{}, QRect(100, 80, 300, 250));
        p->SetDrawWidth(3);
        p->DrawBox(90.5, 70, 420, 350, kInk);
        p->SetDrawWidth(2);
        p->DrawLine(0, 300, 700, 310, 0x00FFFF);
        p->DrawLine(350, 0, 340, 600, 0x00FF00);
    }
    ExpectHeldMatches(pic, ref);

    // Jump far: everything held is rendered from the record.
    pic.move(-300, -260);
    EXPECT_EQ(pic.HeldRect(), QRect(300, 260, 64, 48));
    ExpectHeldMatches(pic, ref);

    // A small pan renders only the newly shown strips.
    std::vector<QRect> windows;
    pic.Draw(Pattern{&windows}, QRect(330, 0, 10, 600)); // a column crossing the view
    ref.Draw(Pattern{}, QRect(330, 0, 10, 600));
    windows.clear();
    pic.move(-305, -263);
    EXPECT_EQ(pic.HeldRect(), QRect(305, 263, 64, 48));
    ExpectHeldMatches(pic, ref);
    EXPECT_LE(Area(windows), 5 * 48 + 3 * 64) << "only the newly shown part is drawn again";
    EXPECT_FALSE(windows.empty());
    // Back the other way, then sideways only.
    const QImage shared = pic.BackBuffer(); // a copy sharing the pixels must not disturb the slide
    pic.move(-301, -258);
    EXPECT_EQ(pic.HeldRect(), QRect(301, 258, 64, 48));
    ExpectHeldMatches(pic, ref);
    pic.move(-340, -258);
    ExpectHeldMatches(pic, ref);
    EXPECT_EQ(shared.size(), QSize(64, 48));

    // The parent grows: the newly shown part appears.
    parent.resize(200, 150);
    EXPECT_EQ(pic.HeldRect(), QRect(340, 258, 200, 150));
    ExpectHeldMatches(pic, ref);

    // Partly outside the parent on the far side.
    pic.move(-8192 + 100, 10);
    EXPECT_EQ(pic.HeldRect(), QRect(8092, 0, 100, 140));
    for (int y = 0; y < 140; y += 7) EXPECT_EQ(pic.PixelAt(8150, y), kBack);

    // Entirely hidden: nothing held, drawing is only recorded; shown again, it appears.
    pic.move(300, 300);
    EXPECT_TRUE(pic.HeldRect().isEmpty());
    EXPECT_EQ(pic.PixelAt(0, 0), -1);
    pic.DrawBox(2, 2, 5, 5, kInk);
    ref.DrawBox(2, 2, 5, 5, kInk);
    pic.move(0, 0);
    ExpectHeldMatches(pic, ref);
}

TEST(PictureBox, SmallPictureKeepsItsPixelsWhenResized) {
    PictureBox pic;
    pic.SetPictureSize(4, 3);
    pic.SetBackColor(kBack);
    pic.Surface().Row(1)[2] = ColorToPixel(kInk); // drawn directly, not recorded
    pic.SetPictureSize(6, 4);
    EXPECT_EQ(Picture(pic), "......|..#...|......|......");
    pic.SetPictureSize(2, 2);
    EXPECT_EQ(Picture(pic), "..|..");
    pic.SetPictureSize(40000, -5); // clamped to what a picture may be
    EXPECT_EQ(pic.PictureWidth(), 32767);
    EXPECT_EQ(pic.PictureHeight(), 0);
    EXPECT_EQ(pic.PixelAt(0, 0), -1);
}

TEST(PictureBox, MouseEventsCarryButtonShiftAndRealPosition) {
    QWidget top;
    top.resize(300, 300);
    PictureBox pic(&top);
    pic.SetPictureSize(100, 80);
    pic.move(10, 20);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));

    QSignalSpy down(&pic, &PictureBox::MouseDown);
    QSignalSpy move(&pic, &PictureBox::MouseMove);
    QSignalSpy up(&pic, &PictureBox::MouseUp);
    QSignalSpy dbl(&pic, &PictureBox::DblClick);

    auto args = [](const QSignalSpy& spy, int i) {
        const QList<QVariant>& a = spy.at(i);
        return std::make_tuple(a[0].toInt(), a[1].toInt(), a[2].toDouble(), a[3].toDouble());
    };

    QTest::mousePress(&pic, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(5, 6));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(args(down, 0), std::make_tuple(1, 3, 5.0, 6.0));
    // The press holds the pointer: moves far outside still come here, in picture pixels.
    QTest::mouseMove(&pic, QPoint(250, -15));
    ASSERT_GE(move.count(), 1);
    EXPECT_EQ(args(move, move.count() - 1), std::make_tuple(1, 0, 250.0, -15.0));
    QTest::mouseRelease(&pic, Qt::LeftButton, Qt::AltModifier, QPoint(250, -15));
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(args(up, 0), std::make_tuple(1, 4, 250.0, -15.0));

    QTest::mousePress(&pic, Qt::RightButton, Qt::AltModifier, QPoint(1, 2));
    QTest::mouseRelease(&pic, Qt::RightButton, Qt::NoModifier, QPoint(1, 2));
    EXPECT_EQ(args(down, 1), std::make_tuple(2, 4, 1.0, 2.0));
    EXPECT_EQ(args(up, 1), std::make_tuple(2, 0, 1.0, 2.0));
    QTest::mousePress(&pic, Qt::MiddleButton, Qt::NoModifier, QPoint(3, 3));
    QTest::mouseRelease(&pic, Qt::MiddleButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(std::get<0>(args(down, 2)), 4);

    // Moves without a button are reported too, with button 0.
    const int before = move.count();
    QTest::mouseMove(&pic, QPoint(40, 30));
    ASSERT_GT(move.count(), before);
    EXPECT_EQ(args(move, move.count() - 1), std::make_tuple(0, 0, 40.0, 30.0));

    // Real-valued positions, and the buttons held during a move summed.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10.25, 20.75), pic.mapToGlobal(QPointF(10.25, 20.75)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&pic, &press);
    EXPECT_EQ(args(down, 3), std::make_tuple(2, 0, 10.25, 20.75));
    QMouseEvent drag(QEvent::MouseMove, QPointF(11.5, 21.5), pic.mapToGlobal(QPointF(11.5, 21.5)), Qt::NoButton,
                     Qt::LeftButton | Qt::RightButton | Qt::MiddleButton, Qt::ShiftModifier);
    QApplication::sendEvent(&pic, &drag);
    EXPECT_EQ(args(move, move.count() - 1), std::make_tuple(7, 1, 11.5, 21.5));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(11.5, 21.5), pic.mapToGlobal(QPointF(11.5, 21.5)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&pic, &release);

    // A double click: the second press raises DblClick, not MouseDown.
    const int presses = down.count();
    QTest::mouseDClick(&pic, Qt::LeftButton, Qt::NoModifier, QPoint(7, 7));
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(down.count(), presses) << "the double click itself is no press";
}

TEST(PictureBox, PresentShowsTheBackBufferOnScreen) {
    QWidget top;
    top.resize(120, 120);
    PictureBox pic(&top);
    pic.SetPictureSize(50, 40);
    pic.move(5, 5);
    pic.SetBackColor(0x0000FF00);
    pic.SetDrawWidth(1);
    pic.DrawBox(10, 10, 20, 20, 0x00FF0000);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    pic.Present();
    const QImage shot = pic.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(shot.pixel(10, 10)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(shot.pixel(15, 15)), QColor(0, 255, 0));
}
