// Draws a small sample sprite sheet, a figure walking and idling in two
// directions on a magenta background, and the project that marks its frames.
//
//   make-sample [FOLDER]    writes FOLDER/walker.bmp and FOLDER/walker.sip
//
// The project stores its sheet as the plain name "walker.bmp", so it opens
// wherever the folder is moved.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ByteIO.h"
#include "base/FileIO.h"
#include "project/SpriteProject.h"

namespace {

constexpr int SheetWidth = 256;
constexpr int SheetHeight = 96;
constexpr int CellWidth = 32;
constexpr int CellHeight = 48;

// Colours as 0x00BBGGRR.
constexpr int32_t Magenta = 0x00FF00FF;
constexpr int32_t Skin = 0x00A0C8F0;
constexpr int32_t Hair = 0x00204070;
constexpr int32_t Eye = 0x00202020;
constexpr int32_t Shirt = 0x00A09600;
constexpr int32_t ShirtBack = 0x00786E00; // the far arm, a shade darker
constexpr int32_t Trousers = 0x00702828;
constexpr int32_t TrousersBack = 0x00501C1C;
constexpr int32_t Shoe = 0x00183050;

class Canvas {
public:
    Canvas(int w, int h, int32_t fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

    void Set(int x, int y, int32_t c) {
        if (x >= clipX0_ && x < clipX1_ && y >= 0 && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
    }
    int32_t Get(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

    // Drawing stays inside one cell, so a limb can never spill into a neighbour.
    void ClipColumns(int x0, int x1) {
        clipX0_ = x0;
        clipX1_ = x1;
    }

    void Rect(int x0, int y0, int x1, int y1, int32_t c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(x, y, c);
    }
    void Disc(int cx, int cy, int r, int32_t c) {
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x)
                if (x * x + y * y <= r * r + r) Set(cx + x, cy + y, c);
    }
    // A limb: discs along the segment.
    void Limb(int x0, int y0, int x1, int y1, int r, int32_t c) {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i) {
            const double t = steps ? static_cast<double>(i) / steps : 0.0;
            Disc(static_cast<int>(std::lround(x0 + t * (x1 - x0))), static_cast<int>(std::lround(y0 + t * (y1 - y0))),
                 r, c);
        }
    }
    void MirrorCell(int x0, int y0) {
        for (int y = y0; y < y0 + CellHeight; ++y)
            for (int x = 0; x < CellWidth / 2; ++x) {
                const int32_t a = Get(x0 + x, y);
                Set(x0 + x, y, Get(x0 + CellWidth - 1 - x, y));
                Set(x0 + CellWidth - 1 - x, y, a);
            }
    }

    // A 24-bit bottom-up BMP file with the usual 54 bytes of headers.
    std::vector<uint8_t> Bmp() const {
        const int stride = ((w_ * 24 + 31) / 32) * 4;
        const uint32_t image = static_cast<uint32_t>(stride) * h_;
        std::vector<uint8_t> out;
        ByteWriter b(out);
        b.U16(0x4D42);
        b.U32(54 + image);
        b.U32(0);
        b.U32(54);
        b.U32(40);
        b.I32(w_);
        b.I32(h_);
        b.U16(1);
        b.U16(24);
        b.U32(0);
        b.U32(image);
        b.I32(2835); // 72 dpi
        b.I32(2835);
        b.U32(0);
        b.U32(0);
        for (int y = h_ - 1; y >= 0; --y) {
            for (int x = 0; x < w_; ++x) {
                const auto c = static_cast<uint32_t>(Get(x, y));
                b.U8(static_cast<uint8_t>(c >> 16)); // blue
                b.U8(static_cast<uint8_t>(c >> 8));  // green
                b.U8(static_cast<uint8_t>(c));       // red
            }
            for (int p = w_ * 3; p < stride; ++p) b.U8(0);
        }
        return out;
    }

private:
    int w_, h_;
    int clipX0_ = 0, clipX1_ = 1 << 30;
    std::vector<int32_t> px_;
};

// Foot and hand offsets of one pose, relative to the hip and the shoulder.
struct Pose {
    int nearFoot, farFoot;   // forward (+) or back (-) from the hip, in pixels
    int nearLift, farLift;   // how far a foot is raised
    int nearHand, farHand;   // arm swing
    int bob;                 // the whole body sinks by this much
};

// Draws one figure facing right in the cell whose top-left is (x0, y0).
void DrawFigure(Canvas& c, int x0, int y0, const Pose& p) {
    const int hipX = x0 + 15, hipY = y0 + 30 + p.bob;
    const int footY = y0 + 44;
    c.ClipColumns(x0, x0 + CellWidth);
    // Far side first so the near limbs overlap it.
    c.Limb(hipX + 2, y0 + 17 + p.bob, hipX + 2 + p.farHand, y0 + 28 + p.bob, 1, ShirtBack);
    c.Limb(hipX, hipY, hipX + p.farFoot, footY - p.farLift, 2, TrousersBack);
    c.Rect(hipX + p.farFoot - 2, footY - p.farLift + 1, hipX + p.farFoot + 3, footY - p.farLift + 2, Shoe);
    c.Limb(hipX, hipY, hipX + p.nearFoot, footY - p.nearLift, 2, Trousers);
    c.Rect(hipX + p.nearFoot - 2, footY - p.nearLift + 1, hipX + p.nearFoot + 3, footY - p.nearLift + 2, Shoe);
    c.Rect(hipX - 4, y0 + 15 + p.bob, hipX + 5, hipY, Shirt);
    c.Disc(hipX + 1, y0 + 9 + p.bob, 5, Skin);
    c.Rect(hipX - 4, y0 + 3 + p.bob, hipX + 5, y0 + 6 + p.bob, Hair);
    c.Rect(hipX - 4, y0 + 7 + p.bob, hipX - 3, y0 + 9 + p.bob, Hair);
    c.Set(hipX + 4, y0 + 8 + p.bob, Eye);
    c.Limb(hipX, y0 + 17 + p.bob, hipX + p.nearHand, y0 + 28 + p.bob, 1, Skin);
    c.Limb(hipX, y0 + 17 + p.bob, hipX + p.nearHand / 2, y0 + 22 + p.bob, 2, Shirt);
    c.ClipColumns(0, 1 << 30);
}

FrameData Frame(int cellX, int cellY, int16_t delay) {
    FrameData f;
    f.X = cellX * CellWidth;
    f.Y = cellY * CellHeight;
    f.Width = CellWidth;
    f.Height = CellHeight;
    f.Delay = delay;
    f.HotSpotX = 15; // between the feet, on the ground line
    f.HotSpotY = 46;
    return f;
}

DirectionData Direction(const std::string& name, std::vector<FrameData> frames) {
    DirectionData d;
    d.Name = name;
    d.Frames = std::move(frames);
    d.FrameUBound = static_cast<int16_t>(d.Frames.size() - 1);
    return d;
}

ActionData Action(const std::string& name, std::vector<DirectionData> dirs) {
    ActionData a;
    a.Name = name;
    a.Directions = std::move(dirs);
    a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
    return a;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : CELWRIGHT_EXAMPLES_DIR;
    if (!dir.empty() && dir.back() != '/') dir += '/';

    Canvas sheet(SheetWidth, SheetHeight, Magenta);
    // Top row: four walking steps facing right, then the same facing left.
    const Pose walk[4] = {
        {6, -6, 0, 0, -4, 4, 0},
        {1, -2, 0, 4, 0, 0, -1},
        {-6, 6, 0, 0, 4, -4, 0},
        {-2, 1, 4, 0, 0, 0, -1},
    };
    for (int i = 0; i < 4; ++i) {
        DrawFigure(sheet, i * CellWidth, 0, walk[i]);
        DrawFigure(sheet, (4 + i) * CellWidth, 0, walk[i]);
        sheet.MirrorCell((4 + i) * CellWidth, 0);
    }
    // Bottom row: two breathing frames facing right, then facing left.
    const Pose idle[2] = {{2, -2, 0, 0, 1, -1, 0}, {2, -2, 0, 0, 1, -1, 1}};
    for (int i = 0; i < 2; ++i) {
        DrawFigure(sheet, i * CellWidth, CellHeight, idle[i]);
        DrawFigure(sheet, (2 + i) * CellWidth, CellHeight, idle[i]);
        sheet.MirrorCell((2 + i) * CellWidth, CellHeight);
    }

    std::string error;
    const std::vector<uint8_t> bmp = sheet.Bmp();
    if (!WriteFileAtomic(dir + "walker.bmp", bmp.data(), bmp.size(), error)) {
        std::fprintf(stderr, "make-sample: cannot write %swalker.bmp: %s\n", dir.c_str(), error.c_str());
        return 1;
    }

    using namespace SpriteProject;
    Actions = {
        Action("Walk", {Direction("Right", {Frame(0, 0, 120), Frame(1, 0, 120), Frame(2, 0, 120), Frame(3, 0, 120)}),
                        Direction("Left", {Frame(4, 0, 120), Frame(5, 0, 120), Frame(6, 0, 120), Frame(7, 0, 120)})}),
        Action("Idle", {Direction("Right", {Frame(0, 1, 400), Frame(1, 1, 250)}),
                        Direction("Left", {Frame(2, 1, 400), Frame(3, 1, 250)})}),
    };
    MaskColor = Magenta;
    // The stored sheet path is WorkDir + SheetFile: a bare name keeps the pair movable.
    WorkDir.clear();
    SheetFile = "walker.bmp";
    if (!WriteProject(dir + "walker.sip")) return 1;
    std::printf("Wrote %swalker.bmp and %swalker.sip\n", dir.c_str(), dir.c_str());
    return 0;
}
