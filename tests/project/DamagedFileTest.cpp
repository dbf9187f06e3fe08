// Damaged and hostile project files: refused with a message, nothing read outside
// the file, nothing allocated for entries the file cannot hold, the model untouched.
#include <gtest/gtest.h>

#include "base/Messages.h"
#include "project/ProjectTestSupport.h"
#include "support/TestSupport.h"

using namespace SpriteProject;

namespace {

// A valid project with names, several actions, directions and frames.
std::vector<uint8_t> ValidProject(const std::string& sheetPath) {
    SipBuilder b;
    b.Head(0x00112233, sheetPath).Bound(1);
    b.Name("Walk").Bound(1);
    b.Name("N").Bound(1).Frame(MakeFrame(1)).Frame(MakeFrame(2));
    b.SmallDirection();
    b.Name("").Bound(0).Name("Up").Bound(2).Frame(MakeFrame(3)).Frame(MakeFrame(4)).Frame(MakeFrame(5));
    return b.Bytes;
}

bool Parses(const std::vector<uint8_t>& bytes, std::string* why = nullptr) {
    ProjectFileContents out;
    std::string error;
    bool ok = ParseProjectBytes(bytes, out, error);
    if (!ok) {
        EXPECT_FALSE(error.empty());
    }
    if (why) *why = error;
    return ok;
}

} // namespace

TEST(ProjectParser, ReadsAValidFileAndIgnoresBytesAfterTheTree) {
    std::vector<uint8_t> bytes = ValidProject("C:\\a\\s.bmp");
    ProjectFileContents out;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(bytes, out, error)) << error;
    EXPECT_EQ(out.MaskColor, 0x00112233);
    EXPECT_EQ(out.SheetPath, "C:\\a\\s.bmp");
    ASSERT_EQ(out.Actions.size(), 2u);
    EXPECT_EQ(out.Actions[0].Name, "Walk");
    EXPECT_EQ(out.Actions[1].Name, ""); // defaults are the reader's business
    EXPECT_EQ(out.Actions[1].Directions[0].Frames,
              (std::vector<FrameData>{MakeFrame(3), MakeFrame(4), MakeFrame(5)}));

    bytes.insert(bytes.end(), {0xFF, 0xFF, 0x7F, 1, 2, 3});
    ProjectFileContents again;
    ASSERT_TRUE(ParseProjectBytes(bytes, again, error));
    ExpectSameTree(again.Actions, out.Actions);
}

TEST(ProjectParser, EveryTruncationIsRefusedAndLeavesTheResultAlone) {
    const std::vector<uint8_t> bytes = ValidProject("/art/sheet.bmp");
    for (size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        ProjectFileContents out;
        out.MaskColor = 99;
        out.SheetPath = "kept";
        std::string error;
        EXPECT_FALSE(ParseProjectBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n), out, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(out.MaskColor, 99);
        EXPECT_EQ(out.SheetPath, "kept");
        EXPECT_TRUE(out.Actions.empty());
    }
}

TEST(ProjectParser, NegativeLengthsAndBoundsAreRefused) {
    std::string why;
    EXPECT_FALSE(Parses(SipBuilder().Head(0, "").Bound(-1).Bytes, &why)); // no action at all
    {
        SipBuilder b;
        b.W.I32(0);
        b.W.I16(-1); // negative path length
        b.Bound(0).SmallDirection();
        EXPECT_FALSE(Parses(b.Bytes, &why));
        EXPECT_NE(why.find("negative"), std::string::npos) << why;
    }
    {
        SipBuilder b;
        b.Head(0, "p").Bound(-1);
        b.Bytes.insert(b.Bytes.end(), 200, 0);
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        SipBuilder b;
        b.Head(0, "p").Bound(0).Name("a").Bound(-2);
        b.Bytes.insert(b.Bytes.end(), 200, 0);
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        SipBuilder b;
        b.Head(0, "p").Bound(0).Name("a").Bound(0).Name("d").Bound(-1);
        b.Bytes.insert(b.Bytes.end(), 200, 0);
        EXPECT_FALSE(Parses(b.Bytes));
    }
}

TEST(ProjectParser, CountsTheRemainingBytesCannotHoldAreRefused) {
    // The largest bounds with almost nothing behind them: refused up front,
    // before anything is allocated for them.
    {
        SipBuilder b;
        b.Head(0, "p").Bound(32767).Name("").Bound(0).SmallDirection();
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        SipBuilder b;
        b.Head(0, "p").Bound(0).Name("").Bound(32767).SmallDirection();
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        SipBuilder b;
        b.Head(0, "p").Bound(0).Name("").Bound(0).Name("").Bound(32767).Frame(FrameData{});
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        // Two frames announced, one frame and 27 bytes present.
        SipBuilder b;
        b.Head(0, "p").Bound(0).Name("").Bound(0).Name("").Bound(1).Frame(FrameData{});
        b.Bytes.insert(b.Bytes.end(), 27, 0);
        EXPECT_FALSE(Parses(b.Bytes));
    }
    {
        // A path or name running past the end of the file.
        SipBuilder b;
        b.W.I32(0);
        b.W.I16(32767);
        b.Bytes.insert(b.Bytes.end(), 100, 'x');
        EXPECT_FALSE(Parses(b.Bytes));
        SipBuilder c;
        c.Head(0, "p").Bound(0);
        c.W.U8(255);
        c.Bytes.insert(c.Bytes.end(), 254, 'n');
        EXPECT_FALSE(Parses(c.Bytes));
    }
}

TEST(ProjectParser, SmallestPossibleBlocksAreAccepted) {
    // Unnamed directions of one frame, packed to the last byte: the count
    // checks must not refuse what the format allows.
    SipBuilder b;
    b.Head(0, "").Bound(2);
    for (int a = 0; a < 3; ++a) b.Name("").Bound(0).SmallDirection();
    ProjectFileContents out;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(b.Bytes, out, error)) << error;
    EXPECT_EQ(out.Actions.size(), 3u);

    SipBuilder c;
    c.Head(0, "").Bound(0).Name("").Bound(3);
    for (int j = 0; j < 4; ++j) c.SmallDirection();
    ASSERT_TRUE(ParseProjectBytes(c.Bytes, out, error)) << error;
    EXPECT_EQ(out.Actions[0].Directions.size(), 4u);
}

TEST(ProjectParser, ManyEntriesAtTheLimitsAreRead) {
    SipBuilder b;
    b.Head(0, "").Bound(0).Name("").Bound(32766);
    for (int j = 0; j < 32767; ++j) b.SmallDirection();
    ProjectFileContents out;
    std::string error;
    ASSERT_TRUE(ParseProjectBytes(b.Bytes, out, error)) << error;
    EXPECT_EQ(out.Actions[0].Directions.size(), 32767u);
    EXPECT_EQ(out.Actions[0].DirUBound, 32766);
}

class DamagedProjectFile : public ProjectTest {};

TEST_F(DamagedProjectFile, EveryTruncationIsReportedAndTheResetModelStays) {
    TempDir dir;
    WriteFileBytes(dir / "sheet.bmp", MakeBmp24(MakePicture(1, 1)));
    const std::vector<uint8_t> bytes = ValidProject(dir / "sheet.bmp");
    const std::string file = dir / "hero.sip";
    for (size_t n = 0; n <= bytes.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        WriteFileBytes(file, std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        ResetModel();
        WorkDir = dir.Path();
        ProjectFile = "hero.sip";
        MaskColor = 0x0BADBAD;
        MessageRecorder messages;
        const bool loaded = ReadProject(file);
        if (n == bytes.size()) {
            EXPECT_TRUE(loaded);
            EXPECT_TRUE(messages.Shown.empty());
            EXPECT_EQ(Actions.size(), 2u);
            continue;
        }
        EXPECT_FALSE(loaded);
        ASSERT_EQ(messages.Shown.size(), 1u);
        const Message& m = messages.Shown[0];
        EXPECT_EQ(m.Text.rfind("This project file is damaged or incomplete:\n\n" + file, 0), 0u) << m.Text;
        EXPECT_EQ(m.Title, "Whoops");
        EXPECT_EQ(m.Icon, MsgIcon::Critical);
        ExpectPlaceholder(Actions);
        // The mask colour is taken as soon as its four bytes are there.
        EXPECT_EQ(MaskColor, n < 4 ? 0x0BADBAD : 0x00112233);
    }
}

TEST_F(DamagedProjectFile, HugeCountsAreReportedWithoutLoading) {
    TempDir dir;
    WriteFileBytes(dir / "s.bmp", MakeBmp24(MakePicture(1, 1)));
    SipBuilder b;
    b.Head(5, dir / "s.bmp").Bound(32767).Name("").Bound(32767).Name("").Bound(32767);
    WriteFileBytes(dir / "h.sip", b.Bytes);
    ResetModel();
    WorkDir = dir.Path();
    ProjectFile = "h.sip";
    MessageRecorder messages;
    EXPECT_FALSE(ReadProject(dir / "h.sip"));
    ASSERT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(messages.Shown[0].Text.rfind("This project file is damaged or incomplete:", 0), 0u);
    ExpectPlaceholder(Actions);
    EXPECT_EQ(MaskColor, 5);
}

TEST_F(DamagedProjectFile, NulBytesInTheStoredPathNeverMatchAFile) {
    TempDir dir;
    WriteFileBytes(dir / "s.bmp", MakeBmp24(MakePicture(1, 1)));
    SipBuilder b;
    std::string path = dir / "s.bmp";
    path += std::string("\0/s.bmp", 7); // would cut the path short at the NUL
    b.Head(0, path).Bound(0).Name("").Bound(0).SmallDirection();
    WriteFileBytes(dir / "h.sip", b.Bytes);
    ResetModel();
    WorkDir = dir.Path() + "nothing/";
    ProjectFile = "h.sip";
    MessageRecorder messages;
    EXPECT_FALSE(ReadProject(dir / "h.sip"));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't find source image!"});
}
