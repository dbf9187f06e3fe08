// WriteSIF and ReadSIF of a 4096 x 4096 sprite sheet in 24-bit colour with both
// sections Huffman-coded. Goal: each under 0.2 s. As a peer measured in the same
// run, zlib at its fastest level squeezes and restores the same raw pixels
// through the same kind of file, so the ratios say how far the format's own
// coding is from an off-the-shelf one on this machine.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "project/SpriteProject.h"
#include "sif/SifFile.h"

namespace {

constexpr int Side = 4096;
constexpr double GoalSeconds = 0.2;

// Seconds per iteration of each benchmark, for the summary printed at the end.
std::map<std::string, double>& Seconds() {
    static std::map<std::string, double> s;
    return s;
}

std::string Scratch(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("celwright-bench-" + name)).string();
}

// A sheet like a real one: magenta background, a grid of 64 x 64 cells, each
// holding a figure of flat-coloured parts with a shaded band, every cell different.
void BuildSheet() {
    using namespace SpriteProject;
    std::vector<uint8_t> stream;
    stream.reserve(static_cast<size_t>(Side) * Side / 8);
    auto colorAt = [](int x, int y) -> uint32_t {
        const int cx = x % 64, cy = y % 64, cell = (x / 64) * 131 + (y / 64) * 17;
        if (cx < 16 || cx >= 48 || cy < 4 || cy >= 60) return 0x00FF00FF;
        if (cy < 16) return 0x00A0C8F0u + static_cast<uint32_t>(cell % 8);          // head
        if (cy < 36) return 0x00A09600u ^ static_cast<uint32_t>((cell * 2654435761u) & 0x3F3F3F);
        if (cy < 40) return 0x00101010u * static_cast<uint32_t>((cx + cell) % 16); // shaded belt
        return (cx < 30 || cx >= 34) ? 0x00702828u : 0x00FF00FFu;                 // legs
    };
    for (int y = 0; y < Side; ++y) {
        // Run records of 24-bit colour: count, red, green, blue.
        uint32_t run = colorAt(0, y);
        int count = 0;
        auto flush = [&] {
            stream.push_back(static_cast<uint8_t>(count));
            stream.push_back(static_cast<uint8_t>(run));
            stream.push_back(static_cast<uint8_t>(run >> 8));
            stream.push_back(static_cast<uint8_t>(run >> 16));
        };
        for (int x = 0; x < Side; ++x) {
            const uint32_t c = colorAt(x, y);
            if (c == run && count < 127) {
                ++count;
                continue;
            }
            if (count) flush();
            run = c;
            count = 1;
        }
        flush();
    }
    ResetModel();
    Sheet.FromRLE(Side, Side, 5, 0x00FF00FF, stream);
    MaskColor = 0x00FF00FF;
    Actions.clear();
    for (int a = 0; a < 8; ++a) {
        ActionData act;
        for (int d = 0; d < 8; ++d) {
            DirectionData dir;
            for (int f = 0; f < 16; ++f) {
                FrameData fr;
                fr.X = (f * 64) % Side;
                fr.Y = (a * 8 + d) * 64 % Side;
                fr.Width = fr.Height = 64;
                fr.HotSpotX = 32;
                fr.HotSpotY = 60;
                fr.Delay = 100;
                dir.Frames.push_back(fr);
            }
            dir.FrameUBound = 15;
            act.Directions.push_back(dir);
        }
        act.DirUBound = 7;
        Actions.push_back(act);
    }
}

template <class F>
void Timed(benchmark::State& state, const char* name, F&& body) {
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    Seconds()[name] = total / static_cast<double>(state.iterations());
}

void BM_WriteSIF(benchmark::State& state) {
    const std::string path = Scratch("write.sif");
    Timed(state, "WriteSIF", [&] {
        if (!SpriteProject::WriteSIF(path, 5, 1, 1)) state.SkipWithError("WriteSIF failed");
    });
    state.counters["bytes"] = static_cast<double>(FileSize(path));
}

void BM_ReadSIF(benchmark::State& state) {
    const std::string path = Scratch("read.sif");
    if (!SpriteProject::WriteSIF(path, 5, 1, 1)) state.SkipWithError("WriteSIF failed");
    Timed(state, "ReadSIF", [&] {
        SpriteProject::SifImage image = SpriteProject::ReadSIF(path);
        if (image.Width != Side) state.SkipWithError("ReadSIF failed");
        benchmark::DoNotOptimize(image.Data.data());
    });
}

void BM_ZlibWritePeer(benchmark::State& state) {
    const ByteBuffer& px = SpriteProject::Sheet.Pixels();
    const std::string path = Scratch("peer.z");
    std::vector<uint8_t> out(compressBound(static_cast<uLong>(px.size())));
    Timed(state, "zlib write", [&] {
        uLongf n = static_cast<uLongf>(out.size());
        compress2(out.data(), &n, px.data(), static_cast<uLong>(px.size()), Z_BEST_SPEED);
        std::string error;
        WriteFileAtomic(path, out.data(), n, error);
    });
}

void BM_ZlibReadPeer(benchmark::State& state) {
    const ByteBuffer& px = SpriteProject::Sheet.Pixels();
    const std::string path = Scratch("peer.z");
    std::vector<uint8_t> raw(px.size());
    Timed(state, "zlib read", [&] {
        std::vector<uint8_t> bytes;
        std::string error;
        ReadWholeFile(path, bytes, error);
        uLongf n = static_cast<uLongf>(raw.size());
        uncompress(raw.data(), &n, bytes.data(), static_cast<uLong>(bytes.size()));
        benchmark::DoNotOptimize(raw.data());
    });
}

BENCHMARK(BM_WriteSIF)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibWritePeer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSIF)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZlibReadPeer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    MessageRecorder quiet; // a failure shows up as a skipped benchmark instead
    BuildSheet();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bool met = true;
    std::printf("\n4096 x 4096 sheet, 24-bit color, structure and image coded:\n");
    for (const auto& [name, peer] : {std::pair<std::string, std::string>{"WriteSIF", "zlib write"},
                                     {"ReadSIF", "zlib read"}}) {
        const auto it = Seconds().find(name);
        if (it == Seconds().end()) continue;
        const double s = it->second, ratio = s / GoalSeconds;
        met = met && ratio < 1.0;
        std::printf("  %-8s %7.3f s  ratio to goal %.2f (goal: below 1.00, i.e. under %.1f s) %s\n", name.c_str(), s,
                    ratio, GoalSeconds, ratio < 1.0 ? "met" : "MISSED");
        const auto p = Seconds().find(peer);
        if (p != Seconds().end() && p->second > 0)
            std::printf("           %.2f x the time of the peer (%s, level 1, raw pixels: %.3f s)\n", s / p->second,
                        peer.c_str(), p->second);
    }
    for (const char* f : {"write.sif", "read.sif", "peer.z"}) std::remove(Scratch(f).c_str());
    return met ? 0 : 1;
}
