// Sheet files coded while they are read, and bitmap files painted while they
// are written: the same bytes and refusals as going through a whole cBitMap.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/BitmapHelpers.h"

namespace {

// Slices of 1 MB hold 349 rows of this width, so its files take several.
constexpr int Wide = 1001;

// The same picture as a top-down file whose rows start 7 bytes after a
// 52-byte info header (heights are negative there).
Bytes TopDownBmp(const TestPicture& pic) {
    const Bytes up = MakeBmp24(pic);
    const size_t stride = (up.size() - 54) / static_cast<size_t>(pic.Height);
    Bytes out(up.begin(), up.begin() + 54);
    out.insert(out.end(), 12 + 7, 0xEE);
    out[10] = 54 + 12 + 7;
    out[14] = 52;
    int32_t negative = -pic.Height;
    std::memcpy(&out[22], &negative, 4);
    for (int r = pic.Height - 1; r >= 0; --r)
        out.insert(out.end(), up.begin() + 54 + r * stride, up.begin() + 54 + (r + 1) * stride);
    return out;
}

struct Streamed {
    bool Ok = false;
    int32_t Width = 0, Height = 0;
    Bytes Stream;
    std::vector<std::string> Shown;
};

Streamed StreamOf(const std::string& path, uint8_t mode) {
    MessageRecorder messages;
    Streamed s;
    s.Ok = cBitMap::StreamOfFile(path, 0x00FF00FF, mode, s.Width, s.Height, s.Stream);
    s.Shown = messages.Texts();
    return s;
}

} // namespace

TEST(StreamFile, ReadingGivesTheStreamOfTheLoadedSheetInEveryModeAndRowOrder) {
    TempDir dir;
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {Wide, 1000}, {4000, 300}}) {
        const TestPicture pic = RunnyPicture(w, h, static_cast<unsigned>(w + h), 5);
        WriteFileBytes(dir / "up.bmp", MakeBmp24(pic));
        WriteFileBytes(dir / "down.bmp", TopDownBmp(pic));
        cBitMap whole;
        ASSERT_TRUE(whole.LoadBMP(dir / "up.bmp"));
        for (const char* name : {"up.bmp", "down.bmp"})
            for (uint8_t mode : {1, 2, 4, 5, 0, 3}) {
                SCOPED_TRACE(testing::Message() << w << "x" << h << " " << name << " mode " << int(mode));
                const Streamed s = StreamOf(dir / name, mode);
                EXPECT_TRUE(s.Ok && s.Width == w && s.Height == h && s.Shown.empty());
                EXPECT_EQ(s.Stream, whole.ToRLE(mode));
            }
    }
}

TEST(StreamFile, ReadingRefusesWhatLoadingRefusesWithTheSameMessage) {
    TempDir dir;
    const Bytes good = MakeBmp24(RunnyPicture(Wide, 700, 9));
    Bytes deep = good;
    deep[28] = 32;
    const std::vector<Bytes> bad = {Bytes(good.begin(), good.end() - 1), Bytes(good.begin(), good.begin() + 30), deep,
                                    Bytes{}};
    for (size_t i = 0; i < bad.size(); ++i) {
        WriteFileBytes(dir / "bad.bmp", bad[i]);
        MessageRecorder messages;
        cBitMap bm;
        EXPECT_FALSE(bm.LoadBMP(dir / "bad.bmp"));
        const Streamed s = StreamOf(dir / "bad.bmp", 5);
        EXPECT_FALSE(s.Ok) << i;
        EXPECT_EQ(s.Shown, messages.Texts()) << i;
        EXPECT_EQ(s.Shown.size(), 1u) << i;
    }
    const Streamed missing = StreamOf(dir / "none.bmp", 5);
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Shown, std::vector<std::string>{dir / "none.bmp" + "\n\nThis file does not exist."});
}

TEST(StreamFile, PaintingIntoTheFileWritesWhatFromRleAndSaveWrite) {
    TempDir dir;
    const TestPicture pic = RunnyPicture(Wide, 1000, 4, 6);
    WriteFileBytes(dir / "p.bmp", MakeBmp24(pic));
    cBitMap src;
    ASSERT_TRUE(src.LoadBMP(dir / "p.bmp"));
    for (uint8_t mode : {1, 2, 4, 5}) {
        Bytes stream = src.ToRLE(mode);
        // Whole, and cut short: what the stream leaves out is black, across windows.
        for (size_t keep : {stream.size(), stream.size() / 3, size_t{2}}) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " keep " << keep);
            const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(keep));
            cBitMap back;
            ASSERT_TRUE(back.FromRLE(Wide, 1000, mode, 0, part));
            ASSERT_TRUE(back.Save(dir / "whole.bmp"));
            EXPECT_EQ(cBitMap::SaveFromRLE(dir / "painted.bmp", Wide, 1000, mode, part), cBitMap::StreamSave::Saved);
            EXPECT_EQ(ReadFileBytes(dir / "painted.bmp"), ReadFileBytes(dir / "whole.bmp"));
        }
    }
    // Sizes of a row or less, and one-pixel rows with padding.
    for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {1, 9}}) {
        const Bytes stream{3, 10, 20, 30, 200, 1, 2, 3};
        cBitMap back;
        ASSERT_TRUE(back.FromRLE(w, h, 5, 0, stream) && back.Save(dir / "whole.bmp"));
        EXPECT_EQ(cBitMap::SaveFromRLE(dir / "painted.bmp", w, h, 5, stream), cBitMap::StreamSave::Saved);
        EXPECT_EQ(ReadFileBytes(dir / "painted.bmp"), ReadFileBytes(dir / "whole.bmp")) << w << "x" << h;
    }
}

TEST(StreamFile, PaintingRefusesBeforeMakingAFileAndReportsAFailedWriteAsSaveDoes) {
    TempDir dir;
    MessageRecorder messages;
    for (auto [w, h, mode, bytes] : {std::tuple{2, 2, 5, 1}, {0, 2, 5, 8}, {2, 32768, 5, 8}, {2, 2, 3, 8}})
        EXPECT_EQ(cBitMap::SaveFromRLE(dir / "x.bmp", w, h, uint8_t(mode), Bytes(size_t(bytes), 9)),
                  cBitMap::StreamSave::Refused);
    EXPECT_TRUE(ListDir(dir.Path()).empty() && messages.Shown.empty());

    const std::string target = dir / "no-such-folder/x.bmp";
    cBitMap bm;
    ASSERT_TRUE(bm.FromRLE(Wide, 400, 5, 0, {127, 1, 2, 3}));
    EXPECT_FALSE(bm.Save(target));
    EXPECT_EQ(cBitMap::SaveFromRLE(target, Wide, 400, 5, {127, 1, 2, 3}), cBitMap::StreamSave::Failed);
    ASSERT_EQ(messages.Shown.size(), 2u);
    EXPECT_EQ(messages.Texts()[0], messages.Texts()[1]);
    EXPECT_TRUE(ListDir(dir.Path()).empty());
}

TEST(StreamFile, TheEncoderTakesRowsInAnySlicesAndEitherDirection) {
    const TestPicture pic = RunnyPicture(37, 50, 11, 3);
    TempDir dir;
    cBitMap bm;
    ASSERT_TRUE(LoadPicture(bm, pic, dir));
    const uint8_t* rows = bm.Pixels().data();
    const ptrdiff_t stride = bm.Stride();
    // The same rows top-down, walked backwards.
    Bytes flipped(bm.Pixels().size());
    for (int r = 0; r < 50; ++r)
        std::memcpy(&flipped[size_t(49 - r) * size_t(stride)], rows + r * stride, size_t(stride));
    for (uint8_t mode : {1, 2, 4, 5}) {
        ImageStreamEncoder forward(mode, 37, 50), backward(mode, 37, 50);
        int done = 0;
        for (int n : {1, 2, 7, 40}) {
            forward.AddRows(rows + done * stride, n, stride);
            backward.AddRows(flipped.data() + size_t(49 - done) * size_t(stride), n, -stride);
            done += n;
        }
        const Bytes want = bm.ToRLE(mode);
        EXPECT_EQ(forward.Finish(), want) << int(mode);
        EXPECT_EQ(backward.Finish(), want) << int(mode);
    }
}
