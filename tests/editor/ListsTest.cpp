// The action and direction lists: add, remove, select, rename.
#include "EditorFixture.h"

TEST_F(EditorTest, RemovingActionsKeepsTheirNamesUntilReopenedAndKeepsTheLast) {
    NewSheet(10, 10), AddActions(3);
    SP::Actions[2].Directions[0].Frames[0].X = 77; // follows its action down
    W().lstAction_Click(1), W().Command2_Click();
    EXPECT_TRUE(Items(W().lstAction) == QStringList({"Action 0", "Action 2"}) && SP::Actions.at(1).Directions[0].Frames[0].X == 77);
    EXPECT_TRUE(W().lstAction->currentText().isEmpty() && SP::CurAction == -1);
    W().Command1_Click(); // the new text counts the entries
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 2", "Action 2"}));
    Menu(W().mnuSaveAs, dir / "p.sip"), Menu(W().mnuOpen, dir / "p.sip");
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1", "Action 2"}));
    for (int i = 0; i < 3; ++i) W().lstAction_Click(0), W().Command2_Click();
    EXPECT_TRUE(W().lstAction->count() == 1 && SP::Actions.size() == 1);
}

TEST_F(EditorTest, DirectionsAddRemoveAndSelect) {
    W().Command1_Click(), W().lstAction_Click(0), W().Command4_Click(), W().Command4_Click();
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 1", "Dir 2"}));
    SP::Actions[0].Directions.at(2).Frames[0].Y = 9;
    W().lstDirection_Click(1), W().Command3_Click();
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 2"}));
    EXPECT_TRUE(SP::Actions[0].DirUBound == 1 && SP::CurDirection == -1 && SP::Actions[0].Directions.at(1).Frames[0].Y == 9);
    for (int i = 0; i < 2; ++i) W().lstDirection_Click(0), W().Command3_Click(); // the last one stays
    EXPECT_TRUE(W().lstDirection->count() == 1 && SP::Actions[0].Directions.size() == 1);
    // Clicking the selected action again neither refills the list nor rebuilds the strip.
    WaitForRebuild();
    const int rebuilds = W().StripRebuilds;
    W().lstDirection->setEditText("typed"), W().lstAction_Click(0), WaitForRebuild();
    EXPECT_TRUE(W().lstDirection->currentText() == "typed" && W().StripRebuilds == rebuilds);
}

TEST_F(EditorTest, RenamingWithEnterInTheEditField) {
    AddActions(2);
    QLineEdit* edit = W().lstAction->lineEdit();
    edit->setText("Action 1"), SendKey(edit, Qt::Key_Return); // no current action: no rename, no pick
    EXPECT_EQ(SP::CurAction, -1);
    W().lstAction->setCurrentIndex(-1), SendKey(W().lstAction, Qt::Key_Down); // picks as a click does
    EXPECT_EQ(SP::CurAction, 0);
    edit->clear();
    for (QChar c : QString("Walk\r")) SendKey(edit, c == '\r' ? Qt::Key_Return : 0, QString(c));
    EXPECT_TRUE(SP::Actions[0].Name == "Walk" && Items(W().lstAction) == QStringList({"Walk", "Action 1"}));
    edit->setText("Run"), SendKey(edit, Qt::Key_Enter); // typed over another entry: still the selected one
    EXPECT_TRUE(Items(W().lstAction) == QStringList({"Run", "Action 1"}) && SP::Actions[1].Name.empty());
    edit->clear(), SendKey(edit, Qt::Key_Return); // the empty text is a name too
    EXPECT_EQ(SP::Actions[0].Name + W().lstAction->itemText(0).toStdString(), "");
    W().lstDirection_Click(0), W().lstDirection->lineEdit()->setText("East");
    SendKey(W().lstDirection->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(SP::Actions[0].Directions[0].Name == "East" && Items(W().lstDirection) == QStringList{"East"});
}
