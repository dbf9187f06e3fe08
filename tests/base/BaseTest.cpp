#include <gtest/gtest.h>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "base/Messages.h"
#include "base/TextCodec.h"
#include "support/TestSupport.h"

TEST(TextCodec, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro sign
    EXPECT_EQ(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5"), "caf\xE9 \x80 ?");
    EXPECT_EQ(Utf8ToCp1252("\xFF\xC3"), "??"); // malformed input
}

TEST(ByteIO, ReaderRefusesToReadPastTheEnd) {
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    w.I16(-2);
    w.I32(0x12345678);
    ByteReader r(bytes);
    int16_t a;
    int32_t b, c;
    ASSERT_TRUE(r.I16(a));
    ASSERT_TRUE(r.I32(b));
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0x12345678);
    EXPECT_FALSE(r.I32(c));
    EXPECT_TRUE(r.AtEnd());
}

TEST(FileIO, FailedAtomicWriteKeepsTheOldFile) {
    TempDir dir;
    WriteFileBytes(dir / "a.bin", {1, 2, 3});
    {
        AtomicFile f(dir / "a.bin");
        std::string error;
        ASSERT_TRUE(f.Open(error));
        f.Write("xyz", 3);
        // destroyed without Commit
    }
    EXPECT_EQ(ReadFileBytes(dir / "a.bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.bin"});
    std::string error;
    ASSERT_TRUE(WriteFileAtomic(dir / "a.bin", "xy", 2, error));
    EXPECT_EQ(ReadFileBytes(dir / "a.bin"), (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_FALSE(WriteFileAtomic(dir / "missing/a.bin", "xy", 2, error));
}

TEST(FileIO, SplitPathAcceptsBothSeparators) {
    std::string d, f;
    SplitPath("C:\\games\\hero.sip", d, f);
    EXPECT_EQ(d, "C:\\games\\");
    EXPECT_EQ(f, "hero.sip");
    SplitPath("/home/me/hero.sip", d, f);
    EXPECT_EQ(d, "/home/me/");
    EXPECT_EQ(f, "hero.sip");
    SplitPath("hero.sip", d, f);
    EXPECT_EQ(d, "");
    EXPECT_EQ(f, "hero.sip");
}

TEST(FileIO, ListedNameMustMatchExactly) {
    TempDir dir;
    WriteFileBytes(dir / "Hero.bmp", {0});
    EXPECT_TRUE(FileListedAs(dir.Path(), "Hero.bmp"));
    EXPECT_FALSE(FileListedAs(dir.Path(), "hero.bmp"));
    EXPECT_FALSE(FileListedAs(dir.Path(), ""));
}

TEST(Messages, RecorderScriptsAnswersAndRestoresTheHandler) {
    {
        MessageRecorder rec;
        rec.Answers.push_back(MsgAnswer::Yes);
        EXPECT_EQ(MsgBox("Sure?", MsgButtons::YesNo, MsgIcon::Question, "Hold up!"), MsgAnswer::Yes);
        EXPECT_EQ(MsgBox("Again?", MsgButtons::YesNo, MsgIcon::Question, "Hold up!"), MsgAnswer::No);
        ASSERT_EQ(rec.Shown.size(), 2u);
        EXPECT_EQ(rec.Shown[0].Title, "Hold up!");
        EXPECT_EQ(rec.Texts()[1], "Again?");
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(MsgBox("plain"), MsgAnswer::OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Celwright: plain\n");
}
