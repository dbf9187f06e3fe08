// The action and direction lists: add, remove, select, rename.
#include <QPushButton>

#include "EditorFixture.h"

namespace SP = SpriteProject;

namespace {

QStringList Items(QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
}

} // namespace

TEST_F(EditorTest, FirstPlusShowsThePlaceholderAndSelectsNothing) {
    SP::Actions[0].Directions.resize(3); // whatever the placeholder held is replaced
    W().lstAction->setEditText("draft");
    W().Command1->click();
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0"}));
    EXPECT_EQ(W().lstAction->currentIndex(), -1);
    EXPECT_EQ(W().lstAction->currentText(), "draft"); // what is typed stays
    ASSERT_EQ(SP::Actions.size(), 1u);
    EXPECT_EQ(SP::Actions[0].DirUBound, 0);
    ASSERT_EQ(SP::Actions[0].Directions.size(), 1u);
    EXPECT_EQ(SP::Actions[0].Directions[0].Frames.size(), 1u);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_FALSE(W().StripRebuild->Pending());
    // Without a current action the direction buttons and removal do nothing.
    W().Command4->click();
    W().Command2->click();
    W().Command3->click();
    EXPECT_EQ(W().lstDirection->count(), 0);
    EXPECT_EQ(W().lstAction->count(), 1);
}

TEST_F(EditorTest, RemovingTheMiddleOfThreeActions) {
    for (int i = 0; i < 3; ++i) W().Command1_Click();
    SP::Actions[2].Directions[0].Frames[0].X = 77; // follows its action down
    W().lstAction_Click(1);
    EXPECT_EQ(SP::CurAction, 1);
    W().Command2_Click();
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 2"}));
    EXPECT_EQ(W().lstAction->currentText(), "");
    ASSERT_EQ(SP::Actions.size(), 2u);
    EXPECT_EQ(SP::Actions[1].Directions[0].Frames[0].X, 77);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_EQ(SP::CurDirection, -1);
    EXPECT_EQ(W().lstDirection->count(), 0);
    EXPECT_TRUE(W().StripRebuild->Pending());
    // The new text counts the entries.
    W().Command1_Click();
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 2", "Action 2"}));
    // The last one cannot go.
    W().lstAction_Click(0);
    W().Command2_Click();
    W().lstAction_Click(0);
    W().Command2_Click();
    EXPECT_EQ(W().lstAction->count(), 1);
    W().lstAction_Click(0);
    W().Command2_Click();
    EXPECT_EQ(W().lstAction->count(), 1);
    EXPECT_EQ(SP::Actions.size(), 1u);
}

TEST_F(EditorTest, RemovedActionsSaveAndReopenWithDefaultNames) {
    NewProject(WriteSheet("s.bmp", MakePicture(10, 10)));
    for (int i = 0; i < 3; ++i) W().Command1_Click();
    W().lstAction_Click(1);
    W().Command2_Click();
    W().Command1_Click();
    dialogs.FileAnswers.push_back(dir / "p.sip");
    W().mnuSaveAs->trigger();
    dialogs.FileAnswers.push_back(dir / "p.sip");
    W().mnuOpen->trigger();
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1", "Action 2"}));
}

TEST_F(EditorTest, SelectingAnActionFillsTheDirectionListOnce) {
    W().Command1_Click();
    W().Command1_Click();
    SP::Actions[1].Directions.resize(3);
    SP::Actions[1].DirUBound = 2;
    SP::Actions[1].Directions[1].Name = "North";
    W().lstAction_Click(1);
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "North", "Dir 2"}));
    EXPECT_EQ(W().lstDirection->currentIndex(), -1);
    EXPECT_EQ(W().lstDirection->currentText(), "");
    EXPECT_TRUE(W().StripRebuild->Pending());
    WaitForRebuild();

    // Clicking the selected action again rebuilds nothing.
    W().lstDirection->setEditText("typed");
    const int rebuilds = W().StripRebuilds;
    W().lstAction_Click(1);
    EXPECT_EQ(W().lstDirection->currentText(), "typed");
    EXPECT_FALSE(W().StripRebuild->Pending());
    EXPECT_EQ(W().StripRebuilds, rebuilds);
}

TEST_F(EditorTest, DirectionsAddRemoveAndSelect) {
    W().Command1_Click();
    W().lstAction_Click(0);
    W().Command4_Click();
    W().Command4_Click();
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 1", "Dir 2"}));
    EXPECT_EQ(SP::Actions[0].DirUBound, 2);
    ASSERT_EQ(SP::Actions[0].Directions.size(), 3u);
    EXPECT_EQ(SP::Actions[0].Directions[2].Frames.size(), 1u);
    EXPECT_EQ(SP::CurDirection, -1);

    SP::Actions[0].Directions[2].Frames[0].Y = 9;
    W().lstDirection_Click(1);
    EXPECT_EQ(SP::CurDirection, 1);
    W().Command3_Click();
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 2"}));
    EXPECT_EQ(SP::Actions[0].DirUBound, 1);
    ASSERT_EQ(SP::Actions[0].Directions.size(), 2u);
    EXPECT_EQ(SP::Actions[0].Directions[1].Frames[0].Y, 9);
    EXPECT_EQ(SP::CurDirection, -1);
    EXPECT_TRUE(W().StripRebuild->Pending());

    W().lstDirection_Click(0);
    W().Command3_Click();
    W().lstDirection_Click(0);
    W().Command3_Click(); // the last direction stays
    EXPECT_EQ(W().lstDirection->count(), 1);
    EXPECT_EQ(SP::Actions[0].Directions.size(), 1u);
}

TEST_F(EditorTest, RenamingWithEnterInTheEditField) {
    W().Command1_Click();
    W().Command1_Click();
    QLineEdit* edit = W().lstAction->lineEdit();
    // Enter without a current action does nothing, and picks no entry either.
    edit->setText("Action 1");
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1"}));

    // The arrow key picks an entry as a click does.
    W().lstAction->setCurrentIndex(-1);
    SendKey(W().lstAction, Qt::Key_Down);
    EXPECT_EQ(SP::CurAction, 0);
    edit->clear();
    TypeText(edit, "Walk");
    EXPECT_EQ(edit->text(), "Walk");
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Name, "Walk");
    EXPECT_EQ(Items(W().lstAction), QStringList({"Walk", "Action 1"}));
    EXPECT_EQ(W().lstAction->currentText(), "Walk");

    // Text typed over another entry still renames the one selected last.
    edit->setText("Run");
    SendKey(edit, Qt::Key_Enter);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Run", "Action 1"}));
    EXPECT_EQ(SP::Actions[1].Name, "");

    // The empty text is a name too.
    edit->clear();
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Name, "");
    EXPECT_EQ(W().lstAction->itemText(0), "");

    // Directions rename the same way, once one is selected.
    W().lstDirection_Click(0);
    QLineEdit* dedit = W().lstDirection->lineEdit();
    dedit->setText("East");
    SendKey(dedit, Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Directions[0].Name, "East");
    EXPECT_EQ(W().lstDirection->itemText(0), "East");
}

TEST_F(EditorTest, NamesAreCutToWhatTheFileHolds) {
    W().Command1_Click();
    W().lstAction_Click(0);
    W().lstAction->lineEdit()->setText(QString(300, QChar('a')));
    W().lstAction_KeyDown(13);
    EXPECT_EQ(SP::Actions[0].Name, std::string(255, 'a'));
    EXPECT_EQ(W().lstAction->itemText(0).size(), 255);

    // Characters, not bytes: 300 two-byte characters keep 255 of them.
    W().lstAction->lineEdit()->setText(QString(300, QChar(0xE9)));
    W().lstAction_KeyDown(13);
    EXPECT_EQ(QString::fromStdString(SP::Actions[0].Name), QString(255, QChar(0xE9)));
    // No surrogate pair is split.
    QString emoji;
    for (int i = 0; i < 400; ++i) emoji += QString::fromUcs4(U"\U0001F600", 1);
    const QString cut = QString::fromStdString(CutName(emoji.toStdString()));
    EXPECT_EQ(cut.toUcs4().size(), 255);
    EXPECT_TRUE(cut.isValidUtf16());
}
