// The SIF commands of the File menu: export in a depth mode, the two
// compression switches, and import.
#include <QAction>
#include <QComboBox>

#include "base/Messages.h"
#include "editor/Form1.h"
#include "platform/CommDlgs.h"
#include "platform/ProgressWindow.h"
#include "sif/SifFile.h"

using namespace SpriteProject;

namespace {

const std::string SifFilter = std::string("Sprite Image Format files (*.sif)") + '\0' + "*.sif";

void ImportAborted() { MsgBox("SIF import aborted.", MsgButtons::OK, MsgIcon::Critical, "Dangit..."); }

} // namespace

void Form1::mnuExportSIF_Click(int Index) {
    const std::string path =
        FileDialog(this, 0, "Save Sprite Image File As...", "*.sif", SifFilter, WorkDir, "sif");
    if (path.empty()) return;
    const uint8_t structure = mnuCompress[0]->isChecked() ? 1 : 0;
    const uint8_t image = mnuCompress[1]->isChecked() ? 1 : 0;
    // Anything that is not a byte is no depth mode: pass 0, which the writer refuses.
    const uint8_t mode = Index >= 0 && Index <= 255 ? static_cast<uint8_t>(Index) : 0;
    // A cancelled export writes nothing and leaves an older file as it was.
    const ProgressWindow progress(this, "Exporting " + path + "...");
    WriteSIF(path, mode, structure, image, progress.Reporter());
}

void Form1::mnuCompress_Click(int Index) {
    if (Index < 0 || Index > 1) return;
    mnuCompress[Index]->setChecked(!mnuCompress[Index]->isChecked());
}

void Form1::mnuImportSIF_Click() {
    if (!SaveChangesFirst()) return;
    const std::string path =
        FileDialog(this, 1, "Import Sprite Image Format file", "*.sif", SifFilter, WorkDir, "sif");
    if (path.empty()) return;
    ImportSifFrom(path);
}

void Form1::ImportSifFrom(const std::string& path) {
    // The file is read before anything else changes, so that Cancel leaves the
    // previous project as it was.
    const int32_t previousMask = MaskColor;
    // Emptied, so that what the reader brings is told from what it left alone.
    std::vector<ActionData> previousActions;
    previousActions.swap(Actions);
    SifImage img;
    {
        const ProgressWindow progress(this, "Importing " + path + "...");
        img = ReadSIF(path, progress.Reporter());
        if (progress.Cancelled()) {
            MaskColor = previousMask;
            Actions.swap(previousActions);
            return;
        }
    }
    // From here on the previous project is gone, whatever the outcome. A refused
    // file leaves the model as the reset makes it; a file with an empty sheet
    // brings its frames and mask colour but no picture.
    std::vector<ActionData> read;
    read.swap(Actions);
    ResetProject();
    if (!read.empty()) Actions.swap(read);
    if (img.Width == 0 || img.Height == 0) {
        ImportAborted();
        return;
    }
    lstAction->clear();
    for (size_t i = 0; i < Actions.size(); ++i) lstAction->addItem(QString("Action %1").arg(i));
    lstAction->setCurrentIndex(-1);
    lstAction->clearEditText();
    // A stream the bitmap refuses leaves the empty sheet of the reset.
    Sheet.FromRLE(img.Width, img.Height, img.Mode, MaskColor, img.Data);
    SheetSifPath = path; // the sheet has no file of its own: a recovery reads it from here
    SetupSheetView();
}
