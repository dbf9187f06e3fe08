// The editor on the largest sheets: a 16384 x 16384 and a 32767 x 32767 BMP,
// written into a temporary folder and removed afterwards (skipped when that
// folder has less than 8 GB free). Each size reports, beside its goal:
//   - opening a project of that sheet, over reading the same warm file in
//     64 MB blocks into one buffer (what dd does)                   <= 3 x
//   - the editor's peak memory over the sheet's pixel bytes          <= 1.5 x
//   - a drag step on the overview, a zoom change and a marking move  < 4 ms
// CELWRIGHT_BENCH_HUGE=16384 (or another side) runs one size only.
#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>
#include <fcntl.h>
#include <vector>

#include "BenchMemory.h"
#include "EditorBench.h"
#include "editor/Form1.h"
#include "platform/DeferredCall.h"
#include "project/SpriteProject.h"

namespace SP = SpriteProject;
namespace fs = std::filesystem;

namespace {

using namespace EditorBench;

// 64 x 64 cells on a magenta ground, each with a 40 x 40 block of its own colour.
bool WriteSheet(const std::string& path, int side) {
    const int64_t stride = (int64_t{side} * 3 + 3) / 4 * 4;
    std::ofstream out(path, std::ios::binary);
    uint8_t header[54] = {'B', 'M'};
    const auto put32 = [&](int at, uint32_t v) { std::memcpy(header + at, &v, 4); };
    put32(2, static_cast<uint32_t>(54 + stride * side));
    put32(10, 54), put32(14, 40), put32(18, static_cast<uint32_t>(side)), put32(22, static_cast<uint32_t>(side));
    header[26] = 1, header[28] = 24;
    put32(34, static_cast<uint32_t>(stride * side));
    out.write(reinterpret_cast<const char*>(header), 54);
    std::vector<char> band(static_cast<size_t>(stride) * 64);
    for (int y0 = 0; y0 < side; y0 += 64) {
        const int rows = std::min(64, side - y0);
        for (int r = 0; r < rows; ++r) {
            uint8_t* row = reinterpret_cast<uint8_t*>(band.data()) + static_cast<size_t>(stride) * r;
            std::memset(row, 0, static_cast<size_t>(stride));
            for (int x = 0; x < side; ++x) {
                const bool ink = x % 64 < 40 && (y0 + r) % 64 < 40;
                row[3 * x] = ink ? static_cast<uint8_t>(x / 64 * 7) : 0xFF;
                row[3 * x + 1] = ink ? static_cast<uint8_t>((y0 + r) / 64 * 5) : 0x00;
                row[3 * x + 2] = ink ? 0x80 : 0xFF;
            }
        }
        out.write(band.data(), static_cast<std::streamsize>(stride) * rows);
    }
    return static_cast<bool>(out);
}

// Reads the file in 64 MB blocks into one buffer, as dd does; seconds.
double ReadLikeDd(const std::string& path) {
    std::vector<char> block(64 << 20);
    return Timed([&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        while (fd >= 0 && ::read(fd, block.data(), block.size()) > 0) {
        }
        if (fd >= 0) ::close(fd);
    });
}


struct Sheet {
    int side;
    std::string dir, bmp, sip;
};

std::unique_ptr<Form1> Opened(const Sheet& s, benchmark::State* state) {
    auto w = std::make_unique<Form1>();
    w->show();
    QApplication::processEvents();
    ReadLikeDd(s.bmp); // warm
    const double dd = std::min(ReadLikeDd(s.bmp), ReadLikeDd(s.bmp));
    BenchMemory::ResetPeak();
    const double open = Timed([&] {
        w->OpenProjectFrom(s.sip);
        QApplication::processEvents();
    });
    const double pixels = static_cast<double>((int64_t{s.side} * 3 + 3) / 4 * 4) * s.side;
    if (state) {
        const std::string size = std::to_string(s.side) + " x " + std::to_string(s.side);
        Goals()["open " + size + " over dd"].value = open / dd;
        const double peak = static_cast<double>(BenchMemory::StatusKb("VmHWM:")) * 1024;
        Goals()["peak memory " + size + " over pixel bytes"].value = peak / pixels;
        std::printf("%s: open %.2f s, dd %.2f s\n", size.c_str(), open, dd);
    }
    return w;
}

void BM_Huge(benchmark::State& state, const Sheet* s) {
    auto w = Opened(*s, &state);
    const std::string size = std::to_string(s->side) + " x " + std::to_string(s->side);
    w->TNScrollH->setValue(s->side / 2), w->TNScrollV->setValue(s->side / 2);
    w->Picture2_MouseDown(1, 0, s->side / 2 + 100, s->side / 2 + 100);
    Measure(state, "overview drag step, " + size,
            [&](int k) { w->Picture2_MouseMove(1, 0, s->side / 2 + 50 + k % 100, s->side / 2 + 50 + k % 77); });
    w->Picture2_MouseUp(1, 0, 0, 0);
}

void BM_HugeZoomAndMarking(benchmark::State& state, const Sheet* s) {
    auto w = Opened(*s, nullptr);
    const std::string size = std::to_string(s->side) + " x " + std::to_string(s->side);
    w->lstAction_Click(0), w->lstDirection_Click(0), w->StripRebuild->Flush(), w->ucSF_Click(0, 0);
    w->Picture2_MouseDown(1, 0, s->side / 2, s->side / 2), w->Picture2_MouseUp(1, 0, s->side / 2, s->side / 2);
    double zoom = 0, marking = 0;
    int k = 0;
    w->Picture1_MouseDown(1, 0, 10, 10);
    for (auto _ : state) {
        ++k;
        const double z = Timed([&] {
            w->HScroll1->setValue(2 + k % 9);
            QApplication::processEvents();
        });
        // Always onto another zoomed pixel.
        const double m = Timed([&] {
            w->Picture1_MouseMove(0, 0, 20 + 10.0 * (k % 20), 30 + 10.0 * (k % 17));
            QApplication::processEvents();
        });
        state.SetIterationTime(z + m);
        zoom += z, marking += m;
    }
    w->Picture1_MouseDown(1, 0, 10, 10);
    Record(state, "zoom change, " + size, zoom);
    Record(state, "marking move, " + size, marking);
}

std::vector<Sheet>& Sheets() {
    static std::vector<Sheet> sheets;
    return sheets;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sides = {16384, 32767};
    if (const char* only = std::getenv("CELWRIGHT_BENCH_HUGE")) sides = {std::atoi(only)};
    const std::string dir = (fs::temp_directory_path() / ("celwright-huge-" + std::to_string(::getpid()))).string();
    fs::create_directories(dir);
    struct statvfs fsinfo {};
    const bool room = ::statvfs(dir.c_str(), &fsinfo) == 0 &&
                      static_cast<double>(fsinfo.f_bavail) * static_cast<double>(fsinfo.f_frsize) >= 8e9;
    std::map<std::string, Goal> goals;
    if (!room) {
        std::printf("skipped: less than 8 GB free in %s\n", dir.c_str());
    } else {
        for (int side : sides) {
            Sheet s{side, dir, dir + "/sheet" + std::to_string(side) + ".bmp", dir + "/sheet" + std::to_string(side) + ".sip"};
            if (!WriteSheet(s.bmp, side)) continue;
            // A project of one action with one frame on that sheet.
            SP::ResetModel();
            SP::WorkDir = dir + "/", SP::SheetFile = fs::path(s.bmp).filename().string(), SP::MaskColor = 0xFF00FF;
            SP::Actions[0].Directions[0].Frames[0] = FrameData{64, 64, 40, 40, {0, 0}, 1, 0, 0};
            SP::WriteProject(s.sip);
            Sheets().push_back(s);
            const std::string size = std::to_string(side) + " x " + std::to_string(side);
            goals["open " + size + " over dd"] = {3};
            goals["peak memory " + size + " over pixel bytes"] = {1.5};
            goals["overview drag step, " + size] = {4};
            goals["zoom change, " + size] = {4};
            goals["marking move, " + size] = {4};
        }
        for (const Sheet& s : Sheets()) {
            benchmark::RegisterBenchmark(("BM_Huge/" + std::to_string(s.side)).c_str(), BM_Huge, &s)
                ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
            benchmark::RegisterBenchmark(("BM_HugeZoomAndMarking/" + std::to_string(s.side)).c_str(),
                                         BM_HugeZoomAndMarking, &s)
                ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);
        }
    }
    const int status = EditorBench::Main(argc, argv, goals, "(open and memory as ratios, times in ms)");
    fs::remove_all(dir);
    return status;
}
