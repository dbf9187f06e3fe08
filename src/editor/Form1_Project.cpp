// The project commands of the File menu: New, Open, Save, Save As and Exit.
#include <string>

#include "base/FileIO.h"
#include "base/Messages.h"
#include "editor/Form1.h"
#include "platform/CommDlgs.h"
#include "platform/ProgressWindow.h"

using namespace SpriteProject;

namespace {

std::string Filter(const char* description, const char* pattern) {
    return std::string(description) + '\0' + pattern;
}

const std::string ProjectFilter = Filter("Sprite Image Projects (*.sip)", "*.sip");

} // namespace

void SplitChosenPath(const std::string& path, std::string& dir, std::string& file) {
    const size_t p = path.rfind('/');
    if (p == std::string::npos) {
        dir.clear();
        file = path;
        return;
    }
    dir = path.substr(0, p + 1);
    file = path.substr(p + 1);
}

void Form1::mnuNew_Click() {
    if (!SaveChangesFirst()) return;
    // Both kinds of sheet first, then the bitmaps alone as before.
    const std::string path =
        FileDialog(this, 1, "Load Sprite Sheet", "*.bmp",
                   Filter("Images (*.bmp *.png)", "*.bmp;*.png") + '\0' + Filter("Bitmap Files (*.bmp)", "*.bmp"),
                   WorkDir, "bmp");
    if (path.empty()) return;
    NewProjectFrom(path);
}

bool Form1::LoadSheetInto(cBitMap& fresh, const std::string& path) {
    const ProgressWindow progress(this, "Loading the sheet " + path + "...");
    fresh.LoadBMP(path, MaskColor, progress.Reporter());
    return !progress.Cancelled();
}

void Form1::NewProjectFrom(const std::string& path) {
    // The sheet is read before anything else changes, so that Cancel leaves the
    // previous project as it was.
    cBitMap fresh;
    if (!LoadSheetInto(fresh, path)) return;
    ResetProject();
    SplitChosenPath(path, WorkDir, SheetFile);
    // A sheet that cannot be loaded was reported by the loader; the views follow
    // either way. A PNG's transparent pixels take the mask colour in force.
    Sheet = std::move(fresh);
    SetupSheetView();
}

void Form1::mnuOpen_Click() {
    if (!SaveChangesFirst()) return;
    const std::string path =
        FileDialog(this, 1, "Load Sprite Project", "*.sip", ProjectFilter, WorkDir, "sip");
    if (path.empty()) return;
    OpenProjectFrom(path);
}

void Form1::OpenProjectFrom(const std::string& path) {
    std::string dir, file;
    SplitChosenPath(path, dir, file);
    // What Cancel puts back while the sheet loads: nothing else has changed yet.
    const ProjectNames before = CurrentProjectNames();
    std::vector<ActionData> previousActions = Actions;
    WorkDir = dir;
    ProjectFile = file;
    if (dir.empty() || file.empty()) return;
    if (!ReadProject(WorkDir + ProjectFile)) {
        ResetProject(); // also shows the new name in the caption
        return;
    }
    // Load the sheet where the search found it, which need not be WorkDir.
    cBitMap fresh;
    if (!LoadSheetInto(fresh, FoundSheetPath.empty() ? WorkDir + SheetFile : FoundSheetPath)) {
        RestoreProjectNames(before);
        Actions.swap(previousActions);
        return;
    }
    std::vector<ActionData> read;
    read.swap(Actions);
    ResetProject(); // also shows the new name in the caption
    Actions.swap(read);
    FillActionList();
    Sheet = std::move(fresh);
    SetupSheetView();
}

Form1::ProjectNames Form1::CurrentProjectNames() const {
    return {WorkDir, ProjectFile, SheetFile, FoundSheetPath, MaskColor};
}

void Form1::RestoreProjectNames(const ProjectNames& names) {
    WorkDir = names.WorkDir;
    ProjectFile = names.ProjectFile;
    SheetFile = names.SheetFile;
    FoundSheetPath = names.FoundSheetPath;
    MaskColor = names.MaskColor;
}

void Form1::mnuSave_Click() { SaveProject(); }

bool Form1::SaveProject() {
    if (ProjectFile.empty()) return SaveProjectAs();
    // A marking in progress is saved as it stands.
    EndMarkingStep();
    if (Marking) StartMarkingStep();
    if (!WriteProject(WorkDir + ProjectFile)) return false;
    EditHistory.MarkSaved();
    UpdateCaption();
    DiscardRecovery();
    return true;
}

void Form1::mnuSaveAs_Click() { SaveProjectAs(); }

bool Form1::SaveProjectAs() {
    const std::string path =
        FileDialog(this, 0, "Save Sprite Project As...", "*.sip", ProjectFilter, WorkDir, "sip");
    if (path.empty()) return false;
    std::string dir, file;
    SplitChosenPath(path, dir, file);
    // A save that fails leaves the project under its old names: nothing was written under the new ones.
    const ProjectNames before = CurrentProjectNames();

    if (SheetFile.empty()) {
        // The sheet has no bitmap file yet (it came from a SIF file): it is saved
        // beside the project under the project's name, with "bmp".
        const std::string sheetName = file.substr(0, file.size() >= 3 ? file.size() - 3 : 0) + "bmp";
        const std::string sheetPath = dir + sheetName;
        if (IsNormalFile(sheetPath) &&
            MsgBox("Do you want to over write the file:\n\n" + sheetPath, MsgButtons::YesNo, MsgIcon::Question,
                   "Hold up!") != MsgAnswer::Yes)
            return false;
        // The sheet first: a project without its sheet beside it would not open.
        if (Sheet.Loaded() && !Sheet.Save(sheetPath)) return false;
        WorkDir = dir;
        ProjectFile = file;
        SheetFile = sheetName;
    } else {
        WorkDir = dir;
        ProjectFile = file;
    }
    EndMarkingStep();
    if (Marking) StartMarkingStep();
    const bool written = WriteProject(path);
    if (written)
        EditHistory.MarkSaved(), DiscardRecovery();
    else
        RestoreProjectNames(before);
    UpdateCaption();
    return written;
}

void Form1::mnuExit_Click() { close(); }
