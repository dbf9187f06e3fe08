#include "cli/CheckCommand.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/FileIO.h"
#include "cli/CliSupport.h"
#include "project/SpriteProject.h"
#include "sif/ModeSurvey.h"
#include "sif/SifFile.h"
#include "sprites/Jitter.h"

using namespace CliSupport;
using namespace SpriteProject;

namespace {

using Json = nlohmann::ordered_json;

struct Options {
    std::string Project;
    int32_t Jitter = DefaultJitterLimit;
    bool Json = false;
};

bool ParseOptions(const std::vector<std::string>& in, Options& o, std::string& problem) {
    Args args;
    if (!SplitArgs(in, {"--json"}, {"--jitter"}, args, problem)) return false;
    if (args.Positional.size() != 1) return problem = "check needs exactly one PROJECT.sip", false;
    o.Project = args.Positional[0];
    for (const auto& [name, value] : args.Options) {
        if (name == "--json") o.Json = true;
        if (name != "--jitter") continue;
        if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) > cBitMap::MaxSide)
            return problem = "--jitter needs a whole number of pixels from 0 to 32767, not \"" + value + "\"", false;
        o.Jitter = std::stoi(value);
    }
    return true;
}

// One finding about one frame or a run of frames.
struct Problem {
    std::string Kind; // outside, unmarked, empty, jitter, identical
    std::string Where;  // "Action/Direction/N" or ".../N-M"
    size_t Action = 0, Direction = 0;
    int32_t First = 0, Last = 0;
    std::string Text;   // what is wrong, in words
    FrameJitter Offset; // for jitter
};

std::string Shown(const std::string& name, const std::string& fallback) { return name.empty() ? fallback : name; }

std::string RectText(const FrameData& f) {
    return std::to_string(f.Width) + " x " + std::to_string(f.Height) + " at " + std::to_string(f.X) + ", " +
           std::to_string(f.Y);
}

bool Marked(const FrameData& f) { return f.Width > 0 && f.Height > 0; }

bool WithinSheet(const FrameData& f, const cBitMap& sheet) {
    return f.X >= 0 && f.Y >= 0 && int64_t{f.X} + f.Width <= sheet.Width() &&
           int64_t{f.Y} + f.Height <= sheet.Height();
}

bool OffSheet(const FrameData& f, const cBitMap& sheet) {
    return int64_t{f.X} + f.Width <= 0 || int64_t{f.Y} + f.Height <= 0 || f.X >= sheet.Width() ||
           f.Y >= sheet.Height();
}

// Two marked frames on the sheet holding the same picture.
bool SamePixels(const cBitMap& sheet, const FrameData& a, const FrameData& b) {
    if (a.Width != b.Width || a.Height != b.Height) return false;
    if (a.X == b.X && a.Y == b.Y) return true;
    const uint8_t* pixels = sheet.Pixels().data();
    const size_t stride = static_cast<size_t>(sheet.Stride()), bytes = 3 * static_cast<size_t>(a.Width);
    auto row = [&](const FrameData& f, int32_t y) {
        return pixels + static_cast<size_t>(sheet.Height() - 1 - (f.Y + y)) * stride + 3 * static_cast<size_t>(f.X);
    };
    for (int32_t y = 0; y < a.Height; ++y)
        if (std::memcmp(row(a, y), row(b, y), bytes) != 0) return false;
    return true;
}

std::vector<Problem> FindProblems(const cBitMap& sheet, int32_t limit) {
    std::vector<Problem> found;
    const std::string sheetSize = std::to_string(sheet.Width()) + " x " + std::to_string(sheet.Height());
    JitterTracker tracker; // one for all directions: frames shared by several are measured once
    for (size_t a = 0; a < Actions.size(); ++a) {
        const ActionData& action = Actions[a];
        for (size_t d = 0; d < action.Directions.size(); ++d) {
            const std::vector<FrameData>& frames = action.Directions[d].Frames;
            const std::string base = Shown(action.Name, DefaultActionName(static_cast<int>(a))) + "/" +
                                     Shown(action.Directions[d].Name, DefaultDirectionName(static_cast<int>(d))) + "/";
            auto add = [&](const char* kind, int32_t first, int32_t last, std::string text) {
                Problem p{kind, base + std::to_string(first) + (last > first ? "-" + std::to_string(last) : ""),
                          a, d, first, last, std::move(text), {}};
                found.push_back(std::move(p));
                return &found.back();
            };
            const size_t before = found.size();
            bool anyMarked = false;
            for (const FrameData& f : frames) anyMarked = anyMarked || Marked(f);
            const std::vector<FrameJitter> jitter = tracker.Update(sheet, MaskColor, frames, limit);
            const std::vector<SpriteRect>& boxes = tracker.Boxes();
            size_t nextJitter = 0;
            int32_t runStart = -1; // first frame of the run of identical frames going on, -1 = none
            for (size_t i = 0; i < frames.size(); ++i) {
                const FrameData& f = frames[i];
                const auto n = static_cast<int32_t>(i);
                // Runs of identical frames are said once each, when they end.
                const bool same = i > 0 && Marked(f) && WithinSheet(f, sheet) && Marked(frames[i - 1]) &&
                                  WithinSheet(frames[i - 1], sheet) && SamePixels(sheet, frames[i - 1], f);
                if (same && runStart < 0) runStart = n - 1;
                if (runStart >= 0 && (!same || i + 1 == frames.size())) {
                    const int32_t last = same ? n : n - 1;
                    add("identical", runStart, last,
                        std::to_string(last - runStart + 1) + " consecutive frames with the same pixels");
                    runStart = -1;
                }
                if (!Marked(f)) {
                    if (anyMarked) add("unmarked", n, n, "not marked (size " + std::to_string(f.Width) + " x " +
                                                           std::to_string(f.Height) + ") among marked frames");
                } else if (!WithinSheet(f, sheet)) {
                    add("outside", n, n, "reaches outside the " + sheetSize + " sheet (" + RectText(f) + ")");
                }
                if (Marked(f) && boxes[i].Empty() && !OffSheet(f, sheet))
                    add("empty", n, n, "holds no sprite pixel (" + RectText(f) + ")");
                if (nextJitter < jitter.size() && jitter[nextJitter].Frame == n) {
                    Problem* p = add("jitter", n, n, "hot spot jitters: the sprite stands " +
                                                         DescribeJitter(jitter[nextJitter]));
                    p->Offset = jitter[nextJitter++];
                }
            }
            // In frame order, a run in the place of its first frame.
            std::stable_sort(found.begin() + static_cast<std::ptrdiff_t>(before), found.end(),
                             [](const Problem& x, const Problem& y) { return x.First < y.First; });
        }
    }
    return found;
}

std::string ModeLine(const ModeSurvey& s) {
    char buf[160];
    if (s.Lossless())
        std::snprintf(buf, sizeof buf, "  %u %-14s %12llu bytes  unchanged", static_cast<unsigned>(s.Mode),
                      SifModeName(s.Mode), static_cast<unsigned long long>(s.SifBytes));
    else
        std::snprintf(buf, sizeof buf, "  %u %-14s %12llu bytes  %llu pixel%s changed, largest channel error %d",
                      static_cast<unsigned>(s.Mode), SifModeName(s.Mode), static_cast<unsigned long long>(s.SifBytes),
                      static_cast<unsigned long long>(s.ChangedPixels), s.ChangedPixels == 1 ? "" : "s",
                      s.MaxChannelError);
    return buf;
}

} // namespace

int RunCheck(const std::vector<std::string>& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, o, problem)) return Usage(problem);

    SplitPath(o.Project, WorkDir, ProjectFile);
    ResetModel();
    FoundSheetPath.clear();
    if (!ReadProject(o.Project)) return ExitRefused;
    const std::string sheetPath = FoundSheetPath.empty() ? WorkDir + SheetFile : FoundSheetPath;
    // Pixels that were transparent in a PNG sheet take the project's mask colour, as on export.
    if (!Sheet.LoadBMP(sheetPath, MaskColor)) return ExitRefused;

    const std::vector<Problem> problems = FindProblems(Sheet, o.Jitter);
    const std::array<ModeSurvey, 4> modes = SurveyModes(Actions, Sheet);

    if (o.Json) {
        Json doc;
        doc["project"] = o.Project;
        doc["sheet"] = {{"path", sheetPath}, {"width", Sheet.Width()}, {"height", Sheet.Height()}};
        doc["maskColor"] = Hex8(MaskColor);
        doc["jitterLimit"] = o.Jitter;
        doc["ok"] = problems.empty();
        Json list = Json::array();
        for (const Problem& p : problems) {
            Json entry = {{"kind", p.Kind}, {"frames", p.Where}, {"action", p.Action}, {"direction", p.Direction},
                          {"first", p.First}, {"last", p.Last}, {"message", p.Text}};
            if (p.Kind == "jitter") {
                entry["dx"] = p.Offset.Dx;
                entry["dy"] = p.Offset.Dy;
            }
            list.push_back(std::move(entry));
        }
        doc["problems"] = std::move(list);
        Json table = Json::array();
        for (const ModeSurvey& s : modes)
            table.push_back({{"mode", s.Mode}, {"name", SifModeName(s.Mode)}, {"sifBytes", s.SifBytes},
                             {"unchanged", s.Lossless()}, {"changedPixels", s.ChangedPixels},
                             {"maxChannelError", s.MaxChannelError}});
        doc["modes"] = std::move(table);
        // Names come from project files; a byte that is not UTF-8 must not stop the report.
        std::printf("%s\n", doc.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    } else {
        for (const Problem& p : problems) std::printf("%s: %s\n", p.Where.c_str(), p.Text.c_str());
        if (problems.empty())
            std::printf("No problems found in %s.\n", o.Project.c_str());
        else
            std::printf("%s found in %s.\n", Plural(problems.size(), "problem", "problems").c_str(),
                        o.Project.c_str());
        std::printf("\nDepth modes for the %d x %d sheet (.sif size with both sections coded):\n", Sheet.Width(),
                    Sheet.Height());
        for (const ModeSurvey& s : modes) std::printf("%s\n", ModeLine(s).c_str());
    }
    return problems.empty() ? ExitOk : ExitProblems;
}
