#pragma once
// What the editor's benchmark programs share: each measurement has a goal, its
// mean is recorded beside the goal, and the program ends with a table of every
// figure, its limit and their ratio (below 1 meets the goal).
#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "base/Messages.h"
#include "platform/HeapPolicy.h"

namespace EditorBench {

using Clock = std::chrono::steady_clock;

struct Goal {
    double limit = 0;
    bool atLeast = false; // a rate that must reach the limit, not a time that must stay under it
    double value = 0;
    double Ratio() const { return atLeast ? (value > 0 ? limit / value : 1e9) : value / limit; }
    bool Met() const { return atLeast ? value >= limit : value < limit; }
};

inline std::map<std::string, Goal>& Goals() {
    static std::map<std::string, Goal> goals;
    return goals;
}

template <class F>
double Timed(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Records the mean of totalSec over the runs, in units of 1 / unit seconds.
inline void Record(benchmark::State& state, const std::string& name, double totalSec, double unit = 1000.0) {
    Goal& g = Goals()[name];
    const double iters = static_cast<double>(state.iterations());
    g.value = iters > 0 ? totalSec * unit / iters : 0;
    state.counters["value"] = g.value;
    state.counters["limit"] = g.limit;
    state.counters["ratio"] = g.Ratio();
}

// Times step(k) for run k = 1, 2, ..., with the windows painted after it
// (unless paint is false), and records the mean in milliseconds.
template <class F>
void Measure(benchmark::State& state, const std::string& name, F&& step, bool paint = true) {
    int k = 0;
    double total = 0;
    for (auto _ : state) {
        ++k;
        const double s = Timed([&] {
            step(k);
            if (paint) QApplication::processEvents();
        });
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, name, total);
}

// The whole program: offscreen unless told otherwise, no message box stops a
// measurement, every registered benchmark runs, then the table of goals.
inline int Main(int argc, char** argv, std::map<std::string, Goal> goals, const char* heading = "") {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    KeepFreedBuffers(); // as the editor does
    QApplication app(argc, argv);
    MessageRecorder quiet;
    Goals() = std::move(goals);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%-44s %12s %10s %8s   %s\n", "measurement", "value", "limit", "ratio", heading);
    for (const auto& [name, g] : Goals()) {
        if (g.value <= 0) continue;
        std::printf("%-44s %12.4f %10.2f %8.3f  %s\n", name.c_str(), g.value, g.limit, g.Ratio(),
                    g.Met() ? "meets the goal" : "MISSES the goal");
    }
    if (!quiet.Shown.empty()) std::printf("\nmessages during the run: %s\n", quiet.Shown.front().Text.c_str());
    return 0;
}

} // namespace EditorBench
