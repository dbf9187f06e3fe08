// Opening a huge sheet: LoadBMP of a 16384 x 16384 BMP (805 MB) against reading
// the same file with read() in 64 MB slices into one reused buffer (what dd does)
// in the same run, and the load's peak resident growth against the pixel bytes.
// Each load runs in a fresh child process, so that no memory kept from an
// earlier picture helps it and its peak is its own. CELWRIGHT_BENCH_HUGE=32767
// adds the largest sheet (3.2 GB). The file goes to the temporary folder, which
// needs 8 GB free (or twice the file); otherwise the size is skipped.
// The same for a 16384 x 16384 RGBA PNG with transparent pixels: LoadBMP against
// libspng decoding the same file to RGBA on its own, and the peak against the
// 24-bit pixel bytes the sheet holds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <spng.h>

#include "BenchMemory.h"
#include "base/Messages.h"
#include "bitmap/PageAlloc.h"
#include "bitmap/PngFile.h"
#include "bitmap/cBitMap.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double TimeGoal = 3.0, TimeAim = 2.0, MemoryGoal = 1.5;
constexpr int Runs = 3;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

uint64_t StrideOf(int side) { return ((uint64_t(side) * 24 + 31) / 32) * 4; }

// A bottom-up 24-bit BMP of a cheap, varied pattern (flat runs and busy parts),
// written a row at a time. False when the disk refuses it.
bool WriteSheet(const std::string& path, int side) {
    const uint64_t stride = StrideOf(side), image = stride * uint64_t(side);
    uint8_t head[54] = {'B', 'M'};
    auto put32 = [&](int at, uint64_t v) {
        for (int i = 0; i < 4; ++i) head[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(2, 54 + image), put32(10, 54), put32(14, 40), put32(18, uint64_t(side)), put32(22, uint64_t(side));
    head[26] = 1, head[28] = 24;
    put32(34, image);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(head, 1, 54, f) == 54;
    std::vector<uint8_t> row(stride, 0);
    for (int y = 0; ok && y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const uint32_t c = (x / 64 + y / 64) % 3 ? 0xFF00FFu : uint32_t(x * 2654435761u ^ y * 40503u);
            std::memcpy(row.data() + 3 * size_t(x), &c, 3);
        }
        ok = std::fwrite(row.data(), 1, stride, f) == stride;
    }
    return std::fclose(f) == 0 && ok;
}

// The peer: the whole file read() in 64 MB slices into one buffer, already in place.
double ReadLikeDd(const std::string& path) {
    constexpr size_t Slice = size_t{64} << 20;
    static std::vector<uint8_t> buffer(Slice, 1);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    const auto t = Clock::now();
    while (::read(fd, buffer.data(), Slice) > 0) {
    }
    const double s = Since(t);
    ::close(fd);
    return s;
}

using BenchMemory::StatusKb;

struct LoadRun {
    double Seconds = -1;
    double PeakBytes = 0; // resident growth over the load
};

// One LoadBMP in a fresh child process.
LoadRun LoadInChild(const std::string& path) {
    LoadRun run;
    int fds[2];
    if (::pipe(fds) != 0) return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        PageAlloc::ReleaseSpare();
        { // the peak from here on (without /proc/self/clear_refs, the peak so far, which is small)
            BenchMemory::ResetPeak();
        }
        const long base = StatusKb("VmRSS:");
        LoadRun r;
        MessageRecorder quiet;
        cBitMap bm;
        const auto t = Clock::now();
        if (bm.LoadBMP(path)) {
            r.Seconds = Since(t);
            long peak = StatusKb("VmHWM:");
            rusage use{};
            if (peak < 0 && ::getrusage(RUSAGE_SELF, &use) == 0) peak = use.ru_maxrss;
            r.PeakBytes = double(peak - base) * 1024.0;
        }
        const ssize_t w = ::write(fds[1], &r, sizeof r);
        (void)w;
        ::_exit(0);
    }
    ::close(fds[1]);
    if (pid > 0) {
        if (::read(fds[0], &run, sizeof run) != static_cast<ssize_t>(sizeof run)) run = LoadRun();
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    ::close(fds[0]);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Returns false when a goal is missed.
bool Measure(int side) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const double pixelBytes = double(StrideOf(side)) * side;
    struct statvfs fs {};
    const double freeBytes = ::statvfs(dir.c_str(), &fs) == 0 ? double(fs.f_bavail) * double(fs.f_frsize) : 0;
    if (freeBytes < std::max(8e9, 2 * pixelBytes)) {
        std::printf("  %d x %d: skipped, %.1f GB free in %s (8 GB or twice the file needed)\n", side, side,
                    freeBytes / 1e9, dir.c_str());
        return true;
    }
    const std::string path = (dir / ("celwright-bench-huge-" + std::to_string(::getpid()) + ".bmp")).string();
    if (!WriteSheet(path, side)) {
        std::remove(path.c_str());
        std::printf("  %d x %d: skipped, the file could not be written\n", side, side);
        return true;
    }
    ReadLikeDd(path); // the file in the page cache: both sides read it warm
    std::vector<double> loads, reads, peaks;
    for (int i = 0; i < Runs; ++i) {
        reads.push_back(ReadLikeDd(path));
        const LoadRun run = LoadInChild(path);
        if (run.Seconds < 0) break;
        loads.push_back(run.Seconds);
        peaks.push_back(run.PeakBytes / pixelBytes);
    }
    std::remove(path.c_str());
    if (loads.empty()) {
        std::printf("  %d x %d: the load failed\n", side, side);
        return false;
    }
    const double load = Median(loads), read = Median(reads), time = load / read;
    const double peak = *std::max_element(peaks.begin(), peaks.end());
    char what[96];
    std::snprintf(what, sizeof what, "LoadBMP %dx%d (%.0f MB) / read() 64 MB slices", side, side, pixelBytes / 1e6);
    std::printf("  %-56s ratio %6.3f  goal <= %.2f  %-7s (aim %.2f; load %.1f ms, read %.1f ms; median of %zu)\n",
                what, time, TimeGoal, time <= TimeGoal ? "met" : "NOT MET", TimeAim, load * 1e3, read * 1e3,
                loads.size());
    std::snprintf(what, sizeof what, "Peak RSS growth over the load %dx%d / pixel bytes", side, side);
    std::printf("  %-56s ratio %6.3f  goal <= %.2f  %s\n", what, peak, MemoryGoal,
                peak <= MemoryGoal ? "met" : "NOT MET");
    return time <= TimeGoal && peak <= MemoryGoal;
}

// The peer of the PNG load: the file read and decoded to RGBA by libspng alone.
double DecodeLikeSpng(const std::string& path) {
    const auto t = Clock::now();
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_image_limits(ctx, cBitMap::MaxSide, cBitMap::MaxSide);
    spng_set_png_buffer(ctx, bytes.data(), bytes.size());
    size_t size = 0;
    bool ok = spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size) == 0;
    std::vector<uint8_t> rgba(ok ? size : 0);
    ok = ok && spng_decode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, 0) == 0;
    spng_ctx_free(ctx);
    return ok ? Since(t) : -1;
}

bool MeasurePng(int side) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string bmp = (dir / ("celwright-bench-png-" + std::to_string(::getpid()) + ".bmp")).string();
    const std::string png = bmp.substr(0, bmp.size() - 3) + "png";
    const double pixelBytes = double(StrideOf(side)) * side;
    std::vector<uint8_t> bytes;
    {
        MessageRecorder quiet;
        cBitMap sheet;
        std::string error;
        if (!WriteSheet(bmp, side) || !sheet.LoadBMP(bmp) || !Png::EncodeSheet(sheet, 0xFF00FF, bytes, error)) {
            std::remove(bmp.c_str());
            std::printf("  PNG %d x %d: skipped, the file could not be made\n", side, side);
            return true;
        }
    }
    std::remove(bmp.c_str());
    std::ofstream(png, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    bytes = {};
    std::vector<double> loads, decodes, peaks;
    for (int i = 0; i < Runs; ++i) {
        decodes.push_back(DecodeLikeSpng(png));
        const LoadRun run = LoadInChild(png);
        if (run.Seconds < 0) break;
        loads.push_back(run.Seconds);
        peaks.push_back(run.PeakBytes / pixelBytes);
    }
    std::remove(png.c_str());
    if (loads.empty()) {
        std::printf("  PNG %d x %d: the load failed\n", side, side);
        return false;
    }
    const double time = Median(loads) / Median(decodes);
    const double peak = *std::max_element(peaks.begin(), peaks.end());
    char what[96];
    std::snprintf(what, sizeof what, "LoadBMP of an RGBA PNG %dx%d / libspng decode alone", side, side);
    std::printf("  %-56s ratio %6.3f  goal <= 1.50  %-7s (load %.1f ms, decode %.1f ms; median of %zu)\n", what,
                time, time <= 1.5 ? "met" : "NOT MET", Median(loads) * 1e3, Median(decodes) * 1e3, loads.size());
    std::snprintf(what, sizeof what, "Peak RSS growth, RGBA PNG %dx%d / 24-bit pixel bytes", side, side);
    std::printf("  %-56s ratio %6.3f  goal <= %.2f  %s\n", what, peak, MemoryGoal,
                peak <= MemoryGoal ? "met" : "NOT MET");
    return time <= 1.5 && peak <= MemoryGoal;
}

} // namespace

int main() {
    std::vector<int> sides = {16384};
    if (const char* huge = std::getenv("CELWRIGHT_BENCH_HUGE"); huge && std::atoi(huge) == cBitMap::MaxSide)
        sides.push_back(cBitMap::MaxSide);
    std::printf("bench_hugesheet (ratio = LoadBMP over the same file read like dd, warm, same run; memory in a "
                "fresh process):\n");
    bool met = true;
    for (int side : sides) met = Measure(side) && met;
    met = MeasurePng(16384) && met;
    return met ? 0 : 1;
}
