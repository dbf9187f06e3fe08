// The Frames menu: fitting the current frame to the sprite under the pointer,
// trimming frames to their sprite pixels, and adding many frames at once from
// a grid or from the sprites found on the sheet, with their boxes previewed
// on the overview while the options change.
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <memory>

#include "base/Messages.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "editor/FramesDialog.h"
#include "platform/DeferredCall.h"
#include "platform/PictureBox.h"
#include "platform/ProgressWindow.h"
#include "sprites/Sprites.h"

using namespace SpriteProject;

namespace {

// A fit takes the nearest sprite this close (in sheet pixels) to a pointer on
// the background, and joins parts this close, as the sprite search's default does.
constexpr int64_t FitReach = 8;
constexpr int32_t FitMergeGap = 2;

SpriteRect RectOf(const FrameData& f) { return {f.X, f.Y, f.Width, f.Height}; }

SpriteRect Clip(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const SheetPixels& sheet) {
    x0 = std::max<int64_t>(x0, 0), y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, sheet.Width), y1 = std::min<int64_t>(y1, sheet.Height);
    if (x1 <= x0 || y1 <= y0) return {};
    return {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
            static_cast<int32_t>(y1 - y0)};
}

// Squared distance from pixel (px, py) to the nearest pixel of r.
int64_t Distance2(const SpriteRect& r, int64_t px, int64_t py) {
    const int64_t dx = std::max({int64_t{r.X} - px, int64_t{0}, px - (int64_t{r.X} + r.Width - 1)});
    const int64_t dy = std::max({int64_t{r.Y} - py, int64_t{0}, py - (int64_t{r.Y} + r.Height - 1)});
    return dx * dx + dy * dy;
}

// The sprite at sheet pixel (px, py), or the nearest one within FitReach; empty
// when there is none. Only a window around the pixel is searched, grown while
// the sprite comes within merging distance of a window edge that is not the
// sheet's, since it may then go on (or join more parts) beyond it.
SpriteRect SpriteAt(const SheetPixels& sheet, int32_t maskColor, int64_t px, int64_t py) {
    if (!sheet.Usable()) return {};
    for (int64_t reach = 64;; reach *= 2) {
        const SpriteRect win = Clip(px - reach, py - reach, px + reach + 1, py + reach + 1, sheet);
        if (win.Empty()) return {};
        const SpriteRects found = FindSprites(sheet, maskColor, win, FitMergeGap, 1);
        const SpriteRect* best = nullptr;
        int64_t bestDistance = FitReach * FitReach;
        for (const SpriteRect& r : found.Rects)
            if (const int64_t d = Distance2(r, px, py); d <= bestDistance && (!best || d < bestDistance))
                best = &r, bestDistance = d;
        if (!best) return {};
        const bool cut = (win.X > 0 && best->X - win.X <= FitMergeGap) ||
                         (win.Y > 0 && best->Y - win.Y <= FitMergeGap) ||
                         (win.X + win.Width < sheet.Width && win.X + win.Width - (best->X + best->Width) <= FitMergeGap) ||
                         (win.Y + win.Height < sheet.Height &&
                          win.Y + win.Height - (best->Y + best->Height) <= FitMergeGap);
        if (!cut) return *best;
    }
}

// Colour 0x00BBGGRR of top-down sheet pixel (x, y).
int32_t ColorAt(const SheetPixels& s, int32_t x, int32_t y) {
    const uint8_t* p = s.Pixels + static_cast<size_t>(s.Height - 1 - y) * static_cast<size_t>(s.Stride) +
                       3 * static_cast<size_t>(x);
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

bool MaskOnBorder(const SheetPixels& s, int32_t maskColor) {
    for (int32_t x = 0; x < s.Width; ++x)
        if (ColorAt(s, x, 0) == maskColor || ColorAt(s, x, s.Height - 1) == maskColor) return true;
    for (int32_t y = 0; y < s.Height; ++y)
        if (ColorAt(s, 0, y) == maskColor || ColorAt(s, s.Width - 1, y) == maskColor) return true;
    return false;
}

// The rows y0..y1 of column x, or the columns x0..x1 of row y, as far as the surface holds them.
void Span(const PixelSurface& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pixel) {
    x0 = std::max<int64_t>(x0, s.OriginX), x1 = std::min<int64_t>(x1, int64_t{s.OriginX} + s.Width - 1);
    y0 = std::max<int64_t>(y0, s.OriginY), y1 = std::min<int64_t>(y1, int64_t{s.OriginY} + s.Height - 1);
    for (int64_t y = y0; y <= y1; ++y)
        if (x0 <= x1) std::fill_n(s.Row(static_cast<int32_t>(y)) + (x0 - s.OriginX), x1 - x0 + 1, pixel);
}

// The outline the overview gives a frame: from its corner to one past its far side.
void Outline(const PixelSurface& s, const SpriteRect& r, uint32_t pixel) {
    const int64_t x0 = r.X, y0 = r.Y, x1 = x0 + r.Width, y1 = y0 + r.Height;
    Span(s, x0, y0, x1, y0, pixel);
    Span(s, x0, y1, x1, y1, pixel);
    Span(s, x0, y0, x0, y1, pixel);
    Span(s, x1, y0, x1, y1, pixel);
}

void Refuse(const std::string& why) { MsgBox(why, MsgButtons::OK, MsgIcon::Exclamation, "Whoopsy!"); }

} // namespace

void Form1::ShowChangedFrame(int i) {
    ThumbChanged(i);
    const FrameData* f = CurrentFrameAt(i);
    if (SpriteFrame* w = ThumbHolding(i); w && f) w->SetHS(f->HotSpotX, f->HotSpotY);
}

bool Form1::ChooseFramesTarget() {
    if (!Sheet.Loaded()) {
        Refuse("There is no sprite sheet yet. Start a New Project with a sheet, or open a project, first.");
        return false;
    }
    if (CurrentDirection()) return true;
    if (CurAction < 0) {
        if (lstAction->count() == 0) Command1_Click(); // "Action 0", as "+" makes it
        lstAction->setCurrentIndex(0);
        lstAction_Click(0);
    }
    if (lstDirection->count() == 0) return false;
    lstDirection->setCurrentIndex(0);
    lstDirection_Click(0);
    // The strip shows the direction before the command goes on.
    if (StripRebuild->Pending()) StripRebuild->Flush();
    return CurrentDirection() != nullptr;
}

void Form1::mnuFitFrame_Click() {
    const EditStep step(*this, "Fit Frame to Sprite");
    if (!ChooseFramesTarget()) return;
    FrameData* f = CurrentFrameAt(CurFrame);
    if (!f) {
        Refuse("Click the thumbnail of the frame to fit first.");
        return;
    }
    // Whatever marking made so far is a step of its own; the fit is the next.
    EndMarkingStep();
    Marking = false;
    const SpriteRect sprite =
        std::isnan(LastCellX) || std::isnan(LastCellY)
            ? SpriteRect{}
            : SpriteAt(Sheet, MaskColor, int64_t{ZoomOriginX()} + ZoomCell(LastCellX, LastCellY).x(),
                       int64_t{ZoomOriginY()} + ZoomCell(LastCellX, LastCellY).y());
    if (sprite.Empty()) {
        Refuse("There is no sprite at the pointer. Point at one on the zoom view, then fit.");
        return;
    }
    MoveFrameRect(*f, sprite, HotSpotRule::BottomCentre);
    ShowChangedFrame(CurFrame);
    RedrawOverview();
}

void Form1::mnuTrimFrames_Click() {
    const EditStep step(*this, "Trim Frames");
    if (!ChooseFramesTarget()) return;
    DirectionData* d = CurrentDirection();
    // The highlights must stand for this direction's frames, not a pending rebuild's.
    if (!d || StripRebuild->Pending() || ThumbCount() != static_cast<int>(d->Frames.size())) return;
    std::vector<int> picked;
    for (int i = 0; i < ThumbCount(); ++i)
        if (ThumbHighlight[i] == 1) picked.push_back(i);
    if (picked.empty() && CurFrame >= 0 && CurFrame < ThumbCount()) picked.push_back(CurFrame);
    if (picked.empty()) {
        Refuse("Click the thumbnails of the frames to trim first.");
        return;
    }

    for (const int i : picked) {
        FrameData& f = d->Frames[i];
        if (f.Width <= 0 || f.Height <= 0) continue;
        const SpriteRect trimmed = TrimRect(Sheet, MaskColor, RectOf(f));
        if (trimmed.Empty() || trimmed == RectOf(f)) continue; // nothing to trim to, or nothing to trim
        MoveFrameRect(f, trimmed, HotSpotRule::BottomCentre);
        ShowChangedFrame(i);
    }
    RedrawOverview();
}

void Form1::mnuAddGrid_Click() { ShowFramesDialog(FramesSource::Grid); }

void Form1::mnuAddSprites_Click() { ShowFramesDialog(FramesSource::Sprites); }

void Form1::ShowFramesDialog(FramesSource source) {
    if (FramesWindow) {
        FramesWindow->raise();
        FramesWindow->activateWindow();
        return;
    }
    if (!Sheet.Loaded()) {
        ChooseFramesTarget(); // says why
        return;
    }

    // A mask colour that the border lacks is most likely not the background:
    // the whole sheet would be one sprite.
    const SheetPixels sheet(Sheet);
    if (!MaskOnBorder(sheet, MaskColor) &&
        MsgBox("The mask color is on no pixel of the sheet's border, so the background would count as "
               "sprite pixels. Use the color of the top-left pixel as the mask color?",
               MsgButtons::YesNo, MsgIcon::Question, "Ahem...") == MsgAnswer::Yes) {
        const EditStep step(*this, "Change Mask Color");
        MaskColor = ColorAt(sheet, 0, 0);
        SetupSheetView();
    }

    // Choosing the direction and adding the frames are one step, closed when the window ends.
    BeginEdit();
    FramesStepOpen = true;
    if (!ChooseFramesTarget()) {
        FramesStepOpen = false;
        EndEdit("Add Frames");
        return;
    }

    FramesOptions defaults;
    defaults.Source = source;
    if (const FrameData* f = CurrentFrameAt(CurFrame); f && f->Width > 0 && f->Height > 0) {
        defaults.CellWidth = std::min(f->Width, int32_t{32767});
        defaults.CellHeight = std::min(f->Height, int32_t{32767});
    }
    // The grid the sheet is drawn in, when it has one, fills in the cells.
    if (const GridFound g = source == FramesSource::Grid ? DetectGridIn(defaults.Area, this) : GridFound{};
        source == FramesSource::Grid && g.Error.empty() && !g.Cancelled) {
        defaults.CellWidth = std::min(g.Grid.CellWidth, int32_t{32767});
        defaults.CellHeight = std::min(g.Grid.CellHeight, int32_t{32767});
        defaults.OffsetX = std::min(g.Grid.OffsetX, int32_t{32767});
        defaults.OffsetY = std::min(g.Grid.OffsetY, int32_t{32767});
        defaults.GapX = std::min(g.Grid.GapX, int32_t{32767});
        defaults.GapY = std::min(g.Grid.GapY, int32_t{32767});
    }
    auto* window = new FramesDialog(source, defaults, this);
    connect(window, &FramesDialog::OptionsChanged, this, [this] { UpdateFramesPreview(); });
    connect(window, &FramesDialog::DetectRequested, this, [this] {
        if (!FramesWindow) return;
        const GridFound g = DetectGridIn(FramesWindow->Options().Area, FramesWindow);
        if (g.Cancelled) return;
        if (g.Error.empty())
            FramesWindow->SetGrid(g.Grid);
        else
            FramesWindow->lblCount->setText(QString::fromStdString(g.Error) + ".");
    });
    connect(window, &QDialog::finished, this, [this](int result) { FramesWindow_Finished(result); });
    FramesWindow = window;
    UpdateFramesPreview();
    window->open();
}

SpriteRect Form1::FramesSearchArea(FramesArea area) const {
    switch (area) {
    case FramesArea::ZoomView: {
        // Every sheet pixel the view shows, the one cut by its edge included.
        return {ZoomOriginX(), ZoomOriginY(), (ZoomViewWidth() + ZoomFactor - 1) / ZoomFactor,
                (ZoomViewHeight() + ZoomFactor - 1) / ZoomFactor};
    }
    case FramesArea::CurrentFrame: {
        const FrameData* f = CurrentFrameAt(CurFrame);
        return f ? RectOf(*f) : SpriteRect{};
    }
    case FramesArea::WholeSheet: break;
    }
    return {0, 0, Sheet.Width(), Sheet.Height()};
}

GridFound Form1::DetectGridIn(FramesArea area, QWidget* owner) const {
    const ProgressWindow progress(owner, "Looking for a grid...");
    return DetectGrid(Sheet, MaskColor, FramesSearchArea(area), progress.Reporter());
}

FramesFound Form1::FramesFromWindow() const {
    if (!FramesWindow) return {};
    const FramesOptions options = FramesWindow->Options();
    // On a large sheet the search takes a while: it can be watched and stopped.
    QWidget* owner = FramesWindow->isVisible() ? static_cast<QWidget*>(FramesWindow.data()) : const_cast<Form1*>(this);
    const ProgressWindow progress(owner, "Looking for frames...");
    FramesFound found = FindFrames(Sheet, MaskColor, FramesSearchArea(options.Area), options, progress.Reporter());
    if (found.Cancelled) {
        found.Frames.clear();
        found.Error = "The search was stopped; change an option to search again";
    }
    return found;
}

void Form1::UpdateFramesPreview() {
    if (!FramesWindow) return;
    const FramesFound found = FramesFromWindow();
    FramesWindow->ShowCount(found);

    // Sheet and boxes in one operation over the whole overview: thousands of
    // boxes cost one pass over the part of it that is held.
    auto boxes = std::make_shared<std::vector<SpriteRect>>();
    boxes->reserve(found.Frames.size());
    for (const FrameData& f : found.Frames) boxes->push_back(RectOf(f));
    const int32_t w = Picture2->PictureWidth(), h = Picture2->PictureHeight();
    const uint32_t pixel = ColorToPixel(ContrastColor);
    Picture2->Cls();
    Picture2->Draw(
        [w, h, boxes, pixel](const PixelSurface& s) {
            Sheet.DrawTo(s, 0, 0, 0, 0, w, h, 1, 1);
            for (const SpriteRect& r : *boxes) Outline(s, r, pixel);
        },
        QRect(0, 0, w, h));
    Picture2->Present();
}

void Form1::FramesWindow_Finished(int result) {
    const FramesFound found = result == QDialog::Accepted ? FramesFromWindow() : FramesFound{};
    const bool byRows = result == QDialog::Accepted && FramesWindow && FramesWindow->Options().RowsAsDirections;
    FramesWindow.clear(); // it deletes itself; another may open at once
    const bool added = !found.Frames.empty() && (byRows ? AddFoundDirections(found) : AddFoundFrames(found.Frames));
    if (FramesStepOpen) {
        FramesStepOpen = false;
        EndEdit(!added ? "Add Action" : byRows ? "Add Directions" : "Add Frames");
    }
    RedrawOverview();
}

bool Form1::AddFoundFrames(const std::vector<FrameData>& frames) {
    if (frames.empty()) return false;
    // A rebuild asked for meanwhile is due first, so the strip counts this direction.
    if (StripRebuild->Pending()) StripRebuild->Flush();
    DirectionData* d = CurrentDirection();
    if (!d) return false;
    const EditStep step(*this, "Add Frames");
    std::string error;
    if (!AddFrames(*d, frames, error)) {
        Refuse(error + ".");
        return false;
    }
    RebuildStripAt(FrameScroll->value());
    RedrawOverview();
    return true;
}

bool Form1::AddFoundDirections(const FramesFound& found) {
    if (found.Frames.empty()) return false;
    if (StripRebuild->Pending()) StripRebuild->Flush();
    if (CurAction < 0 || static_cast<size_t>(CurAction) >= Actions.size()) return false;
    const EditStep step(*this, "Add Directions");
    ActionData& a = Actions[CurAction];
    std::string error;
    if (!AddDirections(a, found.Frames, found.Rows, error)) {
        Refuse(error + ".");
        return false;
    }
    // The list offers the new directions; the one picked stays picked.
    {
        const QSignalBlocker block(lstDirection);
        for (int j = lstDirection->count(); static_cast<size_t>(j) < a.Directions.size(); ++j) {
            const std::string& name = a.Directions[j].Name;
            lstDirection->addItem(QString::fromStdString(name.empty() ? DefaultDirectionName(j) : name));
        }
        lstDirection->setCurrentIndex(CurDirection);
    }
    RebuildStripAt(FrameScroll->value());
    RedrawOverview();
    return true;
}
