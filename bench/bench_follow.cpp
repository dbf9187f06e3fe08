// Frames following a redrawn sheet: 1,000 frames of 32 x 48 on a 4096 x 4096
// sheet after a column of 16 pixels was inserted in its middle, once with every
// sprite unchanged (goal: under 1 s) and once with 100 of them retouched in 5%
// of their sprite pixels (goal: under 5 s). One run each, printed beside its
// goal as a ratio (time / limit; under 1 meets it). A third run adds 10 frames
// erased, which are looked for over the whole sheet, against the second limit.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>
#include <time.h>

#include "sprites/FollowSheet.h"
#include "BenchTiming.h"

namespace {

constexpr int Side = 4096;
constexpr int Inserted = 16;
constexpr int FrameW = 32, FrameH = 48;
constexpr int Columns = 40, Rows = 25; // 1,000 frames
constexpr int StepX = Side / Columns, StepY = Side / Rows;
constexpr int32_t Magenta = 0x00FF00FF;

struct Sheet {
    int32_t Width, Height, Stride;
    std::vector<uint8_t> Bytes;
    Sheet(int32_t w, int32_t h) : Width(w), Height(h), Stride((3 * w + 3) & ~3) {
        Bytes.resize(static_cast<size_t>(Stride) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Put(x, y, 0xFF00FF); // blue-green-red bytes of magenta
    }
    uint8_t* At(int x, int y) { return Bytes.data() + static_cast<size_t>(Height - 1 - y) * Stride + 3 * x; }
    void Put(int x, int y, uint32_t bgr) {
        uint8_t* p = At(x, y);
        p[0] = static_cast<uint8_t>(bgr), p[1] = static_cast<uint8_t>(bgr >> 8), p[2] = static_cast<uint8_t>(bgr >> 16);
    }
    SheetPixels View() const { return {Bytes.data(), Width, Height, Stride}; }
};

SpriteRect FrameRect(int i) { return {(i % Columns) * StepX + 20, (i / Columns) * StepY + 50, FrameW, FrameH}; }

// Drawn figures: a few colours, a quarter of each frame left clear.
Sheet Drawn() {
    Sheet s(Side, Side);
    std::mt19937 random(5);
    static constexpr uint32_t Palette[] = {0x203040, 0x806040, 0x10A0F0, 0xF0F0F0, 0x000000, 0x4080C0, 0x335577};
    for (int i = 0; i < Columns * Rows; ++i) {
        const SpriteRect r = FrameRect(i);
        for (int y = 0; y < r.Height; ++y)
            for (int x = 0; x < r.Width; ++x)
                if (random() % 4 != 0) s.Put(r.X + x, r.Y + y, Palette[random() % 7]);
    }
    return s;
}

Sheet WithColumn(const Sheet& old) {
    Sheet s(old.Width + Inserted, old.Height);
    const int at = Side / 2 + 3;
    for (int y = 0; y < old.Height; ++y) {
        const uint8_t* from = old.Bytes.data() + static_cast<size_t>(y) * old.Stride;
        uint8_t* to = s.Bytes.data() + static_cast<size_t>(y) * s.Stride;
        std::copy(from, from + 3 * at, to);
        std::copy(from + 3 * at, from + 3 * old.Width, to + 3 * (at + Inserted));
    }
    return s;
}

// Changes 5% of the sprite pixels of every tenth frame.
void Retouch(Sheet& s, int frames) {
    for (int k = 0; k < frames; ++k) {
        SpriteRect r = FrameRect(k * 10 + 3);
        if (r.X >= Side / 2) r.X += Inserted;
        int changed = 0;
        for (int y = 0; y < r.Height; ++y)
            for (int x = 0; x < r.Width; ++x) {
                uint8_t* p = s.At(r.X + x, r.Y + y);
                if (p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF) continue;
                if (++changed % 20 == 0) p[1] ^= 1;
            }
    }
}

// Paints every tenth frame from the fifth on over in the mask colour.
void Erase(Sheet& s, int frames) {
    for (int k = 0; k < frames; ++k) {
        SpriteRect r = FrameRect(k * 10 + 5);
        if (r.X >= Side / 2) r.X += Inserted;
        for (int y = 0; y < r.Height; ++y)
            for (int x = 0; x < r.Width; ++x) s.Put(r.X + x, r.Y + y, 0xFF00FF);
    }
}

std::vector<std::string>& Summary() {
    static std::vector<std::string> lines;
    return lines;
}

void Follow(benchmark::State& state, int retouched, int erased, double limit) {
    const Sheet old = Drawn();
    Sheet fresh = WithColumn(old);
    Retouch(fresh, retouched);
    Erase(fresh, erased);
    std::vector<SpriteRect> rects;
    for (int i = 0; i < Columns * Rows; ++i) rects.push_back(FrameRect(i));
    double seconds = 0, cpu = 0;
    size_t stayed = 0, copied = 0, touched = 0, lost = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuSeconds();
        const std::vector<SheetPiece> pieces = TakePieces(old.View(), rects);
        const std::vector<FollowedPiece> got = FollowPieces(pieces, fresh.View(), Magenta);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = ThreadCpuSeconds() - cpuStart;
        state.SetIterationTime(seconds);
        stayed = copied = touched = lost = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            const SpriteRect r = rects[i];
            const SpriteRect expected{r.X >= Side / 2 ? r.X + Inserted : r.X, r.Y, r.Width, r.Height};
            const bool gone = i % 10 == 5 && static_cast<int>(i / 10) < erased;
            if (got[i].Rect != (gone ? r : expected)) state.SkipWithError("a frame went to the wrong place");
            stayed += got[i].Kind == FollowKind::Stayed;
            copied += got[i].Kind == FollowKind::Copied;
            touched += got[i].Kind == FollowKind::Retouched;
            lost += got[i].Kind == FollowKind::NotFound;
        }
    }
    if (touched != static_cast<size_t>(retouched) || lost != static_cast<size_t>(erased))
        state.SkipWithError("not every retouched frame was found, or an erased one was");
    state.counters["ratio_to_limit"] = seconds / limit;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%-46s %7.1f ms (cpu %6.1f ms)  limit %5.0f ms  ratio %.3f  %s (%zu stayed, %zu copied, %zu "
                  "retouched, %zu lost)",
                  (std::to_string(retouched) + " retouched, " + std::to_string(erased) + " erased").c_str(),
                  seconds * 1e3, cpu * 1e3, limit * 1e3, seconds / limit, seconds < limit ? "met" : "NOT MET", stayed,
                  copied, touched, lost);
    Summary().push_back(line);
}

void BM_FollowColumnInserted(benchmark::State& state) { Follow(state, 0, 0, 1.0); }
void BM_FollowColumnInsertedRetouched(benchmark::State& state) { Follow(state, 100, 0, 5.0); }
void BM_FollowColumnInsertedRetouchedErased(benchmark::State& state) { Follow(state, 100, 10, 5.0); }

} // namespace

BENCHMARK(BM_FollowColumnInserted)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FollowColumnInsertedRetouched)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FollowColumnInsertedRetouchedErased)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_follow summary (1,000 frames of %d x %d, a %d-pixel column inserted in a %d x %d sheet;\n"
                "one run each; ratio = wall time / limit, under 1 meets it):\n",
                FrameW, FrameH, Inserted, Side, Side);
    for (const std::string& line : Summary()) std::printf("  %s\n", line.c_str());
    return 0;
}
