// New, Open, Save, Save As and the round trip through a project file.
#include "EditorFixture.h"
#include "sif/SifFile.h"

TEST_F(EditorTest, CancelledDialogsChangeNothing) {
    NewSheet(40, 30, "keep.bmp"), W().Command1_Click();
    for (QAction* a : {W().mnuNew, W().mnuOpen, W().mnuSaveAs, W().mnuImportSIF, W().mnuExportSIF[2]})
        a->trigger();
    EXPECT_EQ(dialogs.FileRequests.size(), 6u);
    EXPECT_EQ(Names(), dir.Path() + "|keep.bmp|");
    EXPECT_TRUE(W().lstAction->count() == 1 && SP::Sheet.Loaded());
    // The added action is unsaved: New, Open and Import asked first (and heard No).
    EXPECT_EQ(messages.Texts(), Strings(3, "Save changes to the project?"));
    EXPECT_EQ(ListDir(dir.Path()), Strings{"keep.bmp"});
}

TEST_F(EditorTest, NewProjectShowsTheSheetOrAnEmptyViewForABadOne) {
    SP::ProjectFile = "old.sip", NewSheet(300, 200, "hero.bmp");
    EXPECT_EQ(Names(), dir.Path() + "|hero.bmp|old.sip");
    EXPECT_TRUE(Zoomed(0, 0) == PositionColor(0, 0) && Zoomed(255, 101) == PositionColor(127, 50));
    Menu(W().mnuNew, dir / "missing.bmp"); // asked in the sheet's folder
    EXPECT_EQ(dialogs.FileRequests.at(1).InitDir, dir.Path());
    EXPECT_EQ(messages.Shown.at(0).Title, "Whoops");
    EXPECT_TRUE(!SP::Sheet.Loaded() && W().Picture2->PictureWidth() == 1);
}

TEST_F(EditorTest, RoundTripThroughAProjectFile) {
    NewSheet(320, 240, "walk.bmp");
    W().Command1_Click(), W().lstAction_Click(0), W().Command4_Click(), W().lstDirection_Click(1);
    WaitForRebuild(), W().lblNewFrame_Click(), W().lblNewFrame_Click();
    const FrameData f{10, 20, 32, 16, {0xAB, 0}, 5, 3, -2}; // Height 32, Width 16
    const std::string sip = dir / "walk.sip", sheetPath = dir.Path() + "walk.bmp";
    SP::Actions[0].Directions[1].Frames[1] = f, Menu(W().mnuSaveAs, sip);
    // Mask, sheet path, one action with two directions of 1 and 3 frames.
    const std::vector<uint8_t> b = ReadFileBytes(sip);
    const std::string head =
        std::string(4, '\0') + char(sheetPath.size()) + '\0' + sheetPath + std::string("\0\0\0\1\0\0\0\0", 8);
    ASSERT_EQ(b.size(), head.size() + 28 + 3 + 3 * 28);
    EXPECT_EQ(std::string(b.begin(), b.begin() + head.size()), head);

    Fresh(), Menu(W().mnuOpen, sip);
    EXPECT_EQ(Names(), dir.Path() + "|walk.bmp|walk.sip");
    EXPECT_TRUE(Items(W().lstAction) == QStringList{"Action 0"} && W().lstAction->currentText().isEmpty());
    EXPECT_EQ(Zoomed(2, 2), PositionColor(1, 1));
    W().lstAction_Click(0);
    EXPECT_EQ(Items(W().lstDirection), QStringList({"Dir 0", "Dir 1"}));
    W().lstDirection_Click(1), WaitForRebuild();
    EXPECT_EQ(SP::Actions[0].Directions[1].Frames[1], f);
    EXPECT_TRUE(Captions(1) == "Frame 1 (10,20) 32x16 (3,-2) 5" && W().ThumbCount() == 3 && messages.Shown.empty());
}

TEST_F(EditorTest, SaveAsksOnceAndOpenWithoutTheSheetStaysResetWithNamesSet) {
    NewSheet(10, 10, "gone.bmp"), AddActions(2);
    const std::string sip = dir / "p.sip";
    Menu(W().mnuSave, sip); // a fresh window's Save is a Save As
    EXPECT_EQ(dialogs.FileRequests.at(1).Title, "Save Sprite Project As...");
    std::remove(sip.c_str()), W().mnuSave->trigger(); // now without asking
    EXPECT_TRUE(dialogs.FileRequests.size() == 2 && FileExists(sip));
    std::remove((dir / "gone.bmp").c_str()), Menu(W().mnuOpen, sip);
    EXPECT_EQ(messages.Texts(), Strings{"Can't find source image!"});
    EXPECT_EQ(Names(), dir.Path() + "|gone.bmp|p.sip");
    EXPECT_TRUE(W().lstAction->count() == 0 && SP::Actions.size() == 1 && !SP::Sheet.Loaded());
    W().Command1_Click(), Menu(W().mnuOpen, "bare.sip"); // a path without a folder stops before the reset
    EXPECT_TRUE(Names() == "|gone.bmp|bare.sip" && W().lstAction->count() == 1);
}
