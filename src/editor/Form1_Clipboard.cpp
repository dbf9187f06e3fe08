// Cut, Copy and Paste of frames (the Edit menu) and the paste itself. The
// clipboard is the program's own: whole frame records in ClipFrames, of which
// the first ClipCount count. It outlives every project.
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "base/Messages.h"
#include "editor/Form1.h"
#include "editor/Form2.h"
#include "platform/DeferredCall.h"

using namespace SpriteProject;

DirectionData* Form1::CurrentDirection() const {
    if (CurAction < 0 || CurDirection < 0 || static_cast<size_t>(CurAction) >= Actions.size()) return nullptr;
    ActionData& a = Actions[CurAction];
    if (static_cast<size_t>(CurDirection) >= a.Directions.size()) return nullptr;
    DirectionData& d = a.Directions[CurDirection];
    // A bound that disagrees with the frame list counts as no direction, so
    // that no loop over the frames runs past the list.
    if (d.Frames.empty() || d.FrameUBound != static_cast<int>(d.Frames.size()) - 1) return nullptr;
    return &d;
}

namespace {

constexpr int MaxFrames = std::numeric_limits<int16_t>::max() + 1; // bounds are 16-bit

void Refuse(const std::string& why) {
    MsgBox(why, MsgButtons::OK, MsgIcon::Exclamation, "Whoopsy!");
}

// The thumbnails selected for Copy and Cut, in strip order, or nothing when the
// strip does not show the direction as it stands: a rebuild still pending
// (the thumbnails then show an older state) or a thumbnail count that differs.
bool SelectedThumbs(const Form1& w, const DirectionData& d, std::vector<int>& out) {
    out.clear();
    if (w.StripRebuild->Pending() || w.ThumbCount() != static_cast<int>(d.Frames.size())) return false;
    for (int i = 0; i < w.ThumbCount(); ++i)
        if (w.ThumbHighlight[i] == 1) out.push_back(i);
    if (static_cast<int>(out.size()) > std::numeric_limits<int16_t>::max()) {
        Refuse("The clipboard can hold no more than 32767 frames.");
        return false;
    }
    return true;
}

} // namespace

void Form1::mnuCopy_Click() {
    if (CurAction < 0 || CurDirection < 0 || CurFrame < 0) return;
    const DirectionData* d = CurrentDirection();
    std::vector<int> picked;
    if (!d || !SelectedThumbs(*this, *d, picked)) return;
    // With nothing selected the clipboard is empty; its old entries stay but no longer count.
    ClipCount = static_cast<int16_t>(picked.size());
    if (picked.empty()) return;
    ClipFrames.resize(picked.size());
    for (size_t k = 0; k < picked.size(); ++k)
        ClipFrames[k] = d->Frames[picked[k]];
}

void Form1::mnuCut_Click() {
    if (CurAction < 0 || CurDirection < 0) return;
    const EditStep step(*this, "Cut Frames");
    DirectionData* d = CurrentDirection();
    std::vector<int> picked;
    if (!d || !SelectedThumbs(*this, *d, picked)) return;

    ClipCount = static_cast<int16_t>(picked.size());
    if (!picked.empty()) ClipFrames.resize(picked.size());
    for (size_t k = 0; k < picked.size(); ++k) {
        ClipFrames[k] = d->Frames[picked[k]];
        SetThumbHighlight(picked[k], -1); // marked for removal
    }

    const int last = ThumbCount() - 1;
    if (ClipCount == last + 1 || last == 0) {
        // Everything taken, or a single frame: the direction keeps one empty frame.
        d->Frames.assign(1, FrameData{});
        d->FrameUBound = 0;
    } else if (!picked.empty()) {
        // Close the gaps in one pass, keeping the order of the frames that stay.
        size_t w = static_cast<size_t>(picked.front());
        for (size_t j = w; j < d->Frames.size(); ++j)
            if (ThumbHighlight[j] != -1) d->Frames[w++] = d->Frames[j];
        d->Frames.resize(w);
        d->FrameUBound = static_cast<int16_t>(w - 1);
    }
    RequestStripRebuild();
}

void Form1::mnuPaste_Click() {
    if (CurAction < 0 || CurDirection < 0 || CurFrame < 0 || ClipCount == 0) return;
    // A closed dialog may still wait for its deletion; it is not reused.
    if (!PasteDialog || PasteDialog->isHidden()) PasteDialog = new Form2(this);
    PasteDialog->SelectOption(PasteMode);
    PasteDialog->show();
    PasteDialog->raise();
    PasteDialog->activateWindow();
}

std::string Form1::PasteRefusal(int16_t iType) const {
    const DirectionData* d = CurrentDirection();
    if (!d) return "There is no direction to paste into. Pick an action and a direction first.";
    if (ClipCount <= 0 || static_cast<size_t>(ClipCount) > ClipFrames.size())
        return "There are no frames on the clipboard. Cut or copy some first.";
    const bool nextToFrame = iType == 0 || iType == 1;
    if (nextToFrame && (CurFrame < 0 || CurFrame > d->FrameUBound))
        return "No frame is selected to paste next to. Click a frame in the strip first.";
    if (static_cast<int>(d->Frames.size()) + ClipCount > MaxFrames)
        return "A direction can hold no more than 32768 frames.";
    return {};
}

void Form1::DoPaste(int16_t iType) {
    if (iType < 0 || iType > 3) iType = 3;
    // The dialog is modeless: a rebuild asked for meanwhile (after a Cut, say)
    // is due first, and leaves no frame current as it always does.
    if (StripRebuild->Pending()) StripRebuild->Flush();
    const EditStep step(*this, "Paste Frames");
    const std::string why = PasteRefusal(iType);
    if (!why.empty()) {
        Refuse(why);
        return;
    }

    DirectionData& d = *CurrentDirection();
    const int n = ClipCount;
    const int s = CurFrame;
    const int u = d.FrameUBound;
    if (iType == 0 && s == 0) iType = 2;
    if (iType == 1 && s == u) iType = 3;

    int at = 0;   // index of the first pasted frame
    int show = 0; // scroll position afterwards
    switch (iType) {
    case 0:
        at = s, show = FrameScroll->value();
        break;
    case 1:
        at = s + 1, show = FrameScroll->value();
        break;
    case 2:
        at = 0, show = 0;
        break;
    default:
        at = u + 1, show = u + 1;
        break;
    }
    d.Frames.insert(d.Frames.begin() + at, ClipFrames.begin(), ClipFrames.begin() + n);
    d.FrameUBound = static_cast<int16_t>(u + n);
    PasteMode = iType;

    RebuildStripAt(show);
}
