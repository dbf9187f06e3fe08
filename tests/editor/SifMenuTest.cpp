// Export to SIF and Import SIF through the menus.
#include "EditorFixture.h"
#include "sif/SifFile.h"

TEST_F(EditorTest, ExportWritesTheChosenModeAndFlags) {
    NewSheet(30, 20);
    const std::string sif = dir / "out.sif";
    W().mnuCompress_Click(0), W().mnuCompress_Click(1), Menu(W().mnuExportSIF[5], sif); // both options off
    EXPECT_EQ(Request(dialogs.FileRequests.at(1)), "0|Save Sprite Image File As...|*.sif|" +
                  Filter("Sprite Image Format files (*.sif)", "*.sif") + "|" + dir.Path() + "|sif");
    // The placeholder project: header, then the 34-byte block with the depth mode.
    const std::vector<uint8_t> bytes = ReadFileBytes(sif);
    ASSERT_GE(bytes.size(), 42u + 17u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x53, 0x46, 1, 0, 0x2B, 0, 0, 0}));
    EXPECT_EQ(bytes[42 + 16], 5);
    W().mnuCompress[0]->trigger(), W().mnuCompress[1]->trigger(); // back on through the menu: flags 3
    Menu(W().mnuExportSIF[2], sif);
    EXPECT_EQ(ReadFileBytes(sif)[3], 3);
    EXPECT_TRUE(SP::WorkDir == dir.Path() && messages.Shown.empty());
    for (int bad : {3, 300}) // no such depth mode: refused, nothing written
        dialogs.FileAnswers.push_back(dir / "bad.sif"), W().mnuExportSIF_Click(bad);
    EXPECT_EQ(messages.Texts(), Strings(2, "Invalid bit depth mode specified."));
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
    EXPECT_EQ(Request(dialogs.FileRequests.back()).substr(0, 34), "1|Import Sprite Image Format file|");
    EXPECT_TRUE(messages.Shown.empty() && Names() == names);
    EXPECT_EQ(Items(W().lstAction), QStringList({"Action 0", "Action 1", "Action 2"}));
    EXPECT_EQ(SP::Actions[2].Name, "");
    EXPECT_EQ(SP::Actions[2].Directions[0].Frames[0], f);
    EXPECT_TRUE(SP::MaskColor == 0x00FF00 && W().ContrastColor == 0xFF00FF);
    EXPECT_EQ(QSize(W().TNScrollH->maximum(), W().TNScrollV->maximum()), QSize(44, 24));
    EXPECT_TRUE(Zoomed(10, 10) == PositionColor(5, 5) && Overview(200, 200) == PositionColor(200, 200));
}

TEST_F(EditorTest, ImportOfABadOrDamagedFileReportsAndLeavesTheReset) {
    NewSheet(40, 40), AddActions(4);
    const std::string bad = dir / "bad.sif", cut = dir / "cut.sif", flipped = dir / "flipped.sif";
    WriteFileBytes(bad, {'X', 'Y', 1, 0, 0, 0, 0, 0});
    ASSERT_TRUE(SP::WriteSIF(cut, 5, 1, 0) && SP::WriteSIF(flipped, 4, 1, 1));
    // One ends inside its image stream; the other's coded structure block fails its checksum.
    std::vector<uint8_t> bytes = ReadFileBytes(cut);
    WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.end() - 10));
    bytes = ReadFileBytes(flipped), bytes[14] ^= 0x5A, WriteFileBytes(flipped, bytes);
    for (const std::string& path : {bad, cut, flipped}) {
        SCOPED_TRACE(path);
        messages.Shown.clear(), SP::MaskColor = 0x010203, Menu(W().mnuImportSIF, path);
        std::erase_if(messages.Shown, [](const Message& m) { return m.Text == "Save changes to the project?"; });
        ASSERT_GE(messages.Shown.size(), 2u);
        const Message& first = messages.Shown[0], last = messages.Shown.back();
        EXPECT_TRUE(path != bad || first.Title + first.Text == "Ahem...File contents not recognised!");
        EXPECT_EQ(last.Title + last.Text, "Dangit...SIF import aborted.");
        EXPECT_EQ(SP::Actions.size() + SP::Actions[0].Directions.size() + W().lstAction->count(), 2u);
        EXPECT_TRUE(last.Icon == MsgIcon::Critical && SP::MaskColor == 0x010203 && !SP::Sheet.Loaded());
    }
}
