#include "cli/NewCommand.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/FileIO.h"
#include "cli/CliSupport.h"
#include "project/SpriteProject.h"
#include "sprites/Sprites.h"

using namespace CliSupport;
using namespace SpriteProject;

namespace {

// A whole decimal number from 0 to max, nothing else.
bool ParseNumber(const std::string& text, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoll(text);
    return value <= max;
}

bool ParseGrid(const std::string& text, GridSpec& grid) {
    size_t at = 0;
    auto number = [&](int32_t& out) {
        size_t end = text.find_first_not_of("0123456789", at);
        if (end == std::string::npos) end = text.size();
        int64_t v = 0;
        if (!ParseNumber(text.substr(at, end - at), cBitMap::MaxSide, v)) return false;
        out = static_cast<int32_t>(v);
        at = end;
        return true;
    };
    auto take = [&](char c) {
        if (at >= text.size() || text[at] != c) return false;
        ++at;
        return true;
    };
    if (!number(grid.CellWidth) || !take('x') || !number(grid.CellHeight)) return false;
    if (take('+') && (!number(grid.OffsetX) || !take('+') || !number(grid.OffsetY))) return false;
    if (take(',') && (!number(grid.GapX) || !take('x') || !number(grid.GapY))) return false;
    return at == text.size() && grid.CellWidth > 0 && grid.CellHeight > 0;
}

// RRGGBB (a leading '#' is allowed) as 0x00BBGGRR.
bool ParseColor(std::string text, int32_t& color) {
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    const auto rgb = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    color = static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
    return true;
}

bool ParseHotSpot(const std::string& text, HotSpotRule& rule) {
    if (text == "bottom")
        rule = HotSpotRule::BottomCentre;
    else if (text == "centre" || text == "center")
        rule = HotSpotRule::Centre;
    else if (text == "topleft")
        rule = HotSpotRule::TopLeft;
    else
        return false;
    return true;
}

// Colour 0x00BBGGRR of the sheet's top-left pixel (the top row is stored last).
int32_t TopLeftColor(const cBitMap& sheet) {
    const uint8_t* p = sheet.Pixels().data() + static_cast<size_t>(sheet.Height() - 1) * sheet.Stride();
    return p[2] | p[1] << 8 | p[0] << 16;
}

// The sheet path as the project reader finds it: the plain name when the sheet
// lies beside the project (the pair can then move together), else its full
// path. Empty when the paths cannot be made absolute.
std::string StoredSheetPath(const std::string& sheetPath, const std::string& outputPath) {
    namespace fs = std::filesystem;
    std::error_code ec, ec2;
    const fs::path sheet = fs::absolute(sheetPath, ec).lexically_normal();
    const fs::path output = fs::absolute(outputPath, ec2).lexically_normal();
    if (ec || ec2) return "";
    if (SameFile(sheet.parent_path().string(), output.parent_path().string()))
        return sheet.filename().string();
    return sheet.string();
}

} // namespace

int RunNew(const std::vector<std::string>& in) {
    Args args;
    std::string problem;
    if (!SplitArgs(in, {"--detect", "--trim", "--force", "--skip-empty", "--rows-as-directions"},
                   {"--grid", "--merge-gap", "--min-pixels", "--hotspot", "--delay", "--mask", "--action",
                    "--direction"},
                   args, problem))
        return Usage(problem);
    if (args.Positional.size() != 2) return Usage("new needs SHEET.bmp and OUTPUT.sip");
    bool detect = false, trim = false, force = false, skipEmpty = false, haveGrid = false, tuned = false;
    bool haveMask = false, autoGrid = false, byRows = false, namedDirection = false;
    GridSpec grid;
    int64_t mergeGap = 2, minPixels = 4, delay = 100;
    int32_t mask = 0;
    HotSpotRule rule = HotSpotRule::BottomCentre;
    std::string actionName, directionName;
    for (const auto& option : args.Options) {
        // Named copies of the pair's halves: clang 14 cannot capture structured bindings.
        const std::string &name = option.first, &value = option.second;
        const auto bad = [&](const char* form) { return Usage(name + " \"" + value + "\" is not " + form); };
        if (name == "--detect")
            detect = true;
        else if (name == "--trim")
            trim = true;
        else if (name == "--force")
            force = true;
        else if (name == "--skip-empty")
            skipEmpty = true;
        else if (name == "--rows-as-directions")
            byRows = true;
        else if (name == "--action")
            actionName = value;
        else if (name == "--direction")
            directionName = value, namedDirection = true;
        else if (name == "--grid") {
            grid = GridSpec{};
            autoGrid = value == "auto";
            if (!autoGrid && !ParseGrid(value, grid))
                return bad("auto or WxH[+X+Y][,GAPXxGAPY] with cells of 1 to 32767 pixels");
            haveGrid = true;
        } else if (name == "--merge-gap") {
            if (!ParseNumber(value, cBitMap::MaxSide, mergeGap))
                return bad("a number of pixels from 0 to 32767");
            tuned = true;
        } else if (name == "--min-pixels") {
            if (!ParseNumber(value, int64_t{cBitMap::MaxSide} * cBitMap::MaxSide, minPixels))
                return bad("a number of pixels");
            tuned = true;
        } else if (name == "--delay") {
            if (!ParseNumber(value, 32767, delay)) return bad("a delay from 0 to 32767");
        } else if (name == "--mask") {
            if (!ParseColor(value, mask)) return bad("a colour RRGGBB in hex");
            haveMask = true;
        } else if (name == "--hotspot" && !ParseHotSpot(value, rule)) {
            return bad("bottom, centre or topleft");
        }
    }
    if (detect == haveGrid) return Usage("new needs either --grid WxH or --detect");
    if (tuned && !detect) return Usage("--merge-gap and --min-pixels go with --detect");
    if (skipEmpty && !haveGrid) return Usage("--skip-empty goes with --grid");
    if (byRows && namedDirection) return Usage("--direction does not go with --rows-as-directions");
    const std::string& sheetPath = args.Positional[0];
    const std::string& outputPath = args.Positional[1];

    if (SameFile(sheetPath, outputPath)) {
        Refuse(outputPath + " is the sheet itself; not replacing it");
        return ExitRefused;
    }
    if (!force && Exists(outputPath)) {
        Refuse(outputPath + " already exists; not replacing it (use --force to replace it)");
        return ExitRefused;
    }
    const std::string storedPath = StoredSheetPath(sheetPath, outputPath);
    if (storedPath.empty()) {
        Refuse("Could not work out the full path of " + sheetPath);
        return ExitRefused;
    }
    if (storedPath.find('\\') != std::string::npos) {
        Refuse(storedPath + "\n\nProject files read a backslash in the sheet path as a folder separator");
        return ExitRefused;
    }
    ResetModel();
    // A PNG's transparent pixels must take the mask colour asked for, or they
    // would count as sprite pixels.
    if (!Sheet.LoadBMP(sheetPath, haveMask ? mask : cBitMap::DefaultClearColor)) return ExitRefused;
    if (!haveMask) mask = TopLeftColor(Sheet);
    if (autoGrid) {
        const GridFound found = DetectGrid(Sheet, mask, {0, 0, Sheet.Width(), Sheet.Height()});
        if (!found.Error.empty()) {
            Refuse(found.Error + " on " + sheetPath);
            return ExitRefused;
        }
        grid = found.Grid;
        std::printf("grid %s\n", GridText(grid).c_str());
    }

    const SpriteRects found = detect ? FindSprites(Sheet, mask, {0, 0, Sheet.Width(), Sheet.Height()},
                                                   static_cast<int32_t>(mergeGap), minPixels)
                                     : GridCells(Sheet, mask, grid, skipEmpty);
    if (!found.Error.empty()) {
        Refuse(found.Error);
        return ExitRefused;
    }
    if (found.Rects.empty()) {
        Refuse("No sprite found on " + sheetPath + " with the mask colour " + ColorText(mask));
        return ExitRefused;
    }
    std::vector<FrameData> frames;
    if (trim && haveGrid) {
        frames = TrimmedCellFrames(Sheet, mask, found.Rects, rule, static_cast<int16_t>(delay));
    } else {
        // Detected sprites are tight already: trimming would change nothing.
        frames.reserve(found.Rects.size());
        for (const SpriteRect& r : found.Rects)
            frames.push_back(MakeFrame(r, rule, static_cast<int16_t>(delay)));
    }
    Actions.assign(1, NewAction());
    Actions[0].Name = actionName;
    DirectionData& direction = Actions[0].Directions[0];
    direction.Name = directionName;
    if (byRows ? !AddDirections(Actions[0], frames, RowLengths(found.Rects), problem)
               : !AddFrames(direction, frames, problem)) {
        Refuse(problem);
        return ExitRefused;
    }
    MaskColor = mask;
    SplitPath(storedPath, WorkDir, SheetFile);
    if (!WriteProject(outputPath)) return ExitRefused;
    const std::string directions =
        byRows ? " in " + Plural(Actions[0].Directions.size(), "direction", "directions") : "";
    std::printf("Wrote %s: %s%s %s on the %d x %d sheet %s, mask colour %s\n", outputPath.c_str(),
                Plural(frames.size(), "frame", "frames").c_str(), directions.c_str(),
                detect ? "of detected sprites"
                : trim ? "of trimmed grid cells"
                       : "of grid cells",
                Sheet.Width(), Sheet.Height(), storedPath.c_str(), Hex8(mask).c_str());
    return ExitOk;
}
