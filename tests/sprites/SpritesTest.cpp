#include <gtest/gtest.h>

#include <algorithm>
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
                const auto color = static_cast<uint32_t>(c == '.'   ? Magenta
                                                         : c == 'm' ? Magenta ^ 0x010000
                                                                    : 0x00103070 + c * 0x010203);
                uint8_t* p = Bytes.data() + static_cast<size_t>(h - 1 - y) * stride + 3 * x;
                p[0] = static_cast<uint8_t>(color >> 16);
                p[1] = static_cast<uint8_t>(color >> 8);
                p[2] = static_cast<uint8_t>(color);
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
        for (int y = r.Y; y < r.Y + r.Height; ++y)
            for (int x = r.X; x < r.X + r.Width; ++x)
                art[y][x] = '#';
    return Drawn(art);
}

using Rects = std::vector<SpriteRect>;

Rects Sorted(Rects r) {
    std::sort(r.begin(), r.end(), [](const SpriteRect& a, const SpriteRect& b) {
        return std::tuple(a.Y, a.X, a.Width, a.Height) < std::tuple(b.Y, b.X, b.Width, b.Height);
    });
    return r;
}

// The obvious way, for comparison: flood fill, merge pairs until none is
// close, drop the small ones. Sorted, not in reading order.
Rects Reference(const Drawn& d, int gap, int64_t minPixels) {
    const int w = d.View.Width, h = d.View.Height;
    struct B {
        int x0, y0, x1, y1;
        int64_t n;
    };
    std::vector<B> boxes;
    std::vector<uint8_t> seen(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (d.Art[y][x] == '.' || seen[y * w + x]) continue;
            B b{x, y, x, y, 0};
            std::vector<std::pair<int, int>> stack{{x, y}};
            seen[y * w + x] = 1;
            while (!stack.empty()) {
                auto [px, py] = stack.back();
                stack.pop_back();
                b = {std::min(b.x0, px), std::min(b.y0, py), std::max(b.x1, px), std::max(b.y1, py), b.n + 1};
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = px + dx, ny = py + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h || d.Art[ny][nx] == '.' ||
                            seen[ny * w + nx])
                            continue;
                        seen[ny * w + nx] = 1;
                        stack.push_back({nx, ny});
                    }
            }
            boxes.push_back(b);
        }
    for (bool again = true; again;) {
        again = false;
        for (size_t i = 0; i < boxes.size() && !again; ++i)
            for (size_t j = i + 1; j < boxes.size() && !again; ++j) {
                B& a = boxes[i];
                const B& b = boxes[j];
                const int dx = std::max({b.x0 - a.x1 - 1, a.x0 - b.x1 - 1, 0});
                const int dy = std::max({b.y0 - a.y1 - 1, a.y0 - b.y1 - 1, 0});
                if (std::max(dx, dy) > gap) continue;
                a = {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1),
                     a.n + b.n};
                boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                again = true;
            }
    }
    std::erase_if(boxes, [&](const B& b) { return b.n < minPixels; });
    Rects out;
    for (const B& b : boxes)
        out.push_back({b.x0, b.y0, b.x1 - b.x0 + 1, b.y1 - b.y0 + 1});
    return Sorted(out);
}

} // namespace

TEST(FindSprites, DrawnSheets) {
    const struct {
        const char* what;
        std::vector<std::string> art;
        int gap;
        int64_t minPixels;
        Rects expected;
    } cases[] = {
        {"touching only at a corner", {"##......", "##......", "..##....", "..##...."}, 0, 1, {{0, 0, 4, 4}}},
        {"two arms joined further down", {"#.....#.", "#.....#.", "#######."}, 0, 1, {{0, 0, 7, 3}}},
        {"one stem splitting in two", {"...#....", "..#.#...", ".#...#..", "#.....#."}, 0, 1, {{0, 0, 7, 4}}},
        {"apart by one column, no gap allowed", {"##.##...", "##.##..."}, 0, 1, {{0, 0, 2, 2}, {3, 0, 2, 2}}},
        {"a hat within the gap",
         {"..#.....", "........", "........", ".###....", ".###...."},
         2,
         1,
         {{1, 0, 3, 5}}},
        {"a hat just beyond the gap",
         {"..#.....", "........", "........", ".###....", ".###...."},
         1,
         1,
         {{2, 0, 1, 1}, {1, 3, 3, 2}}},
        {"a lone speck under the minimum goes, a hat of one pixel stays",
         {"..#......#", "..........", ".###......", ".###......"},
         1,
         4,
         {{1, 0, 3, 4}}},
        {"sprites on every edge of an odd-width sheet",
         {"#........#.......##", "...................", "...................", "#.................#"},
         0,
         1,
         {{0, 0, 1, 1}, {9, 0, 1, 1}, {17, 0, 2, 1}, {0, 3, 1, 1}, {18, 3, 1, 1}}},
        {"a ring with a hole of mask colour",
         {".........", ".#####...", ".#...#...", ".#...#...", ".#####..."},
         0,
         1,
         {{1, 1, 5, 4}}},
        {"a colour one bit from the mask is a sprite", {"........m..........."}, 0, 1, {{8, 0, 1, 1}}},
        {"one sprite filling the sheet", {"#########ab", "cdefghijklm"}, 0, 1, {{0, 0, 11, 2}}},
        {"no sprite", {"...........", "..........."}, 5, 1, {}},
        {"rows by vertical overlap, each left to right",
         {"..........##..", "##........##..", "##............", "..............", "....##........"},
         0,
         1,
         {{0, 1, 2, 2}, {10, 0, 2, 2}, {4, 4, 2, 1}}},
    };
    for (const auto& c : cases) {
        const Drawn d(c.art);
        const SpriteRects found = FindSprites(d.View, Magenta, d.All(), c.gap, c.minPixels);
        EXPECT_TRUE(found.Error.empty()) << c.what;
        EXPECT_EQ(found.Rects, c.expected) << c.what;
        EXPECT_EQ(Sorted(found.Rects), Reference(d, c.gap, c.minPixels)) << c.what;
    }
}

TEST(FindSprites, MergesUntilStableEvenWhenAGrownSpriteReachesAnEarlierOne) {
    // The tall box and the bar join first; only the joined box reaches the
    // small one at the top left, which the sweep has long passed by then.
    const Drawn d = Boxes(24, 22, {{0, 0, 2, 2}, {20, 0, 2, 21}, {3, 20, 16, 2}});
    EXPECT_EQ(FindSprites(d.View, Magenta, d.All(), 1, 1).Rects, (Rects{{0, 0, 22, 22}}));
    // A chain: each box near only the next.
    const Drawn chain =
        Boxes(40, 4, {{0, 0, 3, 3}, {6, 1, 3, 3}, {12, 0, 3, 3}, {18, 1, 3, 3}, {30, 0, 3, 3}});
    EXPECT_EQ(FindSprites(chain.View, Magenta, chain.All(), 3, 1).Rects,
              (Rects{{0, 0, 21, 4}, {30, 0, 3, 3}}));
}

TEST(FindSprites, AgreesWithFloodFillOnRandomSheets) {
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
        const unsigned density = 2 + rng() % 30; // percent
        std::vector<std::string> art(h, std::string(w, '.'));
        for (auto& row : art)
            for (char& c : row)
                if (rng() % 100 < density) c = "#ab"[rng() % 3];
        const Drawn d(art);
        const int gap = static_cast<int>(rng() % 4);
        const int64_t minPixels = rng() % 6;
        EXPECT_EQ(Sorted(FindSprites(d.View, Magenta, d.All(), gap, minPixels).Rects),
                  Reference(d, gap, minPixels))
            << "round " << round;
    }
}

TEST(FindSprites, SearchesOnlyTheAreaClippedToTheSheet) {
    const Drawn d = Boxes(20, 10, {{1, 1, 4, 4}, {12, 2, 6, 6}});
    const struct {
        SpriteRect area;
        Rects expected;
    } cases[] = {
        {{-5, -5, 100, 100}, {{1, 1, 4, 4}, {12, 2, 6, 6}}},
        {{3, 0, 11, 5}, {{3, 1, 2, 4}, {12, 2, 2, 3}}}, // both cut by the area
        {{6, 0, 5, 10}, {}},
        {{20, 0, 5, 5}, {}},
        {{0, 0, 0, 10}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindSprites(d.View, Magenta, c.area, 0, 1).Rects, c.expected);
    // No pixels at all, or a stride too short for the width: nothing, no read.
    EXPECT_TRUE(FindSprites(SheetPixels(), Magenta, {0, 0, 9, 9}, 0, 1).Rects.empty());
    EXPECT_TRUE(FindSprites(SheetPixels(d.Bytes.data(), 20, 10, 59), Magenta, d.All(), 0, 1).Rects.empty());
    EXPECT_TRUE(FindSprites(cBitMap(), Magenta, {0, 0, 9, 9}, 0, 1).Rects.empty());
}

TEST(FindSprites, RefusesNoiseBeyondTheGroupLimit) {
    // Isolated pixels on every other column of every other row.
    const int side = 2050;
    std::vector<std::string> art(side, std::string(side, '.'));
    for (int y = 0; y < side; y += 2)
        for (int x = 0; x < side; x += 2)
            art[y][x] = '#';
    const Drawn d(art);
    const SpriteRects found = FindSprites(d.View, Magenta, d.All(), 0, 1);
    EXPECT_TRUE(found.Rects.empty());
    EXPECT_NE(found.Error.find("mask colour"), std::string::npos) << found.Error;
}

TEST(SpritesTrimRect, SmallestRectangleHoldingTheSpritePixels) {
    const Drawn d({"...................", "....#..............", "..........a........", "...................",
                   "..#...............#"});
    const struct {
        SpriteRect rect;
        SpriteRect expected;
    } cases[] = {
        {d.All(), {2, 1, 17, 4}},
        {{3, 0, 10, 3}, {4, 1, 7, 2}},
        {{-4, -4, 9, 9}, {2, 1, 3, 4}}, // clipped to the sheet first
        {{11, 0, 8, 4}, {}},            // only mask colour
        {{18, 4, 5, 5}, {18, 4, 1, 1}}, // the last pixel of the buffer
        {{0, 0, 0, 5}, {}},
        {{30, 0, 5, 5}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrimRect(d.View, Magenta, c.rect), c.expected);
}

TEST(SpritesGridCells, OffsetGapCountsAndEmptyCells) {
    // 3 x 2 cells of 4 x 3 with a gap of 1 x 2 after an offset of 2 x 1; a sprite
    // pixel in cells 0, 2 and 4 only.
    std::vector<std::string> art(10, std::string(17, '.'));
    art[1][2] = art[2][13] = art[7][8] = '#';
    const Drawn d(art);
    const auto cell = [](int c, int r) { return SpriteRect{2 + 5 * c, 1 + 5 * r, 4, 3}; };
    const Rects all = {cell(0, 0), cell(1, 0), cell(2, 0), cell(0, 1), cell(1, 1), cell(2, 1)};
    const struct {
        GridSpec grid;
        bool skip;
        Rects expected;
    } cases[] = {
        {{4, 3, 2, 1, 1, 2, 0, 0}, false, all},
        {{4, 3, 2, 1, 1, 2, 3, 2}, false, all},
        {{4, 3, 2, 1, 1, 2, 2, 1}, false, {cell(0, 0), cell(1, 0)}},
        {{4, 3, 2, 1, 1, 2, 0, 0}, true, {cell(0, 0), cell(2, 0), cell(1, 1)}},
        {{17, 10, 0, 0, 0, 0, 0, 0}, false, {{0, 0, 17, 10}}},
        {{1, 1, 16, 9, 0, 0, 0, 0}, false, {{16, 9, 1, 1}}},
    };
    for (const auto& c : cases) {
        const SpriteRects got = GridCells(d.View, Magenta, c.grid, c.skip);
        EXPECT_TRUE(got.Error.empty()) << got.Error;
        EXPECT_EQ(got.Rects, c.expected);
    }
    const GridSpec refused[] = {
        {0, 3, 0, 0, 0, 0, 0, 0},  {4, 3, -1, 0, 0, 0, 0, 0},
        {4, 3, 0, 0, 0, -2, 0, 0}, {4, 3, 2, 1, 1, 2, 4, 0},
        {4, 3, 2, 1, 1, 2, 0, 3},  {18, 3, 0, 0, 0, 0, 0, 0},
        {4, 3, 14, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 1 << 11, 1 << 10},
    };
    for (const GridSpec& g : refused) {
        const SpriteRects got = GridCells(d.View, Magenta, g, false);
        EXPECT_TRUE(got.Rects.empty() && !got.Error.empty()) << g.CellWidth << " " << g.Columns;
    }
    // A million cells fit on a large enough sheet; over that is refused before allocating.
    const std::vector<uint8_t> big(3u * 1100 * 1100);
    EXPECT_FALSE(GridCells(SheetPixels(big.data(), 1100, 1100, 3300), 0, {1, 1}, false).Error.empty());
}

TEST(SpritesFrames, TrimmedGridRowKeepsOneAnchorOnTheSheet) {
    // Three 10 x 12 cells whose figures differ in size and place.
    std::vector<std::string> art(12, std::string(30, '.'));
    for (int y = 2; y < 11; ++y)
        art[y][3] = '#';
    for (int y = 5; y < 12; ++y)
        art[y][12] = art[y][16] = '#';
    art[0][29] = art[1][21] = '#';
    const Drawn d(art);
    const Rects cells = GridCells(d.View, Magenta, {10, 12}, false).Rects;
    ASSERT_EQ(cells.size(), 3u);
    for (HotSpotRule rule : {HotSpotRule::BottomCentre, HotSpotRule::Centre, HotSpotRule::TopLeft}) {
        const std::vector<FrameData> frames = TrimmedCellFrames(d.View, Magenta, cells, rule, 50);
        ASSERT_EQ(frames.size(), 3u);
        int x = 0, y = 0;
        DefaultHotSpot(cells[0], rule, x, y);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frames[i].X + frames[i].HotSpotX, cells[i].X + x);
            EXPECT_EQ(frames[i].Y + frames[i].HotSpotY, y);
        }
    }
    const std::vector<FrameData> f = TrimmedCellFrames(d.View, Magenta, cells, HotSpotRule::BottomCentre, 50);
    EXPECT_EQ((Rects{{f[0].X, f[0].Y, f[0].Width, f[0].Height},
                     {f[1].X, f[1].Y, f[1].Width, f[1].Height},
                     {f[2].X, f[2].Y, f[2].Width, f[2].Height}}),
              (Rects{{3, 2, 1, 9}, {12, 5, 5, 7}, {21, 0, 9, 2}}));
    // A cell without a sprite pixel keeps its whole rectangle.
    const Drawn blank = Boxes(10, 12, {});
    EXPECT_EQ(TrimmedCellFrames(blank.View, Magenta, {{0, 0, 10, 12}}, HotSpotRule::TopLeft, 1)[0],
              MakeFrame({0, 0, 10, 12}, HotSpotRule::TopLeft, 1));
}

TEST(SpritesFrames, MovingARectangleKeepsTheHotSpotPixel) {
    FrameData f = MakeFrame({100, 200, 32, 48}, HotSpotRule::BottomCentre, 7);
    MoveFrameRect(f, {104, 190, 20, 40}, HotSpotRule::TopLeft);
    EXPECT_EQ(std::vector<int>({f.X, f.Y, f.Width, f.Height, f.HotSpotX, f.HotSpotY, f.Delay}),
              std::vector<int>({104, 190, 20, 40, 11, 57, 7}));
    // A frame without a rectangle takes the rule's hot spot of the new one.
    FrameData empty;
    empty.HotSpotX = 99;
    MoveFrameRect(empty, {4, 4, 9, 9}, HotSpotRule::Centre);
    EXPECT_EQ(std::pair(empty.HotSpotX, empty.HotSpotY), std::pair(4, 4));
    // Values from a hostile file saturate instead of overflowing.
    FrameData wild = MakeFrame({INT32_MAX - 1, 0, 1, 1}, HotSpotRule::TopLeft, 0);
    wild.HotSpotX = INT32_MAX;
    MoveFrameRect(wild, {-5, 0, 1, 1}, HotSpotRule::TopLeft);
    EXPECT_EQ(wild.HotSpotX, INT32_MAX);
}

TEST(SpritesFrames, DirectionsHoldAtMost32768Frames) {
    DirectionData d = SpriteProject::NewDirection();
    std::string error;
    const std::vector<FrameData> none, some(32767, MakeFrame({1, 1, 2, 2}, HotSpotRule::TopLeft, 1));
    ASSERT_TRUE(AddFrames(d, none, error));
    EXPECT_EQ(d.Frames.size(), 1u); // nothing added: the blank frame stays
    ASSERT_TRUE(AddFrames(d, some, error));
    EXPECT_EQ(std::pair(d.Frames.size(), int{d.FrameUBound}), std::pair(size_t{32767}, 32766));
    ASSERT_TRUE(AddFrames(d, {some[0]}, error));
    EXPECT_EQ(d.FrameUBound, 32767);
    const DirectionData full = d;
    EXPECT_FALSE(AddFrames(d, {some[0]}, error));
    EXPECT_NE(error.find("32,768"), std::string::npos) << error;
    EXPECT_EQ(d.Frames, full.Frames);
    EXPECT_EQ(d.FrameUBound, full.FrameUBound);
}
