// Speed and memory of the bitmap engine, each measured side by side with a
// peer in the same iteration: a plain fread, memcpy or zlib inflate of the same
// bytes. Every benchmark reports its ratio and goal as counters, and a summary
// of all of them is printed at the end.
#include <benchmark/benchmark.h>
#include <zlib.h>

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
#include <unistd.h>
#include <vector>

#include "base/Messages.h"
#include "bitmap/cBitMap.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

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
        for (int b = 0; b < 3 * w; ++b) row[b] = static_cast<uint8_t>(rng());
        return;
    }
    for (int x = 0; x < w; ++x) {
        uint32_t c = 0xFF00FF; // background
        const uint32_t cell = static_cast<uint32_t>((y / 64) * 4099 + x / 64) * 2654435761u;
        const int cx = x % 64, cy = y % 64;
        for (int k = 0; k < 3; ++k) {
            const uint32_t h = cell ^ (0x9E3779B9u * (k + 1));
            const int x0 = 4 + static_cast<int>(h % 24), y0 = 4 + static_cast<int>((h >> 5) % 24);
            const int x1 = x0 + 8 + static_cast<int>((h >> 10) % 28), y1 = y0 + 8 + static_cast<int>((h >> 15) % 28);
            if (cx >= x0 && cx < x1 && cy >= y0 && cy < y1) c = (h >> 8) & 0xFFFFFF;
        }
        row[3 * x] = static_cast<uint8_t>(c);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
}

// Writes a bottom-up 24-bit BMP file of w x h pixels, row by row.
std::string SheetFile(Kind kind, int w, int h) {
    const std::string path =
        Dir() / ((kind == Kind::Noise ? "noise" : "sprites") + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
    if (std::filesystem::exists(path)) return path;
    const uint32_t stride = ((w * 24 + 31) / 32) * 4;
    const uint32_t image = stride * static_cast<uint32_t>(h);
    uint8_t head[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) head[at + i] = static_cast<uint8_t>(v >> (8 * i));
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

// ratio >= goal is the aim (higher is better).
void Report(benchmark::State& state, const std::string& what, double ratio, double goal, const std::string& extra = "") {
    state.counters["ratio"] = ratio;
    state.counters["goal"] = goal;
    char line[512];
    std::snprintf(line, sizeof line, "%-58s ratio %6.3f  goal >= %.2f  %s%s", what.c_str(), ratio, goal,
                  ratio >= goal ? "met" : "NOT MET", extra.empty() ? "" : ("  (" + extra + ")").c_str());
    AddSummary(what, line);
}

// Runs subject and peer alternately, once each per iteration; the iteration
// time is the subject's. Returns peer time / subject time (throughput ratio).
template <class Subject, class Peer>
double SideBySide(benchmark::State& state, Subject subject, Peer peer, double* subjectSecs = nullptr,
                  double* peerSecs = nullptr) {
    double ts = 0, tp = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        peer();
        auto b = Clock::now();
        subject();
        auto c = Clock::now();
        tp += Seconds(a, b);
        ts += Seconds(b, c);
        state.SetIterationTime(Seconds(b, c));
    }
    if (subjectSecs) *subjectSecs = ts / state.iterations();
    if (peerSecs) *peerSecs = tp / state.iterations();
    return tp / ts;
}

std::vector<uint8_t>& WarmBuffer(size_t n) {
    static std::vector<uint8_t> buf;
    if (buf.size() < n) buf.assign(n, 1);
    return buf;
}

double FreadWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    const auto size = static_cast<size_t>(std::filesystem::file_size(path));
    uint8_t* p = static_cast<uint8_t*>(std::malloc(size));
    size_t got = std::fread(p, 1, size, f);
    std::fclose(f);
    benchmark::DoNotOptimize(p[got / 2]);
    std::free(p);
    return static_cast<double>(got);
}

// ---- BMP files ---------------------------------------------------------------

void BM_LoadBMP_8192(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    MessageRecorder quiet;
    bool ok = true;
    const double r = SideBySide(
        state,
        [&] {
            cBitMap bm;
            ok = bm.LoadBMP(path) && ok;
            benchmark::DoNotOptimize(bm.Pixels().data());
        },
        [&] { FreadWholeFile(path); });
    if (!ok) state.SkipWithError("load failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8192 * 8192 * 3);
    Report(state, "LoadBMP 8192x8192 vs fread of the file", r, 0.75);
}

void BM_SaveBMP_8192(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    MessageRecorder quiet;
    cBitMap bm;
    bm.LoadBMP(path);
    const std::string out = Dir() / "saved.bmp";
    bool ok = true;
    const double r = SideBySide(
        state, [&] { ok = bm.Save(out) && ok; }, [&] { FreadWholeFile(path); });
    if (!ok) state.SkipWithError("save failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8192 * 8192 * 3);
    std::filesystem::remove(out);
    Report(state, "Save 8192x8192 (temp file, fsync, rename) vs fread", r, 0.4);
}

// ---- streams -------------------------------------------------------------------

void BM_ToRLE(benchmark::State& state, Kind kind, double goal) {
    const cBitMap& bm = Sheet(kind, 4096);
    const size_t n = bm.Pixels().size();
    std::vector<uint8_t>& dst = WarmBuffer(n);
    size_t streamBytes = 0;
    const double r = SideBySide(
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
    Report(state, std::string("ToRLE(5) 4096x4096 ") + (kind == Kind::Noise ? "noise" : "sprites") + " vs memcpy", r,
           goal);
}

void BM_FromRLE(benchmark::State& state, Kind kind, double goal) {
    const cBitMap& bm = Sheet(kind, 4096);
    const size_t n = bm.Pixels().size();
    const std::vector<uint8_t> stream = bm.ToRLE(5);
    std::vector<uint8_t>& dst = WarmBuffer(n);
    const double r = SideBySide(
        state,
        [&] {
            cBitMap out;
            out.FromRLE(4096, 4096, 5, 0, stream);
            benchmark::DoNotOptimize(out.Pixels().data());
        },
        [&] {
            std::memcpy(dst.data(), bm.Pixels().data(), n);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    Report(state, std::string("FromRLE(5) 4096x4096 ") + (kind == Kind::Noise ? "noise" : "sprites") + " vs memcpy",
           r, goal);
}

void BM_FromRLE_vs_Inflate(benchmark::State& state) {
    const cBitMap& bm = Sheet(Kind::Sprites, 4096);
    const size_t n = bm.Pixels().size();
    const std::vector<uint8_t> stream = bm.ToRLE(5);
    uLongf packedSize = compressBound(static_cast<uLong>(n));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, bm.Pixels().data(), static_cast<uLong>(n), 1);
    std::vector<uint8_t>& dst = WarmBuffer(n);
    const double r = SideBySide(
        state,
        [&] {
            cBitMap out;
            out.FromRLE(4096, 4096, 5, 0, stream);
            benchmark::DoNotOptimize(out.Pixels().data());
        },
        [&] {
            uLongf outLen = static_cast<uLongf>(n);
            uncompress(dst.data(), &outLen, packed.data(), packedSize);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    Report(state, "FromRLE(5) 4096x4096 sprites vs zlib level-1 inflate", r, 1.5);
}

// ---- mask and drawing ------------------------------------------------------------

void BM_GenMask(benchmark::State& state) {
    static cBitMap bm;
    if (!bm.Loaded()) {
        MessageRecorder quiet;
        bm.LoadBMP(SheetFile(Kind::Sprites, 4096, 4096));
        bm.GenMask(0xFF00FF); // pages of the mask pair in place, as after a first mask
    }
    const size_t n = bm.Pixels().size();
    std::vector<uint8_t>& dst = WarmBuffer(n);
    const double r = SideBySide(
        state,
        [&] {
            bm.GenMask(0xFF00FF);
            benchmark::ClobberMemory();
        },
        [&] {
            std::memcpy(dst.data(), bm.Pixels().data(), n);
            benchmark::ClobberMemory();
        });
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
    Report(state, "GenMask 4096x4096 vs memcpy", r, 0.25);
}

// Absolute limit: ratio = 0.3 ms / measured time.
void DrawCase(benchmark::State& state, const std::string& what, int targetSide, int block, double scale,
              bool trans) {
    const cBitMap& bm = Sheet(Kind::Sprites, 4096);
    std::vector<uint32_t> pixels(static_cast<size_t>(targetSide) * targetSide, 0xFF808080u);
    PixelSurface s;
    s.Bits = pixels.data();
    s.Width = s.Height = s.Stride = targetSide;
    double total = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        if (trans)
            bm.DrawTrans(s, 1000, 1000, 0, 0, block, block, scale, scale);
        else
            bm.DrawTo(s, 1000, 1000, 0, 0, block, block, scale, scale);
        benchmark::ClobberMemory();
        auto b = Clock::now();
        total += Seconds(a, b);
        state.SetIterationTime(Seconds(a, b));
    }
    const double ms = total / state.iterations() * 1e3;
    state.counters["ms"] = ms;
    char extra[64];
    std::snprintf(extra, sizeof extra, "%.4f ms, limit 0.3 ms", ms);
    Report(state, what + " (0.3 ms / time)", 0.3 / ms, 1.0, extra);
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

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t len = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, len, field) == 0) return std::strtol(line.c_str() + len + 1, nullptr, 10);
    return -1;
}

// Peak resident growth of a fresh child process while an 8192 x 8192 sheet is
// loaded and masked, over the sheet's pixel bytes.
void BM_PeakMemory(benchmark::State& state) {
    const std::string path = SheetFile(Kind::Sprites, 8192, 8192);
    const double pixelBytes = 8192.0 * 8192 * 3;
    double ratio = -1;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) break;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            { // reset the peak to the current size
                std::ofstream clear("/proc/self/clear_refs");
                clear << "5";
            }
            const long base = StatusKb("VmRSS:");
            double r = -1;
            {
                MessageRecorder quiet;
                cBitMap bm;
                if (bm.LoadBMP(path)) {
                    bm.GenMask(0xFF00FF);
                    r = static_cast<double>(StatusKb("VmHWM:") - base) * 1024.0 / pixelBytes;
                }
            }
            ssize_t w = ::write(fds[1], &r, sizeof r);
            (void)w;
            ::_exit(0);
        }
        ::close(fds[1]);
        if (::read(fds[0], &ratio, sizeof ratio) != static_cast<ssize_t>(sizeof ratio)) ratio = -1;
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    if (ratio < 0) {
        state.SkipWithError("measurement failed");
        return;
    }
    state.counters["peak_over_pixels"] = ratio;
    state.counters["limit"] = 3.5;
    char line[256];
    std::snprintf(line, sizeof line, "%-58s ratio %6.3f  goal <= 3.50  %s",
                  "Peak RSS growth, 8192x8192 loaded + masked / pixel bytes", ratio, ratio <= 3.5 ? "met" : "NOT MET");
    AddSummary("peak", line);
}

} // namespace

BENCHMARK(BM_LoadBMP_8192)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveBMP_8192)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ToRLE, sprites, Kind::Sprites, 0.5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FromRLE, sprites, Kind::Sprites, 0.5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FromRLE_vs_Inflate)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ToRLE, noise, Kind::Noise, 0.15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FromRLE, noise, Kind::Noise, 0.15)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenMask)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawZoom)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawThumb)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawTransZoom)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nbench_bitmap summary (ratio = subject throughput / peer throughput, same run):\n");
    for (const auto& entry : Summary()) std::printf("  %s\n", entry.second.c_str());
    return 0;
}
