// Finding the grid a sheet is drawn in. One pass over the area counts, per
// column and per row, the pixels that continue their neighbour's colour (above,
// or to the left) without being mask colour, and the pixels that are not mask
// colour at all. A separator line is a narrow band of columns (rows) that
// continue far more often than the columns beside it; a column through a cell
// painted flat continues just as often as its neighbours, and a line crossed
// by an unused area painted flat still continues there. The counters are
// plain arrays walked in step with the row, so the pass runs at the speed of
// reading the sheet.
#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>

#include "bitmap/RowScan.h"
#include "sprites/Sprites.h"

namespace {

// A line counts as found, proposing a period, from this share of continuing
// pixels; lines the period expects count from the lower share, so one that
// wide cells or unused areas interrupt in half the rows still counts.
constexpr double StrongLine = 0.6;
constexpr double WeakLine = 0.3;
constexpr int MaxLineWidth = 4;
constexpr int MinCell = 2;

// One axis of the grid: cells of Cell pixels from Offset, Gap apart.
struct Axis {
    int32_t Cell = 0, Offset = 0, Gap = 0;
    int64_t Cells = 0; // cells with something in them (gutters) or lines found; 0 = nothing found
};

// How strongly columns [a, a + w) of the profile stand above both neighbours:
// their lowest share, or 0 when under `least` or not above a neighbour.
double Peak(const std::vector<double>& s, int32_t a, int32_t w, double least) {
    const auto n = static_cast<int32_t>(s.size());
    if (a < 0 || a + w > n) return 0;
    double low = s[a];
    for (int32_t x = a + 1; x < a + w; ++x) low = std::min(low, s[x]);
    if (low < least) return 0;
    if (a > 0 && s[a - 1] >= low) return 0;
    return a + w >= n || s[a + w] < low ? low : 0;
}

// The period, phase and width of lines that best explain the profile. Each
// line the period expects counts by how near its strength comes to the
// strongest line's: 1 for one as strong, 0 at nine tenths of it, and half
// against for one weaker still or missing; the greatest sum wins, then the
// smaller period. So strokes inside sprites that happen to line up from cell
// to cell, weaker than lines running the whole length, do not halve the period.
// oneColour(x) is the share of column x's pixels in its most common colour
// other than the mask colour: a line must run mostly in one colour, where a
// column through flat-shaded figures continues in many. Where the period
// expects a line on columns of mask colour only (a margin, or space left
// over after the last cell), its absence counts neither way.
Axis FitLines(const std::vector<double>& s, const std::vector<uint32_t>& used,
              const std::function<double(int32_t)>& oneColour) {
    const auto n = static_cast<int32_t>(s.size());
    struct Line { int32_t At, Width; };
    std::vector<Line> found;
    for (int32_t a = 0; a < n; ++a)
        for (int32_t w = 1; w <= MaxLineWidth; ++w)
            if (Peak(s, a, w, StrongLine) > 0 && oneColour(a) >= StrongLine) found.push_back({a, w});
    // Noise, not a drawing: too many narrow peaks to be lines between cells.
    if (found.empty() || found.size() > static_cast<size_t>(n / (MinCell + 1) + 1)) return {};
    int32_t drawnFrom = 0, drawnTo = n; // the drawing without blank margins
    while (drawnFrom < n && used[drawnFrom] == 0) ++drawnFrom;
    while (drawnTo > drawnFrom && used[drawnTo - 1] == 0) --drawnTo;
    bool solid = true;
    for (int32_t x = drawnFrom; x < drawnTo && solid; ++x) solid = used[x] != 0;
    double top = 0;
    for (const Line& l : found) top = std::max(top, Peak(s, l.At, l.Width, StrongLine));

    std::set<std::tuple<int32_t, int32_t, int32_t>> tried; // period, phase, width
    Axis best;
    double bestScore = 0;
    int32_t bestPeriod = 0;
    const auto consider = [&](int32_t period, int32_t at, int32_t w) {
        if (period < w + MinCell || period > n) return;
        const int32_t phase = at % period;
        if (!tried.emplace(period, phase, w).second) return;
        int64_t present = 0, expected = 0;
        double score = 0;
        for (int64_t e = phase; e + w <= n; e += period) {
            const double strength = Peak(s, static_cast<int32_t>(e), w, WeakLine);
            bool blank = strength == 0;
            for (int64_t x = e; x < e + w && blank; ++x) blank = used[x] == 0;
            if (blank) continue;
            ++expected;
            present += strength > 0 ? 1 : 0;
            score += std::max((strength - 0.9 * top) / (0.1 * top), -0.5);
        }
        // One line alone proposes a period only as the border of two cells that fit.
        const int32_t offset = (phase + w) % period, cell = period - w;
        if (present == 1 && int64_t{offset} + 2 * cell + w > n) return;
        if (2 * present < expected) return;
        if (present == 0 || (bestPeriod > 0 && (score < bestScore || (score == bestScore && period >= bestPeriod))))
            return;
        bestScore = score, bestPeriod = period;
        best = {cell, offset, w, present};
    };
    for (size_t i = 0; i < found.size(); ++i) {
        const Line& a = found[i];
        // A line between just two cells: they reach from it to the drawing's
        // ends (past blank margins, when lines across fill the drawing so its
        // ends show), the longer side deciding; else to the area's edge.
        consider((solid ? std::max(a.At - drawnFrom, drawnTo - a.At - a.Width) : a.At) + a.Width, a.At, a.Width);
        for (size_t j = i + 1; j < found.size() && j <= i + 8; ++j) {
            if (found[j].Width != a.Width) continue;
            const int32_t d = found[j].At - a.At;
            for (int32_t m = 1; m <= 4; ++m)
                if (d % m == 0) consider(d / m, a.At, a.Width); // lines between them may be missing
        }
    }
    return best;
}

// Cells without gaps whose borders fall where no column holds anything, at
// least two of them holding something, placed alike in their cells. The most
// such cells win (less half of one for each empty cell between them), then cells
// from the area's corner, then the widest empty space on either side of the
// borders, then the least area left over, then the larger cell.
Axis FitGutters(const std::vector<uint32_t>& counts, int32_t across) {
    const auto n = static_cast<int32_t>(counts.size());
    std::vector<uint8_t> used(counts.size());
    for (size_t i = 0; i < counts.size(); ++i) used[i] = counts[i] != 0;
    std::vector<int32_t> before(static_cast<size_t>(n) + 1, 0); // used columns before x
    for (int32_t x = 0; x < n; ++x) before[x + 1] = before[x] + used[x];
    if (before[n] == 0) return {};
    int32_t first = 0, last = n - 1;
    while (!used[first]) ++first;
    while (!used[last]) --last;
    // Empty columns just before and from each position, for the margins.
    std::vector<int32_t> emptyLeft(static_cast<size_t>(n) + 1, 0), emptyRight(static_cast<size_t>(n) + 1, 0);
    for (int32_t x = 1; x <= n; ++x) emptyLeft[x] = used[x - 1] ? 0 : emptyLeft[x - 1] + 1;
    for (int32_t x = n - 1; x >= 0; --x) emptyRight[x] = used[x] ? 0 : emptyRight[x + 1] + 1;
    // The first used column from x on, and the last one up to x.
    std::vector<int32_t> nextUsed(static_cast<size_t>(n) + 1, n), lastUsed(static_cast<size_t>(n), -1);
    for (int32_t x = n - 1; x >= 0; --x) nextUsed[x] = used[x] ? x : nextUsed[x + 1];
    for (int32_t x = 0; x < n; ++x) lastUsed[x] = used[x] ? x : x > 0 ? lastUsed[x - 1] : -1;

    Axis best;
    std::tuple<int64_t, bool, int32_t, int32_t, int32_t, int32_t> bestKey{0, false, -1, 0, 0, 0};
    for (int32_t period = MinCell; period <= n / 2; ++period) {
        for (int32_t phase = 0; phase < period && phase <= first; ++phase) {
            const int64_t fit = (n - phase) / period;
            if (fit < 2 || phase + fit * period <= last) continue;
            int32_t margin = n;
            bool clean = true;
            for (int64_t k = 1; k < fit && clean; ++k) {
                const auto b = static_cast<int32_t>(phase + k * period);
                clean = !used[b - 1] || !used[b];
                margin = std::min(margin, std::min(emptyLeft[b], emptyRight[b]));
            }
            if (!clean) continue;
            // Cells holding something, which must follow one another, and how alike their contents sit.
            int64_t holding = 0, firstHolding = -1, lastHolding = -1;
            int32_t lowStart = n, highStart = -1, lowEnd = n, highEnd = -1;
            for (int64_t k = 0; k < fit; ++k) {
                const auto c0 = static_cast<int32_t>(phase + k * period), c1 = c0 + period;
                if (before[c1] == before[c0]) continue;
                ++holding;
                if (firstHolding < 0) firstHolding = k;
                lastHolding = k;
                const int32_t a = nextUsed[c0], z = lastUsed[c1 - 1];
                lowStart = std::min(lowStart, a - c0), highStart = std::max(highStart, a - c0);
                lowEnd = std::min(lowEnd, c1 - z), highEnd = std::max(highEnd, c1 - z);
            }
            if (holding < 2) continue;
            if (std::min(highStart - lowStart, highEnd - lowEnd) > std::max(2, period / 4)) continue;
            const auto leftOver = static_cast<int32_t>(n - phase - fit * period);
            // An empty cell between others costs half a cell, so half the period (every
            // other cell empty) loses to the period, and a column of unused cells does not.
            const int64_t empty = lastHolding - firstHolding + 1 - holding;
            const std::tuple key{2 * holding - empty, phase == 0, margin, -leftOver, period, -phase};
            if (key > bestKey) {
                bestKey = key;
                best = {period, phase, 0, holding};
            }
        }
    }
    // Lines drawn in the mask colour (it was taken from a corner on a border
    // line) are gutters of one narrow width at the same place at every border,
    // between columns used nearly all the way (the edges of opaque cells):
    // they are the gap, as lines of any other colour would be.
    if (best.Cells >= 2 && best.Cell > MaxLineWidth + MinCell) {
        int32_t start = -1, width = -1;
        bool alike = true;
        for (int64_t b = best.Offset + best.Cell; b < n && alike; b += best.Cell) {
            const int32_t at = static_cast<int32_t>(b) - emptyLeft[b], runWidth = emptyLeft[b] + emptyRight[b];
            const int32_t place = ((at - best.Offset) % best.Cell + best.Cell) % best.Cell;
            if (start < 0) start = place, width = runWidth;
            const auto full = [&](int32_t x) { return x < 0 || x >= n || counts[x] >= 0.75 * across; };
            alike = place == start && runWidth == width && full(at - 1) && full(at + runWidth);
        }
        if (alike && width >= 1 && width <= MaxLineWidth && start >= 0) {
            best.Gap = width;
            best.Offset = (best.Offset + start + width) % best.Cell;
            best.Cell -= width;
        }
    }
    return best;
}

constexpr int32_t SampledPixels = 1024;

// Pixels of the area by their place in it.
struct AreaPixels {
    const SheetPixels& Sheet;
    int32_t X0, Y0;
    uint32_t At(int32_t x, int32_t y) const {
        return RowScan::Load24(Sheet.Pixels + static_cast<size_t>(Sheet.Height - 1 - (Y0 + y)) * Sheet.Stride +
                               3 * static_cast<size_t>(X0 + x));
    }
};

// The share of n pixels (pixel(i), up to SampledPixels of them evenly spread)
// in their most common colour but the mask colour, found by a majority vote:
// any colour of more than half is the vote's winner.
template <class Pixel>
double OneColourShare(int32_t n, const Pixel& pixel, int32_t maskColor) {
    const int32_t step = std::max(1, n / SampledPixels);
    uint32_t winner = 0;
    int32_t votes = 0, samples = 0, count = 0;
    for (int32_t i = 0; i < n; i += step, ++samples) {
        const uint32_t c = pixel(i);
        if (votes == 0) winner = c;
        votes += c == winner ? 1 : -1;
    }
    if (winner == (static_cast<uint32_t>(maskColor) & 0xFFFFFFu)) return 0;
    for (int32_t i = 0; i < n; i += step) count += pixel(i) == winner ? 1 : 0;
    return samples ? static_cast<double>(count) / samples : 0;
}

// Four counters or pixels side by side, for the compiler's vector registers.
using Quad = uint32_t __attribute__((vector_size(16)));
Quad LoadQuad(const uint32_t* p) {
    Quad q;
    std::memcpy(&q, p, sizeof q);
    return q;
}
void StoreQuad(uint32_t* p, const Quad& q) { std::memcpy(p, &q, sizeof q); }

// Columns and rows counted in one pass over the area.
struct Profiles {
    std::vector<uint32_t> ColumnRuns, ColumnUsed, RowRuns, RowUsed;
};

bool Count(const SheetPixels& sheet, uint32_t mask, int32_t x0, int32_t y0, int32_t w, int32_t h, Profiles& p,
           const Progress& progress) {
    p.ColumnRuns.assign(static_cast<size_t>(w), 0);
    p.ColumnUsed.assign(static_cast<size_t>(w), 0);
    p.RowRuns.assign(static_cast<size_t>(h), 0);
    p.RowUsed.assign(static_cast<size_t>(h), 0);
    // The row above starts as a colour no pixel has, so the first row continues nothing.
    std::vector<uint32_t> above(static_cast<size_t>(w), 0xFF000000u), row(static_cast<size_t>(w));
    uint32_t* const runs = p.ColumnRuns.data();
    uint32_t* const usedColumns = p.ColumnUsed.data();
    for (int32_t y = 0; y < h; ++y) {
        if (y % 256 == 0 && !progress.Report(static_cast<double>(y) / h)) return false;
        const uint8_t* src = sheet.Pixels + static_cast<size_t>(sheet.Height - 1 - (y0 + y)) * sheet.Stride +
                             3 * static_cast<size_t>(x0);
        uint32_t* const cur = row.data();
        const uint32_t* const up = above.data();
        // Four pixels from three words, never reading past the row's last pixel.
        int32_t x = 0;
        if constexpr (RowScan::Little) {
            for (; x + 4 <= w; x += 4, src += 12) {
                uint32_t a, b, c;
                std::memcpy(&a, src, 4), std::memcpy(&b, src + 4, 4), std::memcpy(&c, src + 8, 4);
                cur[x] = a & 0xFFFFFFu;
                cur[x + 1] = (a >> 24) | (b & 0xFFFFu) << 8;
                cur[x + 2] = (b >> 16) | (c & 0xFFu) << 16;
                cur[x + 3] = c >> 8;
            }
        }
        for (; x < w; ++x, src += 3) cur[x] = RowScan::Load24(src);
        // Comparisons as arithmetic on 24-bit values (d - 1 has its top bit set
        // only for d == 0), four pixels at a time in vector registers.
        const auto same = [](auto a, auto b) { return ((a ^ b) - 1u) >> 31; };
        const auto other = [mask](auto a) { return ((a ^ mask) + 0x7FFFFFFFu) >> 31; };
        Quad usedQuad = {0, 0, 0, 0}, alongQuad = {0, 0, 0, 0};
        uint32_t used = other(cur[0]), along = 0;
        usedColumns[0] += used;
        runs[0] += same(cur[0], up[0]) & used;
        for (x = 1; x + 4 <= w; x += 4) {
            const Quad c = LoadQuad(cur + x), u = other(c);
            usedQuad += u;
            alongQuad += same(c, LoadQuad(cur + x - 1)) & u;
            StoreQuad(usedColumns + x, LoadQuad(usedColumns + x) + u);
            StoreQuad(runs + x, LoadQuad(runs + x) + (same(c, LoadQuad(up + x)) & u));
        }
        for (; x < w; ++x) {
            const uint32_t c = cur[x], u = other(c);
            usedColumns[x] += u;
            used += u;
            along += same(c, cur[x - 1]) & u;
            runs[x] += same(c, up[x]) & u;
        }
        for (int k = 0; k < 4; ++k) used += usedQuad[k], along += alongQuad[k];
        p.RowRuns[y] = along;
        p.RowUsed[y] = used;
        row.swap(above);
    }
    return true;
}

std::vector<double> Shares(const std::vector<uint32_t>& counts, int32_t of) {
    std::vector<double> s(counts.size(), 0.0);
    if (of > 0)
        for (size_t i = 0; i < counts.size(); ++i) s[i] = static_cast<double>(counts[i]) / of;
    return s;
}

} // namespace

GridFound DetectGrid(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, const Progress& progress) {
    GridFound result;
    if (!sheet.Usable()) {
        result.Error = "There is no sheet to look for a grid on";
        return result;
    }
    const int64_t x0 = std::max(area.X, 0), y0 = std::max(area.Y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{area.X} + std::max(area.Width, 0), sheet.Width);
    const int64_t y1 = std::min<int64_t>(int64_t{area.Y} + std::max(area.Height, 0), sheet.Height);
    if (x1 <= x0 || y1 <= y0) {
        result.Error = "The search area lies outside the sheet";
        return result;
    }
    const auto w = static_cast<int32_t>(x1 - x0), h = static_cast<int32_t>(y1 - y0);
    Profiles p;
    if (!Count(sheet, static_cast<uint32_t>(maskColor) & 0xFFFFFFu, static_cast<int32_t>(x0),
               static_cast<int32_t>(y0), w, h, p, progress)) {
        result.Cancelled = true;
        return result;
    }
    // The most common colour of a column or row from up to SampledPixels of
    // its pixels, which is plenty for a share and keeps the reads few.
    const AreaPixels pixels{sheet, static_cast<int32_t>(x0), static_cast<int32_t>(y0)};
    const auto column = [&](int32_t x) {
        return OneColourShare(h, [&](int32_t i) { return pixels.At(x, i); }, maskColor);
    };
    const auto row = [&](int32_t y) {
        return OneColourShare(w, [&](int32_t i) { return pixels.At(i, y); }, maskColor);
    };
    Axis across = FitLines(Shares(p.ColumnRuns, h - 1), p.ColumnUsed, column);
    Axis down = FitLines(Shares(p.RowRuns, w - 1), p.RowUsed, row);
    if (!across.Cells && !down.Cells) {
        across = FitGutters(p.ColumnUsed, h);
        down = FitGutters(p.RowUsed, w);
    }
    if (!across.Cells && !down.Cells) {
        result.Error = "No regular grid was found: no separator lines, and no gutters between sprites at one period";
        return result;
    }
    // An axis without lines or gutters is one cell across the whole area.
    if (!across.Cells) across = {w, 0, 0, 1};
    if (!down.Cells) down = {h, 0, 0, 1};
    result.Grid.CellWidth = across.Cell;
    result.Grid.CellHeight = down.Cell;
    result.Grid.OffsetX = across.Offset;
    result.Grid.OffsetY = down.Offset;
    result.Grid.GapX = across.Gap;
    result.Grid.GapY = down.Gap;
    progress.Report(1);
    return result;
}

std::string GridText(const GridSpec& g) {
    return std::to_string(g.CellWidth) + "x" + std::to_string(g.CellHeight) + "+" + std::to_string(g.OffsetX) + "+" +
           std::to_string(g.OffsetY) + "," + std::to_string(g.GapX) + "x" + std::to_string(g.GapY);
}

std::vector<size_t> RowLengths(const std::vector<SpriteRect>& rects) {
    std::vector<size_t> rows;
    int64_t bottom = 0;
    for (const SpriteRect& r : rects) {
        if (rows.empty() || r.Y > bottom) {
            rows.push_back(0);
            bottom = r.Y;
        }
        ++rows.back();
        bottom = std::max(bottom, int64_t{r.Y} + r.Height - 1);
    }
    return rows;
}
