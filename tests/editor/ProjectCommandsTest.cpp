// New, Open, Save, Save As and the round trip through a project file.
#include <QCoreApplication>

#include "EditorFixture.h"
#include "base/ByteIO.h"
#include "sif/SifFile.h"

namespace {

const std::string SipFilter = std::string("Sprite Image Projects (*.sip)") + '\0' + "*.sip";

void ExpectRequest(const FileDialogRequest& r, int kind, const char* title, const char* name,
                   const std::string& filter, const std::string& initDir) {
    EXPECT_EQ(r.DialogKind, kind);
    EXPECT_EQ(r.Title, title);
    EXPECT_EQ(r.DefaultName, name);
    EXPECT_EQ(r.Filter, filter);
    EXPECT_EQ(r.InitDir, initDir);
    EXPECT_EQ(r.DefExt, std::string(name).substr(2));
}

} // namespace

TEST_F(EditorTest, CancelledDialogsChangeNothing) {
    NewProject(WriteSheet("keep.bmp", MakePicture(40, 30, 0x00AA00)));
    W().Command1_Click();
    const std::string workDir = SP::WorkDir;
    for (QAction* a : {W().mnuNew, W().mnuOpen, W().mnuSaveAs, W().mnuImportSIF, W().mnuExportSIF[2]})
        a->trigger();
    EXPECT_EQ(dialogs.FileRequests.size(), 6u);
    EXPECT_EQ(SP::WorkDir, workDir);
    EXPECT_EQ(SP::SheetFile, "keep.bmp");
    EXPECT_EQ(SP::ProjectFile, "");
    EXPECT_EQ(W().lstAction->count(), 1);
    EXPECT_TRUE(SP::Sheet.Loaded());
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"keep.bmp"});
    EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(EditorTest, NewProjectAsksForASheetAndShowsIt) {
    const std::string start = SP::WorkDir;
    SP::ProjectFile = "old.sip";
    NewProject(WriteSheet("hero.bmp", PositionSheet(300, 200)));
    ASSERT_EQ(dialogs.FileRequests.size(), 1u);
    ExpectRequest(dialogs.FileRequests[0], 1, "Load Sprite Sheet", "*.bmp",
                  std::string("Bitmap Files (*.bmp)") + '\0' + "*.bmp", start);
    EXPECT_EQ(SP::WorkDir, dir.Path());
    EXPECT_EQ(SP::SheetFile, "hero.bmp");
    EXPECT_EQ(SP::ProjectFile, "old.sip");
    EXPECT_EQ(W().Picture2->PictureWidth(), 300);
    EXPECT_EQ(W().Picture2->PictureHeight(), 200);
    EXPECT_EQ(W().TNScrollH->maximum(), 44);
    EXPECT_EQ(W().TNScrollV->maximum(), 0);
    EXPECT_EQ(W().Picture1->PixelAt(0, 0), PositionColor(0, 0));
    EXPECT_EQ(W().Picture1->PixelAt(255, 101), PositionColor(127, 50));
    EXPECT_TRUE(W().lblNewFrame->isHidden());
    NewProject(dir / "missing.bmp"); // opens in the sheet's folder; a bad sheet leaves an empty view
    EXPECT_EQ(dialogs.FileRequests[1].InitDir, dir.Path());
    EXPECT_EQ(messages.Shown.at(0).Title, "Whoops");
    EXPECT_FALSE(SP::Sheet.Loaded());
    EXPECT_EQ(W().Picture2->PictureWidth(), 1);
    EXPECT_EQ(W().ZoomCenterX, -63); // the far clamp of a 1-pixel overview wins
}

TEST_F(EditorTest, SaveOnAFreshWindowBehavesAsSaveAs) {
    NewProject(WriteSheet("a.bmp", MakePicture(20, 20)));
    const std::string sip = dir / "p.sip";
    Menu(W().mnuSave, sip);
    ASSERT_EQ(dialogs.FileRequests.size(), 2u);
    ExpectRequest(dialogs.FileRequests[1], 0, "Save Sprite Project As...", "*.sip", SipFilter, dir.Path());
    EXPECT_EQ(SP::ProjectFile, "p.sip");
    // The placeholder project: 4 + 2 + path + 2 + 1 + 2 + 1 + 2 + 28 bytes.
    EXPECT_EQ(ReadFileBytes(sip).size(), 42u + (dir.Path() + "a.bmp").size());
    std::remove(sip.c_str());
    W().mnuSave->trigger(); // now without asking
    EXPECT_EQ(dialogs.FileRequests.size(), 2u);
    EXPECT_TRUE(FileExists(sip));
}

TEST_F(EditorTest, RoundTripThroughAProjectFile) {
    NewProject(WriteSheet("walk.bmp", PositionSheet(320, 240)));
    W().Command1_Click();
    W().lstAction_Click(0);
    W().Command4_Click();
    W().lstDirection_Click(1);
    WaitForRebuild();
    W().lblNewFrame_Click();
    W().lblNewFrame_Click();
    const FrameData f{10, 20, 32, 16, {0xAB, 0}, 5, 3, -2}; // Height 32, Width 16
    SP::Actions[0].Directions[1].Frames[1] = f;
    const std::string sip = dir / "walk.sip";
    Menu(W().mnuSaveAs, sip);

    // Mask, sheet path, one action with two directions of 1 and 3 frames.
    const std::vector<uint8_t> bytes = ReadFileBytes(sip);
    const std::string sheetPath = dir.Path() + "walk.bmp";
    ByteReader r(bytes);
    int32_t mask = -1;
    int16_t len = 0;
    ASSERT_TRUE(r.I32(mask) && r.I16(len));
    EXPECT_EQ(mask, 0);
    ASSERT_EQ(len, static_cast<int16_t>(sheetPath.size()));
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 6 + len), sheetPath);
    const size_t tree = 6 + len;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + tree, bytes.begin() + tree + 8),
              (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(bytes.size(), tree + 8 + 28 + 3 + 3 * 28);

    Fresh();
    Menu(W().mnuOpen, sip);
    ExpectRequest(dialogs.FileRequests.back(), 1, "Load Sprite Project", "*.sip", SipFilter,
                  QCoreApplication::applicationDirPath().toStdString());
    EXPECT_EQ(SP::WorkDir, dir.Path());
    EXPECT_EQ(SP::ProjectFile, "walk.sip");
    EXPECT_EQ(SP::SheetFile, "walk.bmp");
    ASSERT_EQ(W().lstAction->count(), 1);
    EXPECT_EQ(W().lstAction->itemText(0), "Action 0");
    EXPECT_EQ(W().lstAction->currentText(), "");
    EXPECT_EQ(W().lstDirection->count(), 0);
    EXPECT_EQ(W().Picture1->PixelAt(2, 2), PositionColor(1, 1));
    W().lstAction_Click(0);
    ASSERT_EQ(W().lstDirection->count(), 2);
    EXPECT_EQ(W().lstDirection->itemText(1), "Dir 1");
    W().lstDirection_Click(1);
    WaitForRebuild();
    EXPECT_EQ(SP::Actions[0].Directions[1].Frames[1], f);
    ASSERT_NE(W().ThumbWidget(1), nullptr);
    EXPECT_EQ(W().ThumbWidget(1)->SizeText(), "32x16");
    EXPECT_EQ(W().ThumbWidget(1)->LocText(), "(10,20)");
    EXPECT_EQ(W().ThumbWidget(1)->HSText(), "(3,-2)");
    EXPECT_EQ(W().ThumbWidget(1)->DelayText(), "5");
    EXPECT_EQ(W().lblNewFrame->x(), 3 * 89);
    EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(EditorTest, OpenWithoutItsSheetStaysResetWithNamesSet) {
    NewProject(WriteSheet("gone.bmp", MakePicture(10, 10)));
    W().Command1_Click();
    W().Command1_Click();
    Menu(W().mnuSaveAs, dir / "p.sip");
    std::remove((dir / "gone.bmp").c_str());
    Menu(W().mnuOpen, dir / "p.sip");
    ASSERT_EQ(messages.Texts(), std::vector<std::string>{"Can't find source image!"});
    EXPECT_EQ(SP::ProjectFile, "p.sip");
    EXPECT_EQ(W().lstAction->count(), 0);
    EXPECT_EQ(SP::Actions.size(), 1u);
    EXPECT_FALSE(SP::Sheet.Loaded());
    // A path without a folder stops before the reset.
    W().Command1_Click();
    Menu(W().mnuOpen, "bare.sip");
    EXPECT_EQ(SP::ProjectFile, "bare.sip");
    EXPECT_EQ(SP::WorkDir, "");
    EXPECT_EQ(W().lstAction->count(), 1);
}

TEST_F(EditorTest, OpenLoadsTheSheetWhereTheSearchFoundIt) {
    TempDir other;
    const std::string sheet = other / "far.bmp";
    WriteFileBytes(sheet, MakeBmp24(PositionSheet(64, 64)));
    NewProject(sheet);
    const std::string sip = dir / "p.sip";
    Menu(W().mnuSaveAs, sip); // stores dir + "far.bmp": point it at the other folder
    std::vector<uint8_t> bytes = ReadFileBytes(sip), fixed(bytes.begin(), bytes.begin() + 4);
    ByteWriter(fixed).I16(static_cast<int16_t>(sheet.size()));
    fixed.insert(fixed.end(), sheet.begin(), sheet.end());
    fixed.insert(fixed.end(), bytes.begin() + 6 + (dir.Path() + "far.bmp").size(), bytes.end());
    WriteFileBytes(sip, fixed);
    Menu(W().mnuOpen, sip);
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(SP::FoundSheetPath, sheet);
    // 64 pixels at zoom 2: centre 0, so the sheet begins in the middle of the view.
    EXPECT_EQ(W().Picture1->PixelAt(126, 126), 0);
    EXPECT_EQ(W().Picture1->PixelAt(128, 128), PositionColor(0, 0));
}

TEST_F(EditorTest, SaveAsAfterImportSavesTheSheetAndAsksBeforeReplacingOne) {
    NewProject(WriteSheet("src.bmp", PositionSheet(40, 30)));
    const std::string sif = dir / "x.sif";
    ASSERT_TRUE(SP::WriteSIF(sif, 5, 1, 1));
    SP::SheetFile.clear();
    Menu(W().mnuImportSIF, sif);
    ASSERT_TRUE(SP::Sheet.Loaded());
    const std::string workDir = SP::WorkDir;

    // A bitmap of the derived name exists: No writes nothing and changes nothing.
    TempDir out;
    const std::vector<uint8_t> old = {1, 2, 3};
    WriteFileBytes(out / "hero.bmp", old);
    messages.Answers.push_back(MsgAnswer::No);
    Menu(W().mnuSaveAs, out / "hero.sip");
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].Text, "Do you want to over write the file:\n\n" + out.Path() + "hero.bmp");
    EXPECT_EQ(messages.Shown[0].Title, "Hold up!");
    EXPECT_EQ(messages.Shown[0].Buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Question);
    EXPECT_EQ(ReadFileBytes(out / "hero.bmp"), old);
    EXPECT_FALSE(FileExists(out / "hero.sip"));
    EXPECT_EQ(SP::WorkDir, workDir);
    EXPECT_EQ(SP::ProjectFile + SP::SheetFile, "");

    // Yes: the sheet goes beside the project under the project's name.
    messages.Answers.push_back(MsgAnswer::Yes);
    Menu(W().mnuSaveAs, out / "hero.sip");
    EXPECT_EQ(SP::SheetFile, "hero.bmp");
    EXPECT_EQ(SP::ProjectFile, "hero.sip");
    EXPECT_EQ(SP::WorkDir, out.Path());
    EXPECT_EQ(ListDir(out.Path()), (std::vector<std::string>{"hero.bmp", "hero.sip"}));
    const std::vector<uint8_t> bmp = ReadFileBytes(out / "hero.bmp");
    ASSERT_EQ(bmp.size(), 54u + 120u * 30u);
    // Bottom-left pixel first, blue-green-red: sheet pixel (0, 29).
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.begin() + 57), (std::vector<uint8_t>{0x40, 29, 0}));

    // Without an existing bitmap nothing is asked.
    SP::SheetFile.clear();
    TempDir fresh;
    Menu(W().mnuSaveAs, fresh / "v.sip");
    EXPECT_EQ(messages.Shown.size(), 2u);
    EXPECT_EQ(ListDir(fresh.Path()), (std::vector<std::string>{"v.bmp", "v.sip"}));
}
