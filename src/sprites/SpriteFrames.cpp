// Grid cells and the frames made from found rectangles.
#include <algorithm>
#include <limits>

#include "bitmap/RowScan.h"
#include "sprites/Sprites.h"

namespace {

// Cells of size cell, step apart, that fit whole into length from offset.
int64_t CellsThatFit(int64_t length, int64_t offset, int64_t cell, int64_t gap) {
    if (length - offset < cell) return 0;
    return (length - offset - cell) / (cell + gap) + 1;
}

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Counts the grid along one side; false (with error) when the asked count does not fit.
bool GridSide(int64_t length, int32_t offset, int32_t cell, int32_t gap, int32_t asked, const char* what,
              const char* side, int64_t& count, std::string& error) {
    const int64_t fit = CellsThatFit(length, offset, cell, gap);
    count = asked == 0 ? fit : asked;
    if (count == 0) {
        error = "Not one whole cell fits on the sheet: it is " + std::to_string(length) + " pixels " + side +
                ", the first cell ends at " + std::to_string(int64_t{offset} + cell);
        return false;
    }
    if (count > fit) {
        error = std::to_string(count) + " " + what + " of cells do not fit on the sheet, which is " +
                std::to_string(length) + " pixels " + side + "; " + std::to_string(fit) + " fit";
        return false;
    }
    return true;
}

// Whether every pixel of rect (which lies on the sheet) has one colour: a cell
// of mask colour only, or an unused one painted flat, which the eye sees as empty.
bool OneColour(const SheetPixels& sheet, const SpriteRect& rect) {
    const size_t bytes = 3 * static_cast<size_t>(rect.Width);
    uint32_t colour = 0;
    for (int32_t y = rect.Y; y < rect.Y + rect.Height; ++y) {
        const uint8_t* row = sheet.Pixels + static_cast<size_t>(sheet.Height - 1 - y) * static_cast<size_t>(sheet.Stride) +
                             3 * static_cast<size_t>(rect.X);
        const uint32_t first = RowScan::Load24(row);
        if (y == rect.Y) colour = first;
        if (first != colour || RowScan::RunEnd(row, 0, bytes) != bytes) return false;
    }
    return true;
}

} // namespace

SpriteRects GridCells(const SheetPixels& sheet, int32_t /*maskColor*/, const GridSpec& grid, bool skipEmpty,
                      const Progress& progress) {
    SpriteRects result;
    if (!sheet.Usable()) {
        result.Error = "There is no sheet to divide into cells";
        return result;
    }
    if (grid.CellWidth < 1 || grid.CellHeight < 1) {
        result.Error = "A grid cell must be at least 1 x 1 pixels";
        return result;
    }
    if (std::min({grid.OffsetX, grid.OffsetY, grid.GapX, grid.GapY, grid.Columns, grid.Rows}) < 0) {
        result.Error = "The grid's offset, gaps and counts cannot be negative";
        return result;
    }
    int64_t columns = 0, rows = 0;
    if (!GridSide(sheet.Width, grid.OffsetX, grid.CellWidth, grid.GapX, grid.Columns, "columns", "wide",
                  columns, result.Error) ||
        !GridSide(sheet.Height, grid.OffsetY, grid.CellHeight, grid.GapY, grid.Rows, "rows", "high", rows,
                  result.Error))
        return result;
    if (columns * rows > MaxGridCells) {
        result.Error = "The grid has " + std::to_string(columns * rows) + " cells; at most " +
                       std::to_string(MaxGridCells) + " are allowed";
        return result;
    }
    result.Rects.reserve(static_cast<size_t>(columns * rows));
    for (int64_t r = 0; r < rows; ++r) {
        if (skipEmpty && !progress.Report(static_cast<double>(r) / static_cast<double>(rows))) {
            result.Rects.clear();
            result.Cancelled = true;
            return result;
        }
        for (int64_t c = 0; c < columns; ++c) {
            // Fits the sheet, so every value stays within its side.
            const SpriteRect cell{
                static_cast<int32_t>(grid.OffsetX + c * (int64_t{grid.CellWidth} + grid.GapX)),
                static_cast<int32_t>(grid.OffsetY + r * (int64_t{grid.CellHeight} + grid.GapY)),
                grid.CellWidth, grid.CellHeight};
            if (skipEmpty && OneColour(sheet, cell)) continue;
            result.Rects.push_back(cell);
        }
    }
    if (skipEmpty) progress.Report(1);
    return result;
}

void DefaultHotSpot(const SpriteRect& rect, HotSpotRule rule, int32_t& hotX, int32_t& hotY) {
    const int32_t middleX = std::max(rect.Width - 1, 0) / 2;
    switch (rule) {
    case HotSpotRule::BottomCentre:
        hotX = middleX;
        hotY = std::max(rect.Height - 1, 0);
        return;
    case HotSpotRule::Centre:
        hotX = middleX;
        hotY = std::max(rect.Height - 1, 0) / 2;
        return;
    case HotSpotRule::TopLeft:
        break;
    }
    hotX = hotY = 0;
}

FrameData MakeFrame(const SpriteRect& rect, HotSpotRule rule, int16_t delay) {
    FrameData f;
    f.X = rect.X;
    f.Y = rect.Y;
    f.Width = rect.Width;
    f.Height = rect.Height;
    f.Delay = delay;
    DefaultHotSpot(rect, rule, f.HotSpotX, f.HotSpotY);
    return f;
}

void MoveFrameRect(FrameData& frame, const SpriteRect& rect, HotSpotRule rule) {
    if (frame.Width <= 0 || frame.Height <= 0) {
        DefaultHotSpot(rect, rule, frame.HotSpotX, frame.HotSpotY);
    } else {
        // Frames come from files, so any value is possible: no overflow.
        frame.HotSpotX = Saturate(int64_t{frame.X} + frame.HotSpotX - rect.X);
        frame.HotSpotY = Saturate(int64_t{frame.Y} + frame.HotSpotY - rect.Y);
    }
    frame.X = rect.X;
    frame.Y = rect.Y;
    frame.Width = rect.Width;
    frame.Height = rect.Height;
}

std::vector<FrameData> TrimmedCellFrames(const SheetPixels& sheet, int32_t maskColor,
                                         const std::vector<SpriteRect>& cells, HotSpotRule rule,
                                         int16_t delay) {
    std::vector<FrameData> frames;
    frames.reserve(cells.size());
    for (const SpriteRect& cell : cells) {
        FrameData f = MakeFrame(cell, rule, delay);
        const SpriteRect trimmed = TrimRect(sheet, maskColor, cell);
        if (!trimmed.Empty()) MoveFrameRect(f, trimmed, rule);
        frames.push_back(f);
    }
    return frames;
}

bool AddFrames(DirectionData& direction, const std::vector<FrameData>& frames, std::string& error) {
    const bool placeholder = direction.Frames.size() == 1 && direction.Frames[0] == FrameData{};
    const size_t kept = placeholder && !frames.empty() ? 0 : direction.Frames.size();
    if (frames.size() > MaxDirectionFrames - std::min(kept, MaxDirectionFrames)) {
        error = "A direction holds at most 32,768 frames; this one would hold " +
                std::to_string(kept + frames.size());
        return false;
    }
    if (frames.empty()) return true;
    direction.Frames.resize(kept);
    direction.Frames.insert(direction.Frames.end(), frames.begin(), frames.end());
    direction.FrameUBound = static_cast<int16_t>(direction.Frames.size() - 1);
    return true;
}

bool AddDirections(ActionData& action, const std::vector<FrameData>& frames, const std::vector<size_t>& rows,
                   std::string& error) {
    size_t total = 0, filled = 0;
    for (const size_t n : rows) {
        if (n > MaxDirectionFrames) {
            error = "A direction holds at most 32,768 frames; one row has " + std::to_string(n);
            return false;
        }
        total += n;
        filled += n > 0 ? 1 : 0;
    }
    if (total != frames.size()) {
        error = "The rows hold " + std::to_string(total) + " frames, not " + std::to_string(frames.size());
        return false;
    }
    const bool placeholder = !action.Directions.empty() && action.Directions.back().Frames.size() == 1 &&
                             action.Directions.back().Frames[0] == FrameData{};
    const size_t kept = action.Directions.size() - (placeholder && filled > 0 ? 1 : 0);
    if (filled > MaxActionDirections - std::min(kept, MaxActionDirections)) {
        error = "An action holds at most 32,768 directions; this one would hold " + std::to_string(kept + filled);
        return false;
    }
    bool intoPlaceholder = action.Directions.size() > kept;
    auto frame = frames.begin();
    for (const size_t n : rows) {
        if (n == 0) continue;
        // The placeholder keeps its name; the others are new and unnamed.
        DirectionData& d = intoPlaceholder ? action.Directions.back() : action.Directions.emplace_back();
        intoPlaceholder = false;
        d.Frames.assign(frame, frame + static_cast<std::ptrdiff_t>(n));
        d.FrameUBound = static_cast<int16_t>(n - 1);
        frame += static_cast<std::ptrdiff_t>(n);
    }
    action.DirUBound = static_cast<int16_t>(action.Directions.size() - 1);
    return true;
}
