// Export to SIF and Import SIF through the menus.
#include "EditorFixture.h"
#include "sif/SifFile.h"

namespace {

const std::string SifFilter = std::string("Sprite Image Format files (*.sif)") + '\0' + "*.sif";

} // namespace

TEST_F(EditorTest, ExportWritesTheChosenModeAndFlags) {
    NewProject(WriteSheet("s.bmp", PositionSheet(30, 20)));
    const std::string workDir = SP::WorkDir, sif = dir / "out.sif";
    W().mnuCompress_Click(0);
    W().mnuCompress_Click(1);
    EXPECT_FALSE(W().mnuCompress[0]->isChecked() || W().mnuCompress[1]->isChecked());
    Menu(W().mnuExportSIF[5], sif);
    ASSERT_EQ(dialogs.FileRequests.size(), 2u);
    const FileDialogRequest& r = dialogs.FileRequests[1];
    EXPECT_EQ(r.DialogKind, 0);
    EXPECT_EQ(r.Title, "Save Sprite Image File As...");
    EXPECT_EQ(r.DefaultName, "*.sif");
    EXPECT_EQ(r.Filter, SifFilter);
    EXPECT_EQ(r.InitDir, workDir);
    EXPECT_EQ(r.DefExt, "sif");
    // The placeholder project, both options off: header, then the 34-byte block.
    const std::vector<uint8_t> bytes = ReadFileBytes(sif);
    ASSERT_GE(bytes.size(), 42u + 17u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x53, 0x46, 1, 0, 0x2B, 0, 0, 0}));
    EXPECT_EQ(bytes[42 + 16], 5); // the depth mode
    EXPECT_EQ(SP::WorkDir, workDir);
    // Both options back on through the menu: flags 3.
    W().mnuCompress[0]->trigger();
    W().mnuCompress[1]->trigger();
    Menu(W().mnuExportSIF[2], sif);
    EXPECT_EQ(ReadFileBytes(sif)[3], 3);
    EXPECT_TRUE(messages.Shown.empty());
    // No depth mode 3 (nor any other number) exists: refused, nothing written.
    for (int bad : {3, 300}) {
        dialogs.FileAnswers.push_back(dir / "bad.sif");
        W().mnuExportSIF_Click(bad);
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "Invalid bit depth mode specified."));
    EXPECT_FALSE(FileExists(dir / "bad.sif"));
}

TEST_F(EditorTest, ImportRebuildsTheProjectAndShowsTheSheet) {
    NewProject(WriteSheet("s.bmp", PositionSheet(300, 280)));
    for (int i = 0; i < 3; ++i) W().Command1_Click();
    const FrameData f{1, 2, 3, 4, {9, 8}, 7, -1, -2};
    SP::Actions[2].Directions[0].Frames[0] = f;
    SP::Actions[2].Name = "Named";
    SP::MaskColor = 0x00FF00;
    const std::string sif = dir / "in.sif";
    Menu(W().mnuExportSIF[5], sif);

    SP::MaskColor = 0;
    Fresh();
    const std::string workDir = SP::WorkDir;
    Menu(W().mnuImportSIF, sif);
    const FileDialogRequest& r = dialogs.FileRequests.back();
    EXPECT_EQ(r.DialogKind, 1);
    EXPECT_EQ(r.Title, "Import Sprite Image Format file");
    EXPECT_EQ(r.Filter, SifFilter);
    EXPECT_TRUE(messages.Shown.empty());
    ASSERT_EQ(W().lstAction->count(), 3);
    EXPECT_EQ(W().lstAction->itemText(2), "Action 2");
    EXPECT_EQ(SP::Actions[2].Name, "");
    EXPECT_EQ(SP::Actions[2].Directions[0].Frames[0], f);
    EXPECT_EQ(SP::MaskColor, 0x00FF00);
    EXPECT_EQ(SP::WorkDir, workDir);
    EXPECT_EQ(W().TNScrollH->maximum(), 44);
    EXPECT_EQ(W().TNScrollV->maximum(), 24);
    EXPECT_EQ(W().ContrastColor, 0xFF00FF);
    EXPECT_EQ(W().Picture1->PixelAt(10, 10), PositionColor(5, 5));
    EXPECT_EQ(W().Picture2->PixelAt(200, 200), PositionColor(200, 200));
}

TEST_F(EditorTest, ImportOfABadOrDamagedFileReportsAndLeavesTheReset) {
    NewProject(WriteSheet("s.bmp", PositionSheet(40, 40)));
    for (int i = 0; i < 4; ++i) W().Command1_Click();
    const std::string bad = dir / "bad.sif", cut = dir / "cut.sif", flipped = dir / "flipped.sif";
    WriteFileBytes(bad, {'X', 'Y', 1, 0, 0, 0, 0, 0});
    ASSERT_TRUE(SP::WriteSIF(cut, 5, 1, 0));
    ASSERT_TRUE(SP::WriteSIF(flipped, 4, 1, 1));
    // One ends inside its image stream; the other's coded structure block no longer matches its checksum.
    std::vector<uint8_t> bytes = ReadFileBytes(cut);
    WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.end() - 10));
    bytes = ReadFileBytes(flipped);
    bytes[14] ^= 0x5A;
    WriteFileBytes(flipped, bytes);
    for (const std::string& path : {bad, cut, flipped}) {
        SCOPED_TRACE(path);
        messages.Shown.clear();
        SP::MaskColor = 0x010203;
        Menu(W().mnuImportSIF, path);
        ASSERT_GE(messages.Shown.size(), 2u);
        if (path == bad) {
            EXPECT_EQ(messages.Shown.size(), 2u);
            EXPECT_EQ(messages.Shown[0].Text, "File contents not recognised!");
            EXPECT_EQ(messages.Shown[0].Title, "Ahem...");
        }
        EXPECT_EQ(messages.Shown.back().Text, "SIF import aborted.");
        EXPECT_EQ(messages.Shown.back().Title, "Dangit...");
        EXPECT_EQ(messages.Shown.back().Icon, MsgIcon::Critical);
        EXPECT_EQ(SP::Actions.size(), 1u);
        EXPECT_EQ(SP::Actions[0].Directions.size(), 1u);
        EXPECT_EQ(SP::MaskColor, 0x010203);
        EXPECT_EQ(W().lstAction->count(), 0);
        EXPECT_FALSE(SP::Sheet.Loaded());
    }
}
