// The .sip project file: mask colour, sheet path, then the action / direction /
// frame tree, all little-endian, with no signature and no block sizes.
#include <string>
#include <utility>
#include <vector>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "base/Messages.h"
#include "base/TextCodec.h"
#include "project/SpriteProject.h"

namespace {

// The smallest blocks the format allows: an empty name, a bound and one frame.
constexpr size_t MinDirectionBytes = 1 + 2 + FrameBytes;
constexpr size_t MinActionBytes = 1 + 2 + MinDirectionBytes;

constexpr size_t MaxNameBytes = 255;       // the length is one byte
constexpr size_t MaxPathBytes = 32767;     // the length is a signed 16-bit value
constexpr size_t MaxEntries = 32768;       // upper bounds are signed 16-bit values

std::string ActionPlace(size_t a) { return "action " + std::to_string(a); }
std::string DirectionPlace(size_t a, size_t d) { return ActionPlace(a) + ", direction " + std::to_string(d); }

bool ReadMask(ByteReader& r, int32_t& mask, std::string& error) {
    if (r.I32(mask)) return true;
    error = "The file ends before the mask colour";
    return false;
}

bool ReadSheetPath(ByteReader& r, std::string& path, std::string& error) {
    int16_t length = 0;
    if (!r.I16(length)) {
        error = "The file ends before the length of the sheet path";
        return false;
    }
    if (length < 0) {
        error = "The sheet path has a negative length";
        return false;
    }
    if (!r.String(path, static_cast<size_t>(length))) {
        error = "The file ends inside the sheet path";
        return false;
    }
    return true;
}

bool ReadName(ByteReader& r, std::string& name, const std::string& place, std::string& error) {
    uint8_t length = 0;
    std::string raw;
    if (!r.U8(length) || !r.String(raw, length)) {
        error = "The file ends inside the name of " + place;
        return false;
    }
    name = Cp1252ToUtf8(raw);
    return true;
}

// Reads an upper bound and checks that the bytes left can hold that many blocks
// of at least minBytes each, so nothing is ever allocated for entries the file
// cannot contain.
bool ReadCount(ByteReader& r, size_t minBytes, const std::string& what, int16_t& bound, size_t& count,
               std::string& error) {
    if (!r.I16(bound)) {
        error = "The file ends before the number of " + what;
        return false;
    }
    if (bound < 0) {
        error = "The number of " + what + " is negative";
        return false;
    }
    count = static_cast<size_t>(bound) + 1;
    if (count > r.Remaining() / minBytes) {
        error = "The file is too short for its " + std::to_string(count) + " " + what;
        return false;
    }
    return true;
}

bool ReadDirection(ByteReader& r, DirectionData& d, size_t a, size_t j, std::string& error) {
    const std::string place = DirectionPlace(a, j);
    if (!ReadName(r, d.Name, place, error)) return false;
    size_t count = 0;
    if (!ReadCount(r, FrameBytes, "frames of " + place, d.FrameUBound, count, error)) return false;
    d.Frames.resize(count);
    for (FrameData& f : d.Frames) {
        if (!GetFrame(r, f)) { // cannot happen after the count check; kept as a guard
            error = "The file ends inside the frames of " + place;
            return false;
        }
    }
    return true;
}

bool ReadAction(ByteReader& r, ActionData& action, size_t a, std::string& error) {
    if (!ReadName(r, action.Name, ActionPlace(a), error)) return false;
    size_t count = 0;
    if (!ReadCount(r, MinDirectionBytes, "directions of " + ActionPlace(a), action.DirUBound, count, error))
        return false;
    action.Directions.resize(count);
    for (size_t j = 0; j < count; ++j)
        if (!ReadDirection(r, action.Directions[j], a, j, error)) return false;
    return true;
}

bool ReadTree(ByteReader& r, std::vector<ActionData>& actions, std::string& error) {
    int16_t bound = 0;
    size_t count = 0;
    if (!ReadCount(r, MinActionBytes, "actions", bound, count, error)) return false;
    actions.resize(count);
    for (size_t a = 0; a < count; ++a)
        if (!ReadAction(r, actions[a], a, error)) return false;
    return true;
}

void PutName(ByteWriter& w, const std::string& name) {
    std::string bytes = Utf8ToCp1252(name);
    if (bytes.size() > MaxNameBytes) bytes.resize(MaxNameBytes);
    w.U8(static_cast<uint8_t>(bytes.size()));
    w.Bytes(bytes);
}

// A bound the writer can use: not negative and inside its list.
bool BoundFits(int16_t bound, size_t size) { return bound >= 0 && static_cast<size_t>(bound) < size; }

bool Damaged(const std::string& fileName, const std::string& reason) {
    MsgBox("This project file is damaged or incomplete:\n\n" + fileName + "\n\n" + reason, MsgButtons::OK,
           MsgIcon::Critical, "Whoops");
    return false;
}

// A probe: the file must exist and be listed under exactly that name. A NUL
// byte from a hostile file would cut the path short, so such names never match.
bool Listed(const std::string& dir, const std::string& name) {
    if (dir.find('\0') != std::string::npos || name.find('\0') != std::string::npos) return false;
    return FileListedAs(dir, name);
}

} // namespace

bool ParseProjectBytes(const std::vector<uint8_t>& bytes, ProjectFileContents& out, std::string& error) {
    ByteReader r(bytes);
    ProjectFileContents parsed;
    if (!ReadMask(r, parsed.MaskColor, error)) return false;
    if (!ReadSheetPath(r, parsed.SheetPath, error)) return false;
    if (!ReadTree(r, parsed.Actions, error)) return false;
    // Bytes after the tree are ignored.
    out = std::move(parsed);
    return true;
}

bool BuildProjectBytes(int32_t MaskColor, const std::string& SheetPath, const std::vector<ActionData>& Actions,
                       std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (SheetPath.size() > MaxPathBytes) {
        error = "The sheet path is longer than 32,767 bytes";
        return false;
    }
    if (Actions.empty() || Actions.size() > MaxEntries) {
        error = Actions.empty() ? "The project holds no action" : "The project holds more than 32,768 actions";
        return false;
    }
    // Refuse before writing anything: a file that cannot be read back is lost work.
    size_t size = 4 + 2 + SheetPath.size() + 2;
    for (size_t a = 0; a < Actions.size(); ++a) {
        const ActionData& action = Actions[a];
        if (!BoundFits(action.DirUBound, action.Directions.size())) {
            error = "The direction count of " + ActionPlace(a) + " does not match its list";
            return false;
        }
        size += 1 + MaxNameBytes + 2;
        for (size_t j = 0; j <= static_cast<size_t>(action.DirUBound); ++j) {
            const DirectionData& d = action.Directions[j];
            if (!BoundFits(d.FrameUBound, d.Frames.size())) {
                error = "The frame count of " + DirectionPlace(a, j) + " does not match its list";
                return false;
            }
            size += 1 + MaxNameBytes + 2 + FrameBytes * (static_cast<size_t>(d.FrameUBound) + 1);
        }
    }

    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    ByteWriter w(bytes);
    w.I32(MaskColor);
    w.I16(static_cast<int16_t>(SheetPath.size()));
    w.Bytes(SheetPath);
    w.I16(static_cast<int16_t>(Actions.size() - 1));
    for (const ActionData& action : Actions) {
        PutName(w, action.Name);
        w.I16(action.DirUBound);
        for (int j = 0; j <= action.DirUBound; ++j) {
            const DirectionData& d = action.Directions[static_cast<size_t>(j)];
            PutName(w, d.Name);
            w.I16(d.FrameUBound);
            for (int k = 0; k <= d.FrameUBound; ++k) PutFrame(w, d.Frames[static_cast<size_t>(k)]);
        }
    }
    out.swap(bytes);
    return true;
}

std::string SheetNameForProject(const std::string& projectFile) {
    // Characters, not bytes: step back over UTF-8 continuation bytes.
    size_t end = projectFile.size();
    for (int k = 0; k < 3; ++k) {
        if (end == 0) return "";
        --end;
        while (end > 0 && (static_cast<uint8_t>(projectFile[end]) & 0xC0) == 0x80) --end;
    }
    return projectFile.substr(0, end) + "bmp";
}

namespace SpriteProject {

bool WriteProject(const std::string& FileName) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!BuildProjectBytes(MaskColor, WorkDir + SheetFile, Actions, bytes, error) ||
        !WriteFileAtomic(FileName, bytes.data(), bytes.size(), error)) {
        MsgBox("Can't save the project:\n\n" + FileName + "\n\n" + error, MsgButtons::OK, MsgIcon::Critical,
               "Whoops");
        return false;
    }
    return true;
}

bool ReadProject(const std::string& FileName) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (FileSize(FileName) < 0) {
        MsgBox("Can't open the project:\n\n" + FileName + "\n\nThe file does not exist or is not a regular file",
               MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return false;
    }
    if (!ReadWholeFile(FileName, bytes, error)) {
        MsgBox("Can't open the project:\n\n" + FileName + "\n\n" + error, MsgButtons::OK, MsgIcon::Critical,
               "Whoops");
        return false;
    }

    // The mask colour is taken before anything else is looked at, even when the
    // load fails later on.
    ByteReader r(bytes);
    int32_t mask = 0;
    if (!ReadMask(r, mask, error)) return Damaged(FileName, error);
    MaskColor = mask;
    std::string storedPath;
    if (!ReadSheetPath(r, storedPath, error)) return Damaged(FileName, error);

    // Projects saved on Windows store "\" separators; either one ends the folder.
    std::string storedDir;
    SplitPath(storedPath, storedDir, SheetFile);

    // All three looks always run; the one under the project's own name renames
    // the sheet when it succeeds.
    const bool atStoredPath = Listed(storedDir, SheetFile);
    const bool inWorkDir = Listed(WorkDir, SheetFile);
    const std::string projectSheet = SheetNameForProject(ProjectFile);
    const bool underProjectName = Listed(WorkDir, projectSheet);
    if (underProjectName) SheetFile = projectSheet;
    if (!atStoredPath && !inWorkDir && !underProjectName) {
        MsgBox("Can't find source image!");
        return false;
    }

    ProjectFileContents contents;
    if (!ParseProjectBytes(bytes, contents, error)) return Damaged(FileName, error);
    for (size_t a = 0; a < contents.Actions.size(); ++a) {
        ActionData& action = contents.Actions[a];
        if (action.Name.empty()) action.Name = DefaultActionName(static_cast<int>(a));
        for (size_t j = 0; j < action.Directions.size(); ++j)
            if (action.Directions[j].Name.empty()) action.Directions[j].Name = DefaultDirectionName(static_cast<int>(j));
    }
    Actions.swap(contents.Actions);

    // The sheet is loaded from where it really lies: the working directory when
    // it was found there (under either name), otherwise the stored path.
    FoundSheetPath = (inWorkDir || underProjectName) ? WorkDir + SheetFile : storedPath;
    return true;
}

} // namespace SpriteProject
