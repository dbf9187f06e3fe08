// The model's records and reset, and writing project files.
#include <csignal>
#include <sys/resource.h>

#include "project/ProjectTestSupport.h"

using namespace SpriteProject;

TEST(FrameRecord, IsLittleEndianInRecordOrderAndRefusedWhenShort) {
    const FrameData f{0x01020304, -2, 0x11223344, 0x55667788, {0xAB, 0xCD}, -300, 0x7F000001, -0x10000};
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    PutFrame(w, f);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77,
                                           0x66, 0x55, 0xAB, 0xCD, 0xD4, 0xFE, 1, 0, 0, 0x7F, 0, 0, 0xFF, 0xFF}));
    FrameData back;
    ByteReader r(bytes);
    ASSERT_TRUE(GetFrame(r, back));
    EXPECT_EQ(back, f);

    ByteReader shortOne(bytes.data(), 27);
    EXPECT_FALSE(GetFrame(shortOne, back));
    EXPECT_EQ(shortOne.Position(), 0u);
}

TEST_F(ProjectTest, ResetLeavesThePlaceholderAndKeepsEverythingElse) {
    Actions = {MakeAction("Walk", {MakeDirection("N", 3, 1), MakeDirection("S", 1, 9)})};
    CurAction = 0, CurDirection = 1, CurFrame = 2, SelAnchor = 1, MaskColor = 0xFF00FF;
    SheetFile = "sheet.bmp", ProjectFile = "hero.sip", WorkDir = "/art/";
    ClipFrames = {MakeFrame(3)};
    TempDir dir;
    WriteFileBytes(dir / "s.bmp", MakeBmp24(MakePicture(2, 2)));
    ASSERT_TRUE(Sheet.LoadBMP(dir / "s.bmp"));
    ResetModel();
    ExpectPlaceholder();
    EXPECT_EQ(Actions[0].Directions[0].Frames, std::vector<FrameData>(1));
    EXPECT_EQ(CurAction + CurDirection + CurFrame, -3);
    EXPECT_FALSE(Sheet.Loaded());
    EXPECT_EQ(SelAnchor, 1);
    EXPECT_EQ(MaskColor, 0xFF00FF);
    EXPECT_EQ(SheetFile + ProjectFile + WorkDir, "sheet.bmphero.sip/art/");
    EXPECT_EQ(ClipFrames, std::vector<FrameData>{MakeFrame(3)});
    EXPECT_EQ(DefaultActionName(3) + "|" + DefaultDirectionName(0), "Action 3|Dir 0");
    EXPECT_EQ(SheetNameForProject("hero.sip") + SheetNameForProject("ab"), "hero.bmp");
    EXPECT_EQ(SheetNameForProject("h\xC3\xA9.s\xC3\xAFp"), "h\xC3\xA9.bmp"); // characters, not bytes
}

TEST_F(ProjectTest, EmptyProjectIsTheFiftyTwoByteExample) {
    TempDir dir;
    WorkDir = "/w/";
    SheetFile = "abc.bmp";
    ASSERT_TRUE(WriteProject(dir / "p.sip"));
    std::vector<uint8_t> want = {0, 0, 0, 0, 10, 0, '/', 'w', '/', 'a', 'b', 'c', '.', 'b', 'm', 'p'};
    want.insert(want.end(), 2 + 1 + 2 + 1 + 2 + 28, 0); // bounds, empty names, one zero frame
    EXPECT_EQ(ReadFileBytes(dir / "p.sip"), want);
}

TEST_F(ProjectTest, ProjectSurvivesARoundTripAndStoresDisplayNamesAfterwards) {
    TempDir dir;
    WriteFileBytes(dir / "sheet.bmp", {1});
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
    ASSERT_TRUE(WriteProject(dir / "hero.sip"));

    ResetModel();
    ProjectFile = "hero.sip";
    MaskColor = 0;
    MessageRecorder messages;
    ASSERT_TRUE(ReadProject(dir / "hero.sip"));
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_EQ(MaskColor, 0x00FF00FF);

    std::vector<ActionData> want = tree;
    want[0].Directions[1].Name = want[2].Directions[1].Name = "Dir 1";
    want[2].Directions[0].Name = want[3].Directions[0].Name = "Dir 0";
    want[1].Name = "Action 1";
    want[3].Name = "Action 3";
    EXPECT_EQ(TreeBytes(Actions), TreeBytes(want));
    EXPECT_EQ(Actions[2].Directions[1].Frames[3], MakeFrame(73)); // reserved bytes kept

    // Counts come from the bounds: entries past them are not part of the project.
    Actions[2].DirUBound = 0;
    Actions[2].Directions[0].FrameUBound = -1;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(BuildProjectBytes(0, "", Actions, bytes, error)); // an empty list cannot be read back
    Actions[2].Directions[0].FrameUBound = 0;
    ASSERT_TRUE(WriteProject(dir / "again.sip"));
    ProjectFileContents stored;
    ASSERT_TRUE(ParseProjectBytes(ReadFileBytes(dir / "again.sip"), stored, error)) << error;
    want[2].Directions.resize(1);
    want[2].DirUBound = 0;
    EXPECT_EQ(TreeBytes(stored.Actions), TreeBytes(want));
    EXPECT_EQ(stored.SheetPath, dir / "sheet.bmp");
}

TEST_F(ProjectTest, NamesAreStoredAsWindows1252AndCutTo255Bytes) {
    std::string euros, e200;
    for (int i = 0; i < 300; ++i) euros += "\xE2\x82\xAC";
    for (int i = 0; i < 200; ++i) e200 += "\xC3\xA9";
    Actions = {MakeAction("Caf\xC3\xA9 \xE2\x82\xAC", {MakeDirection("\xE6\x97\xA5", 1, 0)}),
               MakeAction(std::string(300, 'a'), {MakeDirection(e200, 1, 0), MakeDirection(euros, 1, 0)})};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildProjectBytes(0, "", Actions, bytes, error));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 19),
              (std::vector<uint8_t>{6, 'C', 'a', 'f', 0xE9, ' ', 0x80, 0, 0, 1, '?'}));
    EXPECT_EQ(bytes[19 + 2 + 28], 255); // the second action's name

    ProjectFileContents back;
    ASSERT_TRUE(ParseProjectBytes(bytes, back, error)) << error;
    EXPECT_EQ(back.Actions[0].Name, "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(back.Actions[1].Name, std::string(255, 'a'));
    EXPECT_EQ(back.Actions[1].Directions[0].Name, e200);
    EXPECT_EQ(back.Actions[1].Directions[1].Name, euros.substr(0, 255 * 3));

    SipBuilder b; // names written elsewhere come in as UTF-8
    b.Head(0, "x").Bound(0).Name("\x93Run\x94").Bound(0).SmallDirection();
    ASSERT_TRUE(ParseProjectBytes(b.Bytes, back, error)) << error;
    EXPECT_EQ(back.Actions[0].Name, "\xE2\x80\x9CRun\xE2\x80\x9D");
}

TEST_F(ProjectTest, FailedSaveKeepsTheOldFileAndSaysWhy) {
    TempDir dir;
    const std::string target = dir / "hero.sip";
    const std::vector<uint8_t> old = {7, 0, 0, 0};
    WriteFileBytes(target, old);
    MessageRecorder messages;

    Actions[0].DirUBound = 3; // a tree the reader could not load back is not written
    EXPECT_FALSE(WriteProject(target));
    Actions.clear();
    EXPECT_FALSE(WriteProject(target));
    ResetModel();
    WorkDir = std::string(32768, 'd');
    EXPECT_FALSE(WriteProject(target));
    WorkDir.clear();

    // A write that fails halfway: the file size limit stands in for a full disk.
    Actions = {MakeAction("Big", {MakeDirection("", 400, 1)})};
    rlimit saved{}, small{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = saved;
    small.rlim_cur = 1024;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteProject(target);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_FALSE(WriteProject(dir / "missing/hero.sip"));

    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"hero.sip"}); // no temporary file left
    ASSERT_EQ(messages.Shown.size(), 5u);
    for (const Message& m : messages.Shown) {
        EXPECT_EQ(m.Text.rfind("Can't save the project:\n\n" + dir.Path(), 0), 0u) << m.Text;
        EXPECT_EQ(m.Title + (m.Icon == MsgIcon::Critical ? "!" : ""), "Whoops!");
    }
}
