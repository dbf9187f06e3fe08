#pragma once
// Finding frames on a sheet in one stroke: sprites found by their pixels, boxes
// trimmed to what they hold, cells of a regular grid, and the frames made from
// them. Shared by the editor and the command-line tool.
//
// Every rectangle here is in top-down sheet coordinates (row 0 is the top row,
// as the frames store them). A pixel is a sprite pixel when its colour differs
// from the mask colour 0x00BBGGRR.
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap/cBitMap.h"
#include "project/SpriteProject.h"
#include "base/Progress.h"

struct SpriteRect {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool operator==(const SpriteRect&) const = default;
};

// The pixels of a 24-bit sheet as cBitMap holds them: bottom-up rows of Stride
// bytes, blue-green-red. Anything that does not describe a whole buffer (no
// pixels, a side of 0 or less, a stride under 3 x Width) is treated as a sheet
// without pixels.
struct SheetPixels {
    const uint8_t* Pixels = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Stride = 0;

    SheetPixels() = default;
    SheetPixels(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride)
        : Pixels(pixels), Width(width), Height(height), Stride(stride) {}
    // Deliberately implicit, so the sheet itself can be handed to every function.
    SheetPixels(const cBitMap& sheet)
        : SheetPixels(sheet.Loaded() ? sheet.Pixels().data() : nullptr, sheet.Width(), sheet.Height(),
                      sheet.Stride()) {}
    bool Usable() const;
};

// Rectangles, or why there are none: Error is empty when the call succeeded.
struct SpriteRects {
    std::vector<SpriteRect> Rects;
    std::string Error;
    bool Cancelled = false; // stopped through its Progress: no rects, no error
};

// Most separate groups of pixels one search keeps before merging. Far more than
// any sheet of sprites holds; a sheet that passes it is noise or was given the
// wrong mask colour, and refusing it keeps memory bounded.
inline constexpr size_t MaxPixelGroups = size_t{1} << 20;

// The boxes of the sprites inside area (clipped to the sheet), in reading order.
// Sprite pixels that touch, diagonals included, form one group. Groups whose
// boxes lie at most mergeGap pixels apart (the empty columns or rows between
// them, whichever are more; boxes that touch or overlap are 0 apart) are one
// sprite, repeated until no two sprites are that close, so a detached hat or
// shadow joins its figure. A sprite of fewer than minPixels sprite pixels,
// counted after merging, is left out: a lone speck goes, a hat of a few pixels
// stays with its figure. Negative mergeGap and minPixels count as 0.
// Reading order: sprites whose boxes overlap vertically (through one another)
// form a row; rows go top to bottom, each row left to right.
// Refuses (Error set, no rects) a search that meets more than MaxPixelGroups
// groups. Memory: a few runs per row of the area plus one small record per group.
// The scan reports its progress by rows and stops when asked to.
SpriteRects FindSprites(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, int32_t mergeGap,
                        int64_t minPixels, const Progress& progress = {});

// The smallest rectangle holding every sprite pixel of rect (clipped to the
// sheet); an empty rectangle (all 0) when it holds none.
SpriteRect TrimRect(const SheetPixels& sheet, int32_t maskColor, SpriteRect rect);

// A regular grid of cells. The first cell's top-left corner is (OffsetX, OffsetY);
// neighbouring cells are GapX / GapY pixels apart. Columns or Rows 0 mean as
// many as fit whole on the sheet.
struct GridSpec {
    int32_t CellWidth = 0;
    int32_t CellHeight = 0;
    int32_t OffsetX = 0;
    int32_t OffsetY = 0;
    int32_t GapX = 0;
    int32_t GapY = 0;
    int32_t Columns = 0;
    int32_t Rows = 0;
};

// Most cells one grid may have, checked before anything is allocated.
inline constexpr int64_t MaxGridCells = int64_t{1} << 20;

// The grid's cells row by row, each left to right; with skipEmpty, cells that
// look empty are left out: those of one colour throughout, the mask colour or
// any other (an unused cell painted flat). Refuses (Error set) cell sizes under 1,
// negative values, a grid that does not fit the sheet or has no whole cell on
// it, and grids of more than MaxGridCells cells. Looking for empty cells
// reports its progress by rows of cells and stops when asked to.
SpriteRects GridCells(const SheetPixels& sheet, int32_t maskColor, const GridSpec& grid, bool skipEmpty,
                      const Progress& progress = {});

// A grid found on a sheet, or why there is none.
struct GridFound {
    GridSpec Grid; // Columns and Rows 0: as many as fit
    std::string Error;
    bool Cancelled = false; // stopped through its Progress: no grid, no error
};

// The regular grid that area (clipped to the sheet) is drawn in, with offsets
// from the area's top-left corner. Separator lines come first: columns (rows)
// that run mostly in one colour other than the mask colour, 1 to 4 pixels wide
// and standing out from their neighbours, recurring at one period; a line
// still counts where a wide cell or an unused area interrupts it. The gap is
// the lines' width. Where there are no lines, gutters of mask colour between
// sprites at one period give cells without gaps (gutters of one narrow width
// between opaque cells are lines drawn in the mask colour, and the gap). An
// axis with neither is one cell across the whole area; refuses (Error set)
// when both are. Reads the
// area once, reporting by rows, and keeps a few counters per column and row.
GridFound DetectGrid(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, const Progress& progress = {});

// The grid as the command-line tool's --grid takes it: "WxH+X+Y,GAPXxGAPY".
std::string GridText(const GridSpec& grid);

// The lengths of the rows of rects given in reading order (FindSprites' or
// GridCells'): a rect starting below every rect of the row so far begins the
// next row.
std::vector<size_t> RowLengths(const std::vector<SpriteRect>& rects);

// ---- frames ----------------------------------------------------------------

enum class HotSpotRule { BottomCentre, Centre, TopLeft };

// The rule's hot spot of a rectangle, relative to its top-left corner: the
// middle of the bottom row (the left one of two middles), the middle pixel, or
// the corner itself.
void DefaultHotSpot(const SpriteRect& rect, HotSpotRule rule, int32_t& hotX, int32_t& hotY);

// A frame of rect with the rule's hot spot.
FrameData MakeFrame(const SpriteRect& rect, HotSpotRule rule, int16_t delay);

// Gives a frame a new rectangle (after fitting or trimming) and keeps its hot
// spot on the same sheet pixel, so its relative values change. A frame that had
// no rectangle (a side of 0) gets the rule's hot spot of the new one instead.
void MoveFrameRect(FrameData& frame, const SpriteRect& rect, HotSpotRule rule);

// Frames of a row of cells trimmed to their sprites. Each frame first takes the
// rule's hot spot of its whole cell, then is trimmed with MoveFrameRect, so all
// frames of a row keep one anchor on the sheet whatever their sprites' sizes.
// A cell without a sprite pixel keeps its whole rectangle.
std::vector<FrameData> TrimmedCellFrames(const SheetPixels& sheet, int32_t maskColor,
                                         const std::vector<SpriteRect>& cells, HotSpotRule rule,
                                         int16_t delay);

// Most frames one direction holds: its upper bound is a signed 16-bit value.
inline constexpr size_t MaxDirectionFrames = 32768;

// Appends frames to a direction and sets its upper bound. A direction that holds
// only the all-zero frame of a new direction has that frame replaced. Refuses
// (false, error set, direction untouched) when it would pass MaxDirectionFrames.
bool AddFrames(DirectionData& direction, const std::vector<FrameData>& frames, std::string& error);

// Most directions one action holds: its upper bound is a signed 16-bit value.
inline constexpr size_t MaxActionDirections = 32768;

// Appends one unnamed direction per row of frames (rows holds the rows'
// lengths, which add up to the number of frames; a row of none adds nothing).
// An action whose last direction holds only the all-zero frame of a new
// direction has the first row put there. Refuses (false, error set, action
// untouched) a direction or an action that would grow past its limit.
bool AddDirections(ActionData& action, const std::vector<FrameData>& frames, const std::vector<size_t>& rows,
                   std::string& error);
