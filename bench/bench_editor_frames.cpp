// Speed of the add-frames windows on a 4096 x 4096 sheet of 11,008 figures in
// 32 x 48 cells: from a changed option to the new count shown and the overview
// redrawn with every candidate box and painted, against its limit:
//   - from sprites, the merge gap changed                        < 50 ms
//   - from a grid with empty cells skipped and cells trimmed,
//     the cell width changed                                     < 50 ms
// Every time is printed with its ratio to the limit (below 1 meets it).
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "EditorBench.h"
#include "base/Messages.h"
#include "editor/Form1.h"
#include "editor/FramesDialog.h"
#include "platform/DeferredCall.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;

namespace {

using namespace EditorBench;
constexpr int Side = 4096;


// Mode-5 records (count, red, green, blue): rows of 32-pixel cells, 48 rows
// high, each with a 12 x 38 figure on the mask colour black.
void LoadSheet() {
    std::vector<uint8_t> data;
    auto run = [&data](int n, uint8_t shade) {
        for (; n > 0; n -= 127) data.insert(data.end(), {static_cast<uint8_t>(std::min(n, 127)), shade, 80, 40});
    };
    auto clear = [&data](int n) {
        for (; n > 0; n -= 127) data.insert(data.end(), {static_cast<uint8_t>(std::min(n, 127)), 0, 0, 0});
    };
    for (int y = 0; y < Side; ++y) {
        const int row = y % 48;
        if (row < 6 || row >= 44) {
            clear(Side);
            continue;
        }
        for (int x = 0; x < Side; x += 32) clear(10), run(12, static_cast<uint8_t>(100 + x / 32)), clear(10);
    }
    SP::Sheet = cBitMap();
    if (!SP::Sheet.FromRLE(Side, Side, 5, 0, data)) std::fprintf(stderr, "could not build the sheet\n");
}

// A window with direction 0 of a new action shown and the window of that source open.
std::unique_ptr<Form1> OpenWindow(QAction* Form1::*item) {
    auto w = std::make_unique<Form1>();
    w->show();
    SP::MaskColor = 0;
    LoadSheet();
    w->SetupSheetView();
    w->Command1_Click();
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    ((*w).*item)->trigger();
    if (!w->FramesWindow) std::fprintf(stderr, "the window did not open\n");
    QApplication::processEvents();
    return w;
}

// Times change(k) for run k = 1, 2, ..., the window painted after it.
template <class F>
void MeasureChange(benchmark::State& state, Form1& w, const std::string& name, F&& change) {
    Measure(state, name, change);
    state.counters["frames"] = static_cast<double>(w.FramesFromWindow().Frames.size());
}

void BM_SpritesOptionChange(benchmark::State& state) {
    auto w = OpenWindow(&Form1::mnuAddSprites);
    FramesDialog* d = w->FramesWindow;
    MeasureChange(state, *w, "sprites window, option change", [d](int k) { d->spnMergeGap->setValue(2 + k % 2); });
}

void BM_GridOptionChange(benchmark::State& state) {
    auto w = OpenWindow(&Form1::mnuAddGrid);
    FramesDialog* d = w->FramesWindow;
    d->spnCellHeight->setValue(48);
    d->chkTrim->setChecked(true);
    MeasureChange(state, *w, "grid window, option change", [d](int k) { d->spnCellWidth->setValue(31 + k % 2); });
}

} // namespace

BENCHMARK(BM_SpritesOptionChange)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridOptionChange)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return EditorBench::Main(argc, argv, {{"sprites window, option change", {50}}, {"grid window, option change", {50}}},
                             "(4096 x 4096 sheet)");
}
