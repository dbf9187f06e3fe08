// The SIF commands of the File menu: export in a depth mode, the two
// compression switches, and import.
#include <QAction>
#include <QComboBox>

#include "base/Messages.h"
#include "editor/Form1.h"
#include "platform/CommDlgs.h"
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
    WriteSIF(path, mode, structure, image);
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
    // From here on the previous project is gone, whatever the outcome.
    ResetProject();
    // A refused file leaves the model as the reset made it; a file with an empty
    // sheet brings its frames and mask colour but no picture.
    SifImage img = ReadSIF(path);
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
    SetupSheetView();
}
