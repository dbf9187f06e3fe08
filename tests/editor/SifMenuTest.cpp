// Export to SIF and Import SIF through the menus.
#include "EditorFixture.h"
#include "sif/SifFile.h"

TEST_F(EditorTest, ExportWritesTheChosenModeAndFlags) {
    NewSheet(30, 20);
    const std::string sif = dir / "out.sif";
    W().mnuCompress_Click(0), W().mnuCompress_Click(1), Menu(W().mnuExportSIF[5], sif); // both options off
    // The placeholder project: header, then the 34-byte block with the depth mode.
    const std::vector<uint8_t> bytes = ReadFileBytes(sif);
    ASSERT_GE(bytes.size(), 42u + 17u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), (std::vector<uint8_t>{0x53, 0x46, 1, 0, 0x2B, 0, 0, 0}));
    EXPECT_EQ(bytes[42 + 16], 5);
    W().mnuCompress[0]->trigger(), W().mnuCompress[1]->trigger(); // back on through the menu: flags 3
    Menu(W().mnuExportSIF[2], sif);
    EXPECT_EQ(ReadFileBytes(sif)[3], 3);
    EXPECT_TRUE(SP::WorkDir == dir.Path() && messages.Shown.empty());
    dialogs.FileAnswers.push_back(dir / "bad.sif"), W().mnuExportSIF_Click(3); // no such depth mode: refused
    EXPECT_EQ(messages.Texts(), Strings{"Invalid bit depth mode specified."});
    EXPECT_FALSE(FileExists(dir / "bad.sif"));
}

TEST_F(EditorTest, ImportRebuildsTheProjectAndShowsTheSheet) {
    NewSheet(300, 280), AddActions(3);
    const FrameData f{1, 2, 3, 4, {9, 8}, 7, -1, -2};
    SP::Actions[2].Directions[0].Frames[0] = f;
    SP::Actions[2].Name = "Named", SP::MaskColor = 0x00FF00;
    Menu(W().mnuExportSIF[5], dir / "in.sif");
    SP::MaskColor = 0, Fresh();
    const std::string names = Names();
    Menu(W().mnuImportSIF, dir / "in.sif");
    EXPECT_TRUE(messages.Shown.empty() && Names() == names);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1", "Action 2"})); // names are not kept
    EXPECT_TRUE(SP::Actions[2].Name.empty() && SP::Actions[2].Directions[0].Frames[0] == f);
    EXPECT_TRUE(SP::MaskColor == 0x00FF00 && W().ContrastColor == 0xFF00FF);
    EXPECT_TRUE(Zoomed(10, 10) == PositionColor(5, 5) && Overview(200, 200) == PositionColor(200, 200));
}
