#pragma once
// Onion skin on the zoom view: the frames around the current one of its
// direction, tinted (red before it, blue after it) and translucent, each
// shifted so that its hot spot lands on the current frame's hot spot. What is
// worked out here needs no window: which sheet pixels go where, and how a
// sprite pixel mixes with the view pixel under it. Nothing is stored; the
// layers are drawn over the magnified sheet and thrown away with it. The two
// frames at one distance are laid as one, farthest distance first.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "project/SpriteProject.h"

namespace Onion {

// Frames shown on each side of the current one, at most.
constexpr int MaxDepth = 2;

// Sheet pixels: columns X .. X + Width - 1, rows Y .. Y + Height - 1.
struct Area {
    int64_t X = 0, Y = 0, Width = 0, Height = 0;
};

// One neighbouring frame to draw: the part of its rectangle that lies on the
// sheet and lands in the visible area, and the shift that takes it there.
struct Layer {
    int Frame = 0;        // index in the direction
    int Distance = 1;     // frames away from the current one
    bool After = false;   // after the current frame (blue), else before it (red)
    int32_t X = 0, Y = 0; // first source pixel on the sheet
    int32_t Width = 0, Height = 0;
    int64_t DX = 0, DY = 0; // source pixel (x, y) shows at sheet position (x + DX, y + DY)
    bool operator==(const Layer&) const = default;
};

// The layers for frame `current` of `frames` with `depth` frames on each side
// (no wrap-around at either end), farthest first so that nearer frames lie on
// top; at each distance the frame before comes before the frame after.
// Frames without pixels (a side of 0 or less) and frames that leave no pixel
// in `visible` are left out. Wide arithmetic: a damaged project may hold
// coordinates anywhere in the int32 range.
inline std::vector<Layer> Plan(const std::vector<FrameData>& frames, int current, int depth, const Area& visible,
                               int32_t sheetWidth, int32_t sheetHeight) {
    std::vector<Layer> out;
    const int count = static_cast<int>(std::min<size_t>(frames.size(), 1u << 30));
    if (current < 0 || current >= count) return out;
    const FrameData& cur = frames[current];
    const int64_t hotX = int64_t{cur.X} + cur.HotSpotX;
    const int64_t hotY = int64_t{cur.Y} + cur.HotSpotY;
    for (int d = std::clamp(depth, 0, MaxDepth); d >= 1; --d) {
        for (const bool after : {false, true}) {
            const int n = after ? current + d : current - d;
            if (n < 0 || n >= count) continue;
            const FrameData& f = frames[n];
            if (f.Width <= 0 || f.Height <= 0) continue;
            const int64_t dx = hotX - (int64_t{f.X} + f.HotSpotX);
            const int64_t dy = hotY - (int64_t{f.Y} + f.HotSpotY);
            // Source pixels inside the frame, on the sheet, and landing in view.
            const int64_t x0 = std::max({int64_t{f.X}, int64_t{0}, visible.X - dx});
            const int64_t x1 = std::min({int64_t{f.X} + f.Width, int64_t{sheetWidth}, visible.X + visible.Width - dx});
            const int64_t y0 = std::max({int64_t{f.Y}, int64_t{0}, visible.Y - dy});
            const int64_t y1 = std::min({int64_t{f.Y} + f.Height, int64_t{sheetHeight}, visible.Y + visible.Height - dy});
            if (x0 >= x1 || y0 >= y1) continue;
            out.push_back(Layer{n, d, after, static_cast<int32_t>(x0), static_cast<int32_t>(y0),
                                static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0), dx, dy});
        }
    }
    return out;
}

// Pixels are 0xFFRRGGBB, as drawing surfaces hold them.
constexpr uint32_t BeforeTint = 0xFFFF0000u; // red
constexpr uint32_t AfterTint = 0xFF0000FFu;  // blue

// How much of a layer shows, in 256ths: the nearest frames five eighths, the
// next three eighths. Enough for red and blue to stay apart even over a
// magenta sheet, while the sheet still shows through.
constexpr int Opacity(int distance) { return distance <= 1 ? 160 : 96; }

// A sprite pixel in its tint: every channel three quarters of the way
// (rounded down) to the tint's, so that some of the sprite's shading shows.
constexpr uint32_t Tinted(uint32_t pixel, bool after) {
    const uint32_t tint = after ? AfterTint : BeforeTint;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((((pixel >> shift) & 0xFFu) + 3 * ((tint >> shift) & 0xFFu)) / 4) << shift;
    return out;
}

// What the frames at one distance lay over a view pixel, from the sprite pixel
// of the frame before and of the frame after that land there (0 where a frame
// has none): each in its tint, the two averaged (rounded down) where both
// land, so that neither hides the other. 0 when neither has a pixel there.
constexpr uint32_t Overlay(uint32_t before, uint32_t after) {
    if (!before && !after) return 0;
    if (!after) return Tinted(before, false);
    if (!before) return Tinted(after, true);
    const uint32_t b = Tinted(before, false), a = Tinted(after, true);
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) out |= ((((b >> shift) & 0xFFu) + ((a >> shift) & 0xFFu)) / 2) << shift;
    return out;
}

// `over` laid on `under` at `opacity` 256ths, every channel rounded to nearest.
constexpr uint32_t Mix(uint32_t under, uint32_t over, int opacity) {
    const uint32_t a = static_cast<uint32_t>(std::clamp(opacity, 0, 256));
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t u = (under >> shift) & 0xFFu, o = (over >> shift) & 0xFFu;
        out |= ((u * (256 - a) + o * a + 128) >> 8) << shift;
    }
    return out;
}

} // namespace Onion
