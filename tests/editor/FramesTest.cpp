// The Frames menu through its items and keys: fitting and trimming frames, and
// the two windows that add frames from a grid or from the sprites found.
#include "EditorFixture.h"
#include "editor/FramesDialog.h"

namespace {

constexpr int32_t Ink = 0x3060A0;
constexpr int32_t Magenta = 0xFF00FF;

// A 256 x 192 sheet of 32 x 48 cells, 8 across and 4 down, each holding one
// figure of its own size except two empty cells; the first figure has a
// two-pixel hat two rows above it.
SpriteRect Body(int c, int r) { return {32 * c + 10, 48 * r + 6 + c, 6 + c, 38 - r - c}; }
bool EmptyCell(int c, int r) { return (c == 3 && r == 2) || (c == 7 && r == 3); }
const SpriteRect FirstWithHat{10, 3, 6, 41};

TestPicture Cells(int32_t background) {
    TestPicture p = MakePicture(256, 192, background);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c)
            if (!EmptyCell(c, r)) {
                const SpriteRect b = Body(c, r);
                for (int y = b.Y; y < b.Y + b.Height; ++y)
                    for (int x = b.X; x < b.X + b.Width; ++x) p.At(x, y) = Ink;
            }
    p.At(12, 3) = p.At(13, 3) = Ink;
    return p;
}

// The figures' boxes in reading order.
std::vector<SpriteRect> Bodies() {
    std::vector<SpriteRect> out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c)
            if (!EmptyCell(c, r)) out.push_back(r + c == 0 ? FirstWithHat : Body(c, r));
    return out;
}

SpriteRect RectOf(const FrameData& f) { return {f.X, f.Y, f.Width, f.Height}; }
QPoint HotPixel(const FrameData& f) { return {f.X + f.HotSpotX, f.Y + f.HotSpotY}; }

} // namespace

class FramesTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        Load(Cells(0));
    }
    // A new project of the picture, with one action whose direction is shown.
    void Load(const TestPicture& p) {
        WriteFileBytes(dir / "f.bmp", MakeBmp24(p));
        Menu(W().mnuNew, dir / "f.bmp");
        W().Command1_Click(), W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
        W().activateWindow();
    }
    FramesDialog* Open(QAction* item) {
        item->trigger();
        return W().FramesWindow;
    }
    // The pointer over sheet pixel (x, y) of the zoom view at zoom 2.
    void PointAt(int x, int y) {
        const QPointF at(2.0 * (x - W().ZoomOriginX()) + 1, 2.0 * (y - W().ZoomOriginY()) + 1);
        Move(at);
    }
    std::string Count() { return W().FramesWindow->lblCount->text().toStdString(); }
};

TEST_F(FramesTest, SpritesWindowCountsAndPreviewsLiveThenAddsInOneStep) {
    FramesDialog* d = Open(W().mnuAddSprites);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible() && messages.Shown.empty() && Open(W().mnuAddGrid) == d); // one at a time
    const SpriteRect b = Body(2, 1); // its box drawn on the overview round the sprite
    EXPECT_TRUE(Overview(b.X + b.Width, b.Y + b.Height) == 0xFFFFFF && Overview(b.X + 1, b.Y + 1) == Ink);

    struct Case { int gap, min; FramesArea area; const char* count; };
    for (const Case& c : {Case{1, 4, FramesArea::WholeSheet, "30 frames will be added"}, // the hat is dropped
                          Case{1, 1, FramesArea::WholeSheet, "31 frames will be added"}, // the hat on its own
                          Case{2, 1000, FramesArea::WholeSheet, "No frames will be added"},
                          Case{2, 4, FramesArea::ZoomView, "11 frames will be added"}, // 128 x 128 from the corner
                          Case{2, 4, FramesArea::CurrentFrame, "The current frame has no rectangle on the sheet."},
                          Case{2, 4, FramesArea::WholeSheet, "30 frames will be added"}}) {
        d->spnMergeGap->setValue(c.gap), d->spnMinSize->setValue(c.min), d->cboArea->setCurrentIndex(int(c.area));
        EXPECT_EQ(Count(), c.count) << c.gap << " " << c.min;
        EXPECT_EQ(d->cmdAdd->isEnabled(), Count().find(" will be added") != std::string::npos && c.min < 1000);
    }
    d->cboHotSpot->setCurrentIndex(1), d->spnDelay->setValue(7);
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);

    std::vector<FrameData> want; // the placeholder frame is replaced
    for (const SpriteRect& r : Bodies()) want.push_back(MakeFrame(r, HotSpotRule::Centre, 7));
    EXPECT_EQ(Dir0(), want);
    EXPECT_TRUE(W().ThumbCount() == 30 && W().FramesWindow.isNull());
    EXPECT_EQ(Overview(b.X + b.Width, b.Y + b.Height), 0); // the boxes went with the window
    W().mnuUndo->trigger(); // one step
    EXPECT_EQ(Dir0(), std::vector<FrameData>(1));
}

TEST_F(FramesTest, GridWindowCellsSkipAndTrimKeepingEachCellsAnchor) {
    FramesDialog* d = Open(W().mnuAddGrid);
    ASSERT_NE(d, nullptr);
    d->spnCellHeight->setValue(48); // the width stays 32 without a current frame
    EXPECT_EQ(Count(), "30 frames will be added");
    d->chkSkipEmpty->setChecked(false), d->spnColumns->setValue(3), d->spnRows->setValue(2);
    EXPECT_EQ(Count(), "6 frames will be added");
    // A margin and a gap with as many columns as fit in one row.
    d->spnOffsetX->setValue(8), d->spnGapX->setValue(4), d->spnColumns->setValue(0), d->spnRows->setValue(1);
    EXPECT_EQ(Count(), "7 frames will be added"); // at 8, 44, ... 224
    for (QSpinBox* s : {d->spnOffsetX, d->spnGapX, d->spnRows}) s->setValue(0);
    d->spnCellWidth->setValue(300);
    EXPECT_TRUE(Count().starts_with("Not one whole cell fits") && !d->cmdAdd->isEnabled()) << Count();
    d->spnCellWidth->setValue(32), d->chkSkipEmpty->setChecked(true), d->chkTrim->setChecked(true);
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);

    const std::vector<SpriteRect> bodies = Bodies();
    ASSERT_EQ(Dir0().size(), bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i) {
        const FrameData& f = Dir0()[i];
        EXPECT_EQ(RectOf(f), bodies[i]) << i;
        // Every frame of a row keeps the bottom centre of its whole cell.
        EXPECT_EQ(HotPixel(f), QPoint(f.X / 32 * 32 + 15, f.Y / 48 * 48 + 47)) << i;
    }
}

TEST_F(FramesTest, AddingPastTheDirectionLimitIsRefused) {
    Dir0().assign(32760, FrameData{1, 1, 1, 1, {0, 0}, 1, 0, 0});
    SP::Actions[0].Directions[0].FrameUBound = 32759;
    W().lstDirection_Click(0), WaitForRebuild();
    QTest::mouseClick(Open(W().mnuAddSprites)->cmdAdd, Qt::LeftButton);
    EXPECT_EQ(messages.Texts(), Strings{"A direction holds at most 32,768 frames; this one would hold 32790."});
    EXPECT_TRUE(Dir0().size() == 32760u && W().mnuUndo->text() == "Undo Add Action");
}

TEST_F(FramesTest, FitTakesTheSpriteAtOrNearThePointerAndKeepsTheHotSpotPixel) {
    ClickThumbOf(W(), 0); // the placeholder frame, without a rectangle
    CtrlKey(Qt::Key_D);       // no pointer move yet: nothing
    EXPECT_EQ(Dir0()[0], FrameData{});
    const SpriteRect b10 = Body(1, 0), b21 = Body(2, 1);
    struct Case { QPoint at; SpriteRect want; };
    const QPoint hot(b10.X + (b10.Width - 1) / 2, b10.Y + b10.Height - 1); // bottom centre, as it had none
    for (const Case& c : {Case{{b10.X + 2, b10.Y + 5}, b10},               // on the sprite
                          Case{{b21.X - 5, b21.Y + 3}, b21},               // 5 pixels left of one
                          Case{{Body(4, 0).X + 22, 20}, b21},              // 9 or more from any
                          Case{{12, 3}, FirstWithHat}}) {                  // the hat joins its figure
        PointAt(c.at.x(), c.at.y()), CtrlKey(Qt::Key_D);
        EXPECT_EQ(RectOf(Dir0()[0]), c.want) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(HotPixel(Dir0()[0]), hot);
    }
}

TEST_F(FramesTest, TrimShrinksTheHighlightedFramesOrElseTheCurrentOne) {
    FramesDialog* d = Open(W().mnuAddGrid);
    d->spnCellHeight->setValue(48), d->chkSkipEmpty->setChecked(false);
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton); // 32 whole cells, 8 per row
    Dir0()[1].HotSpotX = 3, Dir0()[1].HotSpotY = -2;
    const std::vector<FrameData> cells = Dir0();
    ClickThumbOf(W(), 1), ClickThumbOf(W(), 3, Qt::ShiftModifier), CtrlKey(Qt::Key_T);
    for (int i : {1, 2, 3}) {
        EXPECT_EQ(RectOf(Dir0()[i]), Body(i, 0)) << i;
        EXPECT_EQ(HotPixel(Dir0()[i]), HotPixel(cells[i])) << i;
    }
    EXPECT_TRUE(Dir0()[0] == cells[0] && W().mnuUndo->text() == "Undo Trim Frames");
}

TEST_F(FramesTest, CommandsPickADirectionFirstOrSayWhyTheyCannotRun) {
    Fresh(); // no sheet: each command says so, once
    for (QAction* item : {W().mnuAddSprites, W().mnuAddGrid, W().mnuFitFrame, W().mnuTrimFrames}) item->trigger();
    EXPECT_EQ(messages.Texts().size(), 4u);
    EXPECT_TRUE(W().FramesWindow.isNull() && W().lstAction->count() == 0);

    // A fresh New Project: the sprites go to "Action 0" / "Dir 0", picked in both lists, in one step.
    messages.Shown.clear();
    Menu(W().mnuNew, dir / "f.bmp");
    QTest::mouseClick(Open(W().mnuAddSprites)->cmdAdd, Qt::LeftButton);
    EXPECT_EQ(W().lstAction->currentText() + "/" + W().lstDirection->currentText(), "Action 0/Dir 0");
    EXPECT_TRUE(Dir0().size() == 30u && W().ThumbCount() == 30 && messages.Shown.empty());
    W().mnuUndo->trigger();
    EXPECT_TRUE(W().lstAction->count() == 0 && !W().mnuUndo->isEnabled());

    // An action picked but no direction: its first direction; a cancelled window adds nothing.
    W().Command1_Click(), W().Command1_Click(), W().lstAction_Click(1);
    SP::Actions[1].Directions.push_back(SP::Actions[1].Directions[0]), SP::Actions[1].DirUBound = 1;
    Open(W().mnuAddGrid)->reject();
    EXPECT_TRUE(SP::CurAction == 1 && SP::CurDirection == 0 && W().lstDirection->currentText() == "Dir 0");
    EXPECT_EQ(SP::Actions[1].Directions[0].Frames.size(), 1u);
}

namespace {

// 4 x 3 cells of 40 x 30 between 2-pixel lines on a black (mask) sheet; each
// cell a block of colour but the last two of the bottom row, which are unused.
constexpr int32_t Line = 0x404040;
TestPicture LinedCells() {
    TestPicture p = MakePicture(166, 94, 0);
    for (int y = 0; y < 94; ++y)
        for (int x = 0; x < 166; ++x)
            if (x % 42 >= 40 || y % 32 >= 30) p.At(x, y) = Line;
            else if (!(y / 32 == 2 && x / 42 >= 2) && x % 42 > 5 + y / 32 && x % 42 < 30 && y % 32 > 8)
                p.At(x, y) = Ink + (x % 3) * 0x10;
    return p;
}

} // namespace

TEST_F(FramesTest, GridWindowFillsInTheFoundGridAndDetectFindsItAgain) {
    Load(LinedCells());
    FramesDialog* d = Open(W().mnuAddGrid);
    ASSERT_NE(d, nullptr);
    const auto fields = [d] {
        return std::vector<int>{d->spnCellWidth->value(), d->spnCellHeight->value(), d->spnOffsetX->value(),
                                d->spnOffsetY->value(), d->spnGapX->value(), d->spnGapY->value()};
    };
    EXPECT_EQ(fields(), (std::vector<int>{40, 30, 0, 0, 2, 2}));
    EXPECT_EQ(Count(), "10 frames will be added"); // the two unused cells skipped
    d->spnCellWidth->setValue(9), d->spnGapY->setValue(0), d->spnRows->setValue(1);
    QTest::mouseClick(d->cmdDetect, Qt::LeftButton);
    EXPECT_TRUE(fields() == (std::vector<int>{40, 30, 0, 0, 2, 2}) && d->spnRows->value() == 0);
    EXPECT_EQ(Count(), "10 frames will be added");
    // An area without pixels: said why, the fields kept.
    d->cboArea->setCurrentIndex(int(FramesArea::CurrentFrame));
    QTest::mouseClick(d->cmdDetect, Qt::LeftButton);
    EXPECT_EQ(Count(), "The search area lies outside the sheet.");
    EXPECT_EQ(fields(), (std::vector<int>{40, 30, 0, 0, 2, 2}));
    d->cboArea->setCurrentIndex(int(FramesArea::WholeSheet));

    // One direction per row of cells, added to the action in one step.
    d->chkRowsAsDirections->setChecked(true);
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
    const ActionData& a = SP::Actions[0];
    ASSERT_EQ(a.Directions.size(), 3u);
    EXPECT_EQ(a.DirUBound, 2);
    for (int r = 0; r < 3; ++r) {
        std::vector<SpriteRect> rects;
        for (const FrameData& f : a.Directions[r].Frames) rects.push_back(RectOf(f));
        std::vector<SpriteRect> want;
        for (int c = 0; c < (r == 2 ? 2 : 4); ++c) want.push_back({42 * c, 32 * r, 40, 30});
        EXPECT_EQ(rects, want) << r;
    }
    EXPECT_EQ(Items(W().lstDirection), (QStringList{"Dir 0", "Dir 1", "Dir 2"}));
    EXPECT_TRUE(W().lstDirection->currentText() == "Dir 0" && W().ThumbCount() == 4);
    EXPECT_EQ(W().mnuUndo->text(), "Undo Add Directions");
    W().mnuUndo->trigger();
    EXPECT_TRUE(SP::Actions[0].Directions.size() == 1u && Dir0() == std::vector<FrameData>(1));
    EXPECT_EQ(Items(W().lstDirection), QStringList{"Dir 0"});
    W().mnuRedo->trigger();
    EXPECT_EQ(SP::Actions[0].Directions.size(), 3u);
}

TEST_F(FramesTest, SpritesWindowMakesADirectionOfEachRowOfSpritesAfterThoseThereAre) {
    Dir0().assign(2, FrameData{1, 1, 1, 1, {0, 0}, 1, 0, 0}); // a direction in use stays as it is
    SP::Actions[0].Directions[0].FrameUBound = 1;
    W().lstDirection_Click(0), WaitForRebuild();
    FramesDialog* d = Open(W().mnuAddSprites);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->cmdDetect, nullptr);
    d->chkRowsAsDirections->setChecked(true);
    EXPECT_EQ(Count(), "30 frames will be added");
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
    const ActionData& a = SP::Actions[0];
    ASSERT_EQ(a.Directions.size(), 5u);
    std::vector<size_t> sizes;
    for (const DirectionData& dir : a.Directions) sizes.push_back(dir.Frames.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{2, 8, 8, 7, 7}));
    EXPECT_EQ(RectOf(a.Directions[1].Frames[0]), FirstWithHat);
    EXPECT_EQ(RectOf(a.Directions[4].Frames[6]), Body(6, 3));
    EXPECT_EQ(W().lstDirection->count(), 5);
    W().mnuUndo->trigger(); // one step
    EXPECT_EQ(SP::Actions[0].Directions.size(), 1u);
    EXPECT_EQ(Dir0().size(), 2u);
}
