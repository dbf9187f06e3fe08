// Speed of the preview and of the frame clipboard, each against its limit:
//   - one preview tick: clear, a 512 x 512 frame drawn at 4x into the box, present   < 0.2 ms
//   - ticks per second with the clock at 1 ms, over 2 s of the real event loop      >= 500
//   - in a direction of 10,000 frames: Cut of 5,000 selected frames, and Paste of
//     5,000 frames at each of the four positions (the rebuild's 10 ms wait not
//     counted, its work counted)                                                    < 10 ms each
// Every figure is printed with its ratio to the limit (below 1 meets it; for the
// tick rate the ratio is limit / rate).
#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
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
#include "platform/DeferredCall.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;

namespace {

using namespace EditorBench;


// A 512 x 512 sheet of varied colours, some of them the mask colour (0).
void LoadSheet() {
    SP::Sheet = cBitMap();
    std::vector<uint8_t> data;
    for (int64_t k = 0; k * 127 < 512 * 512; ++k) {
        const bool clear = k % 3 == 0;
        data.insert(data.end(),
                    {127, static_cast<uint8_t>(clear ? 0 : k * 37), static_cast<uint8_t>(clear ? 0 : k * 11),
                     static_cast<uint8_t>(clear ? 0 : k * 5 + 1)});
    }
    if (!SP::Sheet.FromRLE(512, 512, 5, 0, data)) std::fprintf(stderr, "could not build the sheet\n");
}

std::vector<FrameData> MakeFrames(int n, int w, int h) {
    std::vector<FrameData> frames(n);
    for (int i = 0; i < n; ++i) {
        FrameData& f = frames[i];
        f.X = (i * 13) % 480;
        f.Y = (i * 7) % 480;
        f.Width = w;
        f.Height = h;
        f.HotSpotX = w / 2;
        f.HotSpotY = h / 2;
        f.Delay = static_cast<int16_t>(i);
    }
    return frames;
}

// A window showing direction 0 of action 0 with the given frames.
std::unique_ptr<Form1> Window(const std::vector<FrameData>& frames) {
    auto w = std::make_unique<Form1>();
    w->show();
    LoadSheet();
    w->SetupSheetView();
    w->Command1_Click();
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames = frames;
    d.FrameUBound = static_cast<int16_t>(frames.size() - 1);
    w->lstAction_Click(0);
    w->lstDirection_Click(0);
    w->StripRebuild->Flush();
    QApplication::processEvents();
    return w;
}

// Puts direction 0 back to `frames` with the strip rebuilt, outside the measurement.
void Restore(Form1& w, const std::vector<FrameData>& frames) {
    DirectionData& d = SP::Actions[0].Directions[0];
    d.Frames = frames;
    d.FrameUBound = static_cast<int16_t>(frames.size() - 1);
    w.RequestStripRebuild();
    w.StripRebuild->Flush();
    QApplication::processEvents();
}

void BM_PreviewTick(benchmark::State& state) {
    auto w = Window(MakeFrames(1, 512, 512));
    SP::Actions[0].Directions[0].Frames[0].X = 0;
    SP::Actions[0].Directions[0].Frames[0].Y = 0;
    w->HScroll3->setValue(16); // 4x
    double total = 0;
    for (auto _ : state) {
        const double s = Timed([&] {
            w->Timer1_Timer();
            QApplication::processEvents(); // the box painted
        });
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, "preview tick, 512 x 512 at 4x (ms)", total);
}

void BM_PreviewRate(benchmark::State& state) {
    auto w = Window(MakeFrames(8, 64, 64));
    w->HScroll2->setValue(1);
    for (auto _ : state) {
        int ticks = 0;
        QObject counting;
        QObject::connect(w->Timer1, &QTimer::timeout, &counting, [&] { ++ticks; });
        QEventLoop loop;
        QTimer::singleShot(2000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        const auto t0 = Clock::now();
        w->cmdPlay_Click();
        loop.exec();
        const double sec = std::chrono::duration<double>(Clock::now() - t0).count();
        w->cmdPlay_Click(); // stop
        state.SetIterationTime(sec);
        Goal& g = Goals()["preview ticks per second, 1 ms clock"];
        g.value = ticks / sec;
        state.counters["ticks_per_s"] = g.value;
        state.counters["ratio"] = g.Ratio();
    }
}

void BM_Cut5000Of10000(benchmark::State& state) {
    const std::vector<FrameData> frames = MakeFrames(10000, 32, 24);
    auto w = Window(frames);
    double total = 0;
    for (auto _ : state) {
        Restore(*w, frames);
        for (int i = 0; i < 10000; i += 2)
            w->SetThumbHighlight(i, 1);
        const double s = Timed([&] {
            w->mnuCut_Click();
            w->StripRebuild->Flush(); // what the timer runs 10 ms later
            QApplication::processEvents();
        });
        if (w->ClipCount != 5000 || w->ThumbCount() != 5000) state.SkipWithError("the cut did not happen");
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, "cut 5,000 of 10,000 frames (ms)", total);
}

void BM_Paste5000(benchmark::State& state) {
    const int16_t position = static_cast<int16_t>(state.range(0));
    const std::vector<FrameData> frames = MakeFrames(10000, 32, 24);
    auto w = Window(frames);
    SP::ClipFrames = MakeFrames(5000, 16, 16);
    w->ClipCount = 5000;
    double total = 0;
    for (auto _ : state) {
        Restore(*w, frames);
        w->FrameScroll->setValue(4000);
        SP::CurFrame = 5000;
        const double s = Timed([&] {
            w->DoPaste(position);
            QApplication::processEvents();
        });
        if (w->ThumbCount() != 15000) state.SkipWithError("the paste did not happen");
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, "paste 5,000 into 10,000, position " + std::to_string(position) + " (ms)", total);
}

} // namespace

BENCHMARK(BM_PreviewTick)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviewRate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Cut5000Of10000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste5000)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    std::map<std::string, Goal> goals = {
        {"preview tick, 512 x 512 at 4x (ms)", {0.2}},
        {"preview ticks per second, 1 ms clock", {500, true}},
        {"cut 5,000 of 10,000 frames (ms)", {10}},
    };
    for (int p = 0; p < 4; ++p)
        goals["paste 5,000 into 10,000, position " + std::to_string(p) + " (ms)"] = {10};
    return EditorBench::Main(argc, argv, std::move(goals));
}
