#pragma once
// The open project: the action / direction / frame tree and the editing state.
// There is exactly one project; the editor's handlers read and write these
// globals directly.
#include <cstdint>
#include <string>
#include <vector>

#include "base/ByteIO.h"
#include "bitmap/cBitMap.h"

// One frame: exactly the 28 bytes that project files, SIF files and the frame
// clipboard copy. Height stands before Width; the two reserved bytes are kept.
struct FrameData {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    uint8_t Reserved[2] = {0, 0};
    int16_t Delay = 0;
    int32_t HotSpotX = 0;
    int32_t HotSpotY = 0;

    bool operator==(const FrameData&) const = default;
};
static_assert(sizeof(FrameData) == 28, "FrameData is a fixed 28-byte record");

inline constexpr size_t FrameBytes = 28;

struct DirectionData {
    std::vector<FrameData> Frames;
    int16_t FrameUBound = 0; // frame count - 1
    std::string Name;        // UTF-8; empty until renamed
};

struct ActionData {
    std::vector<DirectionData> Directions;
    int16_t DirUBound = 0; // direction count - 1
    std::string Name;      // UTF-8; empty until renamed
};

// The 28 bytes of a frame, little-endian, in record order.
void PutFrame(ByteWriter& w, const FrameData& f);
bool GetFrame(ByteReader& r, FrameData& f);

// A project file's contents as stored, read without looking for the sheet.
struct ProjectFileContents {
    int32_t MaskColor = 0;
    std::string SheetPath;            // as stored (file system bytes)
    std::vector<ActionData> Actions;  // names as stored (UTF-8), empty ones left empty
};

// Parses the bytes of a project file, checking every length and count against
// the bytes that remain. Returns false (with a short reason) for a damaged file,
// leaving out untouched. Bytes after the tree are ignored.
bool ParseProjectBytes(const std::vector<uint8_t>& bytes, ProjectFileContents& out, std::string& error);

// The bytes of a project file: names converted to Windows-1252 and cut to 255
// bytes, the sheet path stored as given. Counts come from the upper-bound fields.
// Returns false (with a short reason, out left empty) for a tree that no reader
// could load back: no action, a bound that is negative or larger than its list,
// or a sheet path longer than 32,767 bytes.
bool BuildProjectBytes(int32_t MaskColor, const std::string& SheetPath, const std::vector<ActionData>& Actions,
                       std::vector<uint8_t>& out, std::string& error);

// A project file's name with its last three characters replaced by "bmp"
// (hero.sip gives hero.bmp); "" when the name has fewer than three characters.
std::string SheetNameForProject(const std::string& projectFile);

namespace SpriteProject {

extern std::vector<ActionData> Actions;
extern std::string SheetFile;   // sheet bitmap's file name, no directory
extern std::string ProjectFile; // project file's name, no directory; "" = never saved or opened
extern std::string WorkDir;     // directory of the file last chosen, ending with "/"
extern int32_t CurAction;       // -1 = none
extern int32_t CurDirection;    // -1 = none
extern int32_t CurFrame;        // -1 = none
extern int32_t SelAnchor;       // -1 = no range selection
extern cBitMap Sheet;
extern int32_t MaskColor;       // 0x00BBGGRR
extern std::vector<FrameData> ClipFrames;

// Full path at which the last successful ReadProject found the sheet bitmap.
extern std::string FoundSheetPath;

// A direction holding one all-zero frame, and an action holding one such direction.
DirectionData NewDirection();
ActionData NewAction();

// The model part of the window reset: Actions becomes the one-action placeholder,
// CurAction / CurDirection / CurFrame -1, Sheet a new empty bitmap. Everything
// else (names, mask colour, clipboard, SelAnchor) is kept.
void ResetModel();

// Display names of unnamed entries.
std::string DefaultActionName(int index);
std::string DefaultDirectionName(int index);

// Writes the project file (through a temporary file; an existing file survives
// a failed write). Reports failures itself; returns true when written.
bool WriteProject(const std::string& FileName);

// Reads a project file into the model. Callers set WorkDir and ProjectFile and
// reset first. Returns false after reporting a missing sheet or a damaged file;
// Actions then stays as the reset left it (MaskColor is taken from the file as
// soon as it is read). On success the sheet is to be loaded from FoundSheetPath.
bool ReadProject(const std::string& FileName);

} // namespace SpriteProject
