#pragma once
// Sprite Image Format: the frame tree and the whole sheet in one file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Progress.h"
#include "project/SpriteProject.h"

namespace SpriteProject {

struct SifImage {
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Mode = 0;
    std::vector<uint8_t> Data;
};

// The functions below report to progress as they go. Stopped through it, they
// return false (or an empty SifImage) without a message, write no file, leave an
// existing one untouched and change no global; progress.Cancelled() then tells
// the stop from a refusal.

// Writes Actions and Sheet (with MaskColor) in depth mode 1, 2, 4 or 5.
// Reports an invalid mode or a write failure itself; returns true when written.
bool WriteSIF(const std::string& FileName, uint8_t Mode, uint8_t CompressStructure, uint8_t CompressImage,
              const Progress& progress = {});

// Writes Actions (with MaskColor) and the sheet file SheetPath byte for byte as
// WriteSIF does once Sheet.LoadBMP(SheetPath, MaskColor) has loaded it, with
// the same refusals in the same order, but without holding the sheet's pixels:
// its rows are coded while they are read. Width and Height receive its size.
bool WriteSIFOfSheet(const std::string& FileName, const std::string& SheetPath, uint8_t Mode,
                     uint8_t CompressStructure, uint8_t CompressImage, int32_t& Width, int32_t& Height,
                     const Progress& progress = {});

// Reads a SIF file: fills Actions and MaskColor and returns the image stream.
// Reports what is wrong and returns an all-zero SifImage when the file is refused.
SifImage ReadSIF(const std::string& FileName, const Progress& progress = {});

} // namespace SpriteProject

// ---- The format itself, without globals or files (used by the tool and the tests).

inline constexpr uint8_t SifMagic0 = 0x53; // "S"
inline constexpr uint8_t SifMagic1 = 0x46; // "F"
inline constexpr uint8_t SifVersion = 1;
inline constexpr uint8_t SifFlagStructureCoded = 1;
inline constexpr uint8_t SifFlagImageCoded = 2;

// Depth modes that have an image stream: 1, 2, 4 and 5.
bool IsSifMode(uint8_t Mode);
// "Black & White", "Greyscale", "16-bit color", "24-bit color"; "unknown" otherwise.
const char* SifModeName(uint8_t Mode);

// The mask colour stored for a mode: 0 for modes 1 and 2, the colour after the
// 16-bit round trip for mode 4, the colour itself for mode 5.
int32_t SifStoredMaskColor(uint8_t Mode, int32_t MaskColor);

// The structure block: action upper bound, then per action its DirUBound and per
// direction its FrameUBound and 28-byte frames. The stored bounds drive the walk.
std::vector<uint8_t> BuildStructureBlock(const std::vector<ActionData>& Actions);

// The complete file for a valid mode (1, 2, 4, 5) of the given sheet and tree.
std::vector<uint8_t> BuildSifBytes(const std::vector<ActionData>& Actions, const cBitMap& Sheet,
                                   int32_t MaskColor, uint8_t Mode, bool CompressStructure, bool CompressImage);

// Everything a file holds, as read.
struct SifContents {
    uint8_t Version = 0;
    uint8_t Flags = 0;
    int32_t ImagePosition = 0;       // the header's field (offset + 1), not trusted
    size_t ImageOffset = 0;          // where the image section really starts
    size_t StructureBytes = 0;       // structure block length after decoding
    std::vector<ActionData> Actions; // names empty
    int32_t MaskColor = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Mode = 0;
    size_t StoredImageBytes = 0;     // image stream as stored (maybe coded)
    std::vector<uint8_t> Data;       // image stream, decoded
};

enum class SifParseStatus {
    Ok,
    NotRecognised, // wrong magic (or too short to hold one)
    Damaged,       // truncated, impossible counts, lengths, sides or mode
    DecodeFailed,  // the Huffman decoder refused a coded section
};

// Parses a whole file's bytes. Every count and length is checked against the
// bytes that remain before anything is allocated. On failure Detail says why
// (for DecodeFailed it is the decoder's own message).
SifParseStatus ParseSifBytes(const std::vector<uint8_t>& Bytes, SifContents& Out, std::string& Detail);

// Shows the message that the editor shows for a refused file.
void ReportSifProblem(SifParseStatus Status, const std::string& Detail, const std::string& FileName);
