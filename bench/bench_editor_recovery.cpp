// What keeping unsaved work for recovery costs the interface thread: after an
// edit step of a 100,000-frame project the window hands a copy of its project
// to the writer thread, which must take no more than 5 ms of the interface
// thread. Two shapes of project: 4 directions of 25,000 frames, and 100
// actions of 10 directions of 100 frames (many small lists to copy). The
// writer's own time (bytes made and written atomically, off the interface
// thread) is shown beside, against the one second between writes.
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>

#include "EditorBench.h"
#include "editor/Form1.h"
#include "project/Recovery.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;

namespace {

using namespace EditorBench;

// A window that keeps recovery files, with unsaved work of actions x directions x frames.
std::unique_ptr<Form1> ProjectWindow(const QTemporaryDir& folder, int actions, int directions, int frames) {
    auto w = std::make_unique<Form1>();
    w->show();
    w->StartRecovery(folder.path().toStdString());
    w->Command1_Click(); // an edit step: the work is unsaved from here on
    SP::Actions.assign(static_cast<size_t>(actions), ActionData{});
    for (int a = 0; a < actions; ++a) {
        ActionData& action = SP::Actions[a];
        action.Name = "Action " + std::to_string(a);
        action.DirUBound = static_cast<int16_t>(directions - 1);
        action.Directions.resize(static_cast<size_t>(directions));
        for (int j = 0; j < directions; ++j) {
            DirectionData& d = action.Directions[j];
            d.FrameUBound = static_cast<int16_t>(frames - 1);
            d.Frames.resize(static_cast<size_t>(frames));
            for (int i = 0; i < frames; ++i) d.Frames[i] = {i % 480, j, 24, 32, {0, 0}, 1, 3, 4};
        }
    }
    w->Recovery->Wait();
    return w;
}

// The interface thread's part of one write: what the timer does after an edit step.
void HandOver(benchmark::State& state, const std::string& name, int actions, int directions, int frames) {
    QTemporaryDir folder;
    auto w = ProjectWindow(folder, actions, directions, frames);
    double total = 0;
    for (auto _ : state) {
        ++w->RecoveryChanges; // an edit step was noted
        const double s = Timed([&] { w->SyncRecovery(); });
        state.SetIterationTime(s);
        total += s;
        state.PauseTiming();
        w->Recovery->Wait(); // one write at a time, as the one-second pace gives
        state.ResumeTiming();
    }
    Record(state, name, total);
    w->DiscardRecovery();
}

// The writer thread's part: the bytes made and written through a temporary file.
void Write(benchmark::State& state, const std::string& name, int actions, int directions, int frames) {
    QTemporaryDir folder;
    auto w = ProjectWindow(folder, actions, directions, frames);
    const std::shared_ptr<const RecoveryData> data = w->RecoverySnapshot();
    RecoveryWriter writer(folder.filePath("bench.recover").toStdString());
    double total = 0;
    for (auto _ : state) {
        const double s = Timed([&] {
            writer.Submit(data);
            writer.Wait();
        });
        state.SetIterationTime(s);
        total += s;
    }
    Record(state, name, total);
}

void BM_HandOver4x25000(benchmark::State& s) { HandOver(s, "hand-over, 4 x 25,000 frames", 1, 4, 25000); }
void BM_HandOver1000x100(benchmark::State& s) { HandOver(s, "hand-over, 100 x 10 x 100 frames", 100, 10, 100); }
void BM_Write4x25000(benchmark::State& s) { Write(s, "writer thread, 4 x 25,000 frames", 1, 4, 25000); }
void BM_Write1000x100(benchmark::State& s) { Write(s, "writer thread, 100 x 10 x 100 frames", 100, 10, 100); }

} // namespace

BENCHMARK(BM_HandOver4x25000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandOver1000x100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write4x25000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Write1000x100)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv) {
    return EditorBench::Main(argc, argv,
                             {
                                 {"hand-over, 4 x 25,000 frames", {5}},
                                 {"hand-over, 100 x 10 x 100 frames", {5}},
                                 {"writer thread, 4 x 25,000 frames", {1000}},
                                 {"writer thread, 100 x 10 x 100 frames", {1000}},
                             },
                             "(times in ms; the hand-over runs on the interface thread)");
}
