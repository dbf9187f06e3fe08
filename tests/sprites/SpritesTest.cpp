#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <tuple>

#include "sprites/Sprites.h"

void PrintTo(const SpriteRect& r, std::ostream* os) {
    *os << "{" << r.X << "," << r.Y << " " << r.Width << "x" << r.Height << "}";
}

namespace {

constexpr int32_t Magenta = 0x00FF00FF;

// A sheet drawn as text, top row first: '.' is the mask colour, 'm' a colour
// one bit away from it, any other character a colour of its own. The buffer
// is exactly as long as the rows, so a read past it is caught by the sanitizers.
struct Drawn {
    std::vector<uint8_t> Bytes;
    SheetPixels View;
    std::vector<std::string> Art;

    explicit Drawn(std::vector<std::string> art) : Art(std::move(art)) {
        const auto w = static_cast<int32_t>(Art.empty() ? 0 : Art[0].size());
        const auto h = static_cast<int32_t>(Art.size());
        const int32_t stride = (3 * w + 3) & ~3;
        Bytes.assign(static_cast<size_t>(stride) * h, 0xA5); // padding that is no colour in use
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const char c = Art[y][x];
                const uint32_t color = c == '.' ? Magenta : c == 'm' ? Magenta ^ 0x010000 : 0x00103070 + c * 0x010203;
                uint8_t* p = Bytes.data() + static_cast<size_t>(h - 1 - y) * stride + 3 * x;
                for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(color >> (16 - 8 * k));
            }
        View = SheetPixels(Bytes.data(), w, h, stride);
    }
    Drawn(const Drawn&) = delete; // the view points into the bytes
    SpriteRect All() const { return {0, 0, View.Width, View.Height}; }
};

// A blank sheet of w x h with filled rectangles on it.
Drawn Boxes(int w, int h, const std::vector<SpriteRect>& rects) {
    std::vector<std::string> art(h, std::string(w, '.'));
    for (const SpriteRect& r : rects)
        for (int y = r.Y; y < r.Y + r.Height; ++y) art[y].replace(r.X, r.Width, r.Width, '#');
    return Drawn(art);
}

using Rects = std::vector<SpriteRect>;

Rects Sorted(Rects r) {
    std::ranges::sort(r, {}, [](const SpriteRect& a) { return std::tuple(a.Y, a.X, a.Width, a.Height); });
    return r;
}

// The obvious way, for comparison, sorted rather than in reading order: every
// sprite pixel a box of its own, boxes at most gap apart merged until none are
// (touching pixels are 0 apart, so this also forms the groups), small ones dropped.
Rects Reference(const Drawn& d, int gap, int64_t minPixels) {
    struct B { int x0, y0, x1, y1; int64_t n; };
    std::vector<B> boxes;
    for (int y = 0; y < d.View.Height; ++y)
        for (int x = 0; x < d.View.Width; ++x)
            if (d.Art[y][x] != '.') boxes.push_back({x, y, x, y, 1});
    for (bool again = true; again;) {
        again = false;
        for (size_t i = 0; i < boxes.size(); ++i)
            for (size_t j = boxes.size() - 1; j > i; --j) {
                B &a = boxes[i], b = boxes[j];
                if (std::max({b.x0 - a.x1, a.x0 - b.x1, b.y0 - a.y1, a.y0 - b.y1}) - 1 > gap) continue;
                a = {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1),
                     a.n + b.n};
                boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                again = true;
            }
    }
    Rects out;
    for (const B& b : boxes)
        if (b.n >= minPixels) out.push_back({b.x0, b.y0, b.x1 - b.x0 + 1, b.y1 - b.y0 + 1});
    return Sorted(out);
}

// Found on the whole sheet, checked against the obvious way; in reading order.
Rects Found(const Drawn& d, int gap, int64_t minPixels) {
    const SpriteRects found = FindSprites(d.View, Magenta, d.All(), gap, minPixels);
    EXPECT_TRUE(found.Error.empty()) << found.Error;
    EXPECT_EQ(Sorted(found.Rects), Reference(d, gap, minPixels));
    return found.Rects;
}

SpriteRect RectOf(const FrameData& f) { return {f.X, f.Y, f.Width, f.Height}; }

} // namespace

TEST(FindSprites, DrawnSheets) {
    const std::vector<std::string> hat = {"..#.....", "........", "........", ".###....", ".###...."};
    // Sprites on every edge of an odd width, in rows of those that overlap vertically, each left to right.
    const std::vector<std::string> rows = {".....##", "##...##", "##.....", ".......", "#..#..#"};
    const struct { const char* what; std::vector<std::string> art; int gap; int64_t minPixels; Rects expected; }
        cases[] = {
        {"corner to corner", {"##......", "##......", "..##....", "..##...."}, 0, 1, {{0, 0, 4, 4}}},
        {"a stem splitting", {"...#....", "..#.#...", ".#...#..", "#.....#."}, 0, 1, {{0, 0, 7, 4}}},
        {"a hat within the gap", hat, 2, 1, {{1, 0, 3, 5}}},
        {"a hat beyond the gap", hat, 1, 1, {{2, 0, 1, 1}, {1, 3, 3, 2}}},
        {"speck goes, hat stays", {"..#...#", ".......", ".###...", ".###..."}, 1, 4, {{1, 0, 3, 4}}},
        {"one bit off the mask", {"........m..........."}, 0, 1, {{8, 0, 1, 1}}},
        {"filling the sheet", {"#########ab", "cdefghijklm"}, 0, 1, {{0, 0, 11, 2}}},
        {"no sprite", {"...........", "..........."}, 5, 1, {}},
        {"rows, edges", rows, 0, 1, {{0, 1, 2, 2}, {5, 0, 2, 2}, {0, 4, 1, 1}, {3, 4, 1, 1}, {6, 4, 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Found(Drawn(c.art), c.gap, c.minPixels), c.expected);
    }
}

TEST(FindSprites, MergesUntilStableLikeTheObviousWay) {
    // The tall box and the bar join first; only the joined box reaches the
    // small one at the top left, which the sweep has long passed by then.
    EXPECT_EQ(Found(Boxes(24, 22, {{0, 0, 2, 2}, {20, 0, 2, 21}, {3, 20, 16, 2}}), 1, 1), (Rects{{0, 0, 22, 22}}));
    EXPECT_EQ(Found(Boxes(40, 4, {{0, 0, 3, 3}, {6, 1, 3, 3}, {12, 0, 3, 3}, {18, 1, 3, 3}, {30, 0, 3, 3}}), 3, 1),
              (Rects{{0, 0, 21, 4}, {30, 0, 3, 3}})); // each box near only the next
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
        const unsigned density = 2 + rng() % 30; // percent
        std::vector<std::string> art(h, std::string(w, '.'));
        for (auto& row : art)
            for (char& c : row)
                if (rng() % 100 < density) c = "#ab"[rng() % 3];
        const int gap = static_cast<int>(rng() % 4);
        SCOPED_TRACE(round);
        Found(Drawn(art), gap, rng() % 6);
    }
}

TEST(FindSprites, SearchesOnlyTheAreaClippedToTheSheetAndRefusesNoise) {
    const Drawn d = Boxes(20, 10, {{1, 1, 4, 4}, {12, 2, 6, 6}});
    const std::pair<SpriteRect, Rects> cases[] = {{{-5, -5, 100, 100}, {{1, 1, 4, 4}, {12, 2, 6, 6}}},
        {{3, 0, 11, 5}, {{3, 1, 2, 4}, {12, 2, 2, 3}}}, {{6, 0, 5, 10}, {}}, {{20, 0, 5, 5}, {}}, {{0, 0, 0, 10}, {}}};
    for (const auto& [area, expected] : cases) EXPECT_EQ(FindSprites(d.View, Magenta, area, 0, 1).Rects, expected);
    // No pixels at all, or a stride too short for the width: nothing, no read.
    EXPECT_TRUE(FindSprites(SheetPixels(), Magenta, {0, 0, 9, 9}, 0, 1).Rects.empty());
    EXPECT_TRUE(FindSprites(SheetPixels(d.Bytes.data(), 20, 10, 59), Magenta, d.All(), 0, 1).Rects.empty());
    EXPECT_TRUE(FindSprites(cBitMap(), Magenta, {0, 0, 9, 9}, 0, 1).Rects.empty());
    // Isolated pixels on every other column of every other row pass the group limit.
    std::vector<std::string> art(2050, std::string(2050, '.'));
    for (size_t y = 0; y < art.size(); y += 2)
        for (size_t x = 0; x < art.size(); x += 2) art[y][x] = '#';
    const Drawn noise(art);
    const SpriteRects found = FindSprites(noise.View, Magenta, noise.All(), 0, 1);
    EXPECT_TRUE(found.Rects.empty() && found.Error.find("mask colour") != std::string::npos) << found.Error;
}

TEST(SpritesTrimRect, SmallestRectangleHoldingTheSpritePixels) {
    const Drawn d({"...................", "....#..............", "..........a........", "...................",
                   "..#...............#"});
    // Clipped to the sheet first; only mask colour; the last pixel of the buffer; nothing of the sheet.
    const std::pair<SpriteRect, SpriteRect> cases[] = {
        {d.All(), {2, 1, 17, 4}}, {{3, 0, 10, 3}, {4, 1, 7, 2}}, {{-4, -4, 9, 9}, {2, 1, 3, 4}}, {{11, 0, 8, 4}, {}},
        {{18, 4, 5, 5}, {18, 4, 1, 1}}, {{0, 0, 0, 5}, {}}, {{30, 0, 5, 5}, {}}};
    for (const auto& [rect, expected] : cases) EXPECT_EQ(TrimRect(d.View, Magenta, rect), expected);
}

TEST(SpritesGridCells, OffsetGapCountsAndEmptyCells) {
    // 3 x 2 cells of 4 x 3, a gap of 1 x 2 after an offset of 2 x 1; sprite pixels in cells 0, 2 and 4 only.
    const Drawn d = Boxes(17, 10, {{2, 1, 1, 1}, {13, 2, 1, 1}, {8, 7, 1, 1}});
    const auto cell = [](int c, int r) { return SpriteRect{2 + 5 * c, 1 + 5 * r, 4, 3}; };
    const Rects all = {cell(0, 0), cell(1, 0), cell(2, 0), cell(0, 1), cell(1, 1), cell(2, 1)};
    const struct { GridSpec grid; bool skip; Rects expected; } cases[] = {
        {{4, 3, 2, 1, 1, 2, 0, 0}, false, all}, {{4, 3, 2, 1, 1, 2, 3, 2}, false, all},
        {{4, 3, 2, 1, 1, 2, 2, 1}, false, {cell(0, 0), cell(1, 0)}},
        {{4, 3, 2, 1, 1, 2, 0, 0}, true, {cell(0, 0), cell(2, 0), cell(1, 1)}},
        {{17, 10, 0, 0, 0, 0, 0, 0}, false, {{0, 0, 17, 10}}}, {{1, 1, 16, 9, 0, 0, 0, 0}, false, {{16, 9, 1, 1}}}};
    for (const auto& c : cases) {
        const SpriteRects got = GridCells(d.View, Magenta, c.grid, c.skip);
        EXPECT_EQ(std::pair(got.Rects, got.Error), std::pair(c.expected, std::string()));
    }
    const GridSpec refused[] = {{0, 3, 0, 0, 0, 0, 0, 0}, {4, 3, -1, 0, 0, 0, 0, 0}, {4, 3, 0, 0, 0, -2, 0, 0},
        {4, 3, 2, 1, 1, 2, 4, 0}, {4, 3, 2, 1, 1, 2, 0, 3}, {18, 3, 0, 0, 0, 0, 0, 0}, {4, 3, 14, 0, 0, 0, 0, 0},
        {1, 1, 0, 0, 0, 0, 1 << 11, 1 << 10}};
    for (const GridSpec& g : refused) {
        const SpriteRects got = GridCells(d.View, Magenta, g, false);
        EXPECT_TRUE(got.Rects.empty() && !got.Error.empty()) << g.CellWidth << " " << g.Columns;
    }
    // A million cells fit on a large enough sheet; over that is refused before allocating.
    const std::vector<uint8_t> big(3u * 1100 * 1100);
    EXPECT_FALSE(GridCells(SheetPixels(big.data(), 1100, 1100, 3300), 0, {1, 1}, false).Error.empty());
}

TEST(SpritesFrames, TrimmedGridRowKeepsOneAnchorOnTheSheet) {
    // Four 10 x 12 cells whose figures differ in size and place; the last, empty, keeps its whole rectangle.
    const Drawn d = Boxes(40, 12, {{3, 2, 1, 9}, {12, 5, 1, 7}, {16, 5, 1, 7}, {21, 1, 1, 1}, {29, 0, 1, 1}});
    const Rects cells = {{0, 0, 10, 12}, {10, 0, 10, 12}, {20, 0, 10, 12}, {30, 0, 10, 12}};
    for (HotSpotRule rule : {HotSpotRule::BottomCentre, HotSpotRule::Centre, HotSpotRule::TopLeft}) {
        const std::vector<FrameData> f = TrimmedCellFrames(d.View, Magenta, cells, rule, 50);
        ASSERT_EQ(f.size(), 4u);
        EXPECT_EQ((Rects{RectOf(f[0]), RectOf(f[1]), RectOf(f[2]), RectOf(f[3])}),
                  (Rects{{3, 2, 1, 9}, {12, 5, 5, 7}, {21, 0, 9, 2}, cells[3]}));
        EXPECT_EQ(f[3], MakeFrame(cells[3], rule, 50));
        int x = 0, y = 0;
        DefaultHotSpot(cells[0], rule, x, y);
        for (size_t i = 0; i < f.size(); ++i)
            EXPECT_EQ(std::pair(f[i].X + f[i].HotSpotX, f[i].Y + f[i].HotSpotY), std::pair(cells[i].X + x, y));
    }
}

TEST(SpritesFrames, MovingARectangleOfAnEmptyOrHostileFrame) {
    FrameData empty{.HotSpotX = 99}; // without a rectangle: the rule's hot spot of the new one
    MoveFrameRect(empty, {4, 4, 9, 9}, HotSpotRule::Centre);
    EXPECT_EQ(std::pair(empty.HotSpotX, empty.HotSpotY), std::pair(4, 4));
    FrameData wild{.X = INT32_MAX - 1, .Height = 1, .Width = 1, .HotSpotX = INT32_MAX}; // saturates, no overflow
    MoveFrameRect(wild, {-5, 0, 1, 1}, HotSpotRule::TopLeft);
    EXPECT_EQ(wild.HotSpotX, INT32_MAX);
}

// The mask colour is passed eight pixels at a time and then one at a time up
// to the end of the area: a lone sprite pixel (one bit off the mask colour) is
// found wherever it falls against those steps, from any start.
TEST(SpritesTrimRect, FindsALonePixelAtEveryPositionOfEveryRowLength) {
    for (int w = 1; w <= 40; ++w)
        for (int x = 0; x < w; ++x) {
            std::vector<std::string> art(2, std::string(w, '.'));
            art[1][x] = 'm';
            const Drawn d(art);
            const SpriteRect lone{x, 1, 1, 1};
            for (int start = 0; start <= x; ++start)
                for (int end : {x + 1, w})
                    ASSERT_EQ(TrimRect(d.View, Magenta, {start, 0, end - start, 2}), lone)
                        << w << " " << start;
            EXPECT_EQ(TrimRect(d.View, Magenta, {0, 0, x, 2}), SpriteRect{});
            EXPECT_EQ(FindSprites(d.View, Magenta, d.All(), 0, 1).Rects, Rects{lone});
        }
}

TEST(FindSprites, LongSearchesReportByRowsAndStopWhenAsked) {
    // 600 rows of sprites: the scan reports every 256 rows and once at the end.
    std::vector<std::string> art(600, std::string(40, '.'));
    for (size_t y = 0; y < art.size(); y += 10) art[y].replace(4, 6, 6, '#');
    const Drawn d(art);
    for (bool grid : {false, true}) {
        std::vector<double> seen;
        const auto search = [&](const Progress& p) {
            return grid ? GridCells(d.View, Magenta, {40, 10, 0, 0, 0, 0, 0, 0}, true, p)
                        : FindSprites(d.View, Magenta, d.All(), 0, 1, p);
        };
        const SpriteRects all = search(Progress([&](double v) { return seen.push_back(v), true; }));
        EXPECT_TRUE(all.Rects.size() == 60u && !all.Cancelled) << grid;
        EXPECT_TRUE(seen.size() >= 3 && std::ranges::is_sorted(seen) && seen.back() == 1.0) << grid;
        for (size_t stopAt : {size_t{1}, seen.size() - 1}) {
            size_t calls = 0;
            const SpriteRects stopped = search(Progress([&](double) { return ++calls < stopAt; }));
            EXPECT_TRUE(stopped.Cancelled && stopped.Rects.empty() && stopped.Error.empty()) << grid << stopAt;
        }
    }
}

// ---- grids found on the sheet ------------------------------------------------

namespace {

// A sheet of cols x rows cells of cw x ch drawn as text after a margin of mx x my
// mask pixels: separator lines `line` pixels wide of 'L' between the cells (and
// round them with border), and in each cell what cell(c, r, x, y) draws (x, y
// inside the cell; '.' leaves it mask colour).
using CellArt = std::function<char(int c, int r, int x, int y)>;
std::vector<std::string> GridArt(int cols, int rows, int cw, int ch, int line, int mx, int my, bool border,
                                 const CellArt& cell) {
    const int b = border ? line : 0;
    const int w = mx + 2 * b + cols * cw + (cols - 1) * line + 3, h = my + 2 * b + rows * ch + (rows - 1) * line + 2;
    std::vector<std::string> art(h, std::string(w, '.'));
    const int right = mx + 2 * b + cols * cw + (cols - 1) * line, bottom = my + 2 * b + rows * ch + (rows - 1) * line;
    for (int y = my; y < bottom; ++y)
        for (int x = mx; x < right; ++x) {
            const int ix = x - mx - b, iy = y - my - b;
            const int c = ix < 0 ? -1 : ix / (cw + line), r = iy < 0 ? -1 : iy / (ch + line);
            const int cx = ix - c * (cw + line), cy = iy - r * (ch + line);
            if (ix < 0 || iy < 0 || c >= cols || r >= rows || cx >= cw || cy >= ch)
                art[y][x] = line ? 'L' : '.';
            else
                art[y][x] = cell(c, r, cx, cy);
        }
    return art;
}

// A figure of its own in every cell: an oval of shaded colours with an outline
// in the line colour and (with stroke) a stroke of it down the middle, lined
// up from cell to cell; every emptyEvery-th cell left empty.
CellArt Figures(int cw, int ch, unsigned variant, int emptyEvery = 5, bool stroke = true) {
    return [=](int c, int r, int x, int y) {
        const unsigned k = (variant + static_cast<unsigned>(c * 31 + r * 17)) * 2654435761u;
        if (emptyEvery && (c + 3 * r) % emptyEvery == emptyEvery - 1) return '.';
        const double rx = cw / 2.0 - 1 - (k >> 8) % 3, ry = ch / 2.0 - 1 - (k >> 12) % 3;
        const double dx = (x + 0.5 - cw / 2.0) / rx, dy = (y + 0.5 - ch / 2.0) / ry, d = dx * dx + dy * dy;
        if (d > 1) return '.';
        if (d > 0.7 || (stroke && x == cw / 2)) return 'L';
        return "abcdefgh"[(x * 3 + y * 5 + k) % 8];
    };
}

std::string Detected(const std::vector<std::string>& art, SpriteRect area = {0, 0, 1 << 20, 1 << 20}) {
    const Drawn d(art);
    const GridFound g = DetectGrid(d.View, Magenta, area);
    return g.Error.empty() ? GridText(g.Grid) : "none";
}

} // namespace

TEST(SpritesDetectGrid, SeparatorLinesOfOneAndTwoPixelsWithMarginsAndCellsNotSquare) {
    const struct { const char* what; int cols, rows, cw, ch, line, mx, my; bool border; const char* grid; } cases[] = {
        {"2-pixel lines, no margin", 6, 4, 20, 14, 2, 0, 0, false, "20x14+0+0,2x2"},
        {"1-pixel lines", 7, 3, 11, 16, 1, 0, 0, false, "11x16+0+0,1x1"},
        {"a margin before the first cell", 5, 3, 12, 9, 2, 5, 3, false, "12x9+5+3,2x2"},
        {"a border round the cells", 4, 4, 10, 13, 1, 0, 0, true, "10x13+1+1,1x1"},
        {"a margin and a border", 4, 3, 17, 10, 2, 3, 6, true, "17x10+5+8,2x2"},
        {"4-pixel lines", 3, 5, 15, 8, 4, 0, 0, false, "15x8+0+0,4x4"},
        {"two rows, one line between", 8, 2, 24, 24, 2, 0, 0, false, "24x24+0+0,2x2"},
    };
    for (const auto& c : cases)
        for (unsigned variant : {1u, 7u, 12u}) {
            SCOPED_TRACE(std::string(c.what) + " variant " + std::to_string(variant));
            EXPECT_EQ(Detected(GridArt(c.cols, c.rows, c.cw, c.ch, c.line, c.mx, c.my, c.border,
                                       Figures(c.cw, c.ch, variant))),
                      c.grid);
        }
}

TEST(SpritesDetectGrid, LinesInterruptedByWideCellsUnusedAreasAndSpritesTouchingThem) {
    constexpr int cw = 16, ch = 12;
    const CellArt figure = Figures(cw, ch, 3, 0);
    // Row 1: cells 4 to 6 unused, painted flat in one colour over the lines
    // between them; row 2: cells 1 and 2 one wide figure across their line;
    // row 0: every other figure filling its cell up to the lines, the first
    // touching the left one in the line colour.
    std::vector<std::string> art = GridArt(7, 3, cw, ch, 2, 0, 0, false, [&](int c, int r, int x, int y) {
        if (r == 0 && c % 2 == 0) return c == 0 && x == 0 ? 'L' : 'a';
        return figure(c, r, x, y);
    });
    for (int y = ch + 2; y < 2 * ch + 2; ++y)
        for (int x = 4 * (cw + 2); x < 7 * cw + 12; ++x) art[y][x] = 'F';
    for (int y = 2 * (ch + 2) + 2; y < 3 * ch + 4 - 2; ++y)
        for (int x = cw + 2 + 3; x < 3 * cw + 4 - 3; ++x) art[y][x] = 'b';
    EXPECT_EQ(Detected(art), "16x12+0+0,2x2");
    // The flat area in the line colour itself.
    for (auto& row : art) std::ranges::replace(row, 'F', 'L');
    EXPECT_EQ(Detected(art), "16x12+0+0,2x2");
}

TEST(SpritesDetectGrid, GuttersOfMaskColourWhereThereAreNoLines) {
    // 5 x 3 cells of 18 x 13 without lines: figures with space round them,
    // one touching its cell's left edge, another its bottom edge.
    const CellArt figure = Figures(18, 13, 5, 0, false);
    const auto art = GridArt(5, 3, 18, 13, 0, 0, 0, false, [&](int c, int r, int x, int y) {
        if (c == 2 && r == 1 && x == 0 && y > 3 && y < 9) return 'a';
        if (c == 4 && r == 0 && y == 12 && x > 5 && x < 12) return 'b';
        return figure(c, r, x, y);
    });
    // The art is 3 columns and 2 rows wider than the cells: left over, not a cell.
    EXPECT_EQ(Detected(art), "18x13+0+0,0x0");
    // Figures in flat bands of colour, as pixel art is shaded, each holding a
    // staff: the staff's columns continue their colours nearly all the way
    // down, standing out like lines, but in many colours.
    const auto banded = GridArt(6, 2, 20, 30, 0, 0, 0, false, [](int c, int, int x, int y) {
        if ((x == 9 || x == 10) && y > 0 && y < 29) return "efgh"[y / 8];
        if (x < 4 + c % 2 || x > 15 || y < 6 || y > 27) return '.';
        return "abcd"[y / 7];
    });
    EXPECT_EQ(Detected(banded), "20x30+0+0,0x0");
    // Lines round opaque cells, the mask colour taken from a corner on the
    // border line: the lines are gutters of one width, and the gap.
    auto boxed = GridArt(4, 3, 14, 10, 2, 0, 0, true, [](int c, int r, int x, int y) {
        return x > 3 && x < 10 + c % 3 && y > 2 + r && y < 9 ? 'b' : 'a';
    });
    boxed.resize(boxed.size() - 2);
    for (auto& row : boxed) row.resize(row.size() - 3);
    const Drawn boxedSheet(boxed);
    const GridFound lined = DetectGrid(boxedSheet.View, 0x00103070 + 'L' * 0x010203, boxedSheet.All());
    EXPECT_EQ(lined.Error.empty() ? GridText(lined.Grid) : lined.Error, "14x10+2+2,2x2");
    // A single row of figures: one cell down the whole height.
    const auto strip = GridArt(6, 1, 14, 20, 0, 0, 0, false, Figures(14, 20, 2, 0, false));
    EXPECT_EQ(Detected(strip), "14x22+0+0,0x0");
}

TEST(SpritesDetectGrid, RefusesSheetsWithoutAGridAndSearchesOnlyTheArea) {
    // Figures of many sizes scattered so that no period separates them.
    const Drawn scattered = Boxes(90, 60, {{2, 3, 30, 9}, {20, 15, 40, 11}, {5, 30, 12, 25}, {50, 28, 35, 6},
                                           {30, 40, 22, 18}, {70, 2, 15, 20}});
    const Drawn blank = Boxes(40, 30, {});
    for (const Drawn* d : {&scattered, &blank}) {
        const GridFound g = DetectGrid(d->View, Magenta, d->All());
        EXPECT_TRUE(g.Error.starts_with("No regular grid was found") && !g.Cancelled) << g.Error;
    }
    EXPECT_FALSE(DetectGrid(SheetPixels(), Magenta, {0, 0, 9, 9}).Error.empty());
    EXPECT_FALSE(DetectGrid(blank.View, Magenta, {40, 0, 5, 5}).Error.empty());
    // Offsets count from the area's corner: the area starts 3 pixels into the first cell.
    const auto art = GridArt(6, 4, 20, 14, 2, 0, 0, false, Figures(20, 14, 9));
    EXPECT_EQ(Detected(art, {3, 16, 200, 200}), "20x14+19+0,2x2");
    // Stopped through its progress: no grid, no error.
    const Drawn d(art);
    const GridFound stopped = DetectGrid(d.View, Magenta, d.All(), Progress([](double) { return false; }));
    EXPECT_TRUE(stopped.Cancelled && stopped.Error.empty());
}

TEST(SpritesGridCells, CellsOfOneColourAreEmptyAsTheEyeSeesThem) {
    // Cells of 3 x 2: mask only, painted flat, painted flat but for one pixel, the line colour, a figure.
    const Drawn d({"...FFFFFFLLLab.", "...FFFFFbLLL.a."});
    const SpriteRects got = GridCells(d.View, Magenta, {3, 2, 0, 0, 0, 0, 0, 0}, true);
    EXPECT_EQ(got.Rects, (Rects{{6, 0, 3, 2}, {12, 0, 3, 2}}));
}

TEST(SpritesRows, RowLengthsOfGridsAndOfSpritesInReadingOrder) {
    // Grid cells: rows by their top; a row left out entirely is no row.
    EXPECT_EQ(RowLengths({{0, 0, 4, 4}, {5, 0, 4, 4}, {5, 10, 4, 4}, {0, 20, 4, 4}, {5, 20, 4, 4}}),
              (std::vector<size_t>{2, 1, 2}));
    EXPECT_TRUE(RowLengths({}).empty());
    // Sprites: a row goes on while a sprite starts within the rows of those before it.
    const Drawn d = Boxes(30, 20, {{0, 2, 3, 6}, {5, 0, 3, 3}, {10, 7, 3, 3}, {1, 11, 3, 3}, {15, 12, 5, 8}});
    const SpriteRects found = FindSprites(d.View, Magenta, d.All(), 0, 1);
    EXPECT_EQ(RowLengths(found.Rects), (std::vector<size_t>{3, 2}));
}

TEST(SpritesFrames, AddDirectionsOneARowFillingAPlaceholderFirst) {
    const auto frame = [](int i) { return FrameData{i, 0, 1, 1, {0, 0}, 1, 0, 0}; };
    std::vector<FrameData> frames;
    for (int i = 0; i < 5; ++i) frames.push_back(frame(i));
    std::string error;
    ActionData fresh = SpriteProject::NewAction();
    fresh.Directions[0].Name = "kept";
    ASSERT_TRUE(AddDirections(fresh, frames, {2, 0, 3}, error)) << error;
    ASSERT_EQ(fresh.Directions.size(), 2u);
    EXPECT_EQ(fresh.DirUBound, 1);
    EXPECT_EQ(fresh.Directions[0].Frames, (std::vector<FrameData>{frame(0), frame(1)}));
    EXPECT_EQ(std::tuple(fresh.Directions[0].Name, fresh.Directions[1].Name, fresh.Directions[1].FrameUBound),
              std::tuple(std::string("kept"), std::string(), int16_t{2}));
    // Directions with frames stay; the new ones follow them.
    ActionData used = fresh;
    ASSERT_TRUE(AddDirections(used, frames, {5}, error));
    EXPECT_TRUE(used.Directions.size() == 3u && used.Directions[2].Frames == frames && used.DirUBound == 2);
    // Refused: rows that do not add up, a row past the direction limit, an action past its limit.
    ActionData full = SpriteProject::NewAction();
    full.Directions.assign(MaxActionDirections - 1, used.Directions[0]);
    for (const auto& [rows, list] : {std::pair(std::vector<size_t>{2, 2}, frames),
                                     std::pair(std::vector<size_t>{MaxDirectionFrames + 1},
                                               std::vector<FrameData>(MaxDirectionFrames + 1)),
                                     std::pair(std::vector<size_t>{1, 4}, frames)}) {
        ActionData a = rows.size() == 2 && rows[0] == 1 ? full : used;
        const ActionData before = a;
        error.clear();
        EXPECT_FALSE(AddDirections(a, list, rows, error));
        EXPECT_TRUE(!error.empty() && a.Directions.size() == before.Directions.size()) << error;
    }
}
// Sheets of every make: 2 to 8 columns and 2 to 5 rows of cells from 8 to 47
// pixels, lines 1 to 4 wide, margins, borders, figures with or without a
// stroke of the line colour down their middles, every fourth cell empty.
TEST(SpritesDetectGrid, FindsTheGridOfManyDrawnSheets) {
    std::mt19937 rng(5);
    for (int round = 0; round < 150; ++round) {
        const int cols = 2 + rng() % 7, rows = 2 + rng() % 4, cw = 8 + rng() % 40, ch = 8 + rng() % 40;
        const int line = 1 + rng() % 4, mx = rng() % 2 ? 0 : rng() % 9, my = rng() % 2 ? 0 : rng() % 9;
        const bool border = rng() % 2, stroke = rng() % 2;
        const unsigned variant = rng();
        const int b = border ? line : 0;
        const std::string want = std::to_string(cw) + "x" + std::to_string(ch) + "+" + std::to_string(mx + b) + "+" +
                                 std::to_string(my + b) + "," + std::to_string(line) + "x" + std::to_string(line);
        EXPECT_EQ(Detected(GridArt(cols, rows, cw, ch, line, mx, my, border, Figures(cw, ch, variant, 4, stroke))), want)
            << cols << " x " << rows << (border ? " border" : "") << (stroke ? " stroke" : "");
    }
}
