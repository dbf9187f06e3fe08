// Undo and redo of every change to the project, the modified state shown in
// the caption, and the question before a command throws unsaved work away.
#include <QAction>
#include <QComboBox>
#include <QScrollBar>
#include <QSignalBlocker>

#include "base/Messages.h"
#include "editor/Form1.h"
#include "platform/PictureBox.h"

using namespace SpriteProject;

namespace {

const QString AppCaption = "Celwright (Beta 1.8)";
const char* const MarkFrame = "Mark Frame";

} // namespace

History::Selection Form1::ShownSelection() const { return {CurAction, CurDirection, lstAction->count()}; }

Form1::EditSnapshot Form1::TakeSnapshot() const { return {Actions, MaskColor, ShownSelection()}; }

void Form1::CommitSnapshot(const EditSnapshot& from, const std::string& name) {
    History::Step step;
    step.name = name;
    step.changes = History::Diff(from.Actions, from.Mask, Actions, MaskColor);
    step.before = from.Shown;
    step.after = ShownSelection();
    // A command that changed nothing (or only which action the list offers) leaves no
    // step behind, unless the list changed: the first action of a new project
    // replaces an identical placeholder.
    if (step.changes.empty() && step.before.listed == step.after.listed) return;
    EditHistory.Push(std::move(step));
    UpdateEditMenu();
    UpdateCaption();
    NoteProjectChanged();
}

void Form1::BeginEdit() {
    if (EditDepth++ > 0) return;
    // A marking in progress is one step up to here; the command is the next.
    if (MarkingEdit) {
        CommitSnapshot(*MarkingEdit, MarkFrame);
        MarkingEdit.reset();
    }
    OpenEdit = TakeSnapshot();
}

void Form1::EndEdit(const char* name) {
    if (--EditDepth > 0) return;
    if (OpenEdit) {
        CommitSnapshot(*OpenEdit, name);
        OpenEdit.reset();
        RefreshJitterMarks();
        // Marking goes on: what it changes from here on is a step of its own.
        if (Marking) StartMarkingStep();
    }
    // The frames around the current one, or its hot spot, may have changed.
    UpdateOnionSkin();
}

void Form1::StartMarkingStep() {
    MarkingEdit = TakeSnapshot();
    MarkingChanged = false;
}

void Form1::EndMarkingStep() {
    if (!MarkingEdit) return;
    CommitSnapshot(*MarkingEdit, MarkFrame);
    MarkingEdit.reset();
    MarkingChanged = false;
    UpdateCaption();
}

void Form1::mnuUndo_Click() { StepHistory(false); }

void Form1::mnuRedo_Click() { StepHistory(true); }

void Form1::StepHistory(bool redo) {
    // Undo and redo end marking: the frame it was reshaping goes back with the step.
    EndMarkingStep();
    Marking = false;
    const int32_t mask = MaskColor;
    const std::optional<History::Selection> shown =
        redo ? EditHistory.Redo(Actions, MaskColor) : EditHistory.Undo(Actions, MaskColor);
    if (!shown) return;
    ShowRestoredState(*shown, mask != MaskColor);
    NoteProjectChanged();
}

void Form1::ShowRestoredState(const History::Selection& shown, bool maskChanged) {
    CurAction = shown.action;
    CurDirection = shown.direction;
    const int actions = static_cast<int>(Actions.size());
    const int listed = shown.listed < 0 || shown.listed > actions ? actions : shown.listed;
    if (CurAction >= listed) CurAction = -1;
    const ActionData* a = CurAction >= 0 ? &Actions[CurAction] : nullptr;
    if (!a || CurDirection >= static_cast<int>(a->Directions.size())) CurDirection = -1;

    {
        const QSignalBlocker blockA(lstAction), blockD(lstDirection);
        lstAction->clear();
        for (int i = 0; i < listed; ++i) {
            const std::string& name = Actions[i].Name;
            lstAction->addItem(QString::fromStdString(name.empty() ? DefaultActionName(i) : name));
        }
        lstAction->setCurrentIndex(CurAction);
        if (CurAction < 0) lstAction->clearEditText();
        lstDirection->clear();
        if (a) {
            for (size_t j = 0; j < a->Directions.size(); ++j) {
                const std::string& name = a->Directions[j].Name;
                lstDirection->addItem(
                    QString::fromStdString(name.empty() ? DefaultDirectionName(static_cast<int>(j)) : name));
            }
        }
        lstDirection->setCurrentIndex(CurDirection);
        if (CurDirection < 0) lstDirection->clearEditText();
    }

    // The strip at once, keeping its place where the direction still reaches it.
    RebuildStripAt(FrameScroll->value());

    if (maskChanged) {
        SetupSheetView();
    } else {
        RedrawOverview();
        DrawZoomView();
    }
    UpdateEditMenu();
    UpdateCaption();
}

bool Form1::Modified() const { return !EditHistory.AtSavedPoint() || MarkingChanged; }

void Form1::ForgetHistory() {
    EditHistory.Clear();
    OpenEdit.reset();
    EditDepth = 0;
    MarkingEdit.reset();
    MarkingChanged = false;
    UpdateEditMenu();
    UpdateCaption();
    DiscardRecovery();
}

void Form1::UpdateEditMenu() {
    if (!mnuUndo) return;
    mnuUndo->setEnabled(EditHistory.CanUndo());
    mnuUndo->setText(EditHistory.CanUndo() ? QString::fromStdString("Undo " + EditHistory.UndoName()) : "Undo");
    mnuRedo->setEnabled(EditHistory.CanRedo());
    mnuRedo->setText(EditHistory.CanRedo() ? QString::fromStdString("Redo " + EditHistory.RedoName()) : "Redo");
}

void Form1::UpdateCaption() {
    if (ProjectFile.empty()) {
        setWindowTitle(AppCaption);
        return;
    }
    setWindowTitle(QString::fromStdString(ProjectFile) + (Modified() ? "*" : "") + " - " + AppCaption);
}

bool Form1::SaveChangesFirst() {
    if (!Modified()) return true;
    switch (MsgBox("Save changes to the project?", MsgButtons::YesNoCancel, MsgIcon::Exclamation, "Hold up!")) {
    case MsgAnswer::Yes: return SaveProject();
    case MsgAnswer::No: DiscardRecovery(); return true;
    default: return false;
    }
}
