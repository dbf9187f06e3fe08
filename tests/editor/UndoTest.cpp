// Undo and redo of every kind of edit, the modified state in the caption, and
// the question before New, Open, Import SIF, Exit or closing throws work away.
#include "EditorFixture.h"
#include "editor/Form2.h"
#include "sif/SifFile.h"

class UndoTest : public EditorTest {
protected:
    // The project file the model would make now.
    std::vector<uint8_t> Saved() {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_TRUE(BuildProjectBytes(SP::MaskColor, "s.bmp", SP::Actions, out, error)) << error;
        return out;
    }
    void Rename(QComboBox* list, const QString& name) {
        list->lineEdit()->setText(name);
        QTest::keyClick(list->lineEdit(), Qt::Key_Return);
    }
    void Mark(QPointF from, QPointF to) { Press(from), Move(to), Press(to); }
    void Paste(int position) {
        W().mnuPaste->trigger();
        ASSERT_TRUE(W().PasteDialog);
        QTest::mouseClick(W().PasteDialog->Option1[position], Qt::LeftButton);
        QTest::mouseClick(W().PasteDialog->Command2, Qt::LeftButton);
    }
};

TEST_F(UndoTest, EveryKindOfStepIsUndoneAndRedoneToTheFileOfItsMoment) {
    NewSheet(300, 300);
    EXPECT_FALSE(W().mnuUndo->isEnabled() || W().mnuRedo->isEnabled());
    std::vector<std::pair<QString, std::vector<uint8_t>>> states{{"", Saved()}};
    auto step = [&](const char* name, const std::function<void()>& edit) {
        edit();
        EXPECT_EQ(W().mnuUndo->text(), QString("Undo ") + name);
        states.emplace_back(W().mnuUndo->text(), Saved());
    };
    step("Add Action", [&] { W().Command1->click(); });
    step("Add Action", [&] { W().Command1->click(); });
    W().lstAction_Click(0);
    step("Rename Action", [&] { Rename(W().lstAction, "Walk"); });
    step("Add Direction", [&] { W().Command4->click(); });
    W().lstDirection_Click(1), WaitForRebuild();
    step("Rename Direction", [&] { Rename(W().lstDirection, "Left"); });
    step("New Frame", [&] { W().lblNewFrame_Click(); });
    step("New Frame", [&] { W().lblNewFrame_Click(); });
    ClickThumbOf(W(), 0);
    step("Mark Frame", [&] { Mark({10, 20}, {45, 61}); });
    step("Set Hot Spot", [&] { Press({30, 30}, Qt::RightButton); });
    step("Set Delay", [&] { W().ucSF_SetDelay(1, -7); });
    ClickThumbOf(W(), 1);
    step("Mark Frame", [&] { Mark({100, 100}, {90, 80}); });
    step("Delete Frame", [&] { DeleteThumb(2); });
    ClickThumbOf(W(), 0), W().mnuCopy->trigger();
    step("Paste Frames", [&] { Paste(3); });
    W().FrameScroll->setValue(0), ClickThumbOf(W(), 0);
    step("Cut Frames", [&] { W().mnuCut->trigger(), WaitForRebuild(); });
    step("Change Mask Color", [&] { dialogs.ColorAnswers.push_back(0x00FF00), W().Label6_DblClick(); });
    step("Remove Direction", [&] { W().Command3->click(), WaitForRebuild(); });
    step("Remove Action", [&] { W().Command2->click(), WaitForRebuild(); });

    for (size_t k = states.size() - 1; k > 0; --k) {
        ASSERT_EQ(W().mnuUndo->text(), states[k].first);
        W().mnuUndo->trigger();
        ASSERT_EQ(Saved(), states[k - 1].second) << states[k].first.toStdString() << " " << k;
    }
    EXPECT_TRUE(!W().mnuUndo->isEnabled() && W().mnuUndo->text() == "Undo" && W().lstAction->count() == 0);
    for (size_t k = 1; k < states.size(); ++k) {
        W().mnuRedo->trigger();
        ASSERT_EQ(Saved(), states[k].second) << states[k].first.toStdString();
    }
    EXPECT_FALSE(W().mnuRedo->isEnabled());
    EXPECT_TRUE(SP::MaskColor == 0x00FF00 && W().Picture2->BackColor() == 0x00FF00); // the views follow
}

TEST_F(UndoTest, UndoGoesBackToTheStepsDirectionAndANewEditDropsTheRedo) {
    NewSheet(200, 200), W().Command1_Click(), W().Command1_Click(), Menu(W().mnuSaveAs, dir / "walker.sip");
    W().lstAction_Click(1), W().Command4_Click(), W().lstDirection_Click(1), WaitForRebuild();
    W().lblNewFrame_Click(), W().lblNewFrame_Click(); // action 1, direction 1: three frames
    EXPECT_EQ(W().windowTitle(), "walker.sip* - Celwright (Beta 1.8)");
    W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
    W().mnuUndo->trigger(); // the second new frame, back in action 1 / direction 1
    EXPECT_TRUE(SP::CurAction == 1 && SP::CurDirection == 1 && W().lstDirection->currentIndex() == 1);
    EXPECT_TRUE(W().ThumbCount() == 2 && W().mnuRedo->text() == "Redo New Frame");
    W().Command4_Click();
    EXPECT_TRUE(!W().mnuRedo->isEnabled() && W().mnuRedo->text() == "Redo");
    for (int k = 0; k < 3; ++k) W().mnuUndo->trigger(); // the three steps since the save
    EXPECT_EQ(W().windowTitle(), "walker.sip - Celwright (Beta 1.8)"); // back at the saved point
}

TEST_F(UndoTest, UnsavedWorkIsAskedForBeforeItGoes) {
    const std::string other = dir / "other.sip";
    NewSheet(60, 60), W().Command1_Click(), Menu(W().mnuSaveAs, other);
    const std::vector<uint8_t> otherBytes = ReadFileBytes(other);
    enum Command { New, Open, Import, Exit, Close };
    for (Command c : {New, Open, Import, Exit, Close}) {
        for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Yes, MsgAnswer::OK}) {
            SCOPED_TRACE(std::to_string(c) + " " + std::to_string(int(answer)));
            // A project saved as work.sip with one unsaved action more (OK: nothing unsaved).
            dialogs.FileAnswers.clear(), Fresh(), NewSheet(60, 60), W().Command1_Click();
            Menu(W().mnuSaveAs, dir / "work.sip");
            const std::vector<uint8_t> before = ReadFileBytes(dir / "work.sip");
            if (answer != MsgAnswer::OK) W().Command1_Click();
            messages.Shown.clear(), dialogs.FileRequests.clear();
            messages.Answers = {answer};
            switch (c) {
            case New: Menu(W().mnuNew, dir / "s.bmp"); break;
            case Open: Menu(W().mnuOpen, other); break;
            case Import: Menu(W().mnuImportSIF, ""); break;
            case Exit: W().mnuExit->trigger(); break;
            case Close: W().close(); break;
            }
            const bool asked = !messages.Shown.empty() && messages.Shown[0].Text == "Save changes to the project?";
            EXPECT_EQ(asked, answer != MsgAnswer::OK);
            EXPECT_TRUE(!asked || messages.Shown[0].Buttons == MsgButtons::YesNoCancel);
            const bool went = answer != MsgAnswer::Cancel; // the command went on
            EXPECT_EQ(dialogs.FileRequests.size(), went && c <= Import ? 1u : 0u);
            EXPECT_EQ(W().isVisible(), !(went && c >= Exit));
            EXPECT_EQ(ReadFileBytes(dir / "work.sip") == before, answer != MsgAnswer::Yes); // Yes saved
            // New and Open replace the project (Import's dialog was cancelled).
            const int actions = answer == MsgAnswer::OK ? 1 : 2;
            EXPECT_EQ(W().lstAction->count(), went && c == New ? 0 : went && c == Open ? 1 : actions);
        }
    }
    EXPECT_EQ(ReadFileBytes(other), otherBytes);
}

TEST_F(UndoTest, AnUnnamedProjectIsSavedAsFirstAndACancelledSaveCancelsTheCommand) {
    NewSheet(60, 60), W().Command1_Click();
    messages.Answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    dialogs.FileAnswers = {""}; // the Save As dialog, cancelled
    W().close();
    EXPECT_TRUE(W().isVisible() && dialogs.FileRequests.back().Title == "Save Sprite Project As...");
    dialogs.FileAnswers = {dir / "first.sip"};
    W().close();
    EXPECT_TRUE(!W().isVisible() && FileExists(dir / "first.sip"));
}
