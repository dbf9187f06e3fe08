// The action and direction lists: add, remove, select, rename.
#include <QPushButton>

#include "EditorFixture.h"

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
    EXPECT_EQ(W().lstAction->currentText(), "draft"); // what is typed stays
    ASSERT_EQ(SP::Actions.size(), 1u);
    EXPECT_EQ(SP::Actions[0].Directions.size(), 1u);
    EXPECT_EQ(SP::CurAction, -1);
    // Without a current action the direction buttons and removal do nothing.
    for (QPushButton* b : {W().Command4, W().Command2, W().Command3}) b->click();
    EXPECT_EQ(W().lstDirection->count(), 0);
    EXPECT_EQ(W().lstAction->count(), 1);
}

TEST_F(EditorTest, RemovingActionsRenumbersNothingAndKeepsTheLast) {
    NewProject(WriteSheet("s.bmp", MakePicture(10, 10)));
    for (int i = 0; i < 3; ++i) W().Command1_Click();
    SP::Actions[2].Directions[0].Frames[0].X = 77; // follows its action down
    W().lstAction_Click(1);
    W().Command2_Click();
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 2"}));
    EXPECT_EQ(W().lstAction->currentText(), "");
    ASSERT_EQ(SP::Actions.size(), 2u);
    EXPECT_EQ(SP::Actions[1].Directions[0].Frames[0].X, 77);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_TRUE(W().StripRebuild->Pending());
    W().Command1_Click(); // the new text counts the entries
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 2", "Action 2"}));
    // Saved and reopened, the unnamed actions get their default names back.
    Menu(W().mnuSaveAs, dir / "p.sip");
    Menu(W().mnuOpen, dir / "p.sip");
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1", "Action 2"}));
    for (int i = 0; i < 3; ++i) { // the last one cannot go
        W().lstAction_Click(0);
        W().Command2_Click();
    }
    EXPECT_EQ(W().lstAction->count(), 1);
    EXPECT_EQ(SP::Actions.size(), 1u);
}

TEST_F(EditorTest, SelectingAnActionFillsTheDirectionListOnce) {
    W().Command1_Click();
    W().Command1_Click();
    SP::Actions[1].Directions.resize(3);
    SP::Actions[1].DirUBound = 2;
    SP::Actions[1].Directions[1].Name = "North";
    W().lstAction_Click(1);
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "North", "Dir 2"}));
    EXPECT_EQ(W().lstDirection->currentText(), "");
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
    SP::Actions[0].Directions[2].Frames[0].Y = 9;
    W().lstDirection_Click(1);
    EXPECT_EQ(SP::CurDirection, 1);
    W().Command3_Click();
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 2"}));
    EXPECT_EQ(SP::Actions[0].DirUBound, 1);
    EXPECT_EQ(SP::Actions[0].Directions.at(1).Frames[0].Y, 9);
    EXPECT_EQ(SP::CurDirection, -1);
    for (int i = 0; i < 2; ++i) { // the last direction stays
        W().lstDirection_Click(0);
        W().Command3_Click();
    }
    EXPECT_EQ(W().lstDirection->count(), 1);
    EXPECT_EQ(SP::Actions[0].Directions.size(), 1u);
}

TEST_F(EditorTest, RenamingWithEnterInTheEditField) {
    W().Command1_Click();
    W().Command1_Click();
    QLineEdit* edit = W().lstAction->lineEdit();
    edit->setText("Action 1"); // Enter without a current action neither renames nor picks
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1"}));
    W().lstAction->setCurrentIndex(-1);
    SendKey(W().lstAction, Qt::Key_Down); // the arrow key picks an entry as a click does
    EXPECT_EQ(SP::CurAction, 0);
    edit->clear();
    for (QChar c : QString("Walk")) SendKey(edit, 0, QString(c));
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Name, "Walk");
    EXPECT_EQ(Items(W().lstAction), QStringList({"Walk", "Action 1"}));
    // Text typed over another entry still renames the one selected last; empty is a name too.
    edit->setText("Run");
    SendKey(edit, Qt::Key_Enter);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Run", "Action 1"}));
    EXPECT_EQ(SP::Actions[1].Name, "");
    edit->clear();
    SendKey(edit, Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Name, "");
    EXPECT_EQ(W().lstAction->itemText(0), "");
    W().lstDirection_Click(0);
    W().lstDirection->lineEdit()->setText("East");
    SendKey(W().lstDirection->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(SP::Actions[0].Directions[0].Name, "East");
    EXPECT_EQ(W().lstDirection->itemText(0), "East");
}

TEST_F(EditorTest, NamesAreCutToWhatTheFileHolds) {
    W().Command1_Click();
    W().lstAction_Click(0);
    // Characters, not bytes: 300 two-byte characters keep 255 of them.
    for (QChar c : {QChar('a'), QChar(0xE9)}) {
        W().lstAction->lineEdit()->setText(QString(300, c));
        W().lstAction_KeyDown(13);
        EXPECT_EQ(QString::fromStdString(SP::Actions[0].Name), QString(255, c));
        EXPECT_EQ(W().lstAction->itemText(0), QString(255, c));
    }
    QString emoji; // no surrogate pair is split
    for (int i = 0; i < 400; ++i) emoji += QString::fromUcs4(U"\U0001F600", 1);
    const QString cut = QString::fromStdString(CutName(emoji.toStdString()));
    EXPECT_EQ(cut.toUcs4().size(), 255);
    EXPECT_TRUE(cut.isValidUtf16());
}
