#pragma once
// What each depth mode would make of a sheet: the size of the .sif file it
// would give and how far its pixels would come back changed. Worked out in one
// pass over the pixels for all four modes, without making any stream.
#include <array>
#include <cstdint>
#include <vector>

#include "bitmap/cBitMap.h"
#include "project/SpriteProject.h"

struct ModeSurvey {
    uint8_t Mode = 0;            // 1, 2, 4 or 5
    uint64_t SifBytes = 0;       // the file with both sections Huffman-coded
    uint64_t StreamBytes = 0;    // the image stream before coding
    uint64_t ChangedPixels = 0;  // pixels that come back another colour
    int32_t MaxChannelError = 0; // largest difference of one channel, 0 to 255
    bool Lossless() const { return ChangedPixels == 0; }
};

// Modes 1, 2, 4 and 5 in that order, for the tree and the sheet as they are.
// The sizes are those BuildSifBytes gives with both compressions on. A sheet
// without pixels gives the sizes of an empty stream and no changed pixels.
// A large sheet is read by two threads, the second starting at pixel SplitAt
// (in stream order, rounded down to a multiple of 8); 0 chooses the middle.
// Whatever the split, the answer is the same.
std::array<ModeSurvey, 4> SurveyModes(const std::vector<ActionData>& Actions, const cBitMap& Sheet,
                                      uint64_t SplitAt = 0);
