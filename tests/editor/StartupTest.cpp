// What the window shows right after start-up: caption, controls, menus.
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

#include "EditorFixture.h"
#include "controls/SpriteFrame.h"

namespace SP = SpriteProject;

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
    return out;
}

} // namespace

TEST_F(EditorTest, StartsWithCaptionLabelsAndEmptyLists) {
    EXPECT_EQ(W().windowTitle(), "Celwright (Beta 1.8)");
    EXPECT_EQ(W().Client->size(), QSize(553, 483));
    EXPECT_EQ(W().Label3->text(), "Zoom: 2x");
    EXPECT_EQ(W().Label6->text(), "Mask Color");
    EXPECT_EQ(W().Label6->toolTip(), "Color in bitmap to treat as transparent. DoubleClick to change");
    EXPECT_EQ(W().Label6->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(W().Label6->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(W().Label1->text(), "Action");
    EXPECT_EQ(W().Label2->text(), "Direction");
    EXPECT_TRUE(W().Label1->alignment() & Qt::AlignRight);
    EXPECT_EQ(W().Command2->text(), "--");
    EXPECT_EQ(W().lblNewFrame->text(), "\n\n\n\nNew\nFrame");
    EXPECT_TRUE(W().lblNewFrame->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(W().lblNewFrame->isHidden());
    EXPECT_EQ(W().lstAction->count(), 0);
    EXPECT_EQ(W().lstAction->currentText(), "");
    EXPECT_TRUE(W().lstAction->isEditable());
    EXPECT_EQ(W().lstAction->insertPolicy(), QComboBox::NoInsert);
    EXPECT_EQ(W().Frame1->title(), " Animation Preview ");
    EXPECT_TRUE(W().Check1->isChecked());
    EXPECT_EQ(W().Label5->text(), "Scale (1x)");
    EXPECT_TRUE(W().PlayImageShown);
    EXPECT_FALSE(W().Timer1->isActive());
}

TEST_F(EditorTest, StartupStateAndProgramDirectory) {
    EXPECT_EQ(SP::WorkDir, QCoreApplication::applicationDirPath().toStdString());
    EXPECT_NE(SP::WorkDir.back(), '/');
    EXPECT_EQ(W().ContrastColor, 0xFFFFFF);
    EXPECT_EQ(W().PasteMode, 3);
    EXPECT_EQ(W().ZoomFactor, 2);
    EXPECT_EQ(W().ZoomCenterX, 64);
    EXPECT_EQ(W().ZoomCenterY, 64);
    EXPECT_EQ(SP::CurAction, -1);
    EXPECT_EQ(SP::CurDirection, -1);
    EXPECT_EQ(SP::CurFrame, -1);
    // The placeholder project: one action, one direction, one all-zero frame.
    ASSERT_EQ(SP::Actions.size(), 1u);
    ASSERT_EQ(SP::Actions[0].Directions.size(), 1u);
    ASSERT_EQ(SP::Actions[0].Directions[0].Frames.size(), 1u);
    EXPECT_EQ(SP::Actions[0].Directions[0].Frames[0], FrameData{});
    // Both views are black, the overview 1 x 1.
    EXPECT_EQ(W().Picture2->PictureWidth(), 1);
    EXPECT_EQ(W().Picture2->PixelAt(0, 0), 0);
    EXPECT_EQ(W().Picture1->PixelAt(100, 100), 0);
    EXPECT_EQ(W().Picture5->PixelAt(45, 45), 0);
    EXPECT_EQ(W().Picture1->DrawWidth(), 2);
}

TEST_F(EditorTest, ControlsSitAtTheirPlaces) {
    struct Place {
        QWidget* w;
        QRect r;
    };
    const Place places[] = {
        {W().Label3, {8, 8, 57, 17}},          {W().HScroll1, {72, 6, 113, 17}},
        {W().Label6, {192, 6, 72, 17}},        {W().Picture1, {8, 24, 256, 256}},
        {W().Picture3, {272, 8, 256, 256}},    {W().TNScrollH, {272, 264, 257, 17}},
        {W().TNScrollV, {528, 8, 17, 257}},    {W().Label1, {-8, 290, 57, 17}},
        {W().lstAction, {56, 288, 137, 21}},   {W().Command1, {192, 288, 17, 21}},
        {W().Command2, {208, 288, 17, 21}},    {W().Label2, {-8, 322, 57, 17}},
        {W().lstDirection, {56, 320, 137, 21}}, {W().Command4, {192, 320, 17, 21}},
        {W().Command3, {208, 320, 17, 21}},    {W().Picture4, {240, 288, 305, 165}},
        {W().lblNewFrame, {88, 0, 49, 161}},   {W().FrameScroll, {240, 456, 305, 17}},
        {W().Frame1, {8, 352, 217, 121}},      {W().Picture5, {16, 16, 90, 90}},
        {W().VScroll1, {7, 16, 10, 90}},       {W().HScroll4, {16, 104, 90, 10}},
        {W().cmdPlay, {112, 16, 25, 25}},      {W().cmdStep, {136, 16, 25, 25}},
        {W().Check1, {167, 11, 45, 33}},       {W().Label4, {112, 48, 65, 17}},
        {W().HScroll2, {112, 64, 97, 13}},     {W().Label5, {112, 80, 65, 17}},
        {W().HScroll3, {112, 96, 97, 13}},
    };
    for (const Place& p : places) EXPECT_EQ(p.w->geometry(), p.r) << p.w->objectName().toStdString();
    EXPECT_EQ(W().Picture2->parentWidget(), W().Picture3);
    EXPECT_EQ(W().Picture2->pos(), QPoint(0, 0));
    EXPECT_EQ(W().lblNewFrame->parentWidget(), W().Picture4);

    struct Range {
        QScrollBar* s;
        int min, max, small, large, value;
    };
    const Range ranges[] = {
        {W().HScroll1, 2, 10, 1, 2, 2},   {W().TNScrollH, 0, 0, 5, 20, 0}, {W().TNScrollV, 0, 0, 5, 20, 0},
        {W().FrameScroll, 0, 0, 1, 1, 0}, {W().VScroll1, 0, 90, 1, 15, 45}, {W().HScroll4, 0, 90, 1, 15, 45},
        {W().HScroll2, 1, 1000, 1, 50, 1}, {W().HScroll3, 1, 16, 1, 2, 4},
    };
    for (const Range& r : ranges) {
        SCOPED_TRACE(r.s->objectName().toStdString());
        EXPECT_EQ(r.s->minimum(), r.min);
        EXPECT_EQ(r.s->maximum(), r.max);
        EXPECT_EQ(r.s->singleStep(), r.small);
        EXPECT_EQ(r.s->pageStep(), r.large);
        EXPECT_EQ(r.s->value(), r.value);
    }
    EXPECT_EQ(W().TNScrollV->orientation(), Qt::Vertical);
    EXPECT_EQ(W().VScroll1->orientation(), Qt::Vertical);
}

TEST_F(EditorTest, MenusInOrderWithChecksShortcutsAndGreyedImport) {
    const QList<QAction*> top = W().menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), "File");
    EXPECT_EQ(top[1]->text(), "Edit");
    EXPECT_EQ(MenuTexts(W().mnuFile),
              QStringList({"New Project", "Open Project", "Save Project", "Save Project As...", "-",
                           "Import from CCA", "Import SIF", "Export to SIF", "-", "Compress Structure Data",
                           "Compress Image Data", "-", "Exit"}));
    // "&&" is Qt's literal ampersand: the item reads Black & White.
    EXPECT_EQ(MenuTexts(W().mnuExportSIFTop),
              QStringList({"Black && White", "Greyscale", "16-bit color", "24-bit color"}));
    EXPECT_EQ(W().mnuExportSIF[1]->text(), "Black && White");
    EXPECT_EQ(W().mnuExportSIF[5]->text(), "24-bit color");
    EXPECT_EQ(W().mnuExportSIF[3], nullptr);
    EXPECT_EQ(MenuTexts(W().mnuEdit), QStringList({"Cut Frame(s)", "Copy Frame(s)", "Paste Frames(s)"}));

    EXPECT_FALSE(W().mnuImportCCA->isEnabled());
    EXPECT_TRUE(W().mnuImportSIF->isEnabled());
    for (QAction* a : W().mnuCompress) {
        EXPECT_TRUE(a->isCheckable());
        EXPECT_TRUE(a->isChecked());
    }
    EXPECT_FALSE(W().mnuNew->isCheckable());
    EXPECT_EQ(W().mnuCut->shortcut(), QKeySequence("Ctrl+X"));
    EXPECT_EQ(W().mnuCopy->shortcut(), QKeySequence("Ctrl+C"));
    EXPECT_EQ(W().mnuPaste->shortcut(), QKeySequence("Ctrl+V"));
    EXPECT_EQ(W().mnuNew->objectName(), "mnuNew");
    EXPECT_EQ(W().mnuExportSIF[4]->objectName(), "mnuExportSIF4");
}

TEST_F(EditorTest, CompressItemsToggleFromHandlerAndMenu) {
    W().mnuCompress_Click(0);
    EXPECT_FALSE(W().mnuCompress[0]->isChecked());
    EXPECT_TRUE(W().mnuCompress[1]->isChecked());
    W().mnuCompress[0]->trigger();
    EXPECT_TRUE(W().mnuCompress[0]->isChecked());
    W().mnuCompress[1]->trigger();
    EXPECT_FALSE(W().mnuCompress[1]->isChecked());
    W().mnuCompress_Click(1);
    EXPECT_TRUE(W().mnuCompress[1]->isChecked());
}

TEST_F(EditorTest, ExitClosesTheWindowAndReleasesTheSheet) {
    NewProject(WriteSheet("s.bmp", MakePicture(20, 20, 0x123456)));
    ASSERT_TRUE(SP::Sheet.Loaded());
    W().mnuExit->trigger();
    EXPECT_FALSE(W().isVisible());
    EXPECT_FALSE(SP::Sheet.Loaded());
    EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(EditorTest, ResetKeepsFileNamesMaskAndClipboard) {
    SP::SheetFile = "a.bmp";
    SP::ProjectFile = "a.sip";
    SP::MaskColor = 0xFF00FF;
    SP::ClipFrames.assign(2, FrameData{});
    SP::SelAnchor = 3;
    W().HScroll1->setValue(7);
    W().ZoomCenterX = 5;
    W().Marking = true;
    W().Playing = true;
    W().ResetProject();
    EXPECT_EQ(SP::SheetFile, "a.bmp");
    EXPECT_EQ(SP::ProjectFile, "a.sip");
    EXPECT_EQ(SP::MaskColor, 0xFF00FF);
    EXPECT_EQ(SP::ClipFrames.size(), 2u);
    EXPECT_EQ(SP::SelAnchor, 3);
    EXPECT_EQ(W().Label3->text(), "Zoom: 2x");
    EXPECT_EQ(W().ZoomCenterX, 64);
    EXPECT_FALSE(W().Marking || W().Playing);
}
