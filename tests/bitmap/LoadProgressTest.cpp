// Loading with progress: reports that rise to 1, and a stop at any report that
// leaves the picture held before exactly as it was, without a word.
#include <gtest/gtest.h>

#include <functional>

#include "bitmap/BitmapHelpers.h"
#include "support/PngBuilder.h"

namespace {

enum class Form { BottomUp, TopDown, Png };

// The picture's file: a BMP of bottom-up or top-down rows, or a PNG.
Bytes FileOf(const TestPicture& pic, Form form) {
    if (form == Form::Png) return PngBuild::FromPicture(pic);
    Bytes f = MakeBmp24(pic);
    if (form == Form::TopDown) {
        const size_t stride = (f.size() - 54) / pic.Height;
        const Bytes rows(f.begin() + 54, f.end());
        for (int r = 0; r < pic.Height; ++r)
            std::copy_n(rows.begin() + (pic.Height - 1 - r) * stride, stride, f.begin() + 54 + r * stride);
        for (int i = 0; i < 4; ++i) f[22 + i] = uint8_t(uint32_t(-pic.Height) >> (8 * i));
    }
    return f;
}

} // namespace

TEST(LoadProgress, ReportsRiseToOneAndAStopAtAnyReportChangesNothing) {
    TempDir dir;
    MessageRecorder rec;
    // Several slices of rows (and two threads) for the BMP, rows with padding.
    const TestPicture pic = RunnyPicture(1001, 700, 5);
    // The first report, the next one (how far the other thread got decides
    // whether the reading thread reports in between at all), and the last.
    const std::function<bool(double)> stops[] = {[](double v) { return v == 0; },
                                                 [](double v) { return v > 0; },
                                                 [](double v) { return v == 1; }};
    for (Form form : {Form::BottomUp, Form::TopDown, Form::Png}) {
        SCOPED_TRACE(static_cast<int>(form));
        const std::string path = dir / (form == Form::Png ? "big.png" : "big.bmp");
        WriteFileBytes(path, FileOf(pic, form));
        cBitMap bm;
        ASSERT_TRUE(LoadPicture(bm, Sample(5, 3), dir, "small.bmp"));
        bm.GenMask(SheetColor(bm, 1, 1));
        const Bytes before = StateOf(bm);
        const FileStamp stamp = bm.LoadedStamp();
        for (size_t k = 0; k < std::size(stops); ++k) {
            bool stopped = false;
            EXPECT_FALSE(bm.LoadBMP(path, 0, Progress([&](double v) { return !(stopped = stops[k](v)); }))) << k;
            EXPECT_TRUE(stopped && StateOf(bm) == before && bm.LoadedStamp() == stamp) << k;
            EXPECT_EQ(bm.FileName(), dir / "small.bmp");
        }
        std::vector<double> seen;
        ASSERT_TRUE(bm.LoadBMP(path, 0, Progress([&](double v) { return seen.push_back(v), true; })));
        EXPECT_EQ(RowsOf(bm), RowsOf(pic)); // padding zero
        EXPECT_TRUE(bm.FileName() == path && NoneMasked(bm));
        ASSERT_GE(seen.size(), 3u);
        EXPECT_TRUE(seen.front() == 0 && seen.back() == 1 &&
                    std::adjacent_find(seen.begin(), seen.end(), std::greater_equal<>()) == seen.end())
            << testing::PrintToString(seen);
    }
    EXPECT_TRUE(rec.Shown.empty());
}
