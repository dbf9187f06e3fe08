// Sprite detection over a whole 8192 x 8192 sheet of 2,601 figures: its speed
// side by side with a memcpy of the same pixel bytes in the same iterations,
// and the memory it takes beyond the sheet, counted at every allocation of the
// program. Both are printed beside their goals at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <string>
#include <time.h>
#include <vector>

#include "sprites/Sprites.h"
#include "BenchTiming.h"

// ---- allocation counting ----------------------------------------------------

namespace {

std::atomic<size_t> liveBytes{0}, peakBytes{0};

// Kept out of line: inlined into a new-expression, the free would look to the
// compiler like a mismatched pair.
[[gnu::noinline]] void* Allocate(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) return nullptr;
    const size_t size = ::malloc_usable_size(p);
    const size_t now = liveBytes.fetch_add(size) + size;
    size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

[[gnu::noinline]] void Release(void* p) {
    if (!p) return;
    liveBytes.fetch_sub(::malloc_usable_size(p));
    std::free(p);
}

} // namespace

void* operator new(size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}

namespace {

// ---- the sheet ----------------------------------------------------------------

constexpr int Side = 8192;
constexpr int Cell = 160;
constexpr int Figures = (Side / Cell) * (Side / Cell);
constexpr int32_t Magenta = 0x00FF00FF;
constexpr int MergeGap = 3;
constexpr int MinPixels = 4;

// One figure per 160 x 160 cell: a shaded body of its own size and place,
// some with a hole of mask colour, a hat 2 pixels above it and a one-pixel
// speck far off (left out by the minimum size). Every row is written once.
struct Sheet {
    std::vector<uint8_t> Bytes;
    SheetPixels View;

    Sheet() {
        const int32_t stride = Side * 3;
        Bytes.resize(static_cast<size_t>(stride) * Side);
        for (int y = 0; y < Side; ++y) {
            uint8_t* row = Bytes.data() + static_cast<size_t>(Side - 1 - y) * stride;
            for (int x = 0; x < Side; ++x)
                Put(row, x, Magenta);
            const int cy = y / Cell;
            if (cy >= Side / Cell) continue;
            for (int cx = 0; cx < Side / Cell; ++cx)
                DrawRow(row, cx, cy, y);
        }
        View = SheetPixels(Bytes.data(), Side, Side, stride);
    }

    static void Put(uint8_t* row, int x, uint32_t c) {
        row[3 * x] = static_cast<uint8_t>(c >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c);
    }

    static void DrawRow(uint8_t* row, int cx, int cy, int y) {
        const uint32_t h = MixHash(static_cast<uint32_t>(cy * 4099 + cx));
        const int rx = 20 + static_cast<int>(h % 40), ry = 30 + static_cast<int>((h >> 8) % 40);
        const int mx = cx * Cell + 80 + static_cast<int>((h >> 16) % 9) - 4, my = cy * Cell + 90;
        const int dy = y - my;
        if (std::abs(dy) <= ry) {
            const int half = static_cast<int>(rx * std::sqrt(1.0 - double(dy) * dy / (double(ry) * ry)));
            const int hole = (h & 1) && std::abs(dy) < ry / 3 ? half / 3 : -1;
            for (int x = mx - half; x <= mx + half; ++x)
                if (std::abs(x - mx) > hole)
                    Put(row, x, 0x00204060u + static_cast<uint32_t>((x * 7 + y * 13) & 0x3F3F));
        }
        if (y >= my - ry - 6 && y < my - ry - 2) // the hat
            for (int x = mx - 5; x < mx + 5; ++x)
                Put(row, x, 0x00303030);
        if (y == cy * Cell + 2) Put(row, cx * Cell + 2, 0x00000000); // the speck
    }
};

const Sheet& TheSheet() {
    static const Sheet sheet;
    return sheet;
}

// ---- timing and reporting -------------------------------------------------------

std::vector<std::string>& Summary() {
    static std::vector<std::string> lines;
    return lines;
}

void BM_FindSprites_8192(benchmark::State& state) {
    const Sheet& sheet = TheSheet();
    const size_t bytes = sheet.Bytes.size();
    std::vector<uint8_t> copy(bytes, 1);
    const SpriteRect all{0, 0, Side, Side};
    size_t found = 0;

    // Memory: everything allocated during one search, beyond what was live before.
    const size_t before = liveBytes.load();
    peakBytes.store(before);
    found = FindSprites(sheet.View, Magenta, all, MergeGap, MinPixels).Rects.size();
    const double extraMB = static_cast<double>(peakBytes.load() - before) / (1024.0 * 1024.0);

    double find = 0, peer = 0;
    for (auto _ : state) {
        const double a = ThreadCpuSeconds();
        std::memcpy(copy.data(), sheet.Bytes.data(), bytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        const double b = ThreadCpuSeconds();
        const SpriteRects r = FindSprites(sheet.View, Magenta, all, MergeGap, MinPixels);
        benchmark::DoNotOptimize(r.Rects.data());
        const double c = ThreadCpuSeconds();
        peer += b - a;
        find += c - b;
        state.SetIterationTime(c - b);
    }
    const double n = static_cast<double>(state.iterations());
    const double ratio = peer / find;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["sprites"] = static_cast<double>(found);
    state.counters["ratio"] = ratio;
    state.counters["extra_MB"] = extraMB;
    if (found != static_cast<size_t>(Figures)) state.SkipWithError("wrong number of sprites found");

    char line[512];
    Summary().clear();
    std::snprintf(
        line, sizeof line,
        "%-58s ratio %6.3f  goal >= 0.10  %-7s (by cpu; find %.1f ms, memcpy %.1f ms, %zu sprites of %d)",
        "FindSprites 8192x8192 vs memcpy of the same bytes", ratio, ratio >= 0.10 ? "met" : "NOT MET",
        find / n * 1e3, peer / n * 1e3, found, Figures);
    Summary().push_back(line);
    std::snprintf(line, sizeof line, "%-58s %6.2f MB  goal <  20 MB  %s (sheet itself %.0f MB)",
                  "FindSprites 8192x8192 peak memory beyond the sheet", extraMB,
                  extraMB < 20 ? "met" : "NOT MET", static_cast<double>(bytes) / (1024.0 * 1024.0));
    Summary().push_back(line);
}

} // namespace

BENCHMARK(BM_FindSprites_8192)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_sprites summary (ratio = FindSprites throughput / memcpy throughput over the same "
                "pixel bytes, timed in the same iterations):\n");
    for (const std::string& line : Summary())
        std::printf("  %s\n", line.c_str());
    return 0;
}
