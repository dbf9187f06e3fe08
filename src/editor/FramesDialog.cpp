#include "editor/FramesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>
#include <limits>

namespace {

// The part of area that lies on the sheet (empty when none does).
SpriteRect ClipToSheet(const SpriteRect& area, const SheetPixels& sheet) {
    const int64_t x0 = std::max<int64_t>(area.X, 0), y0 = std::max<int64_t>(area.Y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{area.X} + area.Width, sheet.Width);
    const int64_t y1 = std::min<int64_t>(int64_t{area.Y} + area.Height, sheet.Height);
    if (x1 <= x0 || y1 <= y0) return {};
    return {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
            static_cast<int32_t>(y1 - y0)};
}

// Part of the sheet seen as a sheet of its own, so that the grid starts at the
// part's corner and fits inside it. The rows are bottom-up: the part's last
// row is the first in memory.
SheetPixels PartOf(const SheetPixels& sheet, const SpriteRect& part) {
    const size_t firstRow = static_cast<size_t>(sheet.Height - part.Y - part.Height);
    return {sheet.Pixels + firstRow * static_cast<size_t>(sheet.Stride) + 3 * static_cast<size_t>(part.X),
            part.Width, part.Height, sheet.Stride};
}

} // namespace

FramesFound FindFrames(const SheetPixels& sheet, int32_t maskColor, SpriteRect area, const FramesOptions& o,
                       const Progress& progress) {
    FramesFound out;
    if (!sheet.Usable()) {
        out.Error = "There is no sheet to look at";
        return out;
    }
    const SpriteRect a = ClipToSheet(area, sheet);
    if (a.Empty()) {
        out.Error = o.Area == FramesArea::CurrentFrame ? "The current frame has no rectangle on the sheet"
                                                       : "The search area lies outside the sheet";
        return out;
    }
    std::vector<SpriteRect> rects;
    if (o.Source == FramesSource::Sprites) {
        SpriteRects found = FindSprites(sheet, maskColor, a, o.MergeGap, o.MinSize, progress);
        out.Cancelled = found.Cancelled;
        out.Error = std::move(found.Error);
        rects = std::move(found.Rects);
        out.Rows = RowLengths(rects);
    } else {
        GridSpec grid;
        grid.CellWidth = o.CellWidth;
        grid.CellHeight = o.CellHeight;
        grid.OffsetX = o.OffsetX;
        grid.OffsetY = o.OffsetY;
        grid.GapX = o.GapX;
        grid.GapY = o.GapY;
        grid.Columns = o.Columns;
        grid.Rows = o.Rows;
        SpriteRects cells = GridCells(PartOf(sheet, a), maskColor, grid, o.SkipEmpty, progress);
        out.Cancelled = cells.Cancelled;
        out.Error = std::move(cells.Error);
        rects = std::move(cells.Rects);
        for (SpriteRect& r : rects) r.X += a.X, r.Y += a.Y;
        out.Rows = RowLengths(rects);
        if (o.TrimCells) {
            out.Frames = TrimmedCellFrames(sheet, maskColor, rects, o.HotSpot, o.Delay);
            return out;
        }
    }
    out.Frames.reserve(rects.size());
    for (const SpriteRect& r : rects) out.Frames.push_back(MakeFrame(r, o.HotSpot, o.Delay));
    return out;
}

FramesDialog::FramesDialog(FramesSource source, const FramesOptions& defaults, QWidget* parent)
    : QDialog(parent), Source(source) {
    setObjectName("FramesDialog");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    const bool grid = source == FramesSource::Grid;
    setWindowTitle(grid ? "Add Frames from Grid" : "Add Frames from Sprites");

    auto* form = new QFormLayout(this);
    auto spin = [this](const char* name, int min, int max, int value) {
        auto* s = new QSpinBox(this);
        s->setObjectName(name);
        s->setRange(min, max);
        s->setValue(value);
        connect(s, &QSpinBox::valueChanged, this, &FramesDialog::OptionsChanged);
        return s;
    };
    auto combo = [this](const char* name, const QStringList& items, int index) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        c->addItems(items);
        c->setCurrentIndex(index);
        connect(c, &QComboBox::currentIndexChanged, this, &FramesDialog::OptionsChanged);
        return c;
    };
    auto check = [this](const char* name, const QString& text, bool on) {
        auto* c = new QCheckBox(text, this);
        c->setObjectName(name);
        c->setChecked(on);
        connect(c, &QCheckBox::toggled, this, &FramesDialog::OptionsChanged);
        return c;
    };
    constexpr int most = std::numeric_limits<int16_t>::max();

    cboArea = combo("cboArea", {"Whole sheet", "Area the zoom view shows", "Current frame's rectangle"},
                    static_cast<int>(defaults.Area));
    form->addRow("Search area:", cboArea);
    if (grid) {
        spnCellWidth = spin("spnCellWidth", 1, most, defaults.CellWidth);
        spnCellHeight = spin("spnCellHeight", 1, most, defaults.CellHeight);
        auto* size = new QHBoxLayout;
        size->addWidget(spnCellWidth);
        size->addWidget(new QLabel("x", this));
        size->addWidget(spnCellHeight);
        form->addRow("Cell size:", size);
        // Two spin boxes on one row, "a x b".
        auto pair = [this, form](const char* label, QSpinBox* a, QSpinBox* b) {
            auto* row = new QHBoxLayout;
            row->addWidget(a);
            row->addWidget(new QLabel("x", this));
            row->addWidget(b);
            form->addRow(label, row);
        };
        spnOffsetX = spin("spnOffsetX", 0, most, defaults.OffsetX);
        spnOffsetY = spin("spnOffsetY", 0, most, defaults.OffsetY);
        pair("Margin:", spnOffsetX, spnOffsetY);
        spnGapX = spin("spnGapX", 0, most, defaults.GapX);
        spnGapY = spin("spnGapY", 0, most, defaults.GapY);
        pair("Gap:", spnGapX, spnGapY);
        spnColumns = spin("spnColumns", 0, most, defaults.Columns);
        spnRows = spin("spnRows", 0, most, defaults.Rows);
        for (QSpinBox* s : {spnColumns, spnRows}) s->setSpecialValueText("all");
        pair("Columns, rows:", spnColumns, spnRows);
        cmdDetect = new QPushButton("&Detect", this);
        cmdDetect->setObjectName("cmdDetect");
        cmdDetect->setToolTip("Find the grid in the search area: its separator lines, or the gutters between sprites");
        connect(cmdDetect, &QPushButton::clicked, this, &FramesDialog::DetectRequested);
        auto* detect = new QHBoxLayout;
        detect->addWidget(cmdDetect);
        detect->addWidget(new QLabel("the grid in the search area", this));
        detect->addStretch();
        form->addRow(detect);
        chkSkipEmpty = check("chkSkipEmpty", "Skip empty cells", defaults.SkipEmpty);
        chkTrim = check("chkTrim", "Trim cells to their sprites", defaults.TrimCells);
        form->addRow(chkSkipEmpty);
        form->addRow(chkTrim);
    } else {
        spnMergeGap = spin("spnMergeGap", 0, 1000, defaults.MergeGap);
        spnMinSize = spin("spnMinSize", 0, std::numeric_limits<int>::max(), defaults.MinSize);
        spnMergeGap->setSuffix(" px");
        spnMinSize->setSuffix(" px");
        spnMergeGap->setToolTip("Parts this close or closer are one sprite, so a detached hat joins its figure");
        spnMinSize->setToolTip("Sprites with fewer sprite pixels than this are left out");
        form->addRow("Merge parts up to:", spnMergeGap);
        form->addRow("Minimum size:", spnMinSize);
    }
    chkRowsAsDirections = check("chkRowsAsDirections", "One direction per row", defaults.RowsAsDirections);
    chkRowsAsDirections->setToolTip(grid ? "Each row of cells becomes a direction of its own"
                                         : "Each row of sprites, in reading order, becomes a direction of its own");
    form->addRow(chkRowsAsDirections);
    cboHotSpot = combo("cboHotSpot", {"Bottom centre", "Centre", "Top left"}, static_cast<int>(defaults.HotSpot));
    form->addRow("Default hot spot:", cboHotSpot);
    spnDelay = spin("spnDelay", 0, most, defaults.Delay);
    form->addRow("Delay:", spnDelay);

    lblCount = new QLabel(this);
    lblCount->setObjectName("lblCount");
    lblCount->setWordWrap(true);
    form->addRow(lblCount);

    cmdAdd = new QPushButton("&Add", this);
    cmdAdd->setObjectName("cmdAdd");
    cmdAdd->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdCancel);
    form->addRow(buttons);
    connect(cmdAdd, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

FramesOptions FramesDialog::Options() const {
    FramesOptions o;
    o.Source = Source;
    o.Area = static_cast<FramesArea>(std::max(0, cboArea->currentIndex()));
    if (Source == FramesSource::Grid) {
        o.CellWidth = spnCellWidth->value();
        o.CellHeight = spnCellHeight->value();
        o.OffsetX = spnOffsetX->value();
        o.OffsetY = spnOffsetY->value();
        o.GapX = spnGapX->value();
        o.GapY = spnGapY->value();
        o.Columns = spnColumns->value();
        o.Rows = spnRows->value();
        o.SkipEmpty = chkSkipEmpty->isChecked();
        o.TrimCells = chkTrim->isChecked();
    } else {
        o.MergeGap = spnMergeGap->value();
        o.MinSize = spnMinSize->value();
    }
    o.RowsAsDirections = chkRowsAsDirections->isChecked();
    o.HotSpot = static_cast<HotSpotRule>(std::max(0, cboHotSpot->currentIndex()));
    o.Delay = static_cast<int16_t>(spnDelay->value());
    return o;
}

void FramesDialog::ShowCount(const FramesFound& found) {
    const qsizetype n = static_cast<qsizetype>(found.Frames.size());
    if (!found.Error.empty())
        lblCount->setText(QString::fromStdString(found.Error) + ".");
    else if (n == 0)
        lblCount->setText("No frames will be added");
    else
        lblCount->setText(QLocale(QLocale::English).toString(n) + (n == 1 ? " frame" : " frames") +
                          " will be added");
    cmdAdd->setEnabled(n > 0);
}

void FramesDialog::SetGrid(const GridSpec& grid) {
    if (Source != FramesSource::Grid) return;
    {
        const QSignalBlocker blocks[] = {QSignalBlocker(spnCellWidth), QSignalBlocker(spnCellHeight),
                                         QSignalBlocker(spnOffsetX),   QSignalBlocker(spnOffsetY),
                                         QSignalBlocker(spnGapX),      QSignalBlocker(spnGapY),
                                         QSignalBlocker(spnColumns),   QSignalBlocker(spnRows)};
        spnCellWidth->setValue(grid.CellWidth);
        spnCellHeight->setValue(grid.CellHeight);
        spnOffsetX->setValue(grid.OffsetX);
        spnOffsetY->setValue(grid.OffsetY);
        spnGapX->setValue(grid.GapX);
        spnGapY->setValue(grid.GapY);
        spnColumns->setValue(grid.Columns);
        spnRows->setValue(grid.Rows);
    }
    emit OptionsChanged();
}
