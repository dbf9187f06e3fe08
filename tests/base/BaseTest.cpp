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
    // Characters outside the code page and malformed input become "?".
    EXPECT_EQ(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5\xFF\xC3"), "caf\xE9 \x80 ???");
}

TEST(ByteIO, ReaderRefusesToReadPastTheEnd) {
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    w.I16(-2), w.I32(0x12345678);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12}));
    ByteReader r(bytes);
    int16_t a = 0;
    int32_t b = 0, c = 0;
    EXPECT_TRUE(r.I16(a) && r.I32(b) && !r.I32(c) && r.AtEnd());
    EXPECT_EQ(std::pair(a, b), std::pair(int16_t(-2), 0x12345678));
}

TEST(FileIO, AtomicWritesPathsAndListedNames) {
    TempDir dir;
    WriteFileBytes(dir / "a.bin", {1, 2, 3});
    std::string error;
    {
        AtomicFile f(dir / "a.bin");
        ASSERT_TRUE(f.Open(error));
        f.Write("xyz", 3); // destroyed without Commit: the old file stays, nothing left behind
    }
    EXPECT_EQ(ReadFileBytes(dir / "a.bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.bin"});
    ASSERT_TRUE(WriteFileAtomic(dir / "a.bin", "xy", 2, error));
    EXPECT_EQ(ReadFileBytes(dir / "a.bin"), (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_FALSE(WriteFileAtomic(dir / "missing/a.bin", "xy", 2, error));
    // The exact listed name only.
    EXPECT_TRUE(FileListedAs(dir.Path(), "a.bin") && !FileListedAs(dir.Path(), "A.bin") &&
                !FileListedAs(dir.Path(), ""));
    std::string d, f, got;
    for (const char* path : {"C:\\games\\hero.sip", "/home/me/hero.sip", "hero.sip"})
        SplitPath(path, d, f), got += d + "|" + f + " ";
    EXPECT_EQ(got, "C:\\games\\|hero.sip /home/me/|hero.sip |hero.sip ");
}

TEST(Messages, RecorderScriptsAnswersAndRestoresTheHandler) {
    {
        MessageRecorder rec;
        rec.Answers.push_back(MsgAnswer::Yes);
        EXPECT_EQ(MsgBox("Sure?", MsgButtons::YesNo, MsgIcon::Question, "Hold up!"), MsgAnswer::Yes);
        EXPECT_EQ(MsgBox("Again?", MsgButtons::YesNo, MsgIcon::Question, "Hold up!"), MsgAnswer::No);
        EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"Sure?", "Again?"}));
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(MsgBox("plain"), MsgAnswer::OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Celwright: plain\n");
}
