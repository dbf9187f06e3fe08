// Loading and saving BMP files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "bitmap/BitmapHelpers.h"

namespace {

void PutLE(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A message on one line, for whole comparisons.
std::string Said(const Message& m) {
    return m.Title + "|" + std::to_string(int(m.Icon)) + "|" + std::to_string(int(m.Buttons)) + "|" + m.Text;
}

} // namespace

TEST(BitmapLoad, RowLayoutForEveryPaddingFileVariantsAndTheSavedFile) {
    TempDir dir;
    MessageRecorder rec;
    const int cases[][3] = {{1, 4, 1}, {2, 8, 2}, {3, 12, 3}, {4, 12, 0}, {5, 16, 1}, {8, 24, 0}}; // w, stride, pad
    for (const auto& [w, stride, pad] : cases) {
        const TestPicture pic = Sample(w, 3);
        const Bytes plain = MakeBmp24(pic);
        // Junk in the padding; a top-down file; a 124-byte info header, a gap and rows at bfOffBits.
        Bytes junk = plain, topDown = plain, big(plain.begin(), plain.begin() + 54);
        for (int row = 0; row < 3; ++row) {
            std::fill(junk.begin() + 54 + row * stride + 3 * w, junk.begin() + 54 + (row + 1) * stride, 0xAB);
            std::copy_n(plain.begin() + 54 + (2 - row) * stride, stride, topDown.begin() + 54 + row * stride);
        }
        PutLE(topDown, 22, uint32_t(-3)), PutLE(big, 14, 124), big.resize(14 + 124 + 10, 0xEE);
        PutLE(big, 10, uint32_t(big.size()));
        big.insert(big.end(), plain.begin() + 54, plain.end());
        for (const Bytes& file : {junk, topDown, big}) {
            SCOPED_TRACE(testing::Message() << w << " from " << file.size() << " bytes");
            WriteFileBytes(dir / "in.bmp", file);
            cBitMap bm;
            ASSERT_TRUE(bm.LoadBMP(dir / "in.bmp"));
            EXPECT_EQ(RowsOf(bm), RowsOf(pic)); // padding zero
            EXPECT_TRUE(bm.Loaded() && bm.Stride() == stride && bm.RowPad() == pad && bm.Height() == 3);
            EXPECT_TRUE(bm.Header().biSizeImage == uint32_t(stride * 3) && bm.Header().biSize == 40);
            EXPECT_TRUE(NoneMasked(bm));
            // Saved elsewhere: the plain file, no question asked, the name kept.
            ASSERT_TRUE(bm.Save(dir / "out.bmp"));
            EXPECT_TRUE(ReadFileBytes(dir / "out.bmp") == plain && bm.FileName() == dir / "in.bmp");
        }
    }
    EXPECT_TRUE(rec.Shown.empty());
}

TEST(BitmapFile, MissingFilesReloadOverwriteQuestionAndWriteFailures) {
    TempDir dir;
    MessageRecorder rec;
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, Sample(3, 2), dir, "a.bmp"));
    const Bytes before = StateOf(bm);
    // A missing file, a folder, and no name with nothing remembered.
    for (const std::string& name : {dir / "nope.bmp", dir.Path(), std::string()}) {
        EXPECT_FALSE(bm.LoadBMP(name));
        EXPECT_EQ(Said(rec.Shown.back()), Said({name + "\n\nThis file does not exist.", MsgButtons::OK,
                                                MsgIcon::Critical, "Whoops"}));
        EXPECT_TRUE(bm.FileName().empty() && StateOf(bm) == before);
    }
    // An empty argument reloads the file last named; saving without a path asks
    // before overwriting it, and a stream rebuild keeps the file's resolution fields.
    ASSERT_TRUE(bm.LoadBMP(dir / "a.bmp"));
    WriteFileBytes(dir / "a.bmp", MakeBmp24(Sample(7, 1)));
    ASSERT_TRUE(bm.LoadBMP() && bm.Width() == 7 && bm.FromRLE(3, 3, 5, 0, {9, 1, 2, 3}));
    EXPECT_EQ(bm.FileName(), dir / "a.bmp");
    rec.Answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_FALSE(bm.Save());
    EXPECT_EQ(Said(rec.Shown.back()), Said({"Do you want to over write the file:\n\n" + dir / "a.bmp",
                                            MsgButtons::YesNo, MsgIcon::Question, "Hold up!"}));
    EXPECT_EQ(ReadFileBytes(dir / "a.bmp"), MakeBmp24(Sample(7, 1)));
    EXPECT_TRUE(bm.Save() && rec.Shown.size() == 5u);
    EXPECT_EQ(ReadFileBytes(dir / "a.bmp"), MakeBmp24(MakePicture(3, 3, Rgb(1, 2, 3))));
    // Write failures are reported and leave no trace; a folder in the way and its contents stay.
    EXPECT_FALSE(bm.Save(dir / "missing/b.bmp"));
    Message m = rec.Shown.at(5);
    m.Text.resize(m.Text.find("\n\n") + 2);
    EXPECT_EQ(Said(m), Said({dir / "missing/b.bmp" + "\n\n", MsgButtons::OK, MsgIcon::Critical, "Whoops"}));
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    WriteFileBytes(dir / "sub/keep.txt", {1, 2, 3});
    EXPECT_TRUE(!bm.Save(dir / "sub") && rec.Shown.size() == 7u);
    EXPECT_EQ(ReadFileBytes(dir / "sub/keep.txt"), (Bytes{1, 2, 3}));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a.bmp", "sub"}));
}

TEST(BitmapLoad, RefusalsKeepThePreviousPictureAndTheLargestSidesLoad) {
    TempDir dir;
    const Bytes good = MakeBmp24(Sample(6, 3)); // stride 20
    const std::string yawn = "Brovik is lazy. Only 24 bit\nbitmap images are supported.",
                      sides = "Sheets up to 32767 pixels wide and high are supported.",
                      damaged = dir / "bad.bmp" + "\n\nThis file is damaged or incomplete.",
                      texts[] = {yawn, sides, "This picture is 32768 x 3 pixels.\n" + sides, damaged};
    // {offset, value, text}: 8 bit, compressed, a core header; sides of 0, over 32767
    // or negative (the sides text is a part of the message); a huge claim in a small
    // file; rows past the end, in the headers or far away; a header past the end.
    const uint32_t changes[][3] = {
        {28, 8, 0},         {30, 1, 0},           {14, 12, 0},           {18, 0, 1},
        {22, 0, 1},         {22, 0x80000000u, 1}, {18, uint32_t(-6), 1}, {18, 32768, 2},
        {22, 32767, 3},     {10, 58, 3},          {10, 20, 3},           {10, 0xFFFFFFF0u, 3},
        {14, 0x7FFFFFFF, 3}};
    std::vector<std::pair<Bytes, std::string>> cases;
    for (const auto& [at, v, text] : changes) {
        cases.emplace_back(good, texts[text]);
        PutLE(cases.back().first, at, v);
    }
    for (size_t n = 0; n < good.size(); ++n) // every truncation
        cases.emplace_back(Bytes(good.begin(), good.begin() + n), damaged);
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, Sample(3, 2), dir, "prev.bmp"));
    const Bytes before = StateOf(bm);
    for (size_t k = 0; k < cases.size(); ++k) {
        const auto& [bytes, text] = cases[k];
        SCOPED_TRACE(k);
        WriteFileBytes(dir / "bad.bmp", bytes);
        MessageRecorder rec;
        EXPECT_TRUE(!bm.LoadBMP(dir / "bad.bmp") && bm.FileName().empty() && StateOf(bm) == before);
        ASSERT_EQ(rec.Shown.size(), 1u);
        Message m = rec.Shown[0];
        if (text == sides && m.Text.find(sides) != std::string::npos) m.Text = sides;
        const bool bad = text == damaged;
        EXPECT_EQ(Said(m), Said({text, MsgButtons::OK, bad ? MsgIcon::Critical : MsgIcon::Information,
                                 bad ? "Whoops" : "*yawn*"}));
    }
    // The largest sides load.
    ASSERT_TRUE(LoadPicture(bm, MakePicture(32767, 1, 7), dir, "prev.bmp"));
    ASSERT_TRUE(LoadPicture(bm, MakePicture(1, 32767, 7), dir, "prev.bmp"));
    // A refused first load leaves nothing to draw or save; rebuilt from a stream,
    // it saves zero resolution fields.
    cBitMap fresh;
    MessageRecorder rec;
    EXPECT_FALSE(fresh.LoadBMP(dir / "bad.bmp"));
    EXPECT_TRUE(!fresh.Loaded() && fresh.Width() == 0 && fresh.Pixels().empty() && fresh.ToRLE(5).empty());
    EXPECT_FALSE(fresh.Save(dir / "x.bmp") || fresh.Save());
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"bad.bmp", "prev.bmp"}));
    ASSERT_TRUE(fresh.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    ASSERT_TRUE(fresh.Save(dir / "x.bmp"));
    Bytes expected = MakeBmp24(MakePicture(2, 1, Rgb(1, 2, 3)));
    PutLE(expected, 38, 0), PutLE(expected, 42, 0);
    EXPECT_EQ(ReadFileBytes(dir / "x.bmp"), expected);
}
