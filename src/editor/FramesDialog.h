#pragma once
// The "Add Frames from Grid..." and "Add Frames from Sprites..." window: the
// options of one stroke of new frames, and a live count of what they make.
// The window only holds the options; the main window works out the frames on
// every change (OptionsChanged), shows their count here and their boxes on
// the overview, and adds them when the window is accepted.
#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "sprites/Sprites.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

enum class FramesSource { Grid, Sprites };
// Where frames are looked for: the sheet, what the zoom view shows, or the
// current frame's rectangle.
enum class FramesArea { WholeSheet, ZoomView, CurrentFrame };

struct FramesOptions {
    FramesSource Source = FramesSource::Sprites;
    FramesArea Area = FramesArea::WholeSheet;
    int32_t CellWidth = 32;
    int32_t CellHeight = 32;
    // Margin before the first cell (from the search area's corner), the space
    // between cells, and how many columns and rows (0: as many as fit).
    int32_t OffsetX = 0, OffsetY = 0;
    int32_t GapX = 0, GapY = 0;
    int32_t Columns = 0, Rows = 0;
    bool SkipEmpty = true;
    bool TrimCells = false;
    int32_t MergeGap = 2;
    int32_t MinSize = 4;
    HotSpotRule HotSpot = HotSpotRule::BottomCentre;
    int16_t Delay = 100;
    // Each row of cells or of sprites (reading order) a direction of its own.
    bool RowsAsDirections = false;
};

// The frames the options make inside area (sheet coordinates), or why none.
struct FramesFound {
    std::vector<FrameData> Frames;
    std::vector<size_t> Rows; // the lengths of the rows the frames came in, in order
    std::string Error;
    bool Cancelled = false; // the search was stopped through its Progress
};
FramesFound FindFrames(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, const FramesOptions& options,
                       const Progress& progress = {});

class FramesDialog : public QDialog {
    Q_OBJECT
public:
    FramesDialog(FramesSource source, const FramesOptions& defaults, QWidget* parent);

    const FramesSource Source;
    QComboBox* cboArea = nullptr;
    QSpinBox* spnCellWidth = nullptr;  // grid only
    QSpinBox* spnCellHeight = nullptr; // grid only
    QSpinBox* spnOffsetX = nullptr;    // grid only
    QSpinBox* spnOffsetY = nullptr;    // grid only
    QSpinBox* spnGapX = nullptr;       // grid only
    QSpinBox* spnGapY = nullptr;       // grid only
    QSpinBox* spnColumns = nullptr;    // grid only, 0 = as many as fit
    QSpinBox* spnRows = nullptr;       // grid only, 0 = as many as fit
    QCheckBox* chkSkipEmpty = nullptr; // grid only
    QCheckBox* chkTrim = nullptr;      // grid only
    QPushButton* cmdDetect = nullptr;  // grid only: fills in the grid found in the search area
    QCheckBox* chkRowsAsDirections = nullptr;
    QSpinBox* spnMergeGap = nullptr;   // sprites only
    QSpinBox* spnMinSize = nullptr;    // sprites only
    QComboBox* cboHotSpot = nullptr;
    QSpinBox* spnDelay = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdCancel = nullptr;

    FramesOptions Options() const;
    // Shows how many frames the options make, or why they make none; Add is
    // offered only when there is something to add.
    void ShowCount(const FramesFound& found);
    // Puts a found grid into the cell, margin and gap fields (as many columns
    // and rows as fit), as one change of the options.
    void SetGrid(const GridSpec& grid);

signals:
    void OptionsChanged();
    void DetectRequested();
};
