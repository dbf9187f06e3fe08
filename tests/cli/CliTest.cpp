#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>

#include "base/ByteIO.h"
#include "cli/Cli.h"
#include "project/SpriteProject.h"
#include "sif/SifFile.h"
#include "support/TestSupport.h"

namespace {

struct Outcome {
    int Status = -1;
    std::string Out;
    std::string Err;
};

Outcome RunTool(const std::vector<std::string>& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Outcome o;
    o.Status = RunCli(args);
    o.Out = testing::internal::GetCapturedStdout();
    o.Err = testing::internal::GetCapturedStderr();
    return o;
}

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

size_t Lines(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// A copy of the walker sample in a scratch folder.
class Cli : public testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(dir / "walker.bmp", ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/walker.bmp"));
        WriteFileBytes(dir / "walker.sip", ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/walker.sip"));
        ASSERT_GT(ReadFileBytes(dir / "walker.sip").size(), 100u);
    }
    std::string Sip() const { return dir / "walker.sip"; }
    SifContents ParseOutput(const std::string& path) {
        SifContents c;
        std::string detail;
        EXPECT_EQ(ParseSifBytes(ReadFileBytes(path), c, detail), SifParseStatus::Ok) << detail;
        return c;
    }
    TempDir dir;
};

} // namespace

TEST(CliUsage, HelpExplainsEveryCommandAndOption) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--help"}, {"-h"}, {"export", "--help"}}) {
        const Outcome o = RunTool(args);
        EXPECT_EQ(o.Status, 0);
        EXPECT_TRUE(o.Err.empty());
        for (const char* word : {"export PROJECT.sip OUTPUT.sif", "import INPUT.sif OUTPUT.sip", "info FILE",
                                 "--mode bw|grey|16|24", "--no-compress-structure", "--no-compress-image",
                                 "--force", "Exit status"})
            EXPECT_TRUE(Contains(o.Out, word)) << word;
    }
}

TEST(CliUsage, BadCommandLinesExitTwoWithAHint) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frob"},
        {"export", "a.sip"},
        {"export", "a.sip", "b.sif", "c"},
        {"export", "a.sip", "b.sif", "--mode"},
        {"export", "a.sip", "b.sif", "--mode", "256"},
        {"export", "a.sip", "b.sif", "--mode", "sixteen"},
        {"export", "a.sip", "b.sif", "--mode=grey", "--bogus"},
        {"export", "a.sip", "b.sif", "--force"},
        {"import", "a.sif"},
        {"import", "a.sif", "dir/ab"},
        {"import", "a.sif", "sheet.bmp"},
        {"info"},
        {"info", "a", "b"},
    };
    for (const auto& args : cases) {
        const Outcome o = RunTool(args);
        EXPECT_EQ(o.Status, 2) << testing::PrintToString(args);
        EXPECT_EQ(Lines(o.Err), 1u) << o.Err;
        EXPECT_TRUE(Contains(o.Err, "--help")) << o.Err;
        EXPECT_TRUE(o.Out.empty());
    }
}

TEST_F(Cli, ExportWritesEveryModeWithItsSynonyms) {
    const std::vector<std::pair<std::string, std::string>> modes = {{"bw", "1"}, {"grey", "2"}, {"16", "4"},
                                                                     {"24", "5"}};
    for (const auto& [name, number] : modes) {
        const Outcome a = RunTool({"export", Sip(), dir / "a.sif", "--mode", name});
        const Outcome b = RunTool({"export", "--mode=" + number, Sip(), dir / "b.sif"});
        ASSERT_EQ(a.Status, 0) << a.Err;
        ASSERT_EQ(b.Status, 0) << b.Err;
        EXPECT_TRUE(a.Err.empty());
        EXPECT_TRUE(Contains(a.Out, "256 x 96"));
        EXPECT_EQ(ReadFileBytes(dir / "a.sif"), ReadFileBytes(dir / "b.sif"));
        const SifContents c = ParseOutput(dir / "a.sif");
        EXPECT_EQ(c.Mode, std::stoi(number));
        EXPECT_EQ(c.Flags, 3);
        EXPECT_EQ(c.Width, 256);
        ASSERT_EQ(c.Actions.size(), 2u);
        EXPECT_EQ(c.Actions[0].Directions[1].Frames.size(), 4u);
    }
    // Defaults: 24-bit colour, both sections coded; the options turn coding off.
    ASSERT_EQ(RunTool({"export", Sip(), dir / "d.sif"}).Status, 0);
    EXPECT_EQ(ParseOutput(dir / "d.sif").Mode, 5);
    EXPECT_EQ(ParseOutput(dir / "d.sif").Flags, 3);
    ASSERT_EQ(RunTool({"export", Sip(), dir / "s.sif", "--no-compress-image"}).Status, 0);
    EXPECT_EQ(ParseOutput(dir / "s.sif").Flags, 1);
    ASSERT_EQ(RunTool({"export", Sip(), dir / "i.sif", "--no-compress-structure"}).Status, 0);
    EXPECT_EQ(ParseOutput(dir / "i.sif").Flags, 2);
    ASSERT_EQ(RunTool({"export", Sip(), dir / "n.sif", "--no-compress-structure", "--no-compress-image"}).Status, 0);
    EXPECT_EQ(ParseOutput(dir / "n.sif").Flags, 0);
    EXPECT_EQ(ParseOutput(dir / "n.sif").Data, ParseOutput(dir / "d.sif").Data);
}

TEST_F(Cli, RefusedExportsWriteNothingAndSayWhyOnOneLine) {
    const std::vector<std::string> before = ListDir(dir.Path());
    for (const char* mode : {"0", "3", "6"}) {
        const Outcome o = RunTool({"export", Sip(), dir / "out.sif", "--mode", mode});
        EXPECT_EQ(o.Status, 1);
        EXPECT_EQ(o.Err, "Invalid bit depth mode specified.\n");
    }
    const Outcome missing = RunTool({"export", dir / "none.sip", dir / "out.sif"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(Lines(missing.Err), 1u);
    EXPECT_TRUE(Contains(missing.Err, "Can't open the project: " + dir / "none.sip")) << missing.Err;
    const Outcome itself = RunTool({"export", Sip(), Sip()});
    EXPECT_EQ(itself.Status, 1);
    EXPECT_EQ(Lines(itself.Err), 1u);
    EXPECT_EQ(ListDir(dir.Path()), before);
    EXPECT_EQ(ReadFileBytes(Sip()), ReadFileBytes(std::string(CELWRIGHT_EXAMPLES) + "/walker.sip"));

    // Without its sheet the project cannot be opened; an older output survives.
    std::remove((dir / "walker.bmp").c_str());
    WriteFileBytes(dir / "out.sif", {9, 9, 9});
    const Outcome noSheet = RunTool({"export", Sip(), dir / "out.sif"});
    EXPECT_EQ(noSheet.Status, 1);
    EXPECT_EQ(noSheet.Err, "Can't find source image!\n");
    EXPECT_EQ(ReadFileBytes(dir / "out.sif"), (std::vector<uint8_t>{9, 9, 9}));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"out.sif", "walker.sip"}));
}

TEST_F(Cli, ImportRebuildsTheProjectBesideItsSheet) {
    ASSERT_EQ(RunTool({"export", Sip(), dir / "walker.sif"}).Status, 0);
    TempDir out;
    const Outcome o = RunTool({"import", dir / "walker.sif", out / "hero.sip"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    EXPECT_TRUE(o.Err.empty());
    EXPECT_EQ(ListDir(out.Path()), (std::vector<std::string>{"hero.bmp", "hero.sip"}));
    // The last three characters are swapped, whatever bytes they take.
    TempDir other;
    ASSERT_EQ(RunTool({"import", dir / "walker.sif", other / "h\xC3\xA9ro.s\xC3\xAFp"}).Status, 0);
    EXPECT_TRUE(FileExists(other / "h\xC3\xA9ro.bmp"));

    // 24-bit colour is lossless: the rebuilt sheet has the sample's pixels.
    cBitMap original, rebuilt;
    ASSERT_TRUE(original.LoadBMP(dir / "walker.bmp"));
    ASSERT_TRUE(rebuilt.LoadBMP(out / "hero.bmp"));
    ASSERT_EQ(rebuilt.Width(), 256);
    ASSERT_EQ(rebuilt.Pixels().size(), original.Pixels().size());
    EXPECT_EQ(0, std::memcmp(rebuilt.Pixels().data(), original.Pixels().data(), original.Pixels().size()));

    ProjectFileContents sample, back;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(Sip()), sample, error));
    ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(out / "hero.sip"), back, error));
    EXPECT_EQ(back.SheetPath, out / "hero.bmp");
    EXPECT_EQ(back.MaskColor, 0x00FF00FF);
    ASSERT_EQ(back.Actions.size(), sample.Actions.size());
    for (size_t a = 0; a < sample.Actions.size(); ++a)
        for (size_t d = 0; d < sample.Actions[a].Directions.size(); ++d)
            EXPECT_EQ(back.Actions[a].Directions[d].Frames, sample.Actions[a].Directions[d].Frames);
}

TEST_F(Cli, ImportNeverReplacesFilesUnlessForced) {
    ASSERT_EQ(RunTool({"export", Sip(), dir / "walker.sif", "--mode", "bw"}).Status, 0);
    TempDir out;
    WriteFileBytes(out / "hero.bmp", {1, 2, 3});
    Outcome o = RunTool({"import", dir / "walker.sif", out / "hero.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "hero.bmp already exists; not replacing it (use --force to replace it)\n");
    EXPECT_EQ(ListDir(out.Path()), std::vector<std::string>{"hero.bmp"});
    EXPECT_EQ(ReadFileBytes(out / "hero.bmp"), (std::vector<uint8_t>{1, 2, 3}));

    o = RunTool({"import", dir / "walker.sif", out / "hero.sip", "--force"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    EXPECT_EQ(ListDir(out.Path()), (std::vector<std::string>{"hero.bmp", "hero.sip"}));
    EXPECT_GT(ReadFileBytes(out / "hero.bmp").size(), 256u * 96u * 3u);

    // A second import meets the project file first.
    const std::vector<uint8_t> project = ReadFileBytes(out / "hero.sip");
    std::remove((out / "hero.bmp").c_str());
    o = RunTool({"import", dir / "walker.sif", out / "hero.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "hero.sip already exists; not replacing it (use --force to replace it)\n");
    EXPECT_EQ(ReadFileBytes(out / "hero.sip"), project);
}

TEST_F(Cli, RefusedImportsLeaveNoFilesBehind) {
    ASSERT_EQ(RunTool({"export", Sip(), dir / "good.sif"}).Status, 0);
    const std::vector<uint8_t> good = ReadFileBytes(dir / "good.sif");
    TempDir out;
    WriteFileBytes(out / "junk.sif", {'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(out / "cut.sif", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
    std::vector<uint8_t> flat = good; // the same file with a sheet width of 0
    SifContents c;
    std::string detail;
    ASSERT_EQ(ParseSifBytes(good, c, detail), SifParseStatus::Ok);
    flat[c.ImageOffset + 8] = flat[c.ImageOffset + 9] = 0;
    WriteFileBytes(out / "flat.sif", flat);
    const std::vector<std::string> before = ListDir(out.Path());

    Outcome o = RunTool({"import", out / "junk.sif", out / "a.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "File contents not recognised! SIF import aborted.\n");
    o = RunTool({"import", out / "cut.sif", out / "a.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "This SIF file is damaged or incomplete: " + out / "cut.sif" + " SIF import aborted.\n");
    o = RunTool({"import", out / "flat.sif", out / "a.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "SIF import aborted.\n");
    o = RunTool({"import", out / "none.sif", out / "a.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, out / "none.sif" + " This file does not exist. SIF import aborted.\n");
    o = RunTool({"import", out / "junk.sif", out / "junk.bmp.sip"}); // not refused for its name
    EXPECT_EQ(o.Status, 1);
    o = RunTool({"import", out / "cut.sif", out / "missing/a.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(ListDir(out.Path()), before);
}

TEST_F(Cli, InfoSummarisesProjectsAndSpriteImageFiles) {
    Outcome o = RunTool({"info", Sip()});
    ASSERT_EQ(o.Status, 0) << o.Err;
    for (const char* line : {"Mask colour:   0x00FF00FF (red 255, green 0, blue 255)\n", "Sheet path:    walker.bmp\n",
                             "Actions:       2\n", "  \"Walk\": 2 directions\n", "    \"Right\": 4 frames\n",
                             "  \"Idle\": 2 directions\n", "    \"Left\": 2 frames\n"})
        EXPECT_TRUE(Contains(o.Out, line)) << line << o.Out;

    ASSERT_EQ(RunTool({"export", Sip(), dir / "w.sif", "--mode", "16", "--no-compress-image"}).Status, 0);
    o = RunTool({"info", dir / "w.sif"});
    ASSERT_EQ(o.Status, 0) << o.Err;
    for (const char* line : {"version 1\n", "Flags:         0x01 (structure coded, image stored)\n",
                             "Depth mode:    4 (16-bit color)\n", "Sheet size:    256 x 96\n",
                             "Mask colour:   0x00FF00FF", "  Action 1: 2 directions\n", "    Dir 0: 2 frames\n"})
        EXPECT_TRUE(Contains(o.Out, line)) << line << o.Out;

    // Content decides when the name does not: a project saved as .sif is still a project.
    WriteFileBytes(dir / "odd.sif", ReadFileBytes(Sip()));
    o = RunTool({"info", dir / "odd.sif"});
    EXPECT_EQ(o.Status, 0);
    EXPECT_TRUE(Contains(o.Out, "project file (.sip)"));

    std::vector<uint8_t> cut = ReadFileBytes(dir / "w.sif");
    cut.resize(cut.size() - 1);
    WriteFileBytes(dir / "cut.sif", cut);
    o = RunTool({"info", dir / "cut.sif"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.Err, "This SIF file is damaged or incomplete: " + dir / "cut.sif" + "\n");
    EXPECT_TRUE(o.Out.empty());
    std::vector<uint8_t> project = ReadFileBytes(Sip());
    project.resize(project.size() - 3);
    WriteFileBytes(dir / "cut.sip", project);
    o = RunTool({"info", dir / "cut.sip"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(Lines(o.Err), 1u);
    EXPECT_TRUE(Contains(o.Err, "damaged"));
}

TEST_F(Cli, RunsAsARealProcess) {
    const std::string cli = CELWRIGHT_CLI_PATH;
    const std::string out = dir / "out.txt", err = dir / "err.txt";
    int rc = std::system((cli + " info '" + Sip() + "' >'" + out + "' 2>'" + err + "'").c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    const std::vector<uint8_t> text = ReadFileBytes(out);
    EXPECT_TRUE(Contains(std::string(text.begin(), text.end()), "\"Walk\": 2 directions"));

    rc = std::system((cli + " import '" + Sip() + "' '" + (dir / "x.sip") + "' >'" + out + "' 2>'" + err + "'").c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 1);
    const std::vector<uint8_t> e = ReadFileBytes(err);
    EXPECT_EQ(std::string(e.begin(), e.end()), "File contents not recognised! SIF import aborted.\n");

    rc = std::system((cli + " >'" + out + "' 2>'" + err + "'").c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 2);
}

TEST_F(Cli, ImportThatFailsHalfwayTakesBackWhatItWrote) {
    ASSERT_EQ(RunTool({"export", Sip(), dir / "walker.sif"}).Status, 0);
    TempDir out;
    // A folder where the sheet should go: everything else succeeds, the last step cannot.
    std::filesystem::create_directory(out / "hero.bmp");
    const Outcome o = RunTool({"import", dir / "walker.sif", out / "hero.sip", "--force"});
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(Lines(o.Err), 1u);
    EXPECT_TRUE(Contains(o.Err, "hero.bmp")) << o.Err;
    EXPECT_EQ(ListDir(out.Path()), std::vector<std::string>{"hero.bmp"});
}
