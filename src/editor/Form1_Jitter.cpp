// Jitter marks: the strip flags frames whose sprite, drawn at its hot spot,
// would stand off where the direction's other frames put theirs. The tracker
// keeps every sprite box it has measured, so following an edit rescans only
// rectangles it has not seen; the marks are worked out for the whole direction
// and shown on the few widgets laid out.
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/DeferredCall.h"

using namespace SpriteProject;

void Form1::RefreshJitterMarks(bool sheetChanged) {
    if (sheetChanged) Jitter.Invalidate();
    const DirectionData* d = CurrentDirection();
    static const std::vector<FrameData> none;
    const std::vector<FrameJitter>& flags = Jitter.Update(Sheet, MaskColor, d ? d->Frames : none, JitterLimit);
    JitterOfFrame.assign(d ? d->Frames.size() : 0, -1);
    for (size_t k = 0; k < flags.size(); ++k) JitterOfFrame[flags[k].Frame] = static_cast<int32_t>(k);
    for (ThumbSlot& slot : ThumbPool)
        if (slot.Shown >= 0) ShowJitterMark(slot.Widget, slot.Shown);
}

QString Form1::JitterText(int i) const {
    // While a strip rebuild is pending the thumbnails may stand for another direction.
    if (i < 0 || static_cast<size_t>(i) >= JitterOfFrame.size() || JitterOfFrame[i] < 0 ||
        (StripRebuild && StripRebuild->Pending()))
        return {};
    return QString::fromStdString("Hot spot jitter: " + DescribeJitter(Jitter.Flags()[JitterOfFrame[i]]));
}

void Form1::ShowJitterMark(SpriteFrame* w, int i) const { w->SetJitterMark(JitterText(i)); }
