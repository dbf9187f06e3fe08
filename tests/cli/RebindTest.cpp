// celwright-cli rebind: frames moved after their pictures on a redrawn sheet.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "project/SpriteProject.h"
#include "support/SheetArt.h"
#include "support/TestSupport.h"

using namespace SheetArt;

namespace {

std::vector<ActionData> ReadTree(const std::string& path, std::string* sheetPath = nullptr) {
    ProjectFileContents c;
    std::string error;
    EXPECT_TRUE(ParseProjectBytes(ReadFileBytes(path), c, error)) << error;
    if (sheetPath) *sheetPath = c.SheetPath;
    return c.Actions;
}

// A project on a 3 x 4 grid of sprites (old.bmp keeps the sheet as marked),
// the sheet itself redrawn with a column of 16 pixels inserted at x = 64.
class Rebind : public testing::Test {
protected:
    void SetUp() override {
        before = Grid(130, 100, 4, 3, 20, 24, 30);
        WriteFileBytes(dir / "old.bmp", MakeBmp24(before));
        WriteFileBytes(dir / "sheet.bmp", MakeBmp24(InsertColumns(before, 64, 16)));
        ActionData walk;
        walk.Name = "Walk";
        walk.Directions.resize(1);
        walk.Directions[0].Name = "Right";
        for (int i : {0, 2, 3, 4}) // the last one, sprite 4 at (4, 34), is the one the tests erase
            walk.Directions[0].Frames.push_back(FrameData{4 + i % 4 * 30, 4 + i / 4 * 30, 24, 20, {0, 0}, 80, 10, 23});
        walk.Directions[0].Frames.push_back(FrameData{}); // never marked
        walk.Directions[0].FrameUBound = 4;
        tree = {walk};
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(BuildProjectBytes(Mask, "sheet.bmp", tree, bytes, error)) << error;
        WriteFileBytes(sip, bytes);
    }
    void Redraw(const TestPicture& p) { WriteFileBytes(dir / "sheet.bmp", MakeBmp24(p)); }
    // The tree as the column moved it.
    std::vector<ActionData> Followed() const {
        std::vector<ActionData> t = tree;
        for (FrameData& f : t[0].Directions[0].Frames)
            if (f.X >= 64) f.X += 16;
        return t;
    }
    static std::vector<FrameData> Frames(const std::vector<ActionData>& t) { return t[0].Directions[0].Frames; }

    TempDir dir;
    const std::string sip = dir / "walk.sip";
    TestPicture before;
    std::vector<ActionData> tree;
};

} // namespace

TEST_F(Rebind, FramesFollowAnInsertedColumnAndTheProjectIsReplacedWhole) {
    const Outcome o = Tool({"rebind", sip, dir / "old.bmp"});
    EXPECT_EQ(o.Status, 0) << o.Err;
    EXPECT_TRUE(o.Err.empty()) << o.Err;
    EXPECT_TRUE(Has(o.Out, "2 frames moved, 0 frames not found")) << o.Out;
    std::string sheetPath;
    EXPECT_EQ(Frames(ReadTree(sip, &sheetPath)), Frames(Followed()));
    EXPECT_EQ(sheetPath, "sheet.bmp");
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"old.bmp", "sheet.bmp", "walk.sip"})) << "no temporary left";
    // Once more: everything is at its place now.
    EXPECT_TRUE(Has(Tool({"rebind", sip, dir / "sheet.bmp", "-o", dir / "again.sip"}).Out, "0 frames moved"));
}

TEST_F(Rebind, FramesFoundNowhereAreNamedOnStderrAndExitThree) {
    TestPicture after = InsertColumns(before, 64, 16);
    Fill(after, 4, 34, 20, 24);                                       // sprite 4 erased
    Retouch(after, 94 + 16, 4, 20, 24, SpritePixels(before, 94, 4, 20, 24) / 20); // sprite 3 retouched
    Redraw(after);
    const Outcome o = Tool({"rebind", sip, dir / "old.bmp", "--quiet"});
    EXPECT_EQ(o.Status, 3);
    EXPECT_EQ(o.Err, "celwright-cli: frame Walk/Right/3 not found on the new sheet; left where it was\n");
    EXPECT_TRUE(Has(o.Out, "2 frames moved, 1 frame not found")) << o.Out;
    EXPECT_EQ(Frames(ReadTree(sip)), Frames(Followed())) << "written all the same; the lost frame kept its place";
    // The atlas names the frame alike.
    ASSERT_EQ(Tool({"atlas", sip, dir / "walk.json"}).Status, 0);
    const std::vector<uint8_t> json = ReadFileBytes(dir / "walk.json");
    EXPECT_TRUE(Has(std::string(json.begin(), json.end()), "\"Walk/Right/3\""));
}

TEST_F(Rebind, DashOWritesElsewhereAndLeavesTheProjectAlone) {
    const std::vector<uint8_t> original = ReadFileBytes(sip);
    std::filesystem::create_directory(dir / "out");
    for (const auto& [out, sheetPath] : {std::pair(dir / "copy.sip", std::string("sheet.bmp")),
                                         std::pair(dir / "out/copy.sip", dir / "sheet.bmp")}) {
        const Outcome o = Tool({"rebind", sip, dir / "old.bmp", "-o", out});
        EXPECT_EQ(o.Status, 0) << o.Err;
        std::string stored;
        EXPECT_EQ(Frames(ReadTree(out, &stored)), Frames(Followed()));
        EXPECT_EQ(stored, sheetPath) << "elsewhere the sheet is named by its full path";
    }
    EXPECT_EQ(ReadFileBytes(sip), original);
}

TEST_F(Rebind, RefusalsExitOneAndBadCommandLinesTwoChangingNothing) {
    const std::vector<uint8_t> original = ReadFileBytes(sip);
    WriteFileBytes(dir / "junk.bmp", {'B', 'M', 1, 2, 3});
    WriteFileBytes(dir / "damaged.sip", {1, 2});
    const Args refused[] = {{"rebind", sip, dir / "gone.bmp"},
                            {"rebind", dir / "gone.sip", dir / "old.bmp"},
                            {"rebind", dir / "damaged.sip", dir / "old.bmp"},
                            {"rebind", sip, dir / "junk.bmp"},
                            {"rebind", sip, dir / "old.bmp", "-o", dir / "sheet.bmp"},
                            {"rebind", sip, dir / "old.bmp", "-o", dir / "old.bmp"},
                            {"rebind", sip, dir / "old.bmp", "-o", dir / "no/such/folder.sip"}};
    for (const Args& args : refused) {
        SCOPED_TRACE(testing::PrintToString(args));
        ExpectFails(Tool(args), 1);
    }
    for (const Args& args : {Args{"rebind"}, Args{"rebind", sip}, Args{"rebind", sip, "a", "b"},
                             Args{"rebind", sip, dir / "old.bmp", "-o"}, Args{"rebind", sip, dir / "old.bmp", "--force"},
                             Args{"rebind", sip, dir / "old.bmp", "-o="}}) {
        const Outcome o = Tool(args);
        ExpectFails(o, 2);
        EXPECT_TRUE(Has(o.Err, "--help")) << o.Err;
    }
    EXPECT_EQ(ReadFileBytes(sip), original);
    EXPECT_EQ(ReadFileBytes(dir / "old.bmp"), MakeBmp24(before));
    EXPECT_FALSE(FileExists(dir / "no"));
    const Outcome help = Tool({"--help"});
    EXPECT_TRUE(Has(help.Out, "rebind PROJECT.sip OLD_SHEET [-o OUTPUT.sip]") && Has(help.Out, "3 rebind wrote"));
}
