// The window's answers to the thumbnails' events: a click changes the
// selection and the current frame, Delete removes a frame from the current
// direction, and a typed delay is stored in the frame.
//
// Thumbnail state lives in vectors (see Form1_Strip.cpp), so a selection or a
// deletion costs one pass over plain data plus the few thumbnails laid out.
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "controls/SpriteFrame.h"
#include "platform/DeferredCall.h"
#include "editor/Form1.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

void Form1::SetThumbHighlights(int first, int last, int16_t flag) {
    if (first > last) std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, ThumbCount() - 1);
    if (first > last) return;
    std::fill(ThumbHighlight.begin() + first, ThumbHighlight.begin() + last + 1, flag);
    for (ThumbSlot& slot : ThumbPool)
        if (slot.Shown >= first && slot.Shown <= last) slot.Widget->SetHighlight(flag);
}

void Form1::ucSF_Click(int Index, int16_t Shift) {
    if (CurAction < 0 || CurDirection < 0) return;
    // A thumbnail that stands for no frame of this direction changes nothing.
    if (Index < 0 || Index >= ThumbCount() || !CurrentFrameAt(Index)) return;
    if (CurFrame < 0) Shift = 0;

    if (Shift == 0) {
        SetThumbHighlights(0, ThumbCount() - 1, 0);
        SelAnchor = -1;
    } else if (Shift == 1 || Shift == 3) {
        if (SelAnchor < 0) SelAnchor = CurFrame;
        SetThumbHighlights(0, ThumbCount() - 1, 0);
        if (Index != SelAnchor) SetThumbHighlights(SelAnchor, Index, 1);
    }
    // Ctrl, or anything with Alt: the other marks stay as they are.
    CurFrame = Index;
    SetThumbHighlight(Index, 1);

    // The zoom view is left as it is, unless its onion skin follows the new frame.
    DrawOverviewSheet();
    DrawFrameBox();
    DrawZoomBox();
    Picture2->Present();
    UpdateOnionSkin();
}

void Form1::ucSF_DoDelete(int Index) {
    if (CurAction < 0 || CurDirection < 0) return;
    // While a rebuild is pending the thumbnails show another state than the model.
    if (StripRebuild->Pending()) return;
    const EditStep step(*this, "Delete Frame");
    if (Index < 0 || Index >= ThumbCount() || !CurrentFrameAt(Index)) return;
    DirectionData& d = Actions[CurAction].Directions[CurDirection];
    std::vector<FrameData>& frames = d.Frames;
    const int last = static_cast<int>(frames.size()) - 1;

    if (last == 0) {
        // One all-zero frame stays, and its thumbnail shows that empty frame.
        frames.assign(1, FrameData{});
        d.FrameUBound = 0;
        ThumbChanged(0);
        if (SpriteFrame* w = ThumbHolding(0)) w->SetHS(0, 0);
        return;
    }

    frames.erase(frames.begin() + Index);
    d.FrameUBound = static_cast<int16_t>(last - 1);
    // Every thumbnail from Index on now shows the record that moved into it;
    // the marks stay with the positions, and the last position goes away.
    const int thumbs = std::min(ThumbCount(), last + 1);
    ThumbLooks.resize(thumbs);
    ThumbHighlight.resize(thumbs);
    std::fill(ThumbLooks.begin() + Index, ThumbLooks.end(), ThumbLook::Filled);
    ThumbLooks.pop_back();
    ThumbHighlight.pop_back();
    for (ThumbSlot& slot : ThumbPool) {
        if (slot.Shown >= ThumbCount()) {
            slot.Widget->hide();
            slot.Shown = -1;
        } else if (slot.Shown >= Index) {
            ShowThumbIn(slot, slot.Shown);
        }
    }

    // A current frame or range anchor past the end would point at nothing.
    if (CurFrame > last - 1) CurFrame = -1;
    if (SelAnchor > last - 1) SelAnchor = -1;

    {
        const QSignalBlocker block(FrameScroll);
        FrameScroll->setMaximum(last - 1);
    }
    FrameScroll_Change();
}

void Form1::ucSF_SetDelay(int Index, int16_t Val) {
    if (CurAction < 0 || CurDirection < 0) return;
    // Stored as typed, 0 and negative values included; the thumbnail shows it already.
    if (FrameData* f = CurrentFrameAt(Index)) {
        const EditStep step(*this, "Set Delay");
        f->Delay = Val;
    }
}
