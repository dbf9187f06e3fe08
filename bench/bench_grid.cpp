// Finding the grid of a whole 8192 x 8192 sheet: its speed side by side with a
// memcpy of the same pixel bytes in the same iterations, for a sheet of cells
// between separator lines and for one of sprites between gutters only. The
// ratios are printed beside the goal at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <time.h>
#include <vector>

#include "sprites/Sprites.h"
#include "BenchTiming.h"

namespace {

constexpr int Side = 8192;
constexpr int Cell = 64;
constexpr int32_t Magenta = 0x00FF00FF;
constexpr uint32_t Dark = 0x00202020;

// Cells of 64 x 64, with 2-pixel dark lines between them (or gutters only):
// in each a shaded oval outlined in the lines' colour, every seventh cell
// unused and painted flat (with lines) or left empty (gutters).
struct Sheet {
    std::vector<uint8_t> Bytes;
    SheetPixels View;
    int Gap;

    explicit Sheet(bool lines) : Gap(lines ? 2 : 0) {
        const int32_t stride = Side * 3;
        const int pitch = Cell + Gap;
        Bytes.resize(static_cast<size_t>(stride) * Side);
        for (int y = 0; y < Side; ++y) {
            uint8_t* row = Bytes.data() + static_cast<size_t>(Side - 1 - y) * stride;
            const int r = y / pitch, cy = y % pitch;
            for (int x = 0; x < Side; ++x) {
                const int c = x / pitch, cx = x % pitch;
                uint32_t colour = Magenta;
                if (cx >= Cell || cy >= Cell) {
                    colour = lines ? Dark : Magenta;
                } else {
                    const uint32_t h = MixHash(static_cast<uint32_t>(r * 4099 + c));
                    if (h % 7 == 0) {
                        colour = lines ? 0x00808080u : Magenta;
                    } else {
                        const double dx = (cx - 31.5) / (18 + h % 12), dy = (cy - 36) / (20 + (h >> 8) % 8);
                        const double d = dx * dx + dy * dy;
                        if (d <= 1) colour = d > 0.75 ? Dark : 0x00204060u + static_cast<uint32_t>((cx * 7 + cy * 13) & 0x3F3F);
                    }
                }
                row[3 * x] = static_cast<uint8_t>(colour >> 16);
                row[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(colour);
            }
        }
        View = SheetPixels(Bytes.data(), Side, Side, stride);
    }
};

// One line per sheet, the last run's (the library runs each more than once).
std::map<int64_t, std::string>& Summary() {
    static std::map<int64_t, std::string> lines;
    return lines;
}

void BM_DetectGrid_8192(benchmark::State& state) {
    const bool lines = state.range(0) != 0;
    const Sheet sheet(lines);
    const size_t bytes = sheet.Bytes.size();
    std::vector<uint8_t> copy(bytes, 1);
    const SpriteRect all{0, 0, Side, Side};
    GridFound found;

    double detect = 0, peer = 0;
    for (auto _ : state) {
        const double a = ThreadCpuSeconds();
        std::memcpy(copy.data(), sheet.Bytes.data(), bytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        const double b = ThreadCpuSeconds();
        found = DetectGrid(sheet.View, Magenta, all);
        benchmark::DoNotOptimize(found.Grid.CellWidth);
        const double c = ThreadCpuSeconds();
        peer += b - a;
        detect += c - b;
        state.SetIterationTime(c - b);
    }
    const double n = static_cast<double>(state.iterations());
    const double ratio = peer / detect;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["ratio"] = ratio;
    const std::string expected = "64x64+0+0," + std::to_string(sheet.Gap) + "x" + std::to_string(sheet.Gap);
    const std::string got = found.Error.empty() ? GridText(found.Grid) : found.Error;
    if (got != expected) state.SkipWithError(("wrong grid: " + got).c_str());

    char line[512];
    std::snprintf(line, sizeof line,
                  "%-52s ratio %6.3f  goal >= 0.20  %-7s (by cpu; detect %.1f ms, memcpy %.1f ms, grid %s)",
                  lines ? "DetectGrid 8192x8192 lines vs memcpy of the same bytes"
                        : "DetectGrid 8192x8192 gutters vs memcpy of the same bytes",
                  ratio, ratio >= 0.20 ? "met" : "NOT MET", detect / n * 1e3, peer / n * 1e3, got.c_str());
    Summary()[-state.range(0)] = line;
}

} // namespace

BENCHMARK(BM_DetectGrid_8192)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_grid summary (ratio = DetectGrid throughput / memcpy throughput over the same pixel "
                "bytes of the 24-bit sheet, timed in the same iterations):\n");
    for (const auto& [sheet, line] : Summary())
        std::printf("  %s\n", line.c_str());
    return 0;
}
