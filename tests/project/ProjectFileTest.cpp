// Writing and reading project files: the byte layout, round trips, names and
// the search for the sheet bitmap.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "base/Messages.h"
#include "project/ProjectTestSupport.h"
#include "support/TestSupport.h"

using namespace SpriteProject;

namespace {

void PutSheet(const std::string& path) { WriteFileBytes(path, MakeBmp24(MakePicture(2, 2, 0x123456))); }

// The model as Open Project leaves it before reading: reset, folder and name set.
void PrepareOpen(const std::string& dir, const std::string& projectFile) {
    ResetModel();
    WorkDir = dir;
    ProjectFile = projectFile;
}

std::vector<uint8_t> SmallProject(int32_t mask, const std::string& path) {
    SipBuilder b;
    b.Head(mask, path).Bound(0).Name("").Bound(0).SmallDirection();
    return b.Bytes;
}

} // namespace

TEST_F(ProjectTest, EmptyProjectIsTheFiftyTwoByteExample) {
    TempDir dir;
    WorkDir = "/w/";
    SheetFile = "abc.bmp";
    ASSERT_TRUE(WriteProject(dir / "p.sip"));

    std::vector<uint8_t> want = {0, 0, 0, 0, 10, 0};
    for (char c : std::string("/w/abc.bmp")) want.push_back(static_cast<uint8_t>(c));
    // Action bound (2), action name (1), direction bound (2), direction name (1), frame bound (2).
    want.insert(want.end(), 8, 0);
    want.insert(want.end(), 28, 0);
    ASSERT_EQ(want.size(), 52u);
    EXPECT_EQ(ReadFileBytes(dir / "p.sip"), want);

    // Read back, the placeholder shows its display names.
    PutSheet(dir / "abc.bmp");
    PrepareOpen(dir.Path(), "p.sip");
    ASSERT_TRUE(ReadProject(dir / "p.sip"));
    ASSERT_EQ(Actions.size(), 1u);
    EXPECT_EQ(Actions[0].Name, "Action 0");
    EXPECT_EQ(Actions[0].Directions[0].Name, "Dir 0");
    EXPECT_EQ(Actions[0].Directions[0].Frames, std::vector<FrameData>(1));
}

TEST_F(ProjectTest, MultiActionProjectSurvivesARoundTrip) {
    TempDir dir;
    PutSheet(dir / "sheet.bmp");
    const std::vector<ActionData> tree = {
        MakeAction("Walk", {MakeDirection("North", 3, 1), MakeDirection("", 1, 40)}),
        MakeAction("", {MakeDirection("Only", 2, 60)}),
        MakeAction("Jump", {MakeDirection("", 1, 0), MakeDirection("", 4, 70), MakeDirection("Up", 1, 90)}),
        MakeAction("", {MakeDirection("", 1, 100)}),
    };
    Actions = tree;
    MaskColor = 0x00FF00FF;
    WorkDir = dir.Path();
    SheetFile = "sheet.bmp";
    ProjectFile = "hero.sip";
    ASSERT_TRUE(WriteProject(dir / "hero.sip"));

    PrepareOpen(dir.Path(), "hero.sip");
    MaskColor = 0;
    SheetFile.clear();
    MessageRecorder messages;
    ASSERT_TRUE(ReadProject(dir / "hero.sip"));
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(MaskColor, 0x00FF00FF);
    EXPECT_EQ(SheetFile, "sheet.bmp");
    EXPECT_EQ(FoundSheetPath, dir / "sheet.bmp");

    // Unnamed entries come back under their display names; frames (reserved
    // bytes and negative values included) come back unchanged.
    std::vector<ActionData> want = tree;
    want[0].Directions[1].Name = "Dir 1";
    want[1].Name = "Action 1";
    want[2].Directions[0].Name = "Dir 0";
    want[2].Directions[1].Name = "Dir 1";
    want[3].Name = "Action 3";
    want[3].Directions[0].Name = "Dir 0";
    ExpectSameTree(Actions, want);
    EXPECT_EQ(Actions[0].Directions[0].Frames[2].Reserved[0], 0xA3);

    // The next save stores the display names as ordinary names.
    ASSERT_TRUE(WriteProject(dir / "again.sip"));
    ProjectFileContents stored;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(dir / "again.sip"), stored, error)) << error;
    ExpectSameTree(stored.Actions, want);
    EXPECT_EQ(stored.SheetPath, dir / "sheet.bmp");
}

TEST_F(ProjectTest, WriterCountsFromTheUpperBounds) {
    // Entries beyond a bound are not part of the project.
    Actions = {MakeAction("A", {MakeDirection("D", 3, 1), MakeDirection("E", 1, 5)})};
    Actions[0].DirUBound = 0;
    Actions[0].Directions[0].FrameUBound = 1;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(0, "p", Actions, bytes, error));
    ProjectFileContents back;
    ASSERT_TRUE(ParseProjectBytes(bytes, back, error));
    ASSERT_EQ(back.Actions[0].Directions.size(), 1u);
    EXPECT_EQ(back.Actions[0].Directions[0].Frames,
              (std::vector<FrameData>{MakeFrame(1), MakeFrame(2)}));
    EXPECT_EQ(bytes.size(), 4u + 2 + 1 + 2 + (1 + 1 + 2) + (1 + 1 + 2 + 2 * 28));
}

TEST_F(ProjectTest, LongNamesAreCutTo255Bytes) {
    Actions = {MakeAction(std::string(300, 'a'), {MakeDirection(std::string(255, 'b'), 1, 0)})};
    // 200 two-byte UTF-8 characters become 200 single bytes: no cut.
    Actions[0].Directions.push_back(MakeDirection("", 1, 0));
    std::string e200;
    for (int i = 0; i < 200; ++i) e200 += "\xC3\xA9";
    Actions[0].Directions[1].Name = e200;
    std::string euros;
    for (int i = 0; i < 300; ++i) euros += "\xE2\x82\xAC";
    Actions.push_back(MakeAction(euros, {MakeDirection("", 1, 0)}));
    Actions[0].DirUBound = 1;

    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(0, "", Actions, bytes, error));
    // Head (4 + 2 + 0) and the action bound, then the first name.
    ASSERT_GT(bytes.size(), 8u + 256);
    EXPECT_EQ(bytes[8], 255);
    EXPECT_EQ(bytes[9], 'a');
    EXPECT_EQ(bytes[8 + 255], 'a');

    ProjectFileContents back;
    ASSERT_TRUE(ParseProjectBytes(bytes, back, error)) << error;
    EXPECT_EQ(back.Actions[0].Name, std::string(255, 'a'));
    EXPECT_EQ(back.Actions[0].Directions[0].Name, std::string(255, 'b'));
    EXPECT_EQ(back.Actions[0].Directions[1].Name, e200);
    std::string euros255;
    for (int i = 0; i < 255; ++i) euros255 += "\xE2\x82\xAC";
    EXPECT_EQ(back.Actions[1].Name, euros255);
}

TEST_F(ProjectTest, NamesAreStoredAsWindows1252) {
    Actions = {MakeAction("Caf\xC3\xA9 \xE2\x82\xAC", {MakeDirection("\xE6\x97\xA5", 1, 0)})};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(0, "", Actions, bytes, error));
    const std::vector<uint8_t> name(bytes.begin() + 8, bytes.begin() + 8 + 7);
    EXPECT_EQ(name, (std::vector<uint8_t>{6, 'C', 'a', 'f', 0xE9, ' ', 0x80}));
    EXPECT_EQ(bytes[17], 1); // a character without a code becomes one "?"
    EXPECT_EQ(bytes[18], '?');

    // Names from a file written elsewhere come in as UTF-8.
    SipBuilder b;
    b.Head(0, "x").Bound(0).Name("\x93Run\x94").Bound(0).Name("\xC4st").Bound(0).Frame(FrameData{});
    ProjectFileContents back;
    ASSERT_TRUE(ParseProjectBytes(b.Bytes, back, error)) << error;
    EXPECT_EQ(back.Actions[0].Name, "\xE2\x80\x9CRun\xE2\x80\x9D");
    EXPECT_EQ(back.Actions[0].Directions[0].Name, "\xC3\x84st");
}

TEST_F(ProjectTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    TempDir dir;
    const std::string target = dir / "hero.sip";
    const std::vector<uint8_t> old = SmallProject(7, "old.bmp");
    WriteFileBytes(target, old);
    MessageRecorder messages;

    // A tree the reader could not load back is not written at all.
    Actions[0].DirUBound = 3;
    EXPECT_FALSE(WriteProject(target));
    Actions = {};
    EXPECT_FALSE(WriteProject(target));
    ResetModel();
    WorkDir = std::string(32768, 'd');
    EXPECT_FALSE(WriteProject(target));
    WorkDir.clear();
    ASSERT_EQ(messages.Shown.size(), 3u);
    for (const Message& m : messages.Shown) {
        EXPECT_EQ(m.Text.rfind("Can't save the project:\n\n" + target + "\n\n", 0), 0u) << m.Text;
        EXPECT_EQ(m.Title, "Whoops");
        EXPECT_EQ(m.Icon, MsgIcon::Critical);
    }
    EXPECT_EQ(ReadFileBytes(target), old);

    // A write that fails halfway (the file size limit stands in for a full disk).
    Actions = {MakeAction("Big", {MakeDirection("", 400, 1)})};
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteProject(target);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(messages.Shown.size(), 4u);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"hero.sip"}); // no temporary file left

    // A folder that does not exist.
    EXPECT_FALSE(WriteProject(dir / "missing/hero.sip"));
    EXPECT_EQ(messages.Shown.size(), 5u);
}

// The sheet search: the stored path, the working directory, and the project's own name.
class SheetSearch : public ProjectTest {
protected:
    TempDir project;  // where the project file lies (WorkDir)
    TempDir elsewhere; // another folder

    // Writes hero.sip into the project folder, storing the given sheet path.
    std::string WriteHero(const std::string& storedPath, int32_t mask = 0x0000FF00) {
        SipBuilder b;
        b.Head(mask, storedPath).Bound(0).Name("Walk").Bound(0).Name("N").Bound(0).Frame(MakeFrame(5));
        WriteFileBytes(project / "hero.sip", b.Bytes);
        return project / "hero.sip";
    }
    bool Open(const std::string& file) {
        PrepareOpen(project.Path(), "hero.sip");
        return ReadProject(file);
    }
};

TEST_F(SheetSearch, SheetBesideTheProjectIsFoundAfterAMove) {
    PutSheet(project / "sheet.bmp");
    const std::string file = WriteHero("/no/longer/there/sheet.bmp");
    MessageRecorder messages;
    ASSERT_TRUE(Open(file));
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(SheetFile, "sheet.bmp");
    EXPECT_EQ(FoundSheetPath, project / "sheet.bmp");
    EXPECT_EQ(MaskColor, 0x0000FF00);
    ASSERT_EQ(Actions.size(), 1u);
    EXPECT_EQ(Actions[0].Name, "Walk");
    EXPECT_EQ(Actions[0].Directions[0].Frames[0], MakeFrame(5));
}

TEST_F(SheetSearch, WindowsPathIsSplitAtItsBackslashes) {
    PutSheet(project / "Sheet.bmp");
    ASSERT_TRUE(Open(WriteHero("C:\\Art\\Hero\\Sheet.bmp")));
    EXPECT_EQ(SheetFile, "Sheet.bmp");
    EXPECT_EQ(FoundSheetPath, project / "Sheet.bmp");
}

TEST_F(SheetSearch, SheetOnlyAtTheStoredPathIsLoadedFromThere) {
    PutSheet(elsewhere / "sheet.bmp");
    ASSERT_TRUE(Open(WriteHero(elsewhere / "sheet.bmp")));
    EXPECT_EQ(SheetFile, "sheet.bmp");
    EXPECT_EQ(FoundSheetPath, elsewhere / "sheet.bmp");
}

TEST_F(SheetSearch, SheetUnderTheProjectsNameIsTakenAndRenamed) {
    PutSheet(project / "hero.bmp");
    ASSERT_TRUE(Open(WriteHero("/gone/old.bmp")));
    EXPECT_EQ(SheetFile, "hero.bmp");
    EXPECT_EQ(FoundSheetPath, project / "hero.bmp");

    // The look under the project's name always runs, and wins over the other two.
    PutSheet(project / "sheet.bmp");
    PutSheet(elsewhere / "sheet.bmp");
    ASSERT_TRUE(Open(WriteHero(elsewhere / "sheet.bmp")));
    EXPECT_EQ(SheetFile, "hero.bmp");
    EXPECT_EQ(FoundSheetPath, project / "hero.bmp");
}

TEST_F(SheetSearch, NamesMustMatchInLetterCase) {
    PutSheet(project / "sheet.bmp");
    PutSheet(elsewhere / "sheet.bmp");
    PutSheet(project / "Hero.bmp");
    ::mkdir((project / "dir.bmp").c_str(), 0755); // a folder is no sheet
    MessageRecorder messages;
    EXPECT_FALSE(Open(WriteHero(elsewhere / "Sheet.bmp")));
    EXPECT_FALSE(Open(WriteHero(project / "dir.bmp")));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Can't find source image!", "Can't find source image!"}));
}

TEST_F(SheetSearch, MissingSheetIsReportedAndTheMaskColourIsStillTaken) {
    const std::string file = WriteHero("C:\\Art\\gone.bmp", 0x00ABCDEF);
    MessageRecorder messages;
    FoundSheetPath = "/earlier/sheet.bmp";
    EXPECT_FALSE(Open(file));
    ASSERT_EQ(messages.Shown.size(), 1u);
    const Message& m = messages.Shown[0];
    EXPECT_EQ(m.Text, "Can't find source image!");
    EXPECT_EQ(m.Buttons, MsgButtons::OK);
    EXPECT_EQ(m.Title, AppTitle);
    EXPECT_TRUE(m.Icon == MsgIcon::None || m.Icon == MsgIcon::Exclamation);
    EXPECT_EQ(MaskColor, 0x00ABCDEF);
    EXPECT_EQ(SheetFile, "gone.bmp");
    EXPECT_EQ(FoundSheetPath, "/earlier/sheet.bmp");
    ExpectPlaceholder(Actions);
}

TEST_F(SheetSearch, MissingProjectFileIsReported) {
    MaskColor = 42;
    MessageRecorder messages;
    EXPECT_FALSE(Open(project / "nothing.sip"));
    EXPECT_FALSE(Open(project.Path())); // a folder
    ASSERT_EQ(messages.Shown.size(), 2u);
    EXPECT_EQ(messages.Shown[0].Text.rfind("Can't open the project:\n\n" + project / "nothing.sip", 0), 0u);
    EXPECT_EQ(messages.Shown[0].Title, "Whoops");
    EXPECT_EQ(messages.Shown[0].Icon, MsgIcon::Critical);
    EXPECT_EQ(MaskColor, 42);
    ExpectPlaceholder(Actions);
}
