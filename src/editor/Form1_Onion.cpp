// The View menu's onion skin: while it is on and a frame is current, the zoom
// view shows the frames before the current one tinted red and those after it
// tinted blue, translucent, each shifted so that its hot spot lands on the
// current frame's hot spot. Only sprite pixels (not the mask colour) are
// drawn, over the magnified sheet and under the crosshair. It is a view of
// the project and nothing else: the sheet, the frames and the overview stay
// as they are.
#include <QAction>
#include <algorithm>
#include <memory>

#include "editor/Form1.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

namespace {

// A layer's sprite pixels at 1:1, row by row; 0 where the sheet has the mask colour.
struct Piece {
    Onion::Layer Layer;
    std::vector<uint32_t> Pixels;
    int64_t ViewX = 0, ViewY = 0; // zoom-view pixel of the layer's first source pixel
};

// Lays a piece, magnified by z, over the part of the view that the surface holds.
void BlendPiece(const PixelSurface& s, const Piece& p, int z) {
    const Onion::Layer& l = p.Layer;
    const int opacity = Onion::Opacity(l.Distance);
    const int64_t left = s.OriginX, right = int64_t{s.OriginX} + s.Width;
    const int64_t top = s.OriginY, bottom = int64_t{s.OriginY} + s.Height;
    for (int32_t r = 0; r < l.Height; ++r) {
        const int64_t y0 = std::max(top, p.ViewY + int64_t{r} * z);
        const int64_t y1 = std::min(bottom, p.ViewY + int64_t{r + 1} * z);
        if (y0 >= y1) continue;
        const uint32_t* src = p.Pixels.data() + static_cast<size_t>(r) * static_cast<size_t>(l.Width);
        for (int32_t c = 0; c < l.Width; ++c) {
            if (!src[c]) continue; // the mask colour: nothing of this frame here
            const int64_t x0 = std::max(left, p.ViewX + int64_t{c} * z);
            const int64_t x1 = std::min(right, p.ViewX + int64_t{c + 1} * z);
            if (x0 >= x1) continue;
            const uint32_t tinted = Onion::Tinted(src[c], l.After);
            for (int64_t y = y0; y < y1; ++y) {
                uint32_t* row = s.Row(static_cast<int32_t>(y)) - s.OriginX;
                for (int64_t x = x0; x < x1; ++x) row[x] = Onion::Mix(row[x], tinted, opacity);
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
    pieces->reserve(OnionShown.size());
    for (const Onion::Layer& l : OnionShown) {
        Piece p{l, std::vector<uint32_t>(static_cast<size_t>(l.Width) * static_cast<size_t>(l.Height), 0u),
                (l.X + l.DX - ox) * z, (l.Y + l.DY - oy) * z};
        // The sheet's pixels (the layer lies on the sheet), then the mask colour's
        // taken out: a sprite pixel never has that colour.
        const PixelSurface target{p.Pixels.data(), l.Width, l.Height, l.Width, 0, 0};
        Sheet.DrawTo(target, l.X, l.Y, 0, 0, l.Width, l.Height, 1, 1);
        std::replace(p.Pixels.begin(), p.Pixels.end(), mask, 0u);
        pieces->push_back(std::move(p));
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
