// The frame clipboard: Cut and Copy of the selected thumbnails, the Paste
// dialog with its four positions, and the guards around a modeless paste.
#include "EditorFixture.h"
#include "editor/Form2.h"

using Ids = std::vector<int>;

class ClipboardTest : public EditorTest {
protected:
    // Frame i carries i in its Delay field (100 and up for clipboard frames).
    static FrameData Frame(int id) { return FrameData{id, 0, 4, 4, {0, 0}, int16_t(id), 0, 0}; }

    // A 64 x 64 sheet; action 0, direction 0 with frames 0 .. count - 1, the strip built.
    void MakeDirection(int count) {
        NewSheet(64, 64), W().Command1_Click();
        SetFrames(count);
        W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
        W().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&W()));
    }
    void SetFrames(int count) {
        DirectionData& d = SP::Actions[0].Directions[0];
        d.Frames.clear(), d.FrameUBound = static_cast<int16_t>(count - 1);
        for (int i = 0; i < count; ++i) d.Frames.push_back(Frame(i));
    }
    void Select(const Ids& thumbs) { for (int i : thumbs) W().SetThumbHighlight(i, 1); }
    void SetClip(const Ids& ids) {
        SP::ClipFrames.clear();
        for (int id : ids) SP::ClipFrames.push_back(Frame(id));
        W().ClipCount = static_cast<int16_t>(ids.size());
    }
    static Ids IdsOf(const std::vector<FrameData>& frames, size_t n) {
        Ids out;
        for (size_t i = 0; i < n && i < frames.size(); ++i) out.push_back(frames[i] == FrameData{} ? -1 : frames[i].Delay);
        return out;
    }
    Ids Frames() {
        const DirectionData& d = SP::Actions[0].Directions[0];
        EXPECT_EQ(d.FrameUBound + 1, int(d.Frames.size()));
        return IdsOf(d.Frames, d.Frames.size());
    }
    Ids Clip() { return IdsOf(SP::ClipFrames, W().ClipCount); }

    // Ctrl+V, then a click on option `position` and on the OK button.
    void PasteAt(int position) {
        CtrlKey(Qt::Key_V);
        Form2* dlg = W().PasteDialog;
        ASSERT_TRUE(dlg && dlg->isVisible());
        QTest::mouseClick(dlg->Option1[position], Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
        QTest::mouseClick(dlg->Command2, Qt::LeftButton);
        EXPECT_TRUE(Closed());
    }
    bool Closed() {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return W().PasteDialog.isNull();
    }
};

TEST_F(ClipboardTest, CutTakesTheSelectedFramesAndClosesTheGaps) {
    struct Case { int frames; Ids selected, left; }; // -1 in left: an all-zero frame
    for (const Case& c : {Case{5, {1, 3}, {0, 2, 4}}, Case{3, {0, 1, 2}, {-1}}, Case{1, {}, {-1}}, Case{4, {}, {0, 1, 2, 3}}}) {
        SCOPED_TRACE(testing::Message() << c.frames << " frames, " << c.selected.size() << " selected");
        MakeDirection(c.frames), SetClip({100}), Select(c.selected);
        CtrlKey(Qt::Key_X);
        EXPECT_TRUE(Clip() == c.selected && Frames() == c.left);
        for (int i : c.selected) EXPECT_EQ(W().ThumbHighlight.at(i), -1); // marked until the rebuild
        EXPECT_TRUE(W().StripRebuild->Pending());
        SP::CurFrame = 0, WaitForRebuild();
        EXPECT_TRUE(W().ThumbCount() == int(c.left.size()) && SP::CurFrame == -1);
        EXPECT_EQ(std::count(W().ThumbHighlight.begin(), W().ThumbHighlight.end(), 0), W().ThumbCount());
    }
}

TEST_F(ClipboardTest, CopyNeedsACurrentFrameAndKeepsTheStripAndBothWaitForAPendingRebuild) {
    MakeDirection(4), Select({0, 2});
    CtrlKey(Qt::Key_C); // no current frame: nothing
    EXPECT_EQ(W().ClipCount, 0);
    SP::CurFrame = 2, CtrlKey(Qt::Key_C), CtrlKey(Qt::Key_C); // twice: the same frames
    EXPECT_EQ(Clip(), (Ids{0, 2}));
    EXPECT_TRUE(Frames() == (Ids{0, 1, 2, 3}) && W().ThumbHighlight == (std::vector<int16_t>{1, 0, 1, 0}));
    // While the thumbnails show an older state, neither acts.
    SetClip({100}), Select({1, 2}), W().RequestStripRebuild();
    CtrlKey(Qt::Key_C), CtrlKey(Qt::Key_X);
    EXPECT_TRUE(Clip() == Ids{100} && Frames() == (Ids{0, 1, 2, 3}));
}

TEST_F(ClipboardTest, PasteAtEachPositionOrderAndScroll) {
    struct Case { int current, position; Ids frames; int scroll, remembered; };
    for (const Case& c : {Case{2, 0, {0, 1, 100, 101, 2, 3}, 1, 0}, Case{2, 1, {0, 1, 2, 100, 101, 3}, 1, 1},
                          Case{2, 2, {100, 101, 0, 1, 2, 3}, 0, 2}, Case{2, 3, {0, 1, 2, 3, 100, 101}, 4, 3},
                          Case{0, 0, {100, 101, 0, 1, 2, 3}, 0, 2}, Case{3, 1, {0, 1, 2, 3, 100, 101}, 4, 3}}) {
        SCOPED_TRACE(testing::Message() << "frame " << c.current << ", position " << c.position);
        MakeDirection(4), SetClip({100, 101}), W().FrameScroll->setValue(1), SP::CurFrame = c.current;
        PasteAt(c.position);
        EXPECT_EQ(Frames(), c.frames);
        EXPECT_TRUE(W().FrameScroll->value() == c.scroll && W().PasteMode == c.remembered);
        EXPECT_TRUE(SP::CurFrame == -1 && W().ThumbCount() == 6 && Clip() == (Ids{100, 101})); // the clipboard stays
        // The next dialog offers the remembered position.
        SP::CurFrame = 0, CtrlKey(Qt::Key_V);
        ASSERT_TRUE(W().PasteDialog);
        EXPECT_TRUE(W().PasteDialog->Option1[c.remembered]->isChecked());
        W().PasteDialog->close();
    }
    EXPECT_TRUE(Closed());
}

TEST_F(ClipboardTest, FramesGoToAnotherProjectButNoDirectionPastItsLimit) {
    MakeDirection(3), Select({0, 2}), SP::CurFrame = 2, CtrlKey(Qt::Key_C);
    const std::string other = dir / "other.sip";
    NewSheet(64, 64, "o.bmp"), W().Command1_Click(), Menu(W().mnuSaveAs, other);
    Menu(W().mnuOpen, other), W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
    SP::CurFrame = 0, PasteAt(3);
    EXPECT_EQ(Frames(), (Ids{-1, 0, 2}));
    SetFrames(32767), W().RebuildStripAt(0), SP::CurFrame = 0; // two more would pass 32,768
    CtrlKey(Qt::Key_V), QTest::mouseClick(W().PasteDialog->Command2, Qt::LeftButton);
    EXPECT_TRUE(Dir0().size() == 32767u && messages.Texts().back() == "A direction can hold no more than 32768 frames.");
}

TEST_F(ClipboardTest, TheDialogNeedsAFrameAndAClipboardOffersTheEndAndEscapeOrCancelPasteNothing) {
    MakeDirection(3), SetClip({100}), SP::CurFrame = -1;
    CtrlKey(Qt::Key_V);
    EXPECT_TRUE(W().PasteDialog.isNull());
    SP::CurFrame = 0, SetClip({}), W().mnuPaste->trigger();
    EXPECT_TRUE(W().PasteDialog.isNull());
    SetClip({100});
    // Escape wherever the focus is, and Cancel; another key leaves the dialog open.
    const std::vector<std::function<void(Form2*)>> closers = {
        [](Form2* d) { QTest::keyClick(d->Option1[1], Qt::Key_Escape); },
        [](Form2* d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](Form2* d) { QTest::mouseClick(d->Command1, Qt::LeftButton); },
    };
    for (size_t k = 0; k < closers.size(); ++k) {
        SP::CurFrame = 1, W().mnuPaste->trigger();
        Form2* dlg = W().PasteDialog;
        ASSERT_TRUE(dlg && dlg->isVisible() && !dlg->isModal() && dlg->parentWidget() == &W());
        EXPECT_TRUE(dlg->Option1[3]->isChecked() && dlg->Choice == 3) << k;
        QTest::keyClick(dlg->Option1[0], Qt::Key_A);
        EXPECT_TRUE(dlg->isVisible());
        closers[k](dlg);
        EXPECT_TRUE(Closed() && Frames() == (Ids{0, 1, 2}) && W().PasteMode == 3) << k;
    }
    EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(ClipboardTest, OkRechecksWhatThePasteNeeds) {
    const std::vector<std::tuple<const char*, int, std::function<void()>>> cases = {
        // what changes while the dialog is open, the position chosen
        {"no current frame", 0, [] { SP::CurFrame = -1; }},
        {"a stale current frame", 1, [] { SP::CurFrame = 9; }},
        {"no current direction", 3, [] { SP::CurDirection = -1; }},
        {"an empty clipboard", 3, [this] { W().ClipCount = 0; }},
        {"a Cut whose rebuild is pending", 1, [this] { W().SetThumbHighlight(2, 1), W().mnuCut_Click(); }},
    };
    for (const auto& [what, position, change] : cases) {
        SCOPED_TRACE(what);
        MakeDirection(3), SetClip({100}), SP::CurFrame = 1, messages.Shown.clear();
        CtrlKey(Qt::Key_V);
        ASSERT_TRUE(W().PasteDialog);
        QTest::mouseClick(W().PasteDialog->Option1[position], Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
        change();
        const Ids before = SP::CurDirection < 0 ? Ids{} : Frames();
        QTest::mouseClick(W().PasteDialog->Command2, Qt::LeftButton);
        EXPECT_TRUE(Closed());
        ASSERT_EQ(messages.Shown.size(), 1u);
        EXPECT_EQ(messages.Shown[0].Title, "Whoopsy!");
        SP::CurDirection = 0;
        EXPECT_TRUE((before.empty() || Frames() == before) && W().PasteMode == 3); // and nothing remembered
    }
}
