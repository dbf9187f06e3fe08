// Sheet files coded while they are read, and bitmap files painted while they
// are written: the same bytes and refusals as going through a whole cBitMap.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/BitmapHelpers.h"

namespace {

// Slices of 1 MB hold 349 rows of this width, so its files take several.
constexpr int Wide = 1001;
// And 10 rows of the widest sheet (rows of 98304 bytes), the fewest they hold.
constexpr int Widest = 32767, SliceRows = 10;

// The same picture as a top-down file whose rows start 7 bytes after a
// 52-byte info header (heights are negative there).
Bytes TopDownBmp(const TestPicture& pic) {
    const Bytes up = MakeBmp24(pic);
    const size_t stride = (up.size() - 54) / static_cast<size_t>(pic.Height);
    Bytes out(up.begin(), up.begin() + 54);
    out.insert(out.end(), 12 + 7, 0xEE);
    out[10] = 54 + 12 + 7, out[14] = 52;
    const int32_t negative = -pic.Height;
    std::memcpy(&out[22], &negative, 4);
    for (int r = pic.Height - 1; r >= 0; --r)
        out.insert(out.end(), up.begin() + 54 + r * stride, up.begin() + 54 + (r + 1) * stride);
    return out;
}

// Whether the file read, its sides, the stream and what was said.
using Streamed = std::tuple<bool, int32_t, int32_t, Bytes, std::vector<std::string>>;
Streamed StreamOf(const std::string& path, uint8_t mode) {
    MessageRecorder messages;
    Streamed s;
    std::get<0>(s) = cBitMap::StreamOfFile(path, 0x00FF00FF, mode, std::get<1>(s), std::get<2>(s), std::get<3>(s));
    std::get<4>(s) = messages.Texts();
    return s;
}

// The start of a stream that paints exactly n pixels (mode 1: the whole bytes before pixel n).
Bytes Painting(Bytes s, uint8_t mode, int64_t n) {
    if (mode == 1) {
        s.resize(size_t(n / 8));
        return s;
    }
    const size_t rec = mode == 5 ? 4 : mode == 4 ? 3 : 2;
    size_t p = 0;
    for (; p + rec <= s.size() && n > 0; p += rec)
        n -= s[p] = uint8_t(std::min<int64_t>(s[p], n));
    s.resize(p);
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
            for (uint8_t mode : {1, 2, 4, 5, 0, 3})
                EXPECT_EQ(StreamOf(dir / name, mode), Streamed(true, w, h, whole.ToRLE(mode), {}))
                    << name << " mode " << int(mode);
    }
}

// Sheets of one slice less, exactly one, one more and two and one, read in
// slices and painted in windows: runs and bytes of bits carry across every
// slice end, and painting stops a pixel before, at and a pixel after the row
// ends around the first window end, and just before the stream end.
TEST(StreamFile, SliceAndWindowEndsNearEveryRowGiveTheWholeBufferBytes) {
    TempDir dir;
    for (int h : {SliceRows - 1, SliceRows, SliceRows + 1, 2 * SliceRows + 1}) {
        const TestPicture pic = RunnyPicture(Widest, h, static_cast<unsigned>(h), 3);
        WriteFileBytes(dir / "up.bmp", MakeBmp24(pic));
        WriteFileBytes(dir / "down.bmp", TopDownBmp(pic));
        cBitMap whole;
        ASSERT_TRUE(whole.LoadBMP(dir / "up.bmp"));
        for (uint8_t mode : {1, 2, 4, 5}) {
            const Bytes stream = whole.ToRLE(mode);
            for (const char* name : {"up.bmp", "down.bmp"})
                EXPECT_EQ(StreamOf(dir / name, mode), Streamed(true, Widest, h, stream, {}))
                    << h << " rows " << name << " mode " << int(mode);
            std::vector<Bytes> cuts = {stream};
            // Cut short in modes 1 and 5 (the others paint as 5 does).
            for (int rows = SliceRows - 1; h == SliceRows + 1 && mode % 4 == 1 && rows <= h; ++rows)
                for (int d : {-1, 0, 1})
                    if (rows < h || d < 0) cuts.push_back(Painting(stream, mode, int64_t{Widest} * rows + d));
            for (const Bytes& cut : cuts) {
                SCOPED_TRACE(testing::Message()
                             << h << " rows, mode " << int(mode) << ", bytes " << cut.size());
                cBitMap back;
                ASSERT_TRUE(back.FromRLE(Widest, h, mode, 0, cut) && back.Save(dir / "whole.bmp"));
                ASSERT_EQ(cBitMap::SaveFromRLE(dir / "painted.bmp", Widest, h, mode, cut),
                          cBitMap::StreamSave::Saved);
                EXPECT_EQ(ReadFileBytes(dir / "painted.bmp"), ReadFileBytes(dir / "whole.bmp"));
            }
        }
    }
}

TEST(StreamFile, ReadingRefusesWhatLoadingRefusesWithTheSameMessage) {
    TempDir dir;
    const Bytes good = MakeBmp24(RunnyPicture(Wide, 700, 9));
    Bytes deep = good;
    deep[28] = 32;
    const Bytes bad[] = {Bytes(good.begin(), good.end() - 1), Bytes(good.begin(), good.begin() + 30), deep, {}};
    for (const Bytes& b : bad) {
        WriteFileBytes(dir / "bad.bmp", b);
        MessageRecorder messages;
        EXPECT_FALSE(cBitMap().LoadBMP(dir / "bad.bmp"));
        ASSERT_EQ(messages.Texts().size(), 1u);
        EXPECT_EQ(StreamOf(dir / "bad.bmp", 5), Streamed(false, 0, 0, {}, messages.Texts())) << b.size();
    }
    EXPECT_EQ(StreamOf(dir / "none.bmp", 5),
              Streamed(false, 0, 0, {}, {dir / "none.bmp" + "\n\nThis file does not exist."}));
}

TEST(StreamFile, PaintingIntoTheFileWritesWhatFromRleAndSaveWrite) {
    TempDir dir;
    cBitMap src;
    ASSERT_TRUE(LoadPicture(src, RunnyPicture(Wide, 1000, 4, 6), dir));
    // Whole, and cut short: what the stream leaves out is black, across windows. Then sizes
    // of a row or less, and one-pixel rows with padding.
    std::vector<std::tuple<int, int, uint8_t, Bytes>> cases;
    for (uint8_t mode : {1, 2, 4, 5}) {
        const Bytes stream = src.ToRLE(mode);
        for (size_t keep : {stream.size(), stream.size() / 3, size_t{2}})
            cases.emplace_back(Wide, 1000, mode, Bytes(stream.begin(), stream.begin() + std::ptrdiff_t(keep)));
    }
    for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {1, 9}}) cases.emplace_back(w, h, 5, Bytes{3, 10, 20, 30, 200, 1, 2, 3});
    for (const auto& [w, h, mode, stream] : cases) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " mode " << int(mode) << " bytes " << stream.size());
        cBitMap back;
        ASSERT_TRUE(back.FromRLE(w, h, mode, 0, stream) && back.Save(dir / "whole.bmp"));
        EXPECT_EQ(cBitMap::SaveFromRLE(dir / "painted.bmp", w, h, mode, stream), cBitMap::StreamSave::Saved);
        EXPECT_EQ(ReadFileBytes(dir / "painted.bmp"), ReadFileBytes(dir / "whole.bmp"));
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
    EXPECT_TRUE(messages.Texts().size() == 2 && messages.Texts()[0] == messages.Texts()[1]);
    EXPECT_TRUE(ListDir(dir.Path()).empty());
}
