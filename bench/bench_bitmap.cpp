// Speed and memory of the bitmap engine, each measured side by side with a
// peer in the same iteration: a plain fread, memcpy or zlib inflate of the same
// bytes. Every benchmark reports its ratio and goal as counters, and a summary
// of all of them is printed at the end.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "BenchMemory.h"
#include "base/Messages.h"
#include "bitmap/PageAlloc.h"
#include "bitmap/cBitMap.h"
#include "BenchTiming.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// ---- scratch files -------------------------------------------------------

class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "celwright-bench-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data())) dir_ = std::string(buf.data()) + "/";
    }
    ~Scratch() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    std::string operator/(const std::string& name) const { return dir_ + name; }

private:
    std::string dir_;
};

Scratch& Dir() {
    static Scratch s;
    return s;
}

enum class Kind { Sprites, Noise };

// Sprite-sheet-like content: a plain background with 64 x 64 cells, each
// holding a few flat-coloured rectangles; or noise.
void RowOf(Kind kind, int w, int y, uint8_t* row, std::mt19937& rng) {
    if (kind == Kind::Noise) {
        for (int b = 0; b < 3 * w; ++b)
            row[b] = static_cast<uint8_t>(rng());
        return;
    }
    for (int x = 0; x < w; ++x) {
        uint32_t c = 0xFF00FF; // background
        const uint32_t cell = static_cast<uint32_t>((y / 64) * 4099 + x / 64) * 2654435761u;
        const int cx = x % 64, cy = y % 64;
        for (int k = 0; k < 3; ++k) {
            const uint32_t h = cell ^ (0x9E3779B9u * (k + 1));
            const int x0 = 4 + static_cast<int>(h % 24), y0 = 4 + static_cast<int>((h >> 5) % 24);
            const int x1 = x0 + 8 + static_cast<int>((h >> 10) % 28),
                      y1 = y0 + 8 + static_cast<int>((h >> 15) % 28);
            if (cx >= x0 && cx < x1 && cy >= y0 && cy < y1) c = (h >> 8) & 0xFFFFFF;
        }
        row[3 * x] = static_cast<uint8_t>(c);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
}

// Writes a bottom-up 24-bit BMP file of w x h pixels, row by row.
std::string SheetFile(Kind kind, int w, int h) {
    const std::string path = Dir() / ((kind == Kind::Noise ? "noise" : "sprites") + std::to_string(w) + "x" +
                                      std::to_string(h) + ".bmp");
    if (std::filesystem::exists(path)) return path;
    const uint32_t stride = ((w * 24 + 31) / 32) * 4;
    const uint32_t image = stride * static_cast<uint32_t>(h);
    uint8_t head[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            head[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(2, 54 + image);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    head[26] = 1;
    head[28] = 24;
    put32(34, image);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    std::fwrite(head, 1, 54, f);
    std::vector<uint8_t> row(stride, 0);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y) {
        RowOf(kind, w, h - 1 - y, row.data(), rng);
        std::fwrite(row.data(), 1, stride, f);
    }
    std::fclose(f);
    return path;
}

// A loaded sheet shared by the benchmarks that only read it.
const cBitMap& Sheet(Kind kind, int side) {
    static std::map<std::pair<int, int>, std::unique_ptr<cBitMap>> cache;
    auto& slot = cache[{static_cast<int>(kind), side}];
    if (!slot) {
        slot = std::make_unique<cBitMap>();
        slot->LoadBMP(SheetFile(kind, side, side));
    }
    return *slot;
}

// ---- reporting -------------------------------------------------------------

// One line per benchmark; a later run of the same benchmark (the library
// runs each a few times while sizing it) replaces the earlier line.
std::vector<std::pair<std::string, std::string>>& Summary() {
    static std::vector<std::pair<std::string, std::string>> lines;
    return lines;
}

void AddSummary(const std::string& key, const std::string& line) {
    for (auto& [k, l] : Summary())
        if (k == key) {
            l = line;
            return;
        }
    Summary().emplace_back(key, line);
}

// Subject against peer, both timed in the same iterations: wall-clock time,
// and the thread's CPU time (page faults included), which stays fair when
// other processes share the machine.
struct Ratios {
    double wall = 0; // peer time / subject time: the subject's relative throughput
    double cpu = 0;
    double subjectWall = 0, peerWall = 0, subjectCpu = 0, peerCpu = 0; // seconds per iteration
};

// ratio >= goal is the aim (higher is better). In-memory work is judged by
// CPU time, file work (which waits for the disk) by wall-clock time.
void Report(benchmark::State& state, const std::string& what, const Ratios& r, double goal, bool byWall,
            const std::string& extra = "") {
    const double judged = byWall ? r.wall : r.cpu;
    state.counters["ratio"] = judged;
    state.counters["ratio_wall"] = r.wall;
    state.counters["ratio_cpu"] = r.cpu;
    state.counters["goal"] = goal;
    char line[512];
    std::snprintf(
        line, sizeof line,
        "%-56s ratio %6.3f  goal >= %.2f  %-7s (%s; wall %.3f, cpu %.3f; subject %.2f ms, peer %.2f ms%s)",
        what.c_str(), judged, goal, judged >= goal ? "met" : "NOT MET", byWall ? "by wall" : "by cpu", r.wall,
        r.cpu, (byWall ? r.subjectWall : r.subjectCpu) * 1e3, (byWall ? r.peerWall : r.peerCpu) * 1e3,
        extra.c_str());
    AddSummary(what, line);
}

// Runs peer and subject alternately, once each per iteration, after one
// untimed run of each; the iteration time is the subject's wall-clock time.
template <class Subject, class Peer>
Ratios SideBySide(benchmark::State& state, Subject subject, Peer peer, bool warmUp = true) {
    if (warmUp) {
        peer();
        subject();
    }
    double sw = 0, pw = 0, sc = 0, pc = 0;
    for (auto _ : state) {
        const auto a = Clock::now();
        const double ca = ThreadCpuSeconds();
        peer();
        const auto b = Clock::now();
        const double cb = ThreadCpuSeconds();
        subject();
        const auto c = Clock::now();
        const double cc = ThreadCpuSeconds();
        pw += Seconds(a, b);
        sw += Seconds(b, c);
        pc += cb - ca;
        sc += cc - cb;
        state.SetIterationTime(Seconds(b, c));
    }
    Ratios r;
    const double n = static_cast<double>(state.iterations());
    r.wall = pw / sw;
    r.cpu = pc / sc;
    r.subjectWall = sw / n;
    r.peerWall = pw / n;
    r.subjectCpu = sc / n;
    r.peerCpu = pc / n;
    return r;
}

std::vector<uint8_t>& WarmBuffer(size_t n) {
    static std::vector<uint8_t> buf;
    if (buf.size() < n) buf.assign(n, 1);
    return buf;
}

// One fread of the whole file, into a buffer already in memory (warm) or
// freshly allocated.
double FreadWholeFile(const std::string& path, bool warm = true) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    const auto size = static_cast<size_t>(std::filesystem::file_size(path));
    uint8_t* p = warm ? WarmBuffer(size).data() : static_cast<uint8_t*>(std::malloc(size));
    const size_t got = std::fread(p, 1, size, f);
    std::fclose(f);
    benchmark::DoNotOptimize(p[got / 2]);
    if (!warm) std::free(p);
    return static_cast<double>(got);
}

// ---- BMP files ---------------------------------------------------------------

void BM_LoadBMP_8192(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    MessageRecorder quiet;
    bool ok = true;
    const Ratios r = SideBySide(
        state,
        [&] {
            cBitMap bm;
            ok = bm.LoadBMP(path) && ok;
            benchmark::DoNotOptimize(bm.Pixels().data());
        },
        [&] { FreadWholeFile(path); });
    if (!ok) state.SkipWithError("load failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8192 * 8192 * 3);
    Report(state, "LoadBMP 8192x8192 (repeated) vs fread into memory", r, 0.75, true);
}

// The peer is one fread of the file into freshly allocated memory, as a
// program reading it would do; a fread into memory already in place is timed
// too and shown. A save ends with the fsync of the safe-save helper, so it
// waits for the disk.
void BM_SaveBMP_8192(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    MessageRecorder quiet;
    cBitMap bm;
    bm.LoadBMP(path);
    const std::string out = Dir() / "saved.bmp";
    // Sheet files written while setting up must not still be on their way to
    // the disk while saves are timed.
    ::sync();
    bool ok = true;
    double warmWall = 0;
    int warmRuns = 0;
    const Ratios r = SideBySide(
        state, [&] { ok = bm.Save(out) && ok; },
        [&] {
            const auto a = Clock::now();
            FreadWholeFile(path, true);
            warmWall += Seconds(a, Clock::now());
            ++warmRuns;
            FreadWholeFile(path, false);
        },
        false);
    if (!ok) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8192 * 8192 * 3);
    std::filesystem::remove(out);
    // The peer's time held the warm read as well: take it out.
    Ratios fresh = r;
    const double warmEach = warmWall / warmRuns;
    fresh.peerWall -= warmEach;
    fresh.wall = fresh.peerWall / fresh.subjectWall;
    char extra[128];
    std::snprintf(extra, sizeof extra, "; against fread into memory in place: %.3f",
                  warmEach / fresh.subjectWall);
    Report(state, "Save 8192x8192 (temp file, fsync, rename) vs fread", fresh, 0.4, true, extra);
}

// ---- streams -------------------------------------------------------------------

void BM_ToRLE(benchmark::State& state, Kind kind, double goal) {
    const cBitMap& bm = Sheet(kind, 4096);
    const size_t n = bm.Pixels().size();
    std::vector<uint8_t>& dst = WarmBuffer(n);
    size_t streamBytes = 0;
    const Ratios r = SideBySide(
        state,
        [&] {
            std::vector<uint8_t> s = bm.ToRLE(5);
            streamBytes = s.size();
            benchmark::DoNotOptimize(s.data());
        },
        [&] {
            std::memcpy(dst.data(), bm.Pixels().data(), n);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    state.counters["stream_MB"] = static_cast<double>(streamBytes) / 1e6;
    Report(state,
           std::string("ToRLE(5) 4096x4096 ") + (kind == Kind::Noise ? "noise" : "sprites") + " vs memcpy", r,
           goal, false);
}

// The subject of both FromRLE comparisons: a 4096 x 4096 sheet rebuilt from its stream.
void DecodeSheet(const std::vector<uint8_t>& stream) {
    cBitMap out;
    out.FromRLE(4096, 4096, 5, 0, stream);
    benchmark::DoNotOptimize(out.Pixels().data());
}

void BM_FromRLE(benchmark::State& state, Kind kind, double goal) {
    const cBitMap& bm = Sheet(kind, 4096);
    const size_t n = bm.Pixels().size();
    const std::vector<uint8_t> stream = bm.ToRLE(5);
    std::vector<uint8_t>& dst = WarmBuffer(n);
    const Ratios r = SideBySide(
        state,
        [&] { DecodeSheet(stream); },
        [&] {
            std::memcpy(dst.data(), bm.Pixels().data(), n);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    Report(state,
           std::string("FromRLE(5) 4096x4096 ") + (kind == Kind::Noise ? "noise" : "sprites") + " vs memcpy",
           r, goal, false);
}

void BM_FromRLE_vs_Inflate(benchmark::State& state) {
    const cBitMap& bm = Sheet(Kind::Sprites, 4096);
    const size_t n = bm.Pixels().size();
    const std::vector<uint8_t> stream = bm.ToRLE(5);
    uLongf packedSize = compressBound(static_cast<uLong>(n));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, bm.Pixels().data(), static_cast<uLong>(n), 1);
    std::vector<uint8_t>& dst = WarmBuffer(n);
    const Ratios r = SideBySide(
        state,
        [&] { DecodeSheet(stream); },
        [&] {
            uLongf outLen = static_cast<uLongf>(n);
            uncompress(dst.data(), &outLen, packed.data(), packedSize);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    Report(state, "FromRLE(5) 4096x4096 sprites vs zlib level-1 inflate", r, 1.5, false);
}

// ---- drawing -------------------------------------------------------------------

// Absolute limit: ratio = 0.3 ms / measured time (wall and CPU).
void DrawCase(benchmark::State& state, const std::string& what, int targetSide, int block, double scale,
              bool trans) {
    const cBitMap& bm = Sheet(Kind::Sprites, 4096);
    std::vector<uint32_t> pixels(static_cast<size_t>(targetSide) * targetSide, 0xFF808080u);
    PixelSurface s;
    s.Bits = pixels.data();
    s.Width = s.Height = s.Stride = targetSide;
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        const auto a = Clock::now();
        const double ca = ThreadCpuSeconds();
        if (trans)
            bm.DrawTrans(s, 1000, 1000, 0, 0, block, block, scale, scale);
        else
            bm.DrawTo(s, 1000, 1000, 0, 0, block, block, scale, scale);
        benchmark::ClobberMemory();
        const auto b = Clock::now();
        cpu += ThreadCpuSeconds() - ca;
        wall += Seconds(a, b);
        state.SetIterationTime(Seconds(a, b));
    }
    const double n = static_cast<double>(state.iterations());
    const double wallMs = wall / n * 1e3, cpuMs = cpu / n * 1e3;
    state.counters["ms_wall"] = wallMs;
    state.counters["ms_cpu"] = cpuMs;
    char line[512];
    std::snprintf(line, sizeof line,
                  "%-56s ratio %6.3f  goal >= 1.00  %-7s (0.3 ms / wall time; wall %.4f ms, cpu %.4f ms)",
                  (what + " under 0.3 ms").c_str(), 0.3 / wallMs, 0.3 / wallMs >= 1.0 ? "met" : "NOT MET",
                  wallMs, cpuMs);
    AddSummary(what, line);
}

void BM_DrawZoom(benchmark::State& state) {
    DrawCase(state, "DrawTo 128x128 block x10 into 256x256", 256, 128, 10.0, false);
}
void BM_DrawThumb(benchmark::State& state) {
    DrawCase(state, "DrawTo 512x512 frame into 72x72 thumbnail", 72, 512, 72.0 / 512, false);
}
void BM_DrawTransZoom(benchmark::State& state) {
    DrawCase(state, "DrawTrans 128x128 block x10 into 256x256", 256, 128, 10.0, true);
}

// ---- memory ------------------------------------------------------------------------

using BenchMemory::StatusKb;

// Peak resident growth of a fresh child process while an 8192 x 8192 sheet is
// loaded and masked, over the sheet's pixel bytes; and the time of that first
// load against one fread of the file into fresh memory in the same child.
void BM_PeakMemory(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    const double pixelBytes = 8192.0 * 8192 * 3;
    std::vector<double> ratios, loads, freads;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) break;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            // As in a fresh process: no block kept from earlier sheets.
            PageAlloc::ReleaseSpare();
            // A first load into fresh memory, against one fread into fresh memory.
            const auto f0 = Clock::now();
            FreadWholeFile(path, false);
            const double freadSecs = Seconds(f0, Clock::now());
            { // reset the peak to the current size
                BenchMemory::ResetPeak();
            }
            const long base = StatusKb("VmRSS:");
            double r[3] = {-1, 0, freadSecs};
            {
                MessageRecorder quiet;
                cBitMap bm;
                const auto l0 = Clock::now();
                if (bm.LoadBMP(path)) {
                    r[1] = Seconds(l0, Clock::now());
                    bm.GenMask(0xFF00FF);
                    r[0] = static_cast<double>(StatusKb("VmHWM:") - base) * 1024.0 / pixelBytes;
                }
            }
            ssize_t w = ::write(fds[1], r, sizeof r);
            (void)w;
            ::_exit(0);
        }
        ::close(fds[1]);
        double got[3] = {-1, 0, 0};
        if (::read(fds[0], got, sizeof got) == static_cast<ssize_t>(sizeof got) && got[0] >= 0) {
            ratios.push_back(got[0]);
            loads.push_back(got[1]);
            freads.push_back(got[2]);
        }
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    if (ratios.empty()) {
        state.SkipWithError("measurement failed");
        return;
    }
    // The worst peak, and the median first load (one-off timings vary).
    const double ratio = *std::max_element(ratios.begin(), ratios.end());
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double firstLoad = median(loads), firstFread = median(freads);
    state.counters["peak_over_pixels"] = ratio;
    state.counters["limit"] = 1.5;
    char line[256];
    std::snprintf(line, sizeof line, "%-56s ratio %6.3f  goal <= 1.50  %s",
                  "Peak RSS growth, 8192x8192 loaded + masked / pixel bytes", ratio,
                  ratio <= 1.5 ? "met" : "NOT MET");
    AddSummary("peak", line);
    std::snprintf(line, sizeof line,
                  "%-56s ratio %6.3f  goal >= 0.75  %-7s (by wall; load %.1f ms, fread %.1f ms)",
                  "First LoadBMP 8192x8192 in a fresh process vs fread", firstFread / firstLoad,
                  firstFread / firstLoad >= 0.75 ? "met" : "NOT MET", firstLoad * 1e3, firstFread * 1e3);
    AddSummary("first load", line);
}

} // namespace

BENCHMARK(BM_LoadBMP_8192)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_ToRLE, sprites, Kind::Sprites, 0.5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FromRLE, sprites, Kind::Sprites, 0.5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromRLE_vs_Inflate)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ToRLE, noise, Kind::Noise, 0.15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FromRLE, noise, Kind::Noise, 0.15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawZoom)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawThumb)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawTransZoom)->UseManualTime()->Unit(benchmark::kMicrosecond);
// Last but one: its writes to disk go on in the background for a while.
BENCHMARK(BM_SaveBMP_8192)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_PeakMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_bitmap summary (ratio = subject throughput / peer throughput, both timed in the "
                "same iterations):\n");
    for (const auto& entry : Summary())
        std::printf("  %s\n", entry.second.c_str());
    return 0;
}
