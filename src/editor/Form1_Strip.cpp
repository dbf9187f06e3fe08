// The frame strip: one thumbnail per frame of the current direction, laid out
// from the scroll position on, and the "New Frame" label after them.
//
// Thumbnails are a virtual array: their state lives in plain vectors and only
// the thumbnails laid out (six at the default size, more in a wider strip) have
// a SpriteFrame widget, taken from a small pool (thumbnail i always uses slot
// i % the pool's size). A widget showing thumbnail i
// always reflects i's current state, so a layout only touches slots that change
// hands, and the cost of a rebuild does not grow with the frame count.
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

#include "base/Messages.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

FrameData* Form1::CurrentFrameAt(int i) const {
    if (CurAction < 0 || CurDirection < 0 || i < 0) return nullptr;
    if (static_cast<size_t>(CurAction) >= Actions.size()) return nullptr;
    ActionData& a = Actions[CurAction];
    if (static_cast<size_t>(CurDirection) >= a.Directions.size()) return nullptr;
    DirectionData& d = a.Directions[CurDirection];
    if (static_cast<size_t>(i) >= d.Frames.size()) return nullptr;
    return &d.Frames[i];
}

SpriteFrame* Form1::MakeThumbWidget(int slot) {
    auto* w = new SpriteFrame(Picture4);
    w->setObjectName(QString("ucSF_slot%1").arg(slot));
    w->setGeometry(0, 0, ThumbWidth, ThumbHeight);
    w->hide();
    // The index travels with the slot's current thumbnail, not with the widget.
    connect(w, &SpriteFrame::Click, this, [this, slot](int16_t shift) {
        if (ThumbPool[slot].Shown >= 0) ucSF_Click(ThumbPool[slot].Shown, shift);
    });
    connect(w, &SpriteFrame::DoDelete, this, [this, slot] {
        if (ThumbPool[slot].Shown >= 0) ucSF_DoDelete(ThumbPool[slot].Shown);
    });
    connect(w, &SpriteFrame::SetDelay, this, [this, slot](int16_t val) {
        if (ThumbPool[slot].Shown >= 0) ucSF_SetDelay(ThumbPool[slot].Shown, val);
    });
    return w;
}

void Form1::DrawThumbPicture(SpriteFrame* w, const FrameData& f) {
    w->ClearThumb();
    if (f.Height > 0 && f.Width > 0) {
        const PixelSurface s = w->hDC();
        Sheet.DrawTo(s, f.X, f.Y, 0, 0, f.Width, f.Height, 72.0 / f.Width, 72.0 / f.Height);
    }
    w->RefreshThumb();
}

// Makes the slot's widget show thumbnail i as the full array would.
void Form1::ShowThumbIn(ThumbSlot& slot, int i) {
    const ThumbLook look = ThumbLooks[i];
    if (look == ThumbLook::Fresh) {
        // Only a new control shows the initial captions; replace the widget.
        const int index = static_cast<int>(&slot - ThumbPool.data());
        slot.Widget->hide();
        slot.Widget->deleteLater();
        slot.Widget = MakeThumbWidget(index);
    }
    SpriteFrame* w = slot.Widget;
    slot.Shown = i;
    if (look == ThumbLook::Cleared) w->ReInit();
    const FrameData* f = CurrentFrameAt(i);
    if (look == ThumbLook::Filled) {
        const FrameData zero{};
        const FrameData& r = f ? *f : zero;
        w->SetInfo(r.X, r.Y, r.Width, r.Height, r.Delay);
        DrawThumbPicture(w, r);
    }
    if (look != ThumbLook::Cleared) w->SetID(static_cast<int16_t>(i));
    w->SetHighlight(ThumbHighlight[i]);
    ShowJitterMark(w, i);
}

SpriteFrame* Form1::ThumbWidget(int i) const {
    if (i < 0) return nullptr;
    const ThumbSlot& slot = ThumbPool[i % ThumbPool.size()];
    if (slot.Shown != i || slot.Widget->isHidden()) return nullptr;
    return slot.Widget;
}

SpriteFrame* Form1::ThumbHolding(int i) const {
    if (i < 0) return nullptr;
    const ThumbSlot& slot = ThumbPool[i % ThumbPool.size()];
    return slot.Shown == i ? slot.Widget : nullptr;
}

void Form1::ThumbChanged(int i) {
    if (i < 0 || i >= ThumbCount()) return;
    ThumbLooks[i] = ThumbLook::Filled;
    ThumbSlot& slot = ThumbPool[i % ThumbPool.size()];
    if (slot.Shown == i) ShowThumbIn(slot, i);
}

void Form1::SetThumbHighlight(int i, int16_t flag) {
    if (i < 0 || i >= ThumbCount()) return;
    ThumbHighlight[i] = flag;
    ThumbSlot& slot = ThumbPool[i % ThumbPool.size()];
    if (slot.Shown == i) slot.Widget->SetHighlight(flag);
}

void Form1::RequestStripRebuild() { StripRebuild->Request(); }

void Form1::RebuildStrip(bool fromTimer) {
    // Any pending request is covered by this rebuild.
    StripRebuild->Cancel();
    ++StripRebuilds;

    ThumbHighlight.assign(1, 0);
    ThumbLooks.resize(1);
    for (ThumbSlot& slot : ThumbPool) {
        slot.Widget->hide();
        slot.Shown = -1;
    }
    lblNewFrame->hide();
    RefreshJitterMarks(); // the direction shown from here on

    // Without a current direction the strip stays empty; the current frame,
    // the range anchor and the scroll bar keep their values.
    if (!CurrentFrameAt(0)) {
        UpdateOnionSkin();
        return;
    }
    const DirectionData& d = Actions[CurAction].Directions[CurDirection];
    const int count = static_cast<int>(d.Frames.size());
    ThumbHighlight.assign(count, 0);
    ThumbLooks.assign(count, ThumbLook::Filled);
    FrameScroll->setMaximum(count - 1);
    if (fromTimer) {
        {
            const QSignalBlocker block(FrameScroll);
            FrameScroll->setValue(0);
        }
        FrameScroll_Change();
    }
    CurFrame = -1;
    SelAnchor = -1;
    UpdateOnionSkin(); // no current frame, no onion skin
}

void Form1::RebuildStripAt(int first) {
    RebuildStrip(false);
    if (!CurrentFrameAt(0)) return; // no direction: the strip stays empty
    {
        const QSignalBlocker block(FrameScroll);
        FrameScroll->setValue(std::min(first, FrameScroll->maximum()));
    }
    FrameScroll_Change();
}

int Form1::StripSlots() const {
    return std::max(StripWindow, (Picture4->width() + ThumbWidth - 1) / ThumbWidth + 1);
}

void Form1::FrameScroll_Change() {
    if (CurAction < 0 || CurDirection < 0) return;
    const int window = StripSlots();
    if (window > static_cast<int>(ThumbPool.size())) {
        // A wider strip: thumbnails change slots, so every slot starts over.
        for (ThumbSlot& slot : ThumbPool) {
            slot.Widget->hide();
            slot.Shown = -1;
        }
        while (static_cast<int>(ThumbPool.size()) < window)
            ThumbPool.push_back({MakeThumbWidget(static_cast<int>(ThumbPool.size())), -1});
    }
    const int count = ThumbCount();
    const int start = FrameScroll->value();
    const int end = std::min(count, start + window); // one past the last laid out

    // Slots whose thumbnail falls outside the window are hidden, so that no
    // stale thumbnail shows beside the label.
    for (ThumbSlot& slot : ThumbPool)
        if (slot.Shown < start || slot.Shown >= end) slot.Widget->hide();

    int x = 0;
    for (int i = start; i < end; ++i) {
        ThumbSlot& slot = ThumbPool[i % ThumbPool.size()];
        if (slot.Shown != i) ShowThumbIn(slot, i);
        SpriteFrame* w = slot.Widget;
        w->move(x, 0);
        x += w->width();
        if (const FrameData* f = CurrentFrameAt(i)) w->SetHS(f->HotSpotX, f->HotSpotY);
        else w->SetHS(0, 0);
        w->show();
        w->raise();
    }
    lblNewFrame->move(x, 0);
    lblNewFrame->show();
}

void Form1::lblNewFrame_Click() {
    if (CurAction < 0 || CurDirection < 0) return;
    const EditStep step(*this, "New Frame");
    // A pending rebuild would leave the thumbnails counting another direction.
    if (StripRebuild->Pending()) StripRebuild->Flush();
    if (!CurrentFrameAt(0)) return;
    DirectionData& d = Actions[CurAction].Directions[CurDirection];
    const int n = ThumbCount() - 1;
    if (n + 1 > 32767) {
        MsgBox("A direction can hold no more than 32768 frames.", MsgButtons::OK, MsgIcon::Exclamation);
        return;
    }
    const int k = n + 1;
    d.FrameUBound = static_cast<int16_t>(k);
    d.Frames.resize(static_cast<size_t>(k) + 1);
    ThumbHighlight.resize(static_cast<size_t>(k) + 1, 0);
    ThumbLooks.resize(static_cast<size_t>(k) + 1, ThumbLook::Fresh);
    if (ThumbSlot& slot = ThumbPool[k % ThumbPool.size()]; slot.Shown == k) slot.Shown = -1;

    {
        const QSignalBlocker block(FrameScroll);
        FrameScroll->setMaximum(k);
    }
    FrameScroll_Change();
}
