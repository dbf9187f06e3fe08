#pragma once
// Hot-spot jitter: frames of one direction whose sprite, drawn at its hot spot,
// would stand somewhere else than in the direction's other frames.
//
// A frame's sprite box is the box of its pixels not of the mask colour, within
// its rectangle clipped to the sheet. Measured from the hot spot (a sheet pixel,
// frame corner + HotSpotX / HotSpotY), the box gives two values: its bottom row
// and its horizontal centre. Each is compared with the median over the frames
// of the direction that have a sprite box; a frame more than `limit` pixels
// from either median is flagged with its offsets. A direction of fewer than
// three such frames has no medians worth the name and gets no flags.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "project/SpriteProject.h"
#include "sprites/Sprites.h"

// More than this many pixels from the median is jitter, unless a caller says otherwise.
inline constexpr int32_t DefaultJitterLimit = 2;

struct FrameJitter {
    int32_t Frame = 0; // index in the direction
    // Where the frame's sprite stands against the medians, in pixels: Dx > 0 is
    // further right, Dy > 0 lower (rows count downwards). Halves and quarters
    // come from centres of odd and even widths and from medians of even counts.
    double Dx = 0;
    double Dy = 0;
    bool operator==(const FrameJitter&) const = default;
};

// "3 pixels low, 1 pixel right of the others"; a component of 0 is left out.
std::string DescribeJitter(const FrameJitter& jitter);

// Keeps the sprite box of every rectangle it has measured, so that after an
// edit only rectangles it has not seen are scanned again; the medians are then
// found in linear time (nth_element). Frames are matched by their rectangle,
// not their index, so inserting, deleting, pasting or undoing costs no scans.
class JitterTracker {
public:
    // The sheet's pixels or the mask colour changed: every box is measured anew.
    void Invalidate();

    // The flagged frames of `frames` (in frame order) against sheet and mask.
    // A frame whose Width or Height is 0 or less is unmarked and takes no part.
    const std::vector<FrameJitter>& Update(const SheetPixels& sheet, int32_t maskColor,
                                           const std::vector<FrameData>& frames, int32_t limit = DefaultJitterLimit);

    const std::vector<FrameJitter>& Flags() const { return flags_; }
    // Rectangles scanned by the last Update (the rest came from the cache).
    size_t Scanned() const { return scanned_; }
    // The sprite box of each frame as of the last Update (empty for none), by index.
    const std::vector<SpriteRect>& Boxes() const { return boxes_; }

private:
    struct RectHash {
        size_t operator()(const SpriteRect& r) const;
    };
    std::unordered_map<SpriteRect, SpriteRect, RectHash> cache_;
    const uint8_t* sheetPixels_ = nullptr;
    int32_t sheetWidth_ = 0, sheetHeight_ = 0, mask_ = 0;
    std::vector<SpriteRect> boxes_;
    std::vector<FrameJitter> flags_;
    size_t scanned_ = 0;
};

// One direction measured at once, without a cache.
std::vector<FrameJitter> FindJitter(const SheetPixels& sheet, int32_t maskColor, const std::vector<FrameData>& frames,
                                    int32_t limit = DefaultJitterLimit);
