// The editor as a desktop program: a file named on the command line or dropped
// on the window opens with the command of its kind, and the sheet file is
// watched, so that a save in a painting program shows at once.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "controls/SpriteFrame.h"
#include "editor/Form1.h"
#include "platform/ProgressWindow.h"
#include "sprites/FollowSheet.h"

using namespace SpriteProject;

namespace {

enum class FileKind { Unknown, Project, Sheet, Sif };

// By the name's extension, in any letter case.
FileKind KindOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return FileKind::Unknown;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "sip") return FileKind::Project;
    if (ext == "bmp" || ext == "png") return FileKind::Sheet;
    if (ext == "sif") return FileKind::Sif;
    return FileKind::Unknown;
}

// The commands split a path into folder and name, so a name alone needs its folder.
std::string Absolute(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// Names shown in the message about frames found nowhere; the rest are counted.
constexpr size_t ListedLost = 12;

// What following the changed sheet did, in a few lines.
std::string FollowMessage(const FollowReport& report) {
    std::string text = report.Moved == 1
                           ? "1 frame followed its picture to a new place on the changed sheet."
                           : std::to_string(report.Moved) + " frames followed their pictures to new places on the changed sheet.";
    if (!report.NotFound.empty()) {
        text += report.NotFound.size() == 1 ? "\n\nThis frame was found nowhere and stays where it was:"
                                            : "\n\nThese frames were found nowhere and stay where they were:";
        for (size_t i = 0; i < report.NotFound.size() && i < ListedLost; ++i) text += "\n" + report.NotFound[i];
        if (report.NotFound.size() > ListedLost)
            text += "\n... and " + std::to_string(report.NotFound.size() - ListedLost) + " more";
    }
    return text + "\n\nUndo puts them back.";
}

void DragDecision(QDropEvent* event) {
    if (Form1::DroppedPath(event->mimeData()).empty())
        event->ignore();
    else
        event->acceptProposedAction();
}

} // namespace

void Form1::SetupDesktop() {
    setAcceptDrops(true);
    SheetWatch = new QTimer(this);
    SheetWatch->setObjectName("SheetWatch");
    SheetWatch->setInterval(SheetWatchMs);
    connect(SheetWatch, &QTimer::timeout, this, &Form1::SheetWatch_Timer);
    SheetWatch->start();
}

bool Form1::OpenPath(const std::string& given) {
    const std::string path = Absolute(given);
    const FileKind kind = KindOf(path);
    if (kind == FileKind::Unknown) {
        MsgBox(path + "\n\nCelwright opens projects (.sip), sprite sheets (.bmp, .png) and SIF files (.sif).",
               MsgButtons::OK, MsgIcon::Exclamation, AppTitle);
        return false;
    }
    // Checked before anything is asked or reset: the open project stays.
    if (!IsNormalFile(path)) {
        MsgBox(path + "\n\nThis file does not exist.", MsgButtons::OK, MsgIcon::Critical, "Whoops");
        return false;
    }
    if (!SaveChangesFirst()) return false;
    switch (kind) {
    case FileKind::Project: OpenProjectFrom(path); break;
    case FileKind::Sheet: NewProjectFrom(path); break;
    default: ImportSifFrom(path); break;
    }
    return true;
}

std::string Form1::DroppedPath(const QMimeData* data) {
    if (!data || !data->hasUrls()) return "";
    const QList<QUrl> urls = data->urls();
    // One file at a time: the window holds one project.
    if (urls.size() != 1 || !urls[0].isLocalFile()) return "";
    const std::string path = QFile::encodeName(urls[0].toLocalFile()).toStdString();
    return KindOf(path) == FileKind::Unknown ? "" : path;
}

void Form1::dragEnterEvent(QDragEnterEvent* event) { DragDecision(event); }

void Form1::dragMoveEvent(QDragMoveEvent* event) { DragDecision(event); }

void Form1::dropEvent(QDropEvent* event) {
    const std::string path = DroppedPath(event->mimeData());
    if (path.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drag ends first; the question about unsaved changes comes after it.
    QTimer::singleShot(0, this, [this, path] { OpenPath(path); });
}

void Form1::SheetWatch_Timer() {
    const std::string& path = Sheet.FileName();
    if (path != WatchedSheet) {
        WatchedSheet = path;
        SheetPending.reset();
        SheetFailed.reset();
        SheetMissingSeen = 0;
    }
    if (path.empty() || !Sheet.Loaded()) return;
    // A question or chooser on screen comes first; the change waits for it.
    if (QApplication::activeModalWidget()) return;
    const FileStamp now = cBitMap::StampOf(path);
    // A file missing for a moment may be between the two steps of a save; one
    // that stays away is said once: the window then holds the only copy.
    if (now.Size < 0 && SheetMissingSeen <= SheetMissingLooks && ++SheetMissingSeen > SheetMissingLooks)
        MsgBox("The sheet file is gone:\n\n" + path +
                   "\n\nThe picture stays in the window as it was loaded, and the project can still be saved, "
                   "but the sheet itself is no longer on disk.",
               MsgButtons::OK, MsgIcon::Exclamation, "Whoops");
    if (now.Size >= 0) SheetMissingSeen = 0;
    if (now.Size < 0 || now == Sheet.LoadedStamp() || now == SheetFailed) {
        SheetPending.reset();
        return;
    }
    // A program still writing would be caught half way; a change must hold a while.
    if (SheetPending != now) {
        SheetPending = now;
        return;
    }
    SheetPending.reset();
    ReloadSheet();
}

bool Form1::ReloadSheet() {
    const std::string path = Sheet.FileName();
    if (path.empty()) return false;
    const FileStamp stamp = cBitMap::StampOf(path);
    cBitMap fresh;
    std::vector<Message> said;
    const MessageHandler previous = SetMessageHandler([&said](const Message& m) {
        said.push_back(m);
        return MsgAnswer::OK;
    });
    bool loaded = false;
    bool cancelled = false;
    {
        const ProgressWindow progress(this, "Reloading the changed sheet " + path + "...");
        loaded = fresh.LoadBMP(path, MaskColor, progress.Reporter());
        cancelled = progress.Cancelled();
    }
    SetMessageHandler(previous);
    if (cancelled) {
        // This version stays unread until the file changes again.
        SheetFailed = stamp;
        return false;
    }
    if (!loaded) {
        // Told once per version of the file: the next save tries again.
        SheetFailed = stamp;
        const Message why = said.empty() ? Message{path, MsgButtons::OK, MsgIcon::Critical, "Whoops"} : said[0];
        // Some of the loader's refusals do not name the file; this message always does.
        const std::string named = why.Text.find(path) == std::string::npos ? path + "\n\n" + why.Text : why.Text;
        MsgBox("The sheet file changed, but the new version cannot be used; the picture stays as it was.\n\n" + named,
               MsgButtons::OK, why.Icon, why.Title);
        return false;
    }

    const int32_t centreX = ZoomCenterX, centreY = ZoomCenterY;
    const int panX = TNScrollH->value(), panY = TNScrollV->value();
    // Only the marked rectangles' old pixels outlive the old sheet.
    const std::vector<SheetPiece> pieces = TakePieces(Sheet, MarkedRects(Actions));
    Sheet = std::move(fresh);
    SheetFailed.reset();
    ++SheetReloads;
    // Mask, swatch and both views; it also moves the zoom to the top-left
    // corner, so the zoom and the overview go back where they were, as far as
    // the new sheet's size allows.
    SetupSheetView();
    Picture2_MouseDown(0, 0, centreX, centreY);
    Picture2_MouseUp(0, 0, centreX, centreY);
    TNScrollH->setValue(panX);
    TNScrollV->setValue(panY);
    // The strip's widgets, laid out or held for later, show the new pixels;
    // nothing else about their frames changed.
    for (ThumbSlot& slot : ThumbPool) {
        if (slot.Shown < 0 || slot.Shown >= ThumbCount() || ThumbLooks[slot.Shown] != ThumbLook::Filled) continue;
        if (const FrameData* f = CurrentFrameAt(slot.Shown)) DrawThumbPicture(slot.Widget, *f);
    }
    FollowSheetChanges(pieces);
    return true;
}

void Form1::FollowSheetChanges(const std::vector<SheetPiece>& pieces) {
    FollowReport report;
    {
        const EditStep step(*this, "Follow Sheet Changes");
        report = FollowFrames(Actions, pieces, Sheet, MaskColor);
    }
    // A retouch in place moves nothing; frames it made unrecognisable stay
    // where they are, which is what the artist wants of an ordinary save.
    if (report.Moved == 0) return;
    RebuildStripAt(FrameScroll->value());
    RedrawOverview();
    DrawZoomView();
    MsgBox(FollowMessage(report), MsgButtons::OK, MsgIcon::Information, AppTitle);
}
