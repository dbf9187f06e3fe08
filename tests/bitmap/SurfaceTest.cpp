// Loading and saving BMP files.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "base/ByteIO.h"
#include "base/Messages.h"
#include "bitmap/BitmapHelpers.h"
#include "bitmap/cBitMap.h"

namespace {

const char* const YawnText = "Brovik is lazy. Only 24 bit\nbitmap images are supported.";

void PutU32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16At(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

TestPicture Sample(int w, int h) {
    TestPicture pic = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.At(x, y) = Rgb(10 + x, 100 + y, 200 + (x ^ y));
    return pic;
}

// The state a refused load must leave alone.
struct Snapshot {
    BitmapInfoHeader header;
    std::vector<uint8_t> pixels;
    bool loaded;
    explicit Snapshot(const cBitMap& bm)
        : header(bm.Header()), pixels(bm.Pixels().data(), bm.Pixels().data() + bm.Pixels().size()),
          loaded(bm.Loaded()) {}
    void ExpectSame(const cBitMap& bm) const {
        EXPECT_EQ(bm.Loaded(), loaded);
        EXPECT_EQ(0, std::memcmp(&bm.Header(), &header, sizeof header));
        ASSERT_EQ(bm.Pixels().size(), pixels.size());
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bm.Pixels().data()));
        EXPECT_EQ(bm.MaskBits().size(), pixels.size());
        EXPECT_EQ(bm.SpriteBits().size(), pixels.size());
    }
};

} // namespace

TEST(BitmapLoad, RowLayoutForEveryPadding) {
    TempDir dir;
    const int widths[] = {1, 2, 3, 4, 5, 8};
    const int strides[] = {4, 8, 12, 12, 16, 24};
    const int pads[] = {1, 2, 3, 0, 1, 0};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(widths[k]);
        TestPicture pic = Sample(widths[k], 3);
        std::vector<uint8_t> file = MakeBmp24(pic);
        // Junk in the file's padding must not reach the buffer.
        for (int row = 0; row < 3; ++row)
            for (int b = widths[k] * 3; b < strides[k]; ++b)
                file[54 + row * strides[k] + b] = 0xAB;
        WriteFileBytes(dir / "p.bmp", file);
        cBitMap bm;
        MessageRecorder rec;
        ASSERT_TRUE(bm.LoadBMP(dir / "p.bmp"));
        EXPECT_TRUE(rec.Shown.empty());
        EXPECT_TRUE(bm.Loaded());
        EXPECT_EQ(bm.Width(), widths[k]);
        EXPECT_EQ(bm.Height(), 3);
        EXPECT_EQ(bm.Stride(), strides[k]);
        EXPECT_EQ(bm.RowPad(), pads[k]);
        EXPECT_EQ(bm.Header().biSizeImage, static_cast<uint32_t>(strides[k] * 3));
        EXPECT_EQ(bm.Pixels().size(), static_cast<size_t>(strides[k] * 3));
        EXPECT_EQ(bm.MaskBits().size(), bm.Pixels().size());
        EXPECT_EQ(bm.SpriteBits().size(), bm.Pixels().size());
        EXPECT_EQ(bm.FileName(), dir / "p.bmp");
        EXPECT_EQ(PictureOf(bm).Colors, pic.Colors);
        // Memory row 0 is the bottom row, blue first.
        const uint8_t* p = bm.Pixels().data();
        EXPECT_EQ(p[0], 200 + (0 ^ 2));
        EXPECT_EQ(p[1], 102);
        EXPECT_EQ(p[2], 10);
        for (int row = 0; row < 3; ++row)
            for (int b = widths[k] * 3; b < strides[k]; ++b)
                EXPECT_EQ(p[row * strides[k] + b], 0);
        for (size_t i = 0; i < bm.MaskBits().size(); ++i) {
            EXPECT_EQ(bm.MaskBits().data()[i], 0);
            EXPECT_EQ(bm.SpriteBits().data()[i], 0);
        }
    }
}

TEST(BitmapLoad, TopDownAndLargeHeaderFilesLoadAsUsualSurfaces) {
    TempDir dir;
    const TestPicture pic = Sample(5, 4);
    const std::vector<uint8_t> plain = MakeBmp24(pic);

    // Top-down: negative height, top row first.
    std::vector<uint8_t> topDown = plain;
    PutU32At(topDown, 22, static_cast<uint32_t>(-4));
    for (int y = 0; y < 4; ++y) {
        auto row = plain.begin() + 54 + (3 - y) * 16;
        std::copy(row, row + 16, topDown.begin() + 54 + y * 16);
    }
    WriteFileBytes(dir / "td.bmp", topDown);

    // A 124-byte info header, a gap, and rows at bfOffBits.
    std::vector<uint8_t> big(plain.begin(), plain.begin() + 54);
    PutU32At(big, 14, 124);
    big.resize(14 + 124, 0x5A);
    big.resize(14 + 124 + 10, 0xEE);
    PutU32At(big, 10, static_cast<uint32_t>(big.size()));
    const size_t rowsAt = big.size();
    big.resize(rowsAt + plain.size() - 54);
    std::copy(plain.begin() + 54, plain.end(), big.begin() + static_cast<std::ptrdiff_t>(rowsAt));
    WriteFileBytes(dir / "v5.bmp", big);

    for (const char* name : {"td.bmp", "v5.bmp"}) {
        SCOPED_TRACE(name);
        cBitMap bm;
        MessageRecorder rec;
        ASSERT_TRUE(bm.LoadBMP(dir / name));
        EXPECT_TRUE(rec.Shown.empty());
        EXPECT_EQ(bm.Height(), 4);
        EXPECT_EQ(bm.Header().biSize, 40u);
        EXPECT_EQ(PictureOf(bm).Colors, pic.Colors);
        // Saved again, it is the plain bottom-up file.
        ASSERT_TRUE(bm.Save(dir / "out.bmp"));
        EXPECT_EQ(ReadFileBytes(dir / "out.bmp"), plain);
    }
}

TEST(BitmapLoad, MissingFileAndReloadByRememberedName) {
    TempDir dir;
    MessageRecorder rec;
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, Sample(3, 2), dir, "a.bmp"));
    const Snapshot before(bm);

    EXPECT_FALSE(bm.LoadBMP(dir / "nope.bmp"));
    ASSERT_EQ(rec.Shown.size(), 1u);
    EXPECT_EQ(rec.Shown[0].Text, dir / "nope.bmp" + "\n\nThis file does not exist.");
    EXPECT_EQ(rec.Shown[0].Title, "Whoops");
    EXPECT_EQ(rec.Shown[0].Icon, MsgIcon::Critical);
    EXPECT_EQ(rec.Shown[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(bm.FileName(), "");
    before.ExpectSame(bm);

    // A folder is not a picture file either.
    EXPECT_FALSE(bm.LoadBMP(dir.Path()));
    EXPECT_EQ(rec.Shown.back().Text, dir.Path() + "\n\nThis file does not exist.");

    // Without a name and nothing remembered: the empty name is reported.
    EXPECT_FALSE(bm.LoadBMP());
    EXPECT_EQ(rec.Shown.back().Text, "\n\nThis file does not exist.");
    before.ExpectSame(bm);

    // An empty argument reloads the file last named.
    ASSERT_TRUE(bm.LoadBMP(dir / "a.bmp"));
    WriteFileBytes(dir / "a.bmp", MakeBmp24(Sample(7, 1)));
    ASSERT_TRUE(bm.LoadBMP());
    EXPECT_EQ(bm.Width(), 7);
    EXPECT_EQ(bm.FileName(), dir / "a.bmp");
    EXPECT_EQ(rec.Shown.size(), 3u);
}

TEST(BitmapLoad, RefusalsReportAndKeepThePreviousPicture) {
    TempDir dir;
    const std::vector<uint8_t> good = MakeBmp24(Sample(6, 3)); // stride 20
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string text; // whole text, or
        std::string part; // a part of it
        std::string title;
        MsgIcon icon;
    };
    std::vector<Case> cases;
    auto with = [&](auto change) {
        std::vector<uint8_t> b = good;
        change(b);
        return b;
    };
    const std::string damaged = "This file is damaged or incomplete.";
    cases.push_back(
        {"8 bit", with([](auto& b) { PutU16At(b, 28, 8); }), YawnText, "", "*yawn*", MsgIcon::Information});
    cases.push_back(
        {"32 bit", with([](auto& b) { PutU16At(b, 28, 32); }), YawnText, "", "*yawn*", MsgIcon::Information});
    cases.push_back({"compressed", with([](auto& b) { PutU32At(b, 30, 1); }), YawnText, "", "*yawn*",
                     MsgIcon::Information});
    cases.push_back({"core header", with([](auto& b) { PutU32At(b, 14, 12); }), YawnText, "", "*yawn*",
                     MsgIcon::Information});
    cases.push_back({"zero width", with([](auto& b) { PutU32At(b, 18, 0); }), "",
                     "Sheets up to 32767 pixels wide and high are supported.", "*yawn*",
                     MsgIcon::Information});
    cases.push_back({"zero height", with([](auto& b) { PutU32At(b, 22, 0); }), "",
                     "Sheets up to 32767 pixels wide and high are supported.", "*yawn*",
                     MsgIcon::Information});
    cases.push_back(
        {"too wide", with([](auto& b) { PutU32At(b, 18, 32768); }),
         "This picture is 32768 x 3 pixels.\nSheets up to 32767 pixels wide and high are supported.", "",
         "*yawn*", MsgIcon::Information});
    cases.push_back(
        {"too high top-down", with([](auto& b) { PutU32At(b, 22, static_cast<uint32_t>(INT32_MIN)); }), "",
         "Sheets up to 32767 pixels wide and high are supported.", "*yawn*", MsgIcon::Information});
    cases.push_back({"negative width", with([](auto& b) { PutU32At(b, 18, static_cast<uint32_t>(-6)); }), "",
                     "Sheets up to 32767 pixels wide and high are supported.", "*yawn*",
                     MsgIcon::Information});
    // Headers claiming a huge picture in a tiny file: refused before allocating.
    cases.push_back({"huge claim", with([](auto& b) {
                         PutU32At(b, 18, 32767);
                         PutU32At(b, 22, 32767);
                     }),
                     "", damaged, "Whoops", MsgIcon::Critical});
    cases.push_back(
        {"one byte short", with([](auto& b) { b.pop_back(); }), "", damaged, "Whoops", MsgIcon::Critical});
    cases.push_back(
        {"headers only", with([](auto& b) { b.resize(54); }), "", damaged, "Whoops", MsgIcon::Critical});
    cases.push_back({"shorter than headers", with([](auto& b) { b.resize(30); }), "", damaged, "Whoops",
                     MsgIcon::Critical});
    cases.push_back({"empty", {}, "", damaged, "Whoops", MsgIcon::Critical});
    cases.push_back({"rows past the end", with([](auto& b) { PutU32At(b, 10, 58); }), "", damaged, "Whoops",
                     MsgIcon::Critical});
    cases.push_back({"offset inside headers", with([](auto& b) { PutU32At(b, 10, 20); }), "", damaged,
                     "Whoops", MsgIcon::Critical});
    cases.push_back({"offset far away", with([](auto& b) { PutU32At(b, 10, 0xFFFFFFF0u); }), "", damaged,
                     "Whoops", MsgIcon::Critical});
    cases.push_back({"header past the end", with([](auto& b) { PutU32At(b, 14, 0x7FFFFFFF); }), "", damaged,
                     "Whoops", MsgIcon::Critical});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cBitMap bm;
        ASSERT_TRUE(LoadPicture(bm, Sample(3, 2), dir, "prev.bmp"));
        const Snapshot before(bm);
        WriteFileBytes(dir / "bad.bmp", c.bytes);
        MessageRecorder rec;
        EXPECT_FALSE(bm.LoadBMP(dir / "bad.bmp"));
        ASSERT_EQ(rec.Shown.size(), 1u);
        if (!c.text.empty()) {
            EXPECT_EQ(rec.Shown[0].Text, c.text);
        } else {
            EXPECT_NE(rec.Shown[0].Text.find(c.part), std::string::npos) << rec.Shown[0].Text;
        }
        EXPECT_EQ(rec.Shown[0].Title, c.title);
        EXPECT_EQ(rec.Shown[0].Icon, c.icon);
        EXPECT_EQ(bm.FileName(), "");
        before.ExpectSame(bm);
        EXPECT_EQ(bm.Width(), 3);
        EXPECT_EQ(bm.Stride(), 12);
        EXPECT_EQ(bm.RowPad(), 3);
    }

    // A refused first load leaves a never-loaded surface with nothing to draw or save.
    cBitMap fresh;
    MessageRecorder rec;
    WriteFileBytes(dir / "bad.bmp", with([](auto& b) { PutU16At(b, 28, 8); }));
    EXPECT_FALSE(fresh.LoadBMP(dir / "bad.bmp"));
    EXPECT_FALSE(fresh.Loaded());
    EXPECT_EQ(fresh.Width(), 0);
    EXPECT_TRUE(fresh.Pixels().empty());
    EXPECT_TRUE(fresh.ToRLE(5).empty());
    EXPECT_FALSE(fresh.Save(dir / "x.bmp"));
    EXPECT_FALSE(FileExists(dir / "x.bmp"));
}

TEST(BitmapSave, WritesTheExactFile) {
    TempDir dir;
    MessageRecorder rec;
    for (int w : {1, 2, 3, 4, 5, 8}) {
        SCOPED_TRACE(w);
        const TestPicture pic = Sample(w, 3);
        cBitMap bm;
        ASSERT_TRUE(LoadPicture(bm, pic, dir, "in.bmp"));
        ASSERT_TRUE(bm.Save(dir / "out.bmp"));
        const std::vector<uint8_t> out = ReadFileBytes(dir / "out.bmp");
        // MakeBmp24 writes exactly the layout a save produces.
        EXPECT_EQ(out, MakeBmp24(pic));
        ASSERT_EQ(out.size(), 54u + bm.Stride() * 3);
        ByteReader r(out);
        uint16_t type = 0;
        uint32_t size = 0;
        r.U16(type);
        r.U32(size);
        EXPECT_EQ(type, 0x4D42);
        EXPECT_EQ(size, out.size());
        // Bottom-left pixel first, blue-green-red.
        const uint32_t bl = static_cast<uint32_t>(pic.At(0, 2));
        EXPECT_EQ(out[54], static_cast<uint8_t>(bl >> 16));
        EXPECT_EQ(out[55], static_cast<uint8_t>(bl >> 8));
        EXPECT_EQ(out[56], static_cast<uint8_t>(bl));
        // Saving elsewhere neither asks nor renames the picture.
        EXPECT_EQ(bm.FileName(), dir / "in.bmp");
    }
    EXPECT_TRUE(rec.Shown.empty());
}

TEST(BitmapSave, StreamSurfaceHeaderAndKeptResolution) {
    TempDir dir;
    MessageRecorder rec;
    // A never-loaded instance writes zero resolution and palette fields.
    cBitMap bm;
    ASSERT_TRUE(bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    ASSERT_TRUE(bm.Save(dir / "s.bmp"));
    const std::vector<uint8_t> expected = {
        0x42, 0x4D, 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
        40,   0,    0,  0, 2, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0,
        0,    0,    0,  0, 8, 0, 0, 0,                           // biSize..biSizeImage
        0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, // resolution, palette
        3,    2,    1,  3, 2, 1, 0, 0};                          // BGR BGR pad
    EXPECT_EQ(ReadFileBytes(dir / "s.bmp"), expected);

    // After a file load the resolution fields survive a stream rebuild.
    ASSERT_TRUE(LoadPicture(bm, Sample(2, 2), dir));
    ASSERT_TRUE(bm.FromRLE(2, 1, 5, 0, {2, 1, 2, 3}));
    EXPECT_EQ(bm.FileName(), dir / "p.bmp");
    ASSERT_TRUE(bm.Save(dir / "s2.bmp"));
    std::vector<uint8_t> withRes = expected;
    PutU32At(withRes, 38, 2835);
    PutU32At(withRes, 42, 2835);
    EXPECT_EQ(ReadFileBytes(dir / "s2.bmp"), withRes);
    EXPECT_TRUE(rec.Shown.empty());
}

TEST(BitmapSave, OverwriteQuestionAndNothingToSave) {
    TempDir dir;
    MessageRecorder rec;
    cBitMap empty;
    EXPECT_FALSE(empty.Save(dir / "e.bmp"));
    EXPECT_FALSE(empty.Save());
    EXPECT_FALSE(FileExists(dir / "e.bmp"));
    EXPECT_TRUE(rec.Shown.empty());

    // A stream surface has no file name: Save() without a path does nothing.
    cBitMap stream;
    ASSERT_TRUE(stream.FromRLE(1, 1, 5, 0, {1, 9, 9, 9}));
    EXPECT_FALSE(stream.Save());
    EXPECT_TRUE(rec.Shown.empty());

    cBitMap bm;
    const TestPicture pic = Sample(3, 3);
    ASSERT_TRUE(LoadPicture(bm, pic, dir, "a.bmp"));
    ASSERT_TRUE(bm.FromRLE(3, 3, 5, 0, {9, 1, 2, 3})); // changed; still named a.bmp
    const std::vector<uint8_t> original = ReadFileBytes(dir / "a.bmp");

    rec.Answers.push_back(MsgAnswer::No);
    EXPECT_FALSE(bm.Save());
    ASSERT_EQ(rec.Shown.size(), 1u);
    EXPECT_EQ(rec.Shown[0].Text, "Do you want to over write the file:\n\n" + dir / "a.bmp");
    EXPECT_EQ(rec.Shown[0].Title, "Hold up!");
    EXPECT_EQ(rec.Shown[0].Icon, MsgIcon::Question);
    EXPECT_EQ(rec.Shown[0].Buttons, MsgButtons::YesNo);
    EXPECT_EQ(ReadFileBytes(dir / "a.bmp"), original);

    rec.Answers.push_back(MsgAnswer::Yes);
    EXPECT_TRUE(bm.Save());
    EXPECT_EQ(rec.Shown.size(), 2u);
    cBitMap back;
    ASSERT_TRUE(back.LoadBMP(dir / "a.bmp"));
    EXPECT_EQ(PictureOf(back).Colors, std::vector<int32_t>(9, Rgb(1, 2, 3)));
    EXPECT_EQ(ListDir(dir.Path()), std::vector<std::string>{"a.bmp"});
}

TEST(BitmapSave, WriteFailuresAreReportedAndLeaveNoTrace) {
    TempDir dir;
    MessageRecorder rec;
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, Sample(2, 2), dir, "a.bmp"));

    EXPECT_FALSE(bm.Save(dir / "missing/b.bmp"));
    ASSERT_EQ(rec.Shown.size(), 1u);
    EXPECT_EQ(rec.Shown[0].Title, "Whoops");
    EXPECT_EQ(rec.Shown[0].Icon, MsgIcon::Critical);
    EXPECT_EQ(rec.Shown[0].Text.rfind(dir / "missing/b.bmp" + "\n\n", 0), 0u);

    // A folder in the way: the rename fails, the folder and its contents stay.
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    WriteFileBytes(dir / "sub/keep.txt", {1, 2, 3});
    EXPECT_FALSE(bm.Save(dir / "sub"));
    EXPECT_EQ(rec.Shown.size(), 2u);
    EXPECT_EQ(ReadFileBytes(dir / "sub/keep.txt"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"a.bmp", "sub"}));
}
