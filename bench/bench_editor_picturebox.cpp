// Cost of the picture box's partial back buffer: an 8192 x 8192 overview inside
// a 256 x 256 viewport, measured side by side in the same iteration with a
// plain 256 x 256 picture doing the same drawing (the peer). Panning and
// drawing the whole sheet should cost about one 256 x 256 redraw, whatever the
// sheet's size. ratio = peer time / subject time (higher is better).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/PictureBox.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// The last (longest) run of each benchmark gives its line.
std::map<std::string, std::string>& Summary() {
    static std::map<std::string, std::string> lines;
    return lines;
}

void Report(benchmark::State& state, const std::string& what, double ratio, double goal) {
    state.counters["ratio"] = ratio;
    state.counters["goal"] = goal;
    char line[256];
    std::snprintf(line, sizeof line, "%-52s ratio %7.3f  goal >= %.2f  %s", what.c_str(), ratio, goal,
                  ratio >= goal ? "met" : "NOT MET");
    Summary()[what] = line;
}

// Stands for the sheet drawn at 1:1: every pixel of the window from its coordinates.
void SheetOp(const PixelSurface& s) {
    for (int y = 0; y < s.Height; ++y) {
        uint32_t* row = s.Bits + static_cast<int64_t>(y) * s.Stride;
        const uint32_t ly = static_cast<uint32_t>(s.OriginY + y);
        for (int x = 0; x < s.Width; ++x) row[x] = 0xFF000000u | ((static_cast<uint32_t>(s.OriginX + x) * 73u) ^ (ly * 151u));
    }
}

struct Overview {
    QWidget viewport;
    PictureBox pic{&viewport};
    PictureBox peer; // 256 x 256, no parent: held whole

    Overview() {
        viewport.resize(256, 256);
        pic.SetPictureSize(8192, 8192);
        peer.SetPictureSize(256, 256);
        for (PictureBox* p : {&pic, &peer}) {
            p->SetBackColor(0xFF00FF);
            DrawAll(*p, p->PictureWidth(), p->PictureHeight());
        }
    }

    static void DrawAll(PictureBox& p, int w, int h) {
        p.Draw(SheetOp, QRect(0, 0, w, h));
        p.DrawBox(100, 100, 160, 170, 255);
        p.DrawBox(64.5, 64.5, 192.5, 192.5, 0x00FF00);
    }
};

// Drawing the whole sheet, the frame box and the zoom box (a drag on the overview).
void BM_DrawWholeSheet(benchmark::State& state) {
    Overview o;
    double subject = 0, peer = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Overview::DrawAll(o.pic, 8192, 8192);
        benchmark::DoNotOptimize(o.pic.PixelAt(10, 10));
        auto t1 = Clock::now();
        Overview::DrawAll(o.peer, 256, 256);
        benchmark::DoNotOptimize(o.peer.PixelAt(10, 10));
        auto t2 = Clock::now();
        subject += Seconds(t0, t1);
        peer += Seconds(t1, t2);
    }
    Report(state, "draw 8192x8192 sheet on 256x256 view vs 256x256 picture", peer / subject, 0.5);
}

// Panning to the positions pos(step) gives, against one full 256 x 256 redraw.
template <typename Pos>
void Pan(benchmark::State& state, const std::string& what, double goal, Pos pos) {
    Overview o;
    double subject = 0, peer = 0;
    int step = 0;
    for (auto _ : state) {
        const QPoint p = pos(++step);
        auto t0 = Clock::now();
        o.pic.move(p);
        benchmark::DoNotOptimize(o.pic.HeldRect());
        auto t1 = Clock::now();
        o.peer.Cls();
        Overview::DrawAll(o.peer, 256, 256);
        benchmark::DoNotOptimize(o.peer.PixelAt(10, 10));
        auto t2 = Clock::now();
        subject += Seconds(t0, t1);
        peer += Seconds(t1, t2);
    }
    Report(state, what, peer / subject, goal);
}

// Scrolling by the scroll bars' small step: only the newly shown strips are drawn.
void BM_PanSmallStep(benchmark::State& state) {
    Pan(state, "pan 8192x8192 overview by 5 px vs one 256x256 redraw", 1.0,
        [](int step) { return QPoint(-((step * 5) % 7000), -((step * 5) % 7000)); });
}

// A jump to a far place (a click in the scroll bar's trough): one full window.
void BM_PanFar(benchmark::State& state) {
    Pan(state, "pan 8192x8192 overview far vs one 256x256 redraw", 0.5,
        [](int step) { return QPoint(-((step * 1000) % 7900), -((step * 700) % 7900)); });
}

BENCHMARK(BM_DrawWholeSheet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PanSmallStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PanFar)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_editor_picturebox summary (ratio = peer time / subject time, same run):\n");
    for (const auto& [what, line] : Summary()) std::printf("  %s\n", line.c_str());
    return 0;
}
