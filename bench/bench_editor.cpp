// Speed of the main window's heavy paths, each against its time limit:
//   - the deferred strip rebuild of a direction of 10,000 frames   < 30 ms
//   - one scroll step of that strip                                 < 5 ms
//   - one drag step on the overview of an 8192 x 8192 sheet         < 4 ms
//   - a zoom change on that sheet                                   < 4 ms
//   - SetupSheetView for that sheet                                 < 0.5 s
//   - one handled marking move on that sheet (zoom view, crosshair,
//     overview with frame box, thumbnail labels and picture)        < 2 ms
//   - a move within the same zoomed pixel                           < 0.05 ms
//   - that marking move with the onion skin on, two frames on each
//     side, each neighbour larger than the zoom view                < 4 ms
//   - a Shift-click that highlights all of 10,000 frames            < 5 ms
//   - deleting frame 0 of 10,000                                    < 10 ms
//   - undo and redo of a deletion, of a paste of 5,000 frames and of
//     a marking in a direction of 10,000 frames, strip and views
//     shown again                                                   < 10 ms each
//   - with that sheet and a direction of 10,000 frames: a resize
//     from the default size to 1920 x 1080 or back, laid out and
//     painted                                                       < 16 ms each
//   - one wheel zoom step on the zoom view                          < 4 ms
//   - one move of a middle-button drag on the zoom view             < 2 ms
// Every time is printed with its ratio to the limit (below 1 meets it).
#include <QApplication>
#include <cstdio>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>

#include "EditorBench.h"
#include "editor/Form1.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;

namespace {

using namespace EditorBench;

// Mode-5 runs of 127 pixels, each run another colour: a busy picture that
// costs only a few megabytes of stream.
std::vector<uint8_t> BusyStream(int64_t pixels) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(pixels / 127 + 1) * 4);
    for (int64_t k = 0; k * 127 < pixels; ++k) {
        out.push_back(127);
        out.push_back(static_cast<uint8_t>(k * 37));
        out.push_back(static_cast<uint8_t>(k * 11));
        out.push_back(static_cast<uint8_t>(k * 5 + 1));
    }
    return out;
}

void LoadSheet(int side) {
    SP::Sheet = cBitMap();
    const std::vector<uint8_t> data = BusyStream(static_cast<int64_t>(side) * side);
    if (!SP::Sheet.FromRLE(side, side, 5, 0, data)) std::fprintf(stderr, "could not build the sheet\n");
}

// A window showing one action whose direction 0 holds `frames` marked frames.
std::unique_ptr<Form1> StripWindow(int frames) {
    auto w = std::make_unique<Form1>();
    w->show();
    LoadSheet(512);
    w->SetupSheetView();
    w->Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.resize(frames);
    d.FrameUBound = static_cast<int16_t>(frames - 1);
    for (int i = 0; i < frames; ++i) {
        FrameData& f = d.Frames[i];
        f.X = (i * 13) % 480;
        f.Y = (i * 7) % 480;
        f.Width = 32;
        f.Height = 24;
    }
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    QApplication::processEvents();
    return w;
}


void BM_StripRebuild10000(benchmark::State& state) {
    auto w = StripWindow(10000);
    Measure(state, "strip rebuild, 10,000 frames", [&](int) {
        w->RequestStripRebuild();
        w->StripRebuild->Flush(); // what the timer runs
    });
}

void BM_StripScrollStep(benchmark::State& state) {
    auto w = StripWindow(10000);
    Measure(state, "strip scroll step, 10,000 frames",
            [&](int k) { w->FrameScroll->setValue(k % (w->FrameScroll->maximum() + 1)); });
}

std::unique_ptr<Form1> BigSheetWindow() {
    auto w = std::make_unique<Form1>();
    w->show();
    LoadSheet(8192);
    w->SetupSheetView();
    QApplication::processEvents();
    return w;
}

void BM_OverviewDragStep(benchmark::State& state) {
    auto w = BigSheetWindow();
    w->TNScrollH->setValue(4000);
    w->TNScrollV->setValue(5000);
    w->Picture2_MouseDown(1, 0, 4100, 5100);
    Measure(state, "overview drag step, 8192 x 8192",
            [&](int k) { w->Picture2_MouseMove(1, 0, 4050 + (k % 100), 5050 + (k % 77)); });
    w->Picture2_MouseUp(1, 0, 0, 0);
}

void BM_ZoomChange(benchmark::State& state) {
    auto w = BigSheetWindow();
    Measure(state, "zoom change, 8192 x 8192", [&](int k) { w->HScroll1->setValue(2 + k % 9); });
}

void BM_SetupSheetView(benchmark::State& state) {
    auto w = BigSheetWindow();
    Measure(state, "SetupSheetView, 8192 x 8192", [&](int) { w->SetupSheetView(); });
}

// The big sheet with one marked frame current and shown, zoom 4, marking on.
std::unique_ptr<Form1> MarkingWindow() {
    auto w = BigSheetWindow();
    w->Command1_Click();
    SP::Actions[0].Directions[0].Frames[0] = FrameData{4000, 4000, 40, 30, {0, 0}, 1, 0, 0};
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    w->ucSF_Click(0, 0);
    w->HScroll1->setValue(4);
    w->Picture2_MouseDown(1, 0, 4000, 4000);
    w->Picture2_MouseUp(1, 0, 4000, 4000);
    w->Picture1_MouseDown(1, 0, 10, 10);
    QApplication::processEvents();
    return w;
}

void BM_MarkingMove(benchmark::State& state) {
    auto w = MarkingWindow();
    // Always another zoomed pixel.
    Measure(state, "marking move, 8192 x 8192",
            [&](int k) { w->Picture1_MouseMove(0, 0, 4.0 * (k % 60) + 1, 4.0 * (k % 47) + 1); });
}

// The marking window's sheet with frame 2 of five current and marking on, the
// onion skin showing two frames on each side. Every neighbour is 80 x 80 with
// its hot spot in the middle, so that each covers the 64 x 64 pixels the view
// shows wherever the marked frame's hot spot goes.
std::unique_ptr<Form1> OnionMarkingWindow() {
    auto w = BigSheetWindow();
    w->Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.resize(5);
    d.FrameUBound = 4;
    for (int i = 0; i < 5; ++i) {
        FrameData& f = d.Frames[i];
        f.X = 3800 + 100 * i;
        f.Y = 3900;
        f.Width = f.Height = 80;
        f.HotSpotX = f.HotSpotY = 40;
        f.Delay = 1;
    }
    d.Frames[2] = FrameData{4000, 4000, 30, 40, {0, 0}, 1, 20, 15};
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    w->ucSF_Click(2, 0);
    w->HScroll1->setValue(4);
    w->Picture2_MouseDown(1, 0, 4000, 4000);
    w->Picture2_MouseUp(1, 0, 4000, 4000);
    w->mnuOnionFrames[2]->trigger();
    w->mnuOnionSkin->trigger();
    w->Picture1_MouseDown(1, 0, 10, 10);
    QApplication::processEvents();
    return w;
}

void BM_MarkingMoveOnion(benchmark::State& state) {
    auto w = OnionMarkingWindow();
    Measure(state, "marking move, onion skin 2 + 2, 8192 x 8192", [&](int k) {
        w->Picture1_MouseMove(0, 0, 4.0 * (k % 60) + 1, 4.0 * (k % 47) + 1);
    });
    if (w->OnionShown.size() != 4) state.SkipWithError("the onion skin did not show four frames");
}

void BM_MarkingMoveSamePixel(benchmark::State& state) {
    auto w = MarkingWindow();
    w->Picture1_MouseMove(0, 0, 40, 40);
    QApplication::processEvents();
    Measure(
        state, "marking move, same zoomed pixel", [&](int k) { w->Picture1_MouseMove(0, 0, 40.25 + 0.5 * (k % 2), 41); },
        false);
}

void BM_ShiftClickAll10000(benchmark::State& state) {
    auto w = StripWindow(10000);
    w->ucSF_Click(0, 0);
    // Highlights 0 .. 9999 from the anchor.
    Measure(state, "shift-click of 10,000 frames", [&](int) { w->ucSF_Click(9999, 1); });
}

void BM_DeleteFirstOf10000(benchmark::State& state) {
    auto w = StripWindow(10000);
    Measure(state, "delete frame 0 of 10,000", [&](int) { w->ucSF_DoDelete(0); });
}

// Times the undo and the redo of one edit, made afresh (and not timed) each run.
template <class Edit>
void UndoRedo(benchmark::State& state, const std::string& what, Edit edit) {
    auto w = StripWindow(10000);
    double undoTotal = 0, redoTotal = 0;
    for (auto _ : state) {
        edit(*w);
        const double u = Timed([&] {
            w->mnuUndo_Click();
            QApplication::processEvents();
        });
        const double r = Timed([&] {
            w->mnuRedo_Click();
            QApplication::processEvents();
        });
        w->mnuUndo_Click(); // back to 10,000 frames; the next edit drops the redo step
        state.SetIterationTime(u + r);
        undoTotal += u;
        redoTotal += r;
    }
    if (!w->EditHistory.CanRedo()) state.SkipWithError("the edit made no undo step");
    Record(state, "undo " + what, undoTotal);
    Record(state, "redo " + what, redoTotal);
}

void BM_UndoRedoDelete(benchmark::State& state) {
    UndoRedo(state, "delete of 10,000", [](Form1& w) { w.ucSF_DoDelete(3); });
}

void BM_UndoRedoPaste5000(benchmark::State& state) {
    SP::ClipFrames.assign(5000, FrameData{1, 2, 30, 40, {0, 0}, 5, 6, 7});
    UndoRedo(state, "paste 5,000 into 10,000", [](Form1& w) {
        w.ClipCount = 5000;
        w.ucSF_Click(2, 0);
        w.DoPaste(1);
    });
}

void BM_UndoRedoMarking(benchmark::State& state) {
    UndoRedo(state, "marking in 10,000", [](Form1& w) {
        w.ucSF_Click(4, 0);
        w.Picture1_MouseDown(1, 0, 10, 10);
        w.Picture1_MouseMove(0, 0, 90, 70);
        w.Picture1_MouseDown(1, 0, 90, 70);
    });
}

// The big sheet with a direction of 10,000 frames shown.
std::unique_ptr<Form1> WorkspaceWindow() {
    auto w = BigSheetWindow();
    w->Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames.assign(10000, FrameData{4000, 4000, 40, 30, {0, 0}, 1, 0, 0});
    d.FrameUBound = 9999;
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    w->Picture2_MouseDown(1, 0, 4000, 4000);
    w->Picture2_MouseUp(1, 0, 4000, 4000);
    QApplication::processEvents();
    return w;
}

void BM_Resize(benchmark::State& state) {
    auto w = WorkspaceWindow();
    const QSize small = w->size(), large(1920, 1080);
    double grow = 0, shrink = 0;
    for (auto _ : state) {
        const double g = Timed([&] {
            w->resize(large);
            QApplication::processEvents();
        });
        const double s = Timed([&] {
            w->resize(small);
            QApplication::processEvents();
        });
        if (w->Client->width() != Form1::DefaultClientWidth) state.SkipWithError("not back at the default size");
        state.SetIterationTime(g + s);
        grow += g;
        shrink += s;
    }
    Record(state, "resize to 1920 x 1080, 8192 x 8192", grow);
    Record(state, "resize back to default, 8192 x 8192", shrink);
}

void BM_WheelZoomStep(benchmark::State& state) {
    auto w = WorkspaceWindow();
    w->resize(1920, 1080);
    QApplication::processEvents();
    Measure(state, "wheel zoom step, 8192 x 8192",
            [&](int k) { w->ZoomViewWheel(k % 16 < 8 ? 1 : -1, 101.0 + k % 200, 57.0 + k % 300); });
}

void BM_MiddleDragMove(benchmark::State& state) {
    auto w = WorkspaceWindow();
    w->resize(1920, 1080);
    w->HScroll1->setValue(4);
    QApplication::processEvents();
    w->ZoomPan_Down(0, 400, 400);
    // Always another zoomed pixel, back and forth.
    Measure(state, "middle-drag move, 8192 x 8192", [&](int k) {
        const int t = k % 200 < 100 ? k % 100 : 100 - k % 100;
        w->ZoomPan_Move(400.0 + 4 * t, 400.0 - 3 * t);
    });
    w->ZoomPan_Up(0, 0);
}

} // namespace

BENCHMARK(BM_Resize)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WheelZoomStep)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MiddleDragMove)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripRebuild10000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripScrollStep)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverviewDragStep)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomChange)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetupSheetView)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MarkingMove)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkingMoveOnion)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkingMoveSamePixel)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShiftClickAll10000)->UseManualTime()->Unit(benchmark::kMillisecond);
// Each run takes a frame away; a thousand leave 9,000.
BENCHMARK(BM_DeleteFirstOf10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1000);
BENCHMARK(BM_UndoRedoDelete)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedoPaste5000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedoMarking)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return EditorBench::Main(argc, argv, {
        {"strip rebuild, 10,000 frames", {30}},      {"strip scroll step, 10,000 frames", {5}},
        {"overview drag step, 8192 x 8192", {4}},    {"zoom change, 8192 x 8192", {4}},
        {"SetupSheetView, 8192 x 8192", {500}},      {"marking move, 8192 x 8192", {2}},
        {"marking move, same zoomed pixel", {0.05}}, {"shift-click of 10,000 frames", {5}},
        {"marking move, onion skin 2 + 2, 8192 x 8192", {4}},
        {"delete frame 0 of 10,000", {10}},
        {"undo delete of 10,000", {10}},             {"redo delete of 10,000", {10}},
        {"undo paste 5,000 into 10,000", {10}},      {"redo paste 5,000 into 10,000", {10}},
        {"undo marking in 10,000", {10}},            {"redo marking in 10,000", {10}},
        {"resize to 1920 x 1080, 8192 x 8192", {16}}, {"resize back to default, 8192 x 8192", {16}},
        {"wheel zoom step, 8192 x 8192", {4}},       {"middle-drag move, 8192 x 8192", {2}},
    }, "(times in ms)");
}
