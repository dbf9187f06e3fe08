// Jitter marks of a 10,000-frame direction on a 4096 x 4096 sheet, worked out
// again after one edit and shown on the strip, against its limit:
//   - a hot spot moved                                  < 10 ms
//   - a frame's rectangle changed (one box rescanned)   < 10 ms
//   - a frame deleted (every later frame moves up)      < 10 ms
// The first measurement of the whole direction, every box scanned, is printed
// beside them for comparison. Ratios below 1 meet the goal.
#include <QApplication>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

#include "EditorBench.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/DeferredCall.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;

namespace {

using namespace EditorBench;
constexpr int Side = 4096, CellW = 32, CellH = 48, Frames = 10000;

// Mode-5 records: rows of 32 x 48 cells, each with a 12 x 38 figure on black.
void LoadSheet() {
    std::vector<uint8_t> data;
    auto run = [&data](int n, uint8_t shade) {
        for (; n > 0; n -= 127) data.insert(data.end(), {static_cast<uint8_t>(std::min(n, 127)), shade, 80, 40});
    };
    for (int y = 0; y < Side; ++y) {
        const int row = y % CellH;
        if (row < 6 || row >= 44) {
            run(Side, 0);
            continue;
        }
        for (int x = 0; x < Side; x += CellW) run(10, 0), run(12, static_cast<uint8_t>(100 + x / CellW)), run(10, 0);
    }
    SP::Sheet = cBitMap();
    if (!SP::Sheet.FromRLE(Side, Side, 5, 0, data)) std::fprintf(stderr, "could not build the sheet\n");
}

FrameData Cell(int i) {
    const int perRow = Side / CellW;
    FrameData f;
    f.X = (i % perRow) * CellW;
    f.Y = (i / perRow) * CellH;
    f.Width = CellW;
    f.Height = CellH;
    f.HotSpotX = 15;
    f.HotSpotY = 43;
    return f;
}

// A window showing one direction of 10,000 frames, its marks worked out once.
std::unique_ptr<Form1> OpenWindow() {
    auto w = std::make_unique<Form1>();
    w->show();
    SP::MaskColor = 0;
    LoadSheet();
    w->SetupSheetView();
    w->Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.clear();
    for (int i = 0; i < Frames; ++i) d.Frames.push_back(Cell(i));
    d.FrameUBound = Frames - 1;
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    QApplication::processEvents();
    return w;
}

std::vector<FrameData>& Dir() { return SP::Actions[0].Directions[0].Frames; }

// Times the marks worked out again after edit(k), untimed, for run k = 1, 2, ...
template <class F>
void MeasureAfter(benchmark::State& state, Form1& w, const std::string& name, F&& edit) {
    int k = 0;
    double total = 0;
    for (auto _ : state) {
        edit(++k);
        const double s = Timed([&] { w.RefreshJitterMarks(); });
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, name, total);
    state.counters["flagged"] = static_cast<double>(w.Jitter.Flags().size());
    state.counters["scanned"] = static_cast<double>(w.Jitter.Scanned());
}

void BM_WholeDirection(benchmark::State& state) {
    auto w = OpenWindow();
    int k = 0;
    double total = 0;
    for (auto _ : state) {
        ++k;
        const double s = Timed([&] { w->RefreshJitterMarks(true); });
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, "whole direction measured (for comparison)", total);
}

void BM_HotSpotMoved(benchmark::State& state) {
    auto w = OpenWindow();
    MeasureAfter(state, *w, "after a hot spot moved", [](int k) { Dir()[(k * 37) % Frames].HotSpotY += k % 2 ? 3 : -3; });
}

void BM_RectangleChanged(benchmark::State& state) {
    auto w = OpenWindow();
    MeasureAfter(state, *w, "after a rectangle changed", [](int k) {
        FrameData& f = Dir()[(k * 53) % Frames];
        f.Width = CellW - 1 - k % 8; // a rectangle not seen before, most of the time
    });
}

void BM_FrameDeleted(benchmark::State& state) {
    auto w = OpenWindow();
    MeasureAfter(state, *w, "after a frame deleted", [](int k) {
        std::vector<FrameData>& frames = Dir();
        frames.erase(frames.begin() + (k * 11) % 100);
        frames.push_back(Cell(Frames + k % 800)); // the count stays
    });
}

} // namespace

BENCHMARK(BM_WholeDirection)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HotSpotMoved)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RectangleChanged)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameDeleted)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return EditorBench::Main(argc, argv,
                             {{"whole direction measured (for comparison)", {1000}},
                              {"after a hot spot moved", {10}},
                              {"after a rectangle changed", {10}},
                              {"after a frame deleted", {10}}},
                             "(10,000 frames, 4096 x 4096 sheet)");
}
