// Sprite detection and trimming. The sheet is read once, row by row: each row
// becomes runs of sprite pixels, and runs that touch a run of the row above
// (diagonals included) join its group through a union-find over the groups of
// the last row only, so memory follows the number of runs in a row and of
// groups found, never the number of pixels.
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <queue>
#include <utility>

#include "bitmap/RowScan.h"
#include "sprites/Sprites.h"

namespace {

// Inclusive box and pixel count of a group of sprite pixels.
struct Box {
    int32_t X0, Y0, X1, Y1;
    int64_t Pixels;

    void Add(const Box& o) {
        X0 = std::min(X0, o.X0);
        Y0 = std::min(Y0, o.Y0);
        X1 = std::max(X1, o.X1);
        Y1 = std::max(Y1, o.Y1);
        Pixels += o.Pixels;
    }
};

// Reads one sheet row against the mask colour.
class RowReader {
public:
    RowReader(const SheetPixels& sheet, int32_t maskColor) : sheet_(sheet) {
        const auto c = static_cast<uint32_t>(maskColor);
        const uint8_t bgr[3] = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                static_cast<uint8_t>(c)};
        uint8_t pattern[24];
        for (int i = 0; i < 24; ++i)
            pattern[i] = bgr[i % 3];
        for (int k = 0; k < 3; ++k)
            pattern_[k] = RowScan::Load64(pattern + 8 * k);
        mask_ = RowScan::Load24(bgr);
    }

    // Top-down row y.
    const uint8_t* Row(int32_t y) const {
        return sheet_.Pixels +
               static_cast<size_t>(sheet_.Height - 1 - y) * static_cast<size_t>(sheet_.Stride);
    }

    bool IsMask(const uint8_t* row, int32_t x) const {
        return RowScan::Load24(row + 3 * static_cast<size_t>(x)) == mask_;
    }

    // First sprite pixel in [x, end), or end. Background makes up most of a
    // sheet, so it is passed eight pixels (three words) at a time.
    int32_t SkipMask(const uint8_t* row, int32_t x, int32_t end) const {
        size_t b = 3 * static_cast<size_t>(x);
        const size_t limit = 3 * static_cast<size_t>(end);
        while (b + 24 <= limit) {
            const uint64_t d0 = RowScan::Load64(row + b) ^ pattern_[0];
            const uint64_t d1 = RowScan::Load64(row + b + 8) ^ pattern_[1];
            const uint64_t d2 = RowScan::Load64(row + b + 16) ^ pattern_[2];
            if (d0 | d1 | d2) {
                const size_t at = d0   ? b + RowScan::FirstDiffByte(d0)
                                  : d1 ? b + 8 + RowScan::FirstDiffByte(d1)
                                       : b + 16 + RowScan::FirstDiffByte(d2);
                return static_cast<int32_t>(at / 3);
            }
            b += 24;
        }
        for (x = static_cast<int32_t>(b / 3); x < end; ++x)
            if (!IsMask(row, x)) return x;
        return end;
    }

    // First mask pixel in [x, end), or end.
    int32_t SkipSprite(const uint8_t* row, int32_t x, int32_t end) const {
        while (x < end && !IsMask(row, x))
            ++x;
        return x;
    }

private:
    const SheetPixels& sheet_;
    uint64_t pattern_[3];
    uint32_t mask_;
};

// The area clipped to the sheet; false when nothing is left.
bool Clip(const SheetPixels& sheet, const SpriteRect& r, int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) {
    if (!sheet.Usable() || r.Empty()) return false;
    const int64_t right = std::min<int64_t>(int64_t{r.X} + r.Width, sheet.Width);
    const int64_t bottom = std::min<int64_t>(int64_t{r.Y} + r.Height, sheet.Height);
    x0 = std::max(r.X, 0);
    y0 = std::max(r.Y, 0);
    if (right <= x0 || bottom <= y0) return false;
    x1 = static_cast<int32_t>(right);
    y1 = static_cast<int32_t>(bottom);
    return true;
}

// Groups of 8-connected sprite pixels, by rows of runs.
class GroupScan {
public:
    explicit GroupScan(const RowReader& reader) : reader_(reader) {}

    bool Run(int32_t x0, int32_t y0, int32_t x1, int32_t y1, std::vector<Box>& found, const Progress& progress) {
        for (int32_t y = y0; y < y1; ++y) {
            // A report every few rows costs nothing beside the scan.
            if ((y - y0) % 256 == 0 && !progress.Report(static_cast<double>(y - y0) / (y1 - y0))) return true;
            ReadRuns(reader_.Row(y), x0, x1);
            if (cur_.empty() && prev_.empty()) continue;
            Connect(y);
            if (!Retire(found)) return false;
            prev_.swap(cur_);
        }
        cur_.clear();
        return Retire(found);
    }

private:
    struct Span {
        int32_t X0, X1; // X1 exclusive
        int32_t Label;
    };

    void ReadRuns(const uint8_t* row, int32_t x0, int32_t x1) {
        cur_.clear();
        for (int32_t x = x0; x < x1;) {
            x = reader_.SkipMask(row, x, x1);
            if (x >= x1) break;
            const int32_t end = reader_.SkipSprite(row, x + 1, x1);
            cur_.push_back({x, end, -1});
            x = end;
        }
    }

    int32_t Find(int32_t a) {
        while (parent_[a] != a) {
            parent_[a] = parent_[parent_[a]];
            a = parent_[a];
        }
        return a;
    }

    void Union(int32_t a, int32_t b) {
        a = Find(a);
        b = Find(b);
        if (a == b) return;
        if (b < a) std::swap(a, b);
        parent_[b] = a;
        groups_[a].Add(groups_[b]);
    }

    // Joins each run to the groups of the runs above it that it touches.
    void Connect(int32_t y) {
        size_t i = 0;
        for (Span& c : cur_) {
            while (i < prev_.size() && prev_[i].X1 < c.X0)
                ++i;
            for (size_t k = i; k < prev_.size() && prev_[k].X0 <= c.X1; ++k) {
                if (c.Label < 0)
                    c.Label = Find(prev_[k].Label);
                else
                    Union(c.Label, prev_[k].Label);
            }
            if (c.Label < 0) {
                c.Label = static_cast<int32_t>(groups_.size());
                parent_.push_back(c.Label);
                groups_.push_back({c.X0, y, c.X0, y, 0});
            }
        }
        for (Span& c : cur_) {
            c.Label = Find(c.Label);
            groups_[c.Label].Add({c.X0, y, c.X1 - 1, y, int64_t{c.X1} - c.X0});
        }
    }

    // Hands over the groups no run of the current row continues and renumbers
    // the rest from 0, so the tables only ever hold the groups of one row.
    bool Retire(std::vector<Box>& found) {
        remap_.assign(groups_.size(), -1);
        next_.clear();
        for (Span& c : cur_) {
            int32_t& to = remap_[c.Label];
            if (to < 0) {
                to = static_cast<int32_t>(next_.size());
                next_.push_back(groups_[c.Label]);
            }
            c.Label = to;
        }
        for (size_t t = 0; t < groups_.size(); ++t) {
            if (parent_[t] != static_cast<int32_t>(t) || remap_[t] >= 0) continue;
            if (found.size() >= MaxPixelGroups) return false;
            found.push_back(groups_[t]);
        }
        groups_.swap(next_);
        parent_.resize(groups_.size());
        std::iota(parent_.begin(), parent_.end(), 0);
        return true;
    }

    const RowReader& reader_;
    std::vector<Span> prev_, cur_;
    std::vector<Box> groups_, next_;
    std::vector<int32_t> parent_, remap_;
};

// One sweep down the boxes in order of their tops. The open clusters (those a
// later box could still reach) never come within the gap of each other
// horizontally, so they sit in an ordered map and a new box meets a
// contiguous stretch of it. Returns whether anything merged; a cluster that
// grew sideways may now reach one already closed, hence the caller's repeats.
bool MergeRound(std::vector<Box>& boxes, int64_t gap) {
    std::sort(boxes.begin(), boxes.end(),
              [](const Box& a, const Box& b) { return a.Y0 != b.Y0 ? a.Y0 < b.Y0 : a.X0 < b.X0; });
    std::vector<Box> out, clusters;
    std::vector<uint8_t> alive;
    out.reserve(boxes.size());
    std::map<int32_t, size_t> open;             // left edge -> cluster
    using Closing = std::pair<int64_t, size_t>; // last row it reaches, cluster
    std::priority_queue<Closing, std::vector<Closing>, std::greater<>> closing;
    bool merged = false;
    for (const Box& b : boxes) {
        while (!closing.empty() && closing.top().first < b.Y0) {
            const size_t id = closing.top().second;
            closing.pop();
            if (!alive[id]) continue;
            alive[id] = 0;
            open.erase(clusters[id].X0);
            out.push_back(clusters[id]);
        }
        Box c = b;
        for (bool grew = true; grew;) {
            grew = false;
            const int64_t reach = std::min<int64_t>(c.X1 + gap + 1, std::numeric_limits<int32_t>::max());
            auto it = open.upper_bound(static_cast<int32_t>(reach));
            while (it != open.begin()) {
                const auto before = std::prev(it);
                const Box& o = clusters[before->second];
                if (o.X1 + gap + 1 < c.X0) break;
                c.Add(o);
                alive[before->second] = 0;
                open.erase(before);
                grew = merged = true;
            }
        }
        const size_t id = clusters.size();
        clusters.push_back(c);
        alive.push_back(1);
        open.emplace(c.X0, id);
        closing.emplace(c.Y1 + gap + 1, id);
    }
    for (size_t id = 0; id < clusters.size(); ++id)
        if (alive[id]) out.push_back(clusters[id]);
    boxes.swap(out);
    return merged;
}

// Rows of vertically overlapping boxes, top to bottom, each left to right.
void ReadingOrder(std::vector<Box>& boxes) {
    std::sort(boxes.begin(), boxes.end(),
              [](const Box& a, const Box& b) { return a.Y0 != b.Y0 ? a.Y0 < b.Y0 : a.X0 < b.X0; });
    size_t start = 0;
    int32_t bottom = 0;
    for (size_t i = 0; i <= boxes.size(); ++i) {
        if (i < boxes.size() && i > start && boxes[i].Y0 <= bottom) {
            bottom = std::max(bottom, boxes[i].Y1);
            continue;
        }
        std::sort(boxes.begin() + static_cast<std::ptrdiff_t>(start),
                  boxes.begin() + static_cast<std::ptrdiff_t>(i),
                  [](const Box& a, const Box& b) { return a.X0 != b.X0 ? a.X0 < b.X0 : a.Y0 < b.Y0; });
        if (i < boxes.size()) {
            start = i;
            bottom = boxes[i].Y1;
        }
    }
}

} // namespace

bool SheetPixels::Usable() const {
    return Pixels && Width > 0 && Height > 0 && int64_t{Stride} >= 3 * int64_t{Width};
}

SpriteRects FindSprites(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, int32_t mergeGap,
                        int64_t minPixels, const Progress& progress) {
    SpriteRects result;
    int32_t x0, y0, x1, y1;
    if (!Clip(sheet, area, x0, y0, x1, y1)) return result;
    const RowReader reader(sheet, maskColor);
    std::vector<Box> boxes;
    if (!GroupScan(reader).Run(x0, y0, x1, y1, boxes, progress)) {
        result.Error = "The sheet holds more than " + std::to_string(MaxPixelGroups) +
                       " separate groups of pixels; is the mask colour right?";
        return result;
    }
    if (progress.Cancelled()) {
        result.Cancelled = true;
        return result;
    }
    const int64_t gap = std::max(mergeGap, 0);
    while (MergeRound(boxes, gap)) {
    }
    std::erase_if(boxes, [&](const Box& b) { return b.Pixels < minPixels; });
    ReadingOrder(boxes);
    result.Rects.reserve(boxes.size());
    for (const Box& b : boxes)
        result.Rects.push_back({b.X0, b.Y0, b.X1 - b.X0 + 1, b.Y1 - b.Y0 + 1});
    progress.Report(1);
    return result;
}

SpriteRect TrimRect(const SheetPixels& sheet, int32_t maskColor, SpriteRect rect) {
    int32_t x0, y0, x1, y1;
    if (!Clip(sheet, rect, x0, y0, x1, y1)) return {};
    const RowReader reader(sheet, maskColor);
    int32_t left = x1, right = -1, top = -1, bottom = -1;
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* row = reader.Row(y);
        const int32_t first = reader.SkipMask(row, x0, x1);
        if (first >= x1) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, first);
        for (int32_t x = x1 - 1; x > right; --x)
            if (!reader.IsMask(row, x)) {
                right = x;
                break;
            }
    }
    if (top < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}
