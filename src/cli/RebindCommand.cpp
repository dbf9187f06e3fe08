#include "cli/RebindCommand.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/FileIO.h"
#include "cli/CliSupport.h"
#include "project/SpriteProject.h"
#include "sprites/FollowSheet.h"

using namespace CliSupport;
using namespace SpriteProject;

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec, ec2;
    const fs::path pa = fs::absolute(a, ec).lexically_normal().parent_path();
    const fs::path pb = fs::absolute(b, ec2).lexically_normal().parent_path();
    return !ec && !ec2 && (pa == pb || SameFile(pa.string(), pb.string()));
}

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

} // namespace

int RunRebind(const std::vector<std::string>& in) {
    Args args;
    std::string problem;
    if (!SplitArgs(in, {}, {"-o", "--output"}, args, problem)) return Usage(problem);
    if (args.Positional.size() != 2) return Usage("rebind needs PROJECT.sip and OLD_SHEET");
    const std::string& projectPath = args.Positional[0];
    const std::string& oldPath = args.Positional[1];
    std::string outputPath = projectPath;
    for (const auto& option : args.Options) {
        if (option.second.empty()) return Usage(option.first + " needs a file name");
        outputPath = option.second;
    }

    if (!RequireFile(projectPath) || !RequireFile(oldPath)) return ExitRefused;
    std::vector<uint8_t> bytes;
    std::string error;
    ProjectFileContents stored;
    if (!ReadWholeFile(projectPath, bytes, error)) return Refuse("Could not read the file:\n\n" + projectPath + "\n\n" + error);
    // Finds the sheet as Open Project does, and reports a damaged file as it does.
    SplitPath(projectPath, WorkDir, ProjectFile);
    ResetModel();
    FoundSheetPath.clear();
    if (!ReadProject(projectPath)) return ExitRefused;
    // The tree as stored: names the editor would fill in stay empty in the file.
    if (!ParseProjectBytes(bytes, stored, error))
        return Refuse("This project file is damaged or incomplete:\n\n" + projectPath + "\n\n" + error);
    const std::string sheetPath = FoundSheetPath.empty() ? WorkDir + SheetFile : FoundSheetPath;
    for (const std::string* other : {&sheetPath, &oldPath})
        if (SameFile(*other, outputPath)) return Refuse(outputPath + " is a sheet; not replacing it");

    // Only the marked rectangles' pixels of the old sheet are kept, so one sheet
    // is held at a time.
    std::vector<SheetPiece> pieces;
    {
        cBitMap old;
        if (!old.LoadBMP(oldPath, MaskColor)) return ExitRefused;
        pieces = TakePieces(old, MarkedRects(stored.Actions));
    }
    if (!Sheet.LoadBMP(sheetPath, MaskColor)) return ExitRefused;
    const FollowReport report = FollowFrames(stored.Actions, pieces, Sheet, MaskColor);

    // Beside the project the sheet is named as before; elsewhere by its full
    // path, since a plain name would be looked for beside the new file.
    const std::string storedSheet =
        SameFolder(projectPath, outputPath) ? stored.SheetPath : AbsolutePath(sheetPath);
    std::vector<uint8_t> out;
    if (!BuildProjectBytes(stored.MaskColor, storedSheet, stored.Actions, out, error) ||
        !WriteFileAtomic(outputPath, out.data(), out.size(), error))
        return Refuse("Can't save the project:\n\n" + outputPath + "\n\n" + error);

    std::printf("Wrote %s: %s moved, %s not found, on the %d x %d sheet %s\n", outputPath.c_str(),
                Plural(report.Moved, "frame", "frames").c_str(), Plural(report.NotFound.size(), "frame", "frames").c_str(),
                Sheet.Width(), Sheet.Height(), sheetPath.c_str());
    std::fflush(stdout);
    for (const std::string& name : report.NotFound)
        std::fprintf(stderr, "celwright-cli: frame %s not found on the new sheet; left where it was\n", name.c_str());
    return report.NotFound.empty() ? ExitOk : ExitFramesNotFound;
}
