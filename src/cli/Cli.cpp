#include "cli/Cli.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/FileIO.h"
#include "cli/Atlas.h"
#include "cli/CheckCommand.h"
#include "cli/CliSupport.h"
#include "cli/NewCommand.h"
#include "cli/RebindCommand.h"
#include "base/Messages.h"
#include "project/SpriteProject.h"
#include "sif/SifFile.h"

#ifndef CELWRIGHT_VERSION
#define CELWRIGHT_VERSION "0"
#endif

namespace {

using namespace SpriteProject;

using namespace CliSupport;

// Laid out as help2man reads it (the manual page is written from it): the synopsis
// lines, then per command a line ending in ':' and indented paragraphs, options
// in a column with their text two spaces or more to the right.
const char* const UsageText =
    "Usage: celwright-cli COMMAND ARGUMENTS [OPTION]...\n"
    "  or:  celwright-cli --help | -h\n"
    "  or:  celwright-cli --version\n"
    "Exports, imports and inspects sprite projects (.sip) and sprite image files\n"
    "(.sif) without the editor, for build pipelines.\n"
    "\n"
    "export PROJECT.sip OUTPUT.sif [OPTION]...:\n"
    "  Opens PROJECT.sip as the editor's Open Project does (its sheet bitmap is\n"
    "  looked for beside the project) and writes OUTPUT.sif. An existing\n"
    "  OUTPUT.sif is replaced only once the new file is complete.\n"
    "\n"
    "  --mode bw|grey|16|24     depth mode (also 1, 2, 4, 5); default 24. Other\n"
    "                           numbers are refused as invalid depth modes.\n"
    "  --no-compress-structure  store the frame tree without Huffman coding\n"
    "  --no-compress-image      store the image stream without Huffman coding\n"
    "\n"
    "import INPUT.sif OUTPUT.sip [--force]:\n"
    "  Reads INPUT.sif and saves it as a project: OUTPUT.sip and, beside it, its\n"
    "  sheet bitmap named after it (hero.sip -> hero.bmp). If either file already\n"
    "  exists the import is refused and nothing is written, unless --force is\n"
    "  given, which replaces both.\n"
    "\n"
    "info FILE:\n"
    "  Checks FILE completely and prints a summary: for a project (.sip) the mask\n"
    "  colour, sheet path and the actions, directions and frame counts; for a\n"
    "  sprite image file (.sif) also the sheet size, depth mode and flags.\n"
    "\n"
    "new SHEET OUTPUT.sip (--grid WxH[+X+Y][,GAPXxGAPY]|auto | --detect) [OPTION]...:\n"
    "  Makes a project of one action and one direction (or one per row) whose\n"
    "  frames are marked on SHEET.bmp in one stroke, and writes it as OUTPUT.sip.\n"
    "  The sheet stays where it is: the project names it plainly when it lies\n"
    "  beside OUTPUT.sip, otherwise by its full path. An existing OUTPUT.sip is\n"
    "  refused unless --force is given.\n"
    "\n"
    "  --grid WxH[+X+Y][,GAPXxGAPY]\n"
    "                           cells of W x H pixels, the first at (X, Y), GAPX /\n"
    "                           GAPY pixels apart, as many as fit, row by row\n"
    "  --grid auto              the grid found on the sheet: cells between separator\n"
    "                           lines, or between gutters of mask colour at one\n"
    "                           period; prints it as \"grid WxH+X+Y,GAPXxGAPY\" and\n"
    "                           refuses a sheet without a regular grid\n"
    "  --skip-empty             (with --grid) leave out cells of one colour\n"
    "                           throughout: only mask colour, or an unused cell\n"
    "                           painted flat\n"
    "  --detect                 find each sprite by its pixels, in reading order\n"
    "                           (rows top to bottom, each left to right)\n"
    "  --merge-gap N            (with --detect) parts at most N pixels apart are\n"
    "                           one sprite; default 2\n"
    "  --min-pixels N           (with --detect) leave out sprites of fewer pixels;\n"
    "                           default 4\n"
    "  --trim                   cut each grid cell down to its sprite; the hot spot\n"
    "                           stays where the whole cell put it\n"
    "  --hotspot bottom|centre|topleft\n"
    "                           where the hot spot goes; default bottom (the middle\n"
    "                           of the bottom row)\n"
    "  --delay MS               each frame's delay, 0 to 32767; default 100\n"
    "  --mask RRGGBB            the mask colour in hex; default the colour of the\n"
    "                           sheet's top-left pixel\n"
    "  --action NAME            the name of the action\n"
    "  --direction NAME         the name of the direction\n"
    "  --rows-as-directions     one unnamed direction per row of cells or of sprites\n"
    "                           (reading order); a row without frames adds none\n"
    "  --force                  replace an existing OUTPUT.sip\n"
    "\n"
    "atlas PROJECT.sip OUTPUT.json [--image OUTPUT.png] [--array]:\n"
    "  Writes the frames of PROJECT.sip as a JSON atlas for game engines: per frame\n"
    "  its rectangle, duration (the delay in ms) and pivot (the hot spot as a\n"
    "  fraction of the frame), named \"Action/Direction/N\"; one frame tag per\n"
    "  action and direction. Frames never marked are left out. Sheets may be BMP\n"
    "  or PNG files.\n"
    "\n"
    "  --image OUTPUT.png       also write the sheet as a PNG whose mask-colour\n"
    "                           pixels are transparent, and name it in the atlas\n"
    "                           (otherwise the atlas names the sheet itself)\n"
    "  --array                  frames as a list, each with its \"filename\", instead\n"
    "                           of an object keyed by frame name\n"
    "\n"
    "rebind PROJECT.sip OLD_SHEET [-o OUTPUT.sip]:\n"
    "  Moves the frames of PROJECT.sip to where their pictures went when its sheet\n"
    "  was redrawn (a column inserted, a row of sprites moved). OLD_SHEET is the\n"
    "  sheet as the frames were marked on it; the new one is the sheet the project\n"
    "  names. Each marked frame is looked for on the new sheet at its place, then\n"
    "  as the nearest exact copy of its old pixels, then as the nearest place where\n"
    "  at least 90% of its sprite pixels (those not of the mask colour) are\n"
    "  unchanged. Frames keep their size and hot spot. A frame found nowhere stays\n"
    "  where it was and is named on a line of stderr (\"Walk/Right/2\", as the\n"
    "  atlas names it). The project is replaced only once the new file is complete.\n"
    "\n"
    "  -o OUTPUT.sip            write there instead; a plain sheet name is kept\n"
    "                           when it lies beside PROJECT.sip, else the sheet's\n"
    "                           full path\n"
    "\n"
    "check PROJECT.sip [--jitter N] [--json]:\n"
    "  Lists what is wrong with the frames of PROJECT.sip, one line each: frames\n"
    "  reaching outside the sheet, frames never marked (size 0) in a direction with\n"
    "  marked ones, frames holding no sprite pixel, frames whose sprite stands more\n"
    "  than N pixels away from where the direction's other frames put theirs\n"
    "  against the hot spot (bottom edge and middle, against the median;\n"
    "  directions of three sprites or more), and runs of consecutive frames with\n"
    "  the same pixels. Then, for each depth mode, the size of the .sif it would\n"
    "  write with both sections coded and whether the sheet comes back unchanged\n"
    "  (else how many pixels change and by how much at most).\n"
    "\n"
    "  --jitter N               pixels a sprite may stray; default 2\n"
    "  --json                   the same as one JSON document\n"
    "\n"
    "Every command:\n"
    "  --quiet                  show no progress; without it, export and import show\n"
    "                           how far they have come on one line of stderr, but\n"
    "                           only when stderr is a terminal\n"
    "\n"
    "Exit status:\n"
    "  0 success; 1 an input or output was refused (one line on stderr saying why);\n"
    "  2 the command line is wrong; 3 rebind wrote the project but left some\n"
    "  frames where they were, found nowhere on the new sheet, or check found\n"
    "  problems.\n";

// Collects every message the core raises; the tool prints them once, on one line.
class MessageCollector {
public:
    MessageCollector() {
        previous_ = SetMessageHandler([this](const Message& m) {
            texts_.push_back(m.Text);
            // Nobody is there to say yes, so nothing gets replaced on a question.
            return m.Buttons == MsgButtons::YesNo || m.Buttons == MsgButtons::YesNoCancel ? MsgAnswer::No
                                                                                          : MsgAnswer::OK;
        });
    }
    ~MessageCollector() { SetMessageHandler(previous_); }
    MessageCollector(const MessageCollector&) = delete;
    MessageCollector& operator=(const MessageCollector&) = delete;

    // All texts on one line: each run of line breaks becomes one space.
    std::string Line() const {
        std::string line;
        for (const std::string& t : texts_) {
            if (!line.empty()) line += ' ';
            bool inBreak = false;
            for (char c : t) {
                if (c == '\n' || c == '\r') {
                    inBreak = true;
                    continue;
                }
                if (inBreak && !line.empty() && line.back() != ' ') line += ' ';
                inBreak = false;
                line += c;
            }
        }
        return line;
    }
    bool Empty() const { return texts_.empty(); }

private:
    MessageHandler previous_;
    std::vector<std::string> texts_;
};

// Names and the editor's own numbers. Other numbers pass through so that they are
// refused exactly as the editor refuses them ("Invalid bit depth mode specified.").
bool ParseMode(const std::string& text, uint8_t& mode) {
    if (text == "bw") mode = 1;
    else if (text == "grey") mode = 2;
    else if (text == "16") mode = 4;
    else if (text == "24") mode = 5;
    else if (!text.empty() && text.size() <= 3 && text.find_first_not_of("0123456789") == std::string::npos &&
             std::stoi(text) <= 255)
        mode = static_cast<uint8_t>(std::stoi(text));
    else return false;
    return true;
}

std::string FlagsText(uint8_t flags) {
    std::string s = Hex8(flags).substr(8); // two hex digits
    s = "0x" + s + " (structure " + ((flags & SifFlagStructureCoded) ? "coded" : "stored") + ", image " +
        ((flags & SifFlagImageCoded) ? "coded" : "stored");
    if (flags & ~(SifFlagStructureCoded | SifFlagImageCoded)) s += ", other bits ignored";
    return s + ")";
}

void PrintTree(const std::vector<ActionData>& actions) {
    std::printf("Actions:       %zu\n", actions.size());
    for (size_t i = 0; i < actions.size(); ++i) {
        const ActionData& a = actions[i];
        const std::string name = a.Name.empty() ? DefaultActionName(static_cast<int>(i)) : "\"" + a.Name + "\"";
        std::printf("  %s: %s\n", name.c_str(), Plural(a.Directions.size(), "direction", "directions").c_str());
        for (size_t j = 0; j < a.Directions.size(); ++j) {
            const DirectionData& d = a.Directions[j];
            const std::string dn =
                d.Name.empty() ? DefaultDirectionName(static_cast<int>(j)) : "\"" + d.Name + "\"";
            std::printf("    %s: %s\n", dn.c_str(), Plural(d.Frames.size(), "frame", "frames").c_str());
        }
    }
}

int Export(const std::vector<std::string>& in) {
    Args args;
    std::string problem;
    if (!SplitArgs(in, {"--no-compress-structure", "--no-compress-image"}, {"--mode"}, args, problem))
        return Usage(problem);
    if (args.Positional.size() != 2) return Usage("export needs PROJECT.sip and OUTPUT.sif");
    uint8_t mode = 5;
    bool compressStructure = true, compressImage = true;
    for (const auto& [name, value] : args.Options) {
        if (name == "--mode" && !ParseMode(value, mode)) return Usage("unknown mode \"" + value + "\"");
        if (name == "--no-compress-structure") compressStructure = false;
        if (name == "--no-compress-image") compressImage = false;
    }
    const std::string& projectPath = args.Positional[0];
    const std::string& outputPath = args.Positional[1];

    if (SameFile(projectPath, outputPath)) {
        Refuse(outputPath + " is the project itself; not replacing it");
        return ExitRefused;
    }
    SplitPath(projectPath, WorkDir, ProjectFile);
    ResetModel();
    FoundSheetPath.clear();
    if (!ReadProject(projectPath)) return ExitRefused;
    const std::string sheetPath = FoundSheetPath.empty() ? WorkDir + SheetFile : FoundSheetPath;
    if (SameFile(sheetPath, outputPath)) {
        Refuse(outputPath + " is the project's sheet bitmap; not replacing it");
        return ExitRefused;
    }
    // The sheet is coded as it is read: nothing here draws it, so it is never held whole.
    int32_t width = 0, height = 0;
    ProgressLine progress("Exporting");
    if (!WriteSIFOfSheet(outputPath, sheetPath, mode, compressStructure ? 1 : 0, compressImage ? 1 : 0, width,
                         height, progress.Get()))
        return ExitRefused;
    progress.Clear();

    const int64_t size = FileSize(outputPath);
    std::printf("Wrote %s: %d x %d sheet, %s, %s, %s, %lld bytes\n", outputPath.c_str(), width, height,
                SifModeName(mode), compressStructure ? "structure coded" : "structure stored",
                compressImage ? "image coded" : "image stored", static_cast<long long>(size));
    return ExitOk;
}

// A name beside target that nothing uses yet, for a file that must not appear
// under its real name before the whole import has succeeded.
std::string SparePath(const std::string& dir, const std::string& name) {
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
        const std::string p = dir + "." + name + "." + std::to_string(rd() % 1000000u) + ".part";
        if (!Exists(p)) return p;
    }
    return dir + "." + name + ".part";
}

int Import(const std::vector<std::string>& in) {
    Args args;
    std::string problem;
    if (!SplitArgs(in, {"--force"}, {}, args, problem)) return Usage(problem);
    if (args.Positional.size() != 2) return Usage("import needs INPUT.sif and OUTPUT.sip");
    bool force = false;
    for (const auto& opt : args.Options)
        if (opt.first == "--force") force = true;
    const std::string& inputPath = args.Positional[0];
    const std::string& outputPath = args.Positional[1];

    std::string dir, projectFile;
    SplitPath(outputPath, dir, projectFile);
    // The sheet is named after the project by swapping its last three characters
    // (characters, not bytes: names are UTF-8).
    size_t keep = projectFile.size();
    for (int k = 0; k < 3 && keep > 0; ++k) {
        --keep;
        while (keep > 0 && (static_cast<uint8_t>(projectFile[keep]) & 0xC0) == 0x80) --keep;
    }
    if (keep == 0) return Usage("OUTPUT needs a file name such as hero.sip");
    const std::string sheetFile = projectFile.substr(0, keep) + "bmp";
    if (sheetFile == projectFile) return Usage("OUTPUT must not end in \"bmp\"; use a name such as hero.sip");

    if (SameFile(inputPath, outputPath) || SameFile(inputPath, dir + sheetFile)) {
        Refuse(inputPath + " would be replaced by the import; choose another OUTPUT");
        return ExitRefused;
    }
    if (!force) {
        // The editor would ask before replacing; here nobody can answer.
        for (const std::string& name : {projectFile, sheetFile}) {
            if (Exists(dir + name)) {
                Refuse(name + " already exists; not replacing it (use --force to replace it)");
                return ExitRefused;
            }
        }
    }

    ResetModel();
    // Reading and decoding take about a third of the time, painting and writing the rest.
    ProgressLine progress("Importing");
    SifImage image = ReadSIF(inputPath, progress.Get().Part(0, 0.3));
    if (image.Width == 0 || image.Height == 0) {
        MsgBox("SIF import aborted.", MsgButtons::OK, MsgIcon::Critical, "Dangit...");
        return ExitRefused;
    }
    // As Save Project As after an import: the sheet is saved beside the project.
    WorkDir = dir;
    ProjectFile = projectFile;
    SheetFile = sheetFile;
    const std::string sheetPath = dir + sheetFile;
    // The sheet waits under a spare name until the project is written, so a
    // failure on the way leaves neither file half-made.
    struct Spare {
        std::string Path;
        ~Spare() {
            if (!Path.empty()) RemoveFile(Path);
        }
    } spare{SparePath(dir, sheetFile)};
    const bool projectExisted = Exists(outputPath);
    // The bitmap is painted straight into its file a few rows at a time; the
    // stream was checked in full by ReadSIF, so only a stream FromRLE would
    // refuse stops it, and that before any file is made.
    switch (cBitMap::SaveFromRLE(spare.Path, image.Width, image.Height, image.Mode, image.Data,
                                 progress.Get().Part(0.3, 1))) {
    case cBitMap::StreamSave::Saved: break;
    case cBitMap::StreamSave::Refused:
        spare.Path.clear();
        Refuse("The sheet image of this SIF file cannot be rebuilt:\n\n" + inputPath);
        MsgBox("SIF import aborted.", MsgButtons::OK, MsgIcon::Critical, "Dangit...");
        return ExitRefused;
    case cBitMap::StreamSave::Failed:
    case cBitMap::StreamSave::Cancelled: return ExitRefused; // nothing here stops it
    }
    progress.Clear();
    if (!WriteProject(outputPath)) return ExitRefused;
    std::error_code ec;
    std::filesystem::rename(spare.Path, sheetPath, ec);
    if (ec) {
        if (!projectExisted) RemoveFile(outputPath);
        Refuse("Could not write the file:\n\n" + sheetPath + "\n\n" + ec.message());
        return ExitRefused;
    }
    spare.Path.clear();
    std::printf("Wrote %s and %s: %s, %d x %d sheet (%s), mask colour %s\n", outputPath.c_str(),
                sheetPath.c_str(), Plural(Actions.size(), "action", "actions").c_str(), image.Width, image.Height,
                SifModeName(image.Mode), Hex8(MaskColor).c_str());
    return ExitOk;
}

int InfoProject(const std::string& path, const std::vector<uint8_t>& bytes) {
    ProjectFileContents project;
    std::string error;
    if (!ParseProjectBytes(bytes, project, error)) {
        Refuse("This project file is damaged or incomplete:\n\n" + path + (error.empty() ? "" : "\n\n" + error));
        return ExitRefused;
    }
    std::printf("File:          %s\n", path.c_str());
    std::printf("Type:          project file (.sip)\n");
    std::printf("Mask colour:   %s\n", ColorText(project.MaskColor).c_str());
    std::printf("Sheet path:    %s\n", project.SheetPath.c_str());
    PrintTree(project.Actions);
    return ExitOk;
}

int InfoSif(const std::string& path, const std::vector<uint8_t>& bytes) {
    SifContents sif;
    std::string detail;
    const SifParseStatus status = ParseSifBytes(bytes, sif, detail);
    if (status != SifParseStatus::Ok) {
        ReportSifProblem(status, detail, path);
        return ExitRefused;
    }
    std::printf("File:          %s\n", path.c_str());
    std::printf("Type:          sprite image file (.sif), version %u\n", static_cast<unsigned>(sif.Version));
    std::printf("Flags:         %s\n", FlagsText(sif.Flags).c_str());
    std::printf("Structure:     %zu bytes\n", sif.StructureBytes);
    std::printf("Image section: offset %zu (header says position %d)\n", sif.ImageOffset, sif.ImagePosition);
    std::printf("Depth mode:    %u (%s)\n", static_cast<unsigned>(sif.Mode), SifModeName(sif.Mode));
    std::printf("Sheet size:    %d x %d%s\n", sif.Width, sif.Height,
                sif.Width == 0 || sif.Height == 0 ? " (no picture: an import would be aborted)" : "");
    std::printf("Image stream:  %zu bytes stored, %zu bytes decoded\n", sif.StoredImageBytes, sif.Data.size());
    std::printf("Mask colour:   %s\n", ColorText(sif.MaskColor).c_str());
    PrintTree(sif.Actions);
    return ExitOk;
}

int Info(const std::vector<std::string>& in) {
    Args args;
    std::string problem;
    if (!SplitArgs(in, {}, {}, args, problem)) return Usage(problem);
    if (args.Positional.size() != 1) return Usage("info needs exactly one FILE");
    const std::string& path = args.Positional[0];
    if (!RequireFile(path)) return ExitRefused;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error)) {
        Refuse("Could not read the file:\n\n" + path + "\n\n" + error);
        return ExitRefused;
    }
    const bool sifMagic = bytes.size() >= 2 && bytes[0] == SifMagic0 && bytes[1] == SifMagic1;
    if (EndsWithNoCase(path, ".sip") || !sifMagic) return InfoProject(path, bytes);
    return InfoSif(path, bytes);
}

} // namespace

int RunCli(const std::vector<std::string>& given) {
    // --quiet belongs to no command in particular, so it is taken out before they see the rest.
    std::vector<std::string> args;
    Quiet = false;
    bool optionsEnded = false;
    for (const std::string& a : given) {
        if (!optionsEnded && a == "--quiet") {
            Quiet = true;
            continue;
        }
        if (a == "--") optionsEnded = true;
        args.push_back(a);
    }
    if (args.empty()) return Usage("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(UsageText, stdout);
        std::fflush(stdout);
        return ExitOk;
    }
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            std::fputs(UsageText, stdout);
            std::fflush(stdout);
            return ExitOk;
        }
        if (a == "--version") {
            std::printf("celwright-cli %s\n", CELWRIGHT_VERSION);
            std::fflush(stdout);
            return ExitOk;
        }
    }

    if (command != "export" && command != "import" && command != "info" && command != "new" &&
        command != "atlas" && command != "rebind" &&
        command != "check")
        return Usage("unknown command \"" + command + "\"");
    MessageCollector messages;
    int status = ExitRefused;
    try {
        if (command == "export") status = Export(args);
        else if (command == "import") status = Import(args);
        else if (command == "new") status = RunNew(args);
        else if (command == "atlas") status = RunAtlas(args);
        else if (command == "rebind") status = RunRebind(args);
        else if (command == "check") status = RunCheck(args);
        else status = Info(args);
    } catch (const std::exception& e) {
        // Only memory running out gets here; say so instead of dying.
        Refuse(std::string("Could not finish: ") + e.what());
        status = ExitRefused;
    }

    std::fflush(stdout);
    if (!messages.Empty()) std::fprintf(stderr, "%s\n", messages.Line().c_str());
    else if (status == ExitRefused) std::fprintf(stderr, "celwright-cli: %s refused\n", command.c_str());
    return status;
}
