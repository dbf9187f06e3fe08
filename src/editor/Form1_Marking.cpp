// Marking frames on the zoom view: a press starts and the next press ends
// marking, moves in between reshape the current frame between the anchor and
// the pointer, a right press sets the hot spot. Every move onto another
// zoomed pixel redraws the view with a crosshair on that pixel's row and column.
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "editor/ViewMath.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;
using ViewMath::FloorPos;

namespace {

// Differences of sheet coordinates that a damaged project may hold anywhere
// in the int32 range: computed wide and stored as the record's 32 bits.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

} // namespace

QPoint Form1::ZoomCell(double X, double Y) const {
    return {FloorPos(X / ZoomFactor), FloorPos(Y / ZoomFactor)};
}

void Form1::Picture1_MouseDown(int Button, int /*Shift*/, double X, double Y) {
    if (CurAction < 0 || CurDirection < 0 || CurFrame < 0) return;
    // An index that is no frame of the current direction (a strip rebuild
    // still pending) is no current frame either.
    FrameData* f = CurrentFrameAt(CurFrame);
    if (!f) return;
    const QPoint cell = ZoomCell(X, Y);
    const int64_t px = static_cast<int64_t>(ZoomOriginX()) + cell.x();
    const int64_t py = static_cast<int64_t>(ZoomOriginY()) + cell.y();

    if (Button == 2) {
        const EditStep step(*this, "Set Hot Spot");
        // Relative to the frame's corner; it may lie outside the frame.
        f->HotSpotX = Wrap(px - f->X);
        f->HotSpotY = Wrap(py - f->Y);
        if (SpriteFrame* w = ThumbHolding(CurFrame)) w->SetHS(f->HotSpotX, f->HotSpotY);
        return;
    }
    Marking = !Marking;
    if (!Marking) {
        EndMarkingStep(); // one step from the press that began it
        return;
    }
    StartMarkingStep();
    // Emptied at once; the views show it with the first move.
    f->Width = 0;
    f->Height = 0;
    AnchorX = Wrap(px);
    AnchorY = Wrap(py);
    RefreshJitterMarks();
}

void Form1::Picture1_MouseMove(int /*Button*/, int /*Shift*/, double X, double Y) {
    const QPoint cell = ZoomCell(X, Y);
    const double half = ZoomFactor / 2.0;
    const double snapX = static_cast<double>(cell.x()) * ZoomFactor + half;
    const double snapY = static_cast<double>(cell.y()) * ZoomFactor + half;
    // The work follows the pointer one zoomed pixel at a time.
    if (snapX == LastCellX && snapY == LastCellY) return;
    LastCellX = snapX;
    LastCellY = snapY;

    FrameData* f = Marking && CurFrame >= 0 ? CurrentFrameAt(CurFrame) : nullptr;
    if (f) {
        const int64_t px = static_cast<int64_t>(ZoomOriginX()) + cell.x();
        const int64_t py = static_cast<int64_t>(ZoomOriginY()) + cell.y();
        f->X = Wrap(std::min<int64_t>(px, AnchorX));
        f->Y = Wrap(std::min<int64_t>(py, AnchorY));
        f->Width = Wrap((px > AnchorX ? px - AnchorX : AnchorX - px) + 1);
        f->Height = Wrap((py > AnchorY ? py - AnchorY : AnchorY - py) + 1);
        if (!MarkingChanged) {
            MarkingChanged = true;
            UpdateCaption();
        }
        NoteProjectChanged();
    }
    // After the frame has changed: the onion skin follows its hot spot.
    DrawZoomView();
    if (Marking) {
        if (!f) return; // no crosshair without a frame to mark
        DrawOverviewSheet();
        DrawFrameBox();
        Picture2->Present();

        // The thumbnail now shows its frame, also when it is laid out again later.
        if (CurFrame < ThumbCount()) ThumbLooks[CurFrame] = ThumbLook::Filled;
        if (SpriteFrame* w = ThumbHolding(CurFrame)) {
            w->SetInfo(f->X, f->Y, f->Width, f->Height, f->Delay);
            DrawThumbPicture(w, *f);
        }
        RefreshJitterMarks();
    }
    DrawCrosshair();
}
