#include "cli/Atlas.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "bitmap/PngFile.h"
#include "cli/CliSupport.h"
#include "project/SpriteProject.h"
#include "sprites/FollowSheet.h"

#ifndef CELWRIGHT_VERSION
#define CELWRIGHT_VERSION "0"
#endif

namespace {

using namespace SpriteProject;
// Insertion order matters: importers number the frames of the hash layout in
// the order its keys are written, and the tags count in those numbers.
using Json = nlohmann::ordered_json;

using namespace CliSupport;

// Where `target` lies as seen from the folder of `from`, with forward slashes,
// as the atlas names its image.
std::string RelativeTo(const std::string& target, const std::string& from) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path t = fs::absolute(target, ec).lexically_normal();
    const fs::path base = fs::absolute(from, ec).lexically_normal().parent_path();
    const fs::path rel = t.lexically_relative(base);
    return (rel.empty() ? t : rel).generic_string();
}

struct Options {
    std::string Project, Output, Image;
    bool Array = false;
};

bool ParseOptions(const std::vector<std::string>& in, Options& o, std::string& problem) {
    std::vector<std::string> positional;
    bool optionsEnded = false, haveImage = false;
    for (size_t i = 1; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--array") {
            o.Array = true;
        } else if (a == "--image" || a.rfind("--image=", 0) == 0) {
            if (a == "--image" && i + 1 >= in.size()) return problem = "--image needs a value", false;
            o.Image = a == "--image" ? in[++i] : a.substr(8);
            haveImage = true;
        } else {
            return problem = "unknown option " + a, false;
        }
    }
    if (haveImage && o.Image.empty()) return problem = "--image needs a file name", false;
    if (positional.size() != 2) return problem = "atlas needs PROJECT.sip and OUTPUT.json", false;
    o.Project = positional[0];
    o.Output = positional[1];
    return true;
}

Json Rect(int32_t x, int32_t y, int32_t w, int32_t h) { return {{"x", x}, {"y", y}, {"w", w}, {"h", h}}; }

} // namespace

int RunAtlas(const std::vector<std::string>& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, o, problem)) return Usage(problem);
    for (const std::string* out : {&o.Output, &o.Image}) {
        if (!out->empty() && SameFile(o.Project, *out)) return Refuse(*out + " is the project itself; not replacing it");
    }
    if (!o.Image.empty() && (o.Image == o.Output || SameFile(o.Image, o.Output)))
        return Refuse(o.Image + " is also the atlas; give the image another name");

    SplitPath(o.Project, WorkDir, ProjectFile);
    ResetModel();
    FoundSheetPath.clear();
    if (!ReadProject(o.Project)) return ExitRefused;
    const std::string sheetPath = FoundSheetPath.empty() ? WorkDir + SheetFile : FoundSheetPath;
    for (const std::string* out : {&o.Output, &o.Image}) {
        if (!out->empty() && SameFile(sheetPath, *out))
            return Refuse(*out + " is the project's sheet; not replacing it");
    }
    // Pixels that were transparent in a PNG sheet take the project's mask colour.
    if (!Sheet.LoadBMP(sheetPath, MaskColor)) return ExitRefused;

    Json frames = o.Array ? Json::array() : Json::object();
    Json tags = Json::array();
    std::set<std::string> tagNames;
    // Direction names, unique among those with frames to show, as rebind also names them.
    const std::vector<std::vector<std::string>> names = DirectionNames(Actions);
    int64_t count = 0;
    for (size_t a = 0; a < Actions.size(); ++a) {
        const ActionData& action = Actions[a];
        for (size_t d = 0; d < action.Directions.size(); ++d) {
            const DirectionData& direction = action.Directions[d];
            const std::string& tag = names[a][d];
            const int64_t first = count;
            for (size_t i = 0; i < direction.Frames.size(); ++i) {
                const FrameData& f = direction.Frames[i];
                // A frame never marked has no picture to place.
                if (f.Width == 0 || f.Height == 0) continue;
                const std::string name = tag + "/" + std::to_string(i);
                if (f.Width < 0 || f.Height < 0 || f.X < 0 || f.Y < 0 ||
                    int64_t{f.X} + f.Width > Sheet.Width() || int64_t{f.Y} + f.Height > Sheet.Height())
                    return Refuse("The frame " + name + " (" + std::to_string(f.Width) + " x " +
                                  std::to_string(f.Height) + " at " + std::to_string(f.X) + ", " +
                                  std::to_string(f.Y) + ") does not lie within the " +
                                  std::to_string(Sheet.Width()) + " x " + std::to_string(Sheet.Height()) +
                                  " sheet:\n\n" + o.Project);
                Json entry;
                if (o.Array) entry["filename"] = name;
                entry["frame"] = Rect(f.X, f.Y, f.Width, f.Height);
                entry["rotated"] = false;
                entry["trimmed"] = false;
                entry["spriteSourceSize"] = Rect(0, 0, f.Width, f.Height);
                entry["sourceSize"] = {{"w", f.Width}, {"h", f.Height}};
                entry["duration"] = f.Delay;
                entry["pivot"] = {{"x", static_cast<double>(f.HotSpotX) / f.Width},
                                  {"y", static_cast<double>(f.HotSpotY) / f.Height}};
                if (o.Array)
                    frames.push_back(std::move(entry));
                else
                    frames[name] = std::move(entry);
                ++count;
            }
            if (count == first) continue; // no tag for a direction without a marked frame
            tagNames.insert(tag);
            tags.push_back({{"name", tag}, {"from", first}, {"to", count - 1}, {"direction", "forward"}});
        }
    }

    std::vector<uint8_t> png;
    if (!o.Image.empty() && !Png::EncodeSheet(Sheet, MaskColor, png, problem))
        return Refuse("Could not make the image " + o.Image + ": " + problem);
    const bool transparent = !o.Image.empty() || Sheet.HasClearPixels();
    Json meta;
    meta["app"] = AppTitle;
    meta["version"] = CELWRIGHT_VERSION;
    meta["image"] = RelativeTo(o.Image.empty() ? sheetPath : o.Image, o.Output);
    meta["format"] = transparent ? "RGBA8888" : "RGB888";
    meta["size"] = {{"w", Sheet.Width()}, {"h", Sheet.Height()}};
    meta["scale"] = "1";
    meta["frameTags"] = std::move(tags);
    Json atlas;
    atlas["frames"] = std::move(frames);
    atlas["meta"] = std::move(meta);
    // Names come from project files; a byte that is not UTF-8 must not stop the atlas.
    const std::string text = atlas.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";

    std::string error;
    std::error_code ec;
    const bool imageExisted = !png.empty() && std::filesystem::exists(o.Image, ec);
    if (!png.empty() && !WriteFileAtomic(o.Image, png.data(), png.size(), error))
        return Refuse("Could not write the file:\n\n" + o.Image + "\n\n" + error);
    if (!WriteFileAtomic(o.Output, text.data(), text.size(), error)) {
        // No half of the pair stays behind where there was none.
        if (!png.empty() && !imageExisted) std::filesystem::remove(o.Image, ec);
        return Refuse("Could not write the file:\n\n" + o.Output + "\n\n" + error);
    }
    std::printf("Wrote %s: %lld frame%s in %zu tag%s (%s layout) on the %d x %d image %s", o.Output.c_str(),
                static_cast<long long>(count), count == 1 ? "" : "s", tagNames.size(), tagNames.size() == 1 ? "" : "s",
                o.Array ? "array" : "hash", Sheet.Width(), Sheet.Height(), atlas["meta"]["image"].get<std::string>().c_str());
    if (!png.empty()) std::printf(", written as %s (%zu bytes)", o.Image.c_str(), png.size());
    std::printf("\n");
    return ExitOk;
}
