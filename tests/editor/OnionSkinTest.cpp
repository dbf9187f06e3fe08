// The View menu's onion skin, read back from the zoom view's pixels: where the
// neighbouring frames land, their tint and translucency, the number of frames
// and the ends of a direction, the mask colour left out, how it follows edits
// and the current frame, the remembered options, and a view left exactly as
// it was while the onion skin is off.
#include <QSettings>
#include <array>

#include "EditorFixture.h"

namespace {

constexpr int32_t Magenta = 0xFF00FF; // the mask colour

// Five 12 x 14 figures side by side, figure i in its own colour with one
// mask-coloured pixel at (1, 1) inside it, each with its hot spot elsewhere.
constexpr int Figures = 5;
int32_t FigureColor(int i) { return (0x20 + 0x10 * i) | 0x40 << 8 | (0x60 + 0x08 * i) << 16; }
FrameData Figure(int i) {
    FrameData f;
    f.X = 10 + 22 * i, f.Y = 20 + i, f.Width = 12, f.Height = 14;
    f.HotSpotX = 2 + i, f.HotSpotY = 9 - 2 * i;
    f.Delay = 1;
    return f;
}

TestPicture FigureSheet() {
    TestPicture p = MakePicture(256, 256, Magenta);
    for (int i = 0; i < Figures; ++i) {
        const FrameData f = Figure(i);
        for (int y = f.Y; y < f.Y + f.Height; ++y)
            for (int x = f.X; x < f.X + f.Width; ++x) p.At(x, y) = FigureColor(i);
        p.At(f.X + 1, f.Y + 1) = Magenta;
    }
    return p;
}

// What the onion skin should make of the view, worked out channel by channel
// in 0x00BBGGRR colours: a tint three quarters of the way to pure red or
// blue, rounded down; where the frames before and after at one distance both
// land, the two tints averaged; then laid over at five eighths (next frame)
// or three eighths (the one after).
int32_t TintRef(int32_t c, bool after) {
    const int r = ((c & 0xFF) + (after ? 0 : 3 * 255)) / 4, g = ((c >> 8) & 0xFF) / 4;
    const int b = (((c >> 16) & 0xFF) + (after ? 3 * 255 : 0)) / 4;
    return r | g << 8 | b << 16;
}
int32_t AverageRef(int32_t x, int32_t y) {
    int32_t out = 0;
    for (int shift : {0, 8, 16}) out |= (((x >> shift) & 0xFF) + ((y >> shift) & 0xFF)) / 2 << shift;
    return out;
}
int32_t MixRef(int32_t under, int32_t over, double share) {
    int32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const double u = (under >> shift) & 0xFF, o = (over >> shift) & 0xFF;
        out |= static_cast<int32_t>(std::floor(u * (1 - share) + o * share + 0.5)) << shift;
    }
    return out;
}

} // namespace

class OnionSkinTest : public EditorTest {
protected:
    // The figure sheet under the mask colour, its five frames in one direction,
    // zoom 2 with the view's origin at the sheet's corner, frame `current` current.
    void SetUp() override {
        EditorTest::SetUp();
        W().activateWindow(); // for the menu's key
        sheet = FigureSheet();
        SP::MaskColor = Magenta;
        WriteFileBytes(dir / "fig.bmp", MakeBmp24(sheet));
        Menu(W().mnuNew, dir / "fig.bmp");
        W().Command1_Click();
        DirectionData& d = SP::Actions[0].Directions[0];
        d.Frames.resize(Figures), d.FrameUBound = Figures - 1;
        for (int i = 0; i < Figures; ++i) d.Frames[i] = Figure(i);
        W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
        ASSERT_EQ(QPoint(W().ZoomOriginX(), W().ZoomOriginY()), QPoint(0, 0));
    }
    void Current(int i) { W().ucSF_Click(i, 0); }
    void Onion(bool on, int depth = 1) {
        W().mnuOnionFrames[depth]->trigger();
        if (W().mnuOnionSkin->isChecked() != on) W().mnuOnionSkin->trigger();
    }
    // The zoom view's 128 x 128 sheet positions, each checked to be one solid 2 x 2 block.
    std::vector<int32_t> Shown() {
        std::vector<int32_t> out(128 * 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const int32_t c = Zoomed(2 * x, 2 * y);
                EXPECT_EQ(Zoomed(2 * x + 1, 2 * y + 1), c) << x << "," << y;
                out[y * 128 + x] = c;
            }
        return out;
    }
    // The sheet as the view shows it without onion skin.
    std::vector<int32_t> Plain() {
        std::vector<int32_t> out(128 * 128);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) out[y * 128 + x] = sheet.At(x, y);
        return out;
    }
    // The plain view with the layers of frame `current` laid on, farthest first.
    std::vector<int32_t> Expected(int current, int depth) {
        std::vector<int32_t> view = Plain();
        const std::vector<FrameData>& frames = Dir0();
        const FrameData& c = frames[current];
        for (int d = depth; d >= 1; --d) {
            // The sprite pixels of the frame before and after that land on each position, -1 for none.
            std::array<std::vector<int32_t>, 2> lands{std::vector<int32_t>(128 * 128, -1),
                                                      std::vector<int32_t>(128 * 128, -1)};
            for (int side : {0, 1}) {
                const int n = side ? current + d : current - d;
                if (n < 0 || n >= static_cast<int>(frames.size())) continue;
                const FrameData& f = frames[n];
                const int dx = c.X + c.HotSpotX - f.X - f.HotSpotX, dy = c.Y + c.HotSpotY - f.Y - f.HotSpotY;
                for (int y = f.Y; y < f.Y + f.Height; ++y)
                    for (int x = f.X; x < f.X + f.Width; ++x) {
                        const int vx = x + dx, vy = y + dy;
                        if (sheet.At(x, y) == Magenta || vx < 0 || vy < 0 || vx >= 128 || vy >= 128) continue;
                        lands[side][vy * 128 + vx] = sheet.At(x, y);
                    }
            }
            for (int k = 0; k < 128 * 128; ++k) {
                const int32_t b = lands[0][k], a = lands[1][k];
                if (b < 0 && a < 0) continue;
                const int32_t over = a < 0 ? TintRef(b, false)
                                     : b < 0 ? TintRef(a, true)
                                             : AverageRef(TintRef(b, false), TintRef(a, true));
                view[k] = MixRef(view[k], over, d == 1 ? 0.625 : 0.375);
            }
        }
        return view;
    }
    // Differences away from the crosshair's row and column at that sheet position.
    static int OffCrosshair(const std::vector<int32_t>& a, const std::vector<int32_t>& b, QPoint cross) {
        int n = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                if (x != cross.x() && y != cross.y()) n += a[y * 128 + x] != b[y * 128 + x];
        return n;
    }
    static int Differences(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
        int n = 0;
        for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
        return n;
    }
    // The sheet position where frame n's source pixel (x, y) lands while frame `current` is current.
    QPoint Landing(int n, int current, int x, int y) {
        const FrameData &f = Dir0()[n], &c = Dir0()[current];
        return {x + c.X + c.HotSpotX - f.X - f.HotSpotX, y + c.Y + c.HotSpotY - f.Y - f.HotSpotY};
    }
    int32_t At(QPoint sheetPos) { return Zoomed(2 * sheetPos.x(), 2 * sheetPos.y()); }

    TestPicture sheet;
};

TEST_F(OnionSkinTest, NeighboursLandOnTheHotSpotTintedAndTranslucent) {
    Current(2), Onion(true, 1);
    EXPECT_EQ(Differences(Shown(), Expected(2, 1)), 0);
    // By hand. Hot spots: frame 1 (35, 28), frame 2 (58, 27), frame 4 (104, 25).
    // Frame 1's last column lands just right of frame 2, on the mask colour:
    // magenta (ff, 00, ff) under red-tinted (cb, 10, 1a) at five eighths.
    const QPoint f1 = Landing(1, 2, 43, 21);
    ASSERT_EQ(f1, QPoint(66, 20));
    EXPECT_EQ(At(f1), 0x700ADF) << std::hex << At(f1);
    // Frame 1's mask-coloured pixel draws nothing: the mask colour stays there,
    // beside a pixel of frame 1 that does show. Frame 3's lands on frame 2's own
    // pixels, which stay as they are.
    EXPECT_TRUE(At(Landing(1, 2, 33, 22)) == Magenta && At(Landing(1, 2, 34, 22)) == 0x700ADF);
    EXPECT_EQ(Landing(3, 2, 77, 24), QPoint(54, 25));
    EXPECT_EQ(At({54, 25}), FigureColor(2));

    W().mnuOnionFrames[2]->trigger();
    EXPECT_EQ(Differences(Shown(), Expected(2, 2)), 0);
    // Frame 4, after and two away: its bottom-left pixel lands on the mask colour
    // clear of every other layer: blue-tinted (18, 10, df) at three eighths.
    const QPoint f4 = Landing(4, 2, 98, 37);
    ASSERT_EQ(f4, QPoint(52, 39));
    EXPECT_EQ(At(f4), 0xF306A8) << std::hex << At(f4);

    // The crosshair lies over the onion skin; the overview and the project are untouched.
    Move({2.0 * f1.x() + 1, 2.0 * f1.y() + 1});
    EXPECT_TRUE(At(f1) == W().ContrastColor && At(f4) == 0xF306A8);
    for (int i = 0; i < Figures; ++i) EXPECT_EQ(Dir0()[i], Figure(i)) << i;
    for (int x = 1; x < 128; ++x) EXPECT_EQ(Overview(x, 39), sheet.At(x, 39)) << x; // 0: the zoom box
}

TEST_F(OnionSkinTest, OneOrTwoFramesEachSideNoWrapAroundNoEmptyFrames) {
    Current(2), Onion(true, 1);
    EXPECT_EQ(Differences(Shown(), Expected(2, 1)), 0);
    EXPECT_NE(Differences(Shown(), Expected(2, 2)), 0); // frames 0 and 4 are left out
    W().mnuOnionFrames[2]->trigger();
    EXPECT_TRUE(W().mnuOnionFrames[2]->isChecked() && !W().mnuOnionFrames[1]->isChecked());
    EXPECT_EQ(Differences(Shown(), Expected(2, 2)), 0);
    // The first frame has nothing before it, the last nothing after it.
    for (int cur : {0, 1, 3, 4}) {
        Current(cur);
        EXPECT_EQ(Differences(Shown(), Expected(cur, 2)), 0) << cur;
    }
    // A frame without pixels is skipped; the one beyond it still shows.
    Dir0()[3].Width = 0;
    Current(4);
    std::vector<int32_t> want = Expected(4, 2); // frame 3 lays nothing
    EXPECT_EQ(Differences(Shown(), want), 0);
    EXPECT_NE(Differences(Shown(), Plain()), 0);
}

TEST_F(OnionSkinTest, FollowsTheHotSpotMarkingTheCurrentFrameAndUndo) {
    Current(2), Onion(true, 1);
    Move({101, 101}); // the crosshair on sheet row and column 50, kept through the redraws below
    // A right press moves frame 2's hot spot: the layers move at once.
    Press({2 * 60 + 1, 2 * 30 + 1}, Qt::RightButton);
    ASSERT_EQ(QPoint(Dir0()[2].HotSpotX, Dir0()[2].HotSpotY), QPoint(60 - 54, 30 - 22));
    EXPECT_EQ(OffCrosshair(Shown(), Expected(2, 1), {50, 50}), 0);
    EXPECT_TRUE(At({50, 10}) == W().ContrastColor && At({10, 50}) == W().ContrastColor);
    // Marking reshapes frame 2 from the anchor; the hot spot goes with its corner.
    Press({2 * 50, 2 * 18}), Move({2 * 70, 2 * 40}), Move({2 * 40, 2 * 10});
    EXPECT_EQ(QPoint(Dir0()[2].X, Dir0()[2].Y), QPoint(40, 10));
    EXPECT_EQ(OffCrosshair(Shown(), Expected(2, 1), {40, 10}), 0);
    Press({2 * 40, 2 * 10}); // marking ends
    // Another current frame: its own neighbours, aligned on its own hot spot.
    Current(3);
    EXPECT_EQ(OffCrosshair(Shown(), Expected(3, 1), {40, 10}), 0);
    // Undo takes the marking back and, as every undo does, leaves no current
    // frame: the onion skin goes with it, and comes back with the frame.
    W().mnuUndo_Click();
    EXPECT_EQ(SP::CurFrame, -1);
    EXPECT_EQ(Differences(Shown(), Plain()), 0);
    W().mnuUndo_Click(), Current(2); // the hot spot too
    EXPECT_EQ(Dir0()[2], Figure(2));
    EXPECT_EQ(Differences(Shown(), Expected(2, 1)), 0);
    // Without a current direction: none.
    W().lstAction_Click(-1);
    EXPECT_EQ(Differences(Shown(), Plain()), 0);
}

TEST_F(OnionSkinTest, OffShowsExactlyWhatItAlwaysShowed) {
    EXPECT_FALSE(W().mnuOnionSkin->isChecked());
    Current(2), Move({60, 60}), Press({60, 60}), Move({90, 80});
    const std::vector<int32_t> before = Shown();
    const QImage shot = W().Picture1->BackBuffer();
    // On then off again: every pixel as it was, crosshair included; the menu's key does it too.
    W().mnuOnionSkin->trigger();
    EXPECT_NE(Differences(Shown(), before), 0);
    QTest::keyClick(&W(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(W().OnionSkin);
    EXPECT_TRUE(W().Picture1->BackBuffer() == shot);
    // The key works from the lists' text fields too, where it is no editing key.
    W().lstAction->lineEdit()->setFocus();
    W().lstAction->lineEdit()->setText("Walk");
    W().lstAction->lineEdit()->setCursorPosition(0);
    QTest::keyClick(W().lstAction->lineEdit(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_TRUE(W().OnionSkin);
    EXPECT_EQ(W().lstAction->lineEdit()->text(), "Walk");
    // The menu: "View" after "Frames", with its two entries.
    const QList<QAction*> bar = W().menuBar()->actions();
    ASSERT_GE(bar.size(), 4);
    EXPECT_EQ(bar[2]->text(), "Frames");
    EXPECT_EQ(bar[3]->menu(), W().mnuView);
    EXPECT_EQ(W().mnuView->title(), "View");
    EXPECT_EQ(W().mnuOnionSkin->text(), "Onion Skin");
    EXPECT_EQ(W().mnuOnionFramesTop->title(), "Onion Skin Frames");
    EXPECT_EQ(W().mnuOnionFrames[1]->text() + W().mnuOnionFrames[2]->text(), "12");
}

TEST_F(OnionSkinTest, OptionsAreRememberedBetweenRuns) {
    QSettings().remove("view");
    Fresh(), W().RestoreWindowState(); // nothing remembered yet
    EXPECT_TRUE(!W().OnionSkin && W().OnionDepth == 1 && W().mnuOnionFrames[1]->isChecked());
    W().mnuOnionSkin->trigger(), W().mnuOnionFrames[2]->trigger(), W().SaveWindowState();
    Fresh();
    EXPECT_FALSE(W().OnionSkin); // a window starts with it off; the program restores it
    W().RestoreWindowState();
    EXPECT_TRUE(W().OnionSkin && W().mnuOnionSkin->isChecked() && W().OnionDepth == 2 &&
                W().mnuOnionFrames[2]->isChecked() && !W().mnuOnionFrames[1]->isChecked());
    QSettings().setValue("view/onionSkinFrames", 7), QSettings().setValue("view/onionSkin", "junk");
    Fresh(), W().RestoreWindowState();
    EXPECT_TRUE(!W().OnionSkin && W().OnionDepth == 1);
    QSettings().remove("view");
}

// The layers as worked out without a window: clipped to the sheet and the
// visible area, and safe with the wildest coordinates a damaged project holds.
TEST(OnionPlan, ClipsToSheetAndViewAndSurvivesWildCoordinates) {
    std::vector<FrameData> frames(4);
    auto set = [&](int i, int x, int y, int w, int h, int hx, int hy) {
        frames[i].X = x, frames[i].Y = y, frames[i].Width = w, frames[i].Height = h;
        frames[i].HotSpotX = hx, frames[i].HotSpotY = hy;
    };
    set(0, -5, 10, 20, 8, 0, 0);  // reaches 5 columns past the sheet's left edge
    set(1, 100, 50, 10, 10, 4, 4); // current: hot spot (104, 54)
    set(2, 0, 0, 30, 30, 1, 2);    // hot spot (1, 2): shifted (+103, +52)
    set(3, 7, 7, 0, 9, 0, 0);      // no pixels
    const Onion::Area view{90, 40, 40, 30}; // columns 90..129, rows 40..69
    const std::vector<Onion::Layer> layers = Onion::Plan(frames, 1, 2, view, 120, 200);
    ASSERT_EQ(layers.size(), 2u);
    // Nearest first in line: frame 0 (before), then frame 2 (after). Frame 0's hot
    // spot (-5, 10) is shifted by (+109, +44); its columns -5..-1 are off the sheet.
    EXPECT_EQ(layers[0], (Onion::Layer{0, 1, false, 0, 10, 15, 8, 109, 44}));
    // Frame 2's columns 0..29 would land on 103..132 and rows 0..29 on 52..81:
    // the view keeps columns 0..26 and rows 0..17.
    EXPECT_EQ(layers[1], (Onion::Layer{2, 1, true, 0, 0, 27, 18, 103, 52}));
    // Depth 2 has nothing more here (frame -1 does not exist, frame 3 is empty).
    EXPECT_EQ(Onion::Plan(frames, 1, 1, view, 120, 200), layers);
    // Farthest first, then before ahead of after.
    set(3, 0, 0, 5, 5, 0, 0);
    const std::vector<Onion::Layer> all = Onion::Plan(frames, 1, 2, {-1000, -1000, 5000, 5000}, 120, 200);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_TRUE(all[0].Frame == 3 && all[0].Distance == 2 && all[1].Frame == 0 && all[2].Frame == 2);
    // No current frame, an index past the end, depth 0: nothing.
    EXPECT_TRUE(Onion::Plan(frames, -1, 2, view, 120, 200).empty() && Onion::Plan(frames, 4, 2, view, 120, 200).empty() &&
                Onion::Plan(frames, 1, 0, view, 120, 200).empty());
    // Coordinates at the ends of the int32 range shift everything far off the view.
    set(1, INT32_MAX, INT32_MIN, 10, 10, INT32_MAX, INT32_MIN);
    EXPECT_TRUE(Onion::Plan(frames, 1, 2, view, 120, 200).empty());
    // A frame as large as a record holds is cut down to the sheet and the view.
    set(1, 0, 0, 10, 10, 0, 0), set(2, -10, -10, INT32_MAX, INT32_MAX, 0, 0);
    EXPECT_EQ(Onion::Plan(frames, 1, 1, {0, 0, 50, 50}, 120, 200).back(),
              (Onion::Layer{2, 1, true, 0, 0, 40, 40, 10, 10}));
}

TEST(OnionPlan, TintOverlayAndMixValues) {
    // 0xFFRRGGBB pixels: red and blue tints three quarters of the way, rounded down.
    EXPECT_EQ(Onion::Tinted(0xFF204060u, false), 0xFFC71018u);
    EXPECT_EQ(Onion::Tinted(0xFF204060u, true), 0xFF0810D7u);
    EXPECT_EQ(Onion::Tinted(0xFFFFFFFFu, false), 0xFFFF3F3Fu);
    // One distance's frames: either tint alone, both averaged, nothing without a pixel.
    EXPECT_EQ(Onion::Overlay(0xFF204060u, 0), 0xFFC71018u);
    EXPECT_EQ(Onion::Overlay(0, 0xFF204060u), 0xFF0810D7u);
    EXPECT_EQ(Onion::Overlay(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFF9F3F9Fu);
    EXPECT_EQ(Onion::Overlay(0, 0), 0u);
    // Five and three eighths, rounded to nearest; full and none are exact.
    EXPECT_EQ(Onion::Mix(0xFF000000u, 0xFFFFFFFFu, 128), 0xFF808080u);
    EXPECT_EQ(Onion::Mix(0xFF102030u, 0xFF506070u, 64), 0xFF203040u);
    EXPECT_EQ(Onion::Mix(0xFFFF00FFu, 0xFFCB101Au, Onion::Opacity(1)), 0xFFDF0A70u);
    EXPECT_EQ(Onion::Mix(0xFFFF00FFu, 0xFF1810DFu, Onion::Opacity(2)), 0xFFA806F3u);
    EXPECT_EQ(Onion::Mix(0xFF123456u, 0xFFABCDEFu, 256), 0xFFABCDEFu);
    EXPECT_EQ(Onion::Mix(0xFF123456u, 0xFFABCDEFu, 0), 0xFF123456u);
}
