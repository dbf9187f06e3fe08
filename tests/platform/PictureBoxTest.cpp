#include "platform/PictureBox.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <tuple>

static constexpr int32_t kBack = 0x00203040;
static constexpr int32_t kInk = 0x000000FF;

// The picture as text: '#' ink, '.' background, '?' anything else; rows joined by '|'.
static std::string Picture(const PictureBox& pic) {
    std::string out;
    for (int y = 0; y < pic.PictureHeight(); ++y)
        for (int x = 0; x < pic.PictureWidth(); ++x) {
            const int32_t c = pic.PixelAt(x, y);
            out += std::string(y && !x ? "|" : "") + (c == kInk ? '#' : c == pic.BackColor() ? '.' : '?');
        }
    return out;
}

TEST(PictureBox, BoxesAndLinesCoverTheirPenWidthCentredOnTheOutline) {
    PictureBox pic;
    pic.SetPictureSize(11, 12);
    pic.SetBackColor(kBack);
    // Corners (2, 3) and (7, 9): width 1 covers both corner pixels.
    const char* boxes[] = {
        "...........|...........|...........|..######...|..#....#...|..#....#...|..#....#...|"
        "..#....#...|..#....#...|..######...|...........|...........",
        "...........|...........|.#######...|.#######...|.##...##...|.##...##...|.##...##...|"
        ".##...##...|.#######...|.#######...|...........|...........",
        "...........|...........|.########..|.########..|.########..|.###..###..|.###..###..|"
        ".###..###..|.########..|.########..|.########..|...........",
        "...........|#########..|#########..|#########..|#########..|####.####..|####.####..|"
        "#########..|#########..|#########..|#########..|...........",
    };
    // A crosshair on a zoomed pixel at zooms 1 to 4 (its top rows): halves at zoom 3 cover it exactly.
    const std::pair<double, const char*> lines[] = {
        {5, ".....#.....|.....#.....|.....#.....|.....#.....|.....#.....|###########|.....#.....|"},
        {5, "....##.....|....##.....|....##.....|....##.....|###########|###########|....##.....|"},
        {4.5, "...###.....|...###.....|...###.....|###########|###########|###########|...###.....|"},
        {6, "....####...|....####...|....####...|....####...|###########|###########|###########|"}};
    for (int w = 1; w <= 4; ++w) {
        SCOPED_TRACE("pen width " + std::to_string(w));
        pic.Cls();
        pic.SetDrawWidth(w);
        pic.DrawBox(7, 9, 2, 3, kInk); // corners in either order
        EXPECT_EQ(Picture(pic), boxes[w - 1]);
        pic.Cls();
        const auto [at, want] = lines[w - 1];
        pic.DrawLine(0, at, 11, at, kInk);
        pic.DrawLine(at, 0, at, 12, kInk);
        EXPECT_EQ(Picture(pic).substr(0, 84), want);
    }
    pic.DrawLine(-1e300, 1e300, 1e300, -1e300, kInk);
    pic.DrawLine(0, 0, std::numeric_limits<double>::quiet_NaN(), 3, kInk);
    EXPECT_EQ(pic.RecordedOps(), 3) << "a line with an undefined end is not drawn";
}

TEST(PictureBox, VirtualPictureHoldsOnlyWhatItsParentShowsAndReplaysWhenMoved) {
    QWidget parent;
    parent.resize(64, 48);
    PictureBox pic(&parent), ref; // ref: the same drawing on a picture held whole
    pic.SetPictureSize(8192, 8192);
    ref.SetPictureSize(700, 600);
    EXPECT_EQ(pic.BackBuffer().size(), QSize(64, 48)) << "a huge picture must not be allocated whole";
    pic.move(300, 300);                        // hidden: nothing held, the drawing is only recorded
    auto pattern = [](const PixelSurface& s) { // paints each pixel from its logical place alone
        for (int y = s.OriginY; y < s.OriginY + s.Height; ++y)
            for (int x = s.OriginX; x < s.OriginX + s.Width; ++x)
                s.Row(y)[x - s.OriginX] = ColorToPixel((x * 7 + y * 131) & 0xFFFFFF);
    };
    for (PictureBox* p : {&pic, &ref}) {
        p->SetBackColor(kBack);
        p->Draw(pattern, QRect(40, 30, 300, 250));
        p->SetDrawWidth(3);
        p->DrawBox(90.5, 70, 420, 350, kInk);
        p->DrawLine(350, 0, 340, 600, 0x00FF00);
    }
    for (QPoint at : {QPoint(0, 0), QPoint(-300, -260), QPoint(-305, -263), QPoint(-340, -258)}) {
        pic.move(at);
        EXPECT_EQ(pic.HeldRect(), QRect(-at, QSize(64, 48)));
        int wrong = 0;
        for (int y = -at.y(); y < 48 - at.y(); ++y)
            for (int x = -at.x(); x < 64 - at.x(); ++x)
                wrong += pic.PixelAt(x, y) != ref.PixelAt(x, y);
        EXPECT_EQ(wrong, 0) << at.x() << "," << at.y();
    }
    pic.Draw(pattern, QRect(-10, -10, 9000, 9000));
    EXPECT_EQ(pic.RecordedOps(), 1) << "an operation covering the whole picture drops the others";
}

TEST(PictureBox, PresentShowsAndMouseEventsCarryButtonShiftAndPosition) {
    QWidget top;
    top.resize(300, 300);
    PictureBox pic(&top);
    pic.SetPictureSize(100, 80);
    pic.SetBackColor(0x00FF0000);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    pic.Present();
    EXPECT_EQ(QColor(pic.grab().toImage().pixel(1, 1)), QColor(0, 0, 255)) << "0x00BBGGRR";

    QSignalSpy down(&pic, &PictureBox::MouseDown), move(&pic, &PictureBox::MouseMove),
        up(&pic, &PictureBox::MouseUp), dbl(&pic, &PictureBox::DblClick);
    auto last = [](const QSignalSpy& spy) { // button, shift, x, y
        const QList<QVariant>& a = spy.at(spy.count() - 1);
        return std::tuple(a[0].toInt(), a[1].toInt(), a[2].toDouble(), a[3].toDouble());
    };
    QTest::mousePress(&pic, Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(5, 6));
    EXPECT_EQ(last(down), std::make_tuple(1, 3, 5.0, 6.0));
    QTest::mouseMove(&pic, QPoint(250, -15)); // held: moves far outside still come here
    EXPECT_EQ(last(move), std::make_tuple(1, 0, 250.0, -15.0));
    QTest::mouseRelease(&pic, Qt::LeftButton, Qt::AltModifier, QPoint(250, -15));
    EXPECT_EQ(last(up), std::make_tuple(1, 4, 250.0, -15.0));
    QTest::mouseDClick(&pic, Qt::LeftButton, Qt::NoModifier, QPoint(7, 7));
    EXPECT_EQ(dbl.count() * 10 + down.count(), 11) << "a double click, whose second press is no MouseDown";
}
