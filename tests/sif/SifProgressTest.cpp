// Following and stopping the long steps of SIF export and import: the SIF
// functions and the streaming bitmap pieces they and the tool are made of.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "base/Messages.h"
#include "bitmap/cBitMap.h"
#include "sif/SifFile.h"
#include "support/TestSupport.h"

using namespace SpriteProject;
using Bytes = std::vector<uint8_t>;

namespace {

// The reports of one run; the callback says stop at report number StopAt.
class Steps {
public:
    explicit Steps(int stopAt = -1)
        : progress_([this, stopAt](double done) {
              Seen.push_back(done);
              return static_cast<int>(Seen.size()) - 1 != stopAt;
          }) {}
    Steps(const Steps&) = delete;
    Steps& operator=(const Steps&) = delete;
    const Progress& Get() const { return progress_; }
    std::vector<double> Seen;

private:
    Progress progress_;
};

// What the functions must leave alone when stopped.
auto Globals() {
    std::string names;
    for (const ActionData& a : Actions) names += a.Name + "/";
    return std::tuple(BuildStructureBlock(Actions), names, MaskColor, Sheet.Width(), Sheet.Height(),
                      Bytes(Sheet.Pixels().data(), Sheet.Pixels().data() + Sheet.Pixels().size()));
}

} // namespace

TEST(SifProgress, EveryLongStepReportsUpToOneAndStopsAtAnyReportLeavingEverythingAsItWas) {
    TempDir dir;
    // Over 4 MB of rows, so that the sheet is coded and read in several slices;
    // bands of colour keep the coded stream small.
    TestPicture pic = MakePicture(1400, 1100, 0x00FF00FF);
    for (int y = 0; y < pic.Height; ++y)
        for (int x = 0; x < pic.Width; x += 3) pic.At(x, y) = (x * 7 + y / 5) * 0x010305 & 0xFFFFFF;
    const std::string sheetPath = dir / "sheet.bmp", sifPath = dir / "in.sif", target = dir / "out";
    WriteFileBytes(sheetPath, MakeBmp24(pic));
    ASSERT_TRUE(Sheet.LoadBMP(sheetPath));
    Actions.assign(2, NewAction());
    Actions[1].Name = "walk";
    MaskColor = 0x00FF00FF;
    ASSERT_TRUE(WriteSIF(sifPath, 5, 1, 1));
    const Bytes stream = Sheet.ToRLE(5);

    int32_t w = 0, h = 0;
    Bytes streamed;
    const struct {
        const char* name;
        std::function<bool(const Progress&)> run;
    } cases[] = {
        {"WriteSIF", [&](const Progress& p) { return WriteSIF(target, 4, 1, 1, p); }},
        {"WriteSIFOfSheet", [&](const Progress& p) { return WriteSIFOfSheet(target, sheetPath, 5, 0, 1, w, h, p); }},
        {"ReadSIF", [&](const Progress& p) { return ReadSIF(sifPath, p).Data == stream; }},
        {"SaveFromRLE",
         [&](const Progress& p) {
             return cBitMap::SaveFromRLE(target, 1400, 1100, 5, stream, p) == cBitMap::StreamSave::Saved;
         }},
        {"StreamOfFile",
         [&](const Progress& p) {
             return cBitMap::StreamOfFile(sheetPath, 0x00FF00FF, 5, w, h, streamed, p) && streamed == stream;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(target);
        Steps all;
        ASSERT_TRUE(c.run(all.Get()));
        ASSERT_GE(all.Seen.size(), 4u);
        EXPECT_TRUE(std::is_sorted(all.Seen.begin(), all.Seen.end()) && all.Seen.front() >= 0) << all.Seen.front();
        EXPECT_EQ(all.Seen.back(), 1.0);

        const int last = static_cast<int>(all.Seen.size()) - 1;
        for (int stopAt : {0, 1, last / 2, last - 1, last}) {
            for (bool existing : {false, true}) {
                SCOPED_TRACE("stopped at report " + std::to_string(stopAt) + (existing ? " over a file" : ""));
                std::filesystem::remove(target);
                if (existing) WriteFileBytes(target, {1, 2, 3});
                const auto files = ListDir(dir.Path());
                const auto before = Globals();
                MessageRecorder messages;
                Steps stopping(stopAt);
                EXPECT_FALSE(c.run(stopping.Get()));
                EXPECT_TRUE(stopping.Get().Cancelled());
                EXPECT_EQ(stopping.Seen.size(), size_t(stopAt) + 1); // none after the stop
                EXPECT_TRUE(messages.Shown.empty()) << messages.Texts().front();
                EXPECT_EQ(ListDir(dir.Path()), files); // no temporary file left either
                EXPECT_TRUE(!existing || ReadFileBytes(target) == Bytes({1, 2, 3}));
                EXPECT_TRUE(Globals() == before);
            }
        }
    }
}
