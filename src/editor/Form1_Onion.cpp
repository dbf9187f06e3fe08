// The View menu's onion skin: while it is on and a frame is current, the zoom
// view shows the frames before the current one tinted red and those after it
// tinted blue, translucent, each shifted so that its hot spot lands on the
// current frame's hot spot; where the frames before and after at one distance
// overlap, their tints mix rather than the later hiding the earlier. Only sprite pixels (not the mask colour) are
// drawn, over the magnified sheet and under the crosshair. It is a view of
// the project and nothing else: the sheet, the frames and the overview stay
// as they are.
#include <QAction>
#include <algorithm>
#include <cstdint>
#include <memory>

#include "editor/Form1.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

namespace {

// What the frames at one distance lay over the view, row by row, in tinted
// colours (Onion::Overlay); 0 where they lay nothing.
struct Piece {
    int Distance = 1;
    int32_t Width = 0, Height = 0; // in sheet pixels
    std::vector<uint32_t> Pixels;
    int64_t ViewX = 0, ViewY = 0; // zoom-view pixel of the first one
};

// Lays a piece, magnified by z, over the part of the view that the surface holds.
void BlendPiece(const PixelSurface& s, const Piece& p, int z) {
    const int opacity = Onion::Opacity(p.Distance);
    const int64_t left = s.OriginX, right = int64_t{s.OriginX} + s.Width;
    const int64_t top = s.OriginY, bottom = int64_t{s.OriginY} + s.Height;
    for (int32_t r = 0; r < p.Height; ++r) {
        const int64_t y0 = std::max(top, p.ViewY + int64_t{r} * z);
        const int64_t y1 = std::min(bottom, p.ViewY + int64_t{r + 1} * z);
        if (y0 >= y1) continue;
        const uint32_t* src = p.Pixels.data() + static_cast<size_t>(r) * static_cast<size_t>(p.Width);
        for (int32_t c = 0; c < p.Width; ++c) {
            const uint32_t over = src[c];
            if (!over) continue;
            const int64_t x0 = std::max(left, p.ViewX + int64_t{c} * z);
            const int64_t x1 = std::min(right, p.ViewX + int64_t{c + 1} * z);
            if (x0 >= x1) continue;
            // A zoomed pixel mostly lies over one colour: mix it once.
            uint32_t under = s.Row(static_cast<int32_t>(y0))[x0 - s.OriginX];
            uint32_t mixed = Onion::Mix(under, over, opacity);
            for (int64_t y = y0; y < y1; ++y) {
                uint32_t* row = s.Row(static_cast<int32_t>(y)) - s.OriginX;
                for (int64_t x = x0; x < x1; ++x) {
                    if (row[x] != under) under = row[x], mixed = Onion::Mix(under, over, opacity);
                    row[x] = mixed;
                }
            }
        }
    }
}

} // namespace

std::vector<Onion::Layer> Form1::OnionPlan() const {
    if (!OnionSkin || !Sheet.Loaded()) return {};
    if (CurFrame < 0 || !CurrentFrameAt(CurFrame)) return {};
    const std::vector<FrameData>& frames = Actions[CurAction].Directions[CurDirection].Frames;
    const int z = ZoomFactor;
    // Every sheet pixel the view shows, the last row and column perhaps in part.
    const Onion::Area visible{ZoomOriginX(), ZoomOriginY(), (ZoomViewWidth() + z - 1) / z,
                              (ZoomViewHeight() + z - 1) / z};
    return Onion::Plan(frames, CurFrame, OnionDepth, visible, Sheet.Width(), Sheet.Height());
}

void Form1::DrawOnionSkin() {
    OnionShown = OnionPlan();
    if (OnionShown.empty()) return;
    const int32_t ox = ZoomOriginX(), oy = ZoomOriginY();
    const int z = ZoomFactor;
    const uint32_t mask = ColorToPixel(MaskColor);
    auto pieces = std::make_shared<std::vector<Piece>>();
    for (size_t i = 0; i < OnionShown.size();) {
        // The plan's layers of one distance: the frame before and/or the frame after.
        size_t end = i + 1;
        while (end < OnionShown.size() && OnionShown[end].Distance == OnionShown[i].Distance) ++end;
        // Where they land, in sheet positions (all inside the visible area).
        int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
        for (size_t k = i; k < end; ++k) {
            const Onion::Layer& l = OnionShown[k];
            left = std::min(left, l.X + l.DX), right = std::max(right, l.X + l.DX + l.Width);
            top = std::min(top, l.Y + l.DY), bottom = std::max(bottom, l.Y + l.DY + l.Height);
        }
        Piece p{OnionShown[i].Distance, static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top), {},
                (left - ox) * z, (top - oy) * z};
        const size_t area = static_cast<size_t>(p.Width) * static_cast<size_t>(p.Height);
        std::vector<uint32_t> sides[2] = {std::vector<uint32_t>(area, 0u), std::vector<uint32_t>(area, 0u)};
        for (size_t k = i; k < end; ++k) {
            const Onion::Layer& l = OnionShown[k];
            std::vector<uint32_t>& side = sides[l.After ? 1 : 0];
            const int64_t at = (l.Y + l.DY - top) * p.Width + (l.X + l.DX - left);
            // The sheet's pixels (the layer lies on the sheet), then the mask
            // colour's taken out: a sprite pixel never has that colour.
            const PixelSurface target{side.data() + at, l.Width, l.Height, p.Width, 0, 0};
            Sheet.DrawTo(target, l.X, l.Y, 0, 0, l.Width, l.Height, 1, 1);
            for (int32_t r = 0; r < l.Height; ++r) {
                uint32_t* row = side.data() + at + static_cast<int64_t>(r) * p.Width;
                std::replace(row, row + l.Width, mask, 0u);
            }
        }
        p.Pixels.resize(area);
        for (size_t k = 0; k < area; ++k) p.Pixels[k] = Onion::Overlay(sides[0][k], sides[1][k]);
        pieces->push_back(std::move(p));
        i = end;
    }
    // Bounds "anywhere": the layers blend with what lies under them, so they
    // must never count as covering the view and replace the sheet drawn before.
    Picture1->Draw(
        [pieces, z](const PixelSurface& s) {
            for (const Piece& p : *pieces) BlendPiece(s, p, z);
        },
        QRect());
}

void Form1::UpdateOnionSkin() {
    if (OnionPlan() == OnionShown) return;
    const bool crosshair = CrosshairShown;
    DrawZoomView();
    if (crosshair) DrawCrosshair();
}

void Form1::mnuOnionSkin_Toggled(bool on) {
    OnionSkin = on;
    UpdateOnionSkin();
}

void Form1::mnuOnionFrames_Toggled(int Index, bool on) {
    if (!on) return; // the other count's check mark went with this one's
    OnionDepth = Index;
    UpdateOnionSkin();
}
