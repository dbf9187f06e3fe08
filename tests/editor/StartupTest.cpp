// What the window shows right after start-up, Exit, and what a reset keeps.
#include <QCoreApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>

#include "EditorFixture.h"

namespace {

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
    return out;
}

} // namespace

TEST_F(EditorTest, StartsWithCaptionsMenusAndBlackViews) {
    EXPECT_EQ(W().windowTitle(), "Celwright (Beta 1.8)");
    EXPECT_EQ(W().Label3->text(), "Zoom: 2x");
    EXPECT_EQ(W().Label6->text(), "Mask Color");
    EXPECT_EQ(W().Label6->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(W().lblNewFrame->text(), "\n\n\n\nNew\nFrame");
    EXPECT_TRUE(W().lblNewFrame->isHidden());
    EXPECT_EQ(W().Frame1->title(), " Animation Preview ");
    EXPECT_EQ(W().Label5->text(), "Scale (1x)");
    EXPECT_EQ(SP::WorkDir, QCoreApplication::applicationDirPath().toStdString());
    ASSERT_EQ(SP::Actions.size(), 1u); // the placeholder project
    EXPECT_EQ(SP::Actions[0].Directions.at(0).Frames.at(0), FrameData{});
    EXPECT_EQ(W().Picture2->PictureWidth(), 1);
    EXPECT_EQ(W().Picture1->PixelAt(100, 100), 0);
    EXPECT_EQ(W().Picture5->PixelAt(45, 45), 0);
    EXPECT_EQ(MenuTexts(W().mnuFile),
              QStringList({"New Project", "Open Project", "Save Project", "Save Project As...", "-",
                           "Import from CCA", "Import SIF", "Export to SIF", "-", "Compress Structure Data",
                           "Compress Image Data", "-", "Exit"}));
    // "&&" is Qt's literal ampersand: the item reads Black & White.
    EXPECT_EQ(MenuTexts(W().mnuExportSIFTop),
              QStringList({"Black && White", "Greyscale", "16-bit color", "24-bit color"}));
    EXPECT_EQ(W().mnuExportSIF[5]->text(), "24-bit color");
    EXPECT_EQ(MenuTexts(W().mnuEdit), QStringList({"Cut Frame(s)", "Copy Frame(s)", "Paste Frames(s)"}));
    EXPECT_FALSE(W().mnuImportCCA->isEnabled());
    EXPECT_TRUE(W().mnuCompress[0]->isChecked() && W().mnuCompress[1]->isChecked());
}

TEST_F(EditorTest, ExitClosesTheWindowAndReleasesTheSheet) {
    NewProject(WriteSheet("s.bmp", MakePicture(20, 20, 0x123456)));
    ASSERT_TRUE(SP::Sheet.Loaded());
    W().mnuExit->trigger();
    EXPECT_FALSE(W().isVisible());
    EXPECT_FALSE(SP::Sheet.Loaded());
}

TEST_F(EditorTest, ResetKeepsFileNamesMaskAndClipboard) {
    SP::SheetFile = "a.bmp";
    SP::ProjectFile = "a.sip";
    SP::MaskColor = 0xFF00FF;
    SP::ClipFrames.assign(2, FrameData{});
    SP::SelAnchor = 3;
    W().HScroll1->setValue(7);
    W().ZoomCenterX = 5;
    W().Marking = W().Playing = true;
    W().ResetProject();
    EXPECT_EQ(SP::SheetFile + SP::ProjectFile, "a.bmpa.sip");
    EXPECT_EQ(SP::MaskColor, 0xFF00FF);
    EXPECT_EQ(SP::ClipFrames.size(), 2u);
    EXPECT_EQ(SP::SelAnchor, 3);
    EXPECT_EQ(W().Label3->text(), "Zoom: 2x");
    EXPECT_EQ(W().ZoomCenterX, 64);
    EXPECT_FALSE(W().Marking || W().Playing);
}
