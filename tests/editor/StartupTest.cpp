// What the window shows right after start-up, Exit, and what a reset keeps.
#include "EditorFixture.h"

TEST_F(EditorTest, StartsWithCaptionsMenusAndBlackViews) {
    EXPECT_EQ(W().windowTitle(), "Celwright (Beta 1.8)");
    EXPECT_EQ(QStringList({W().Label3->text(), W().Label6->text(), W().Label5->text(), W().Frame1->title(),
                           W().lblNewFrame->text()}),
              QStringList({"Zoom: 2x", "Mask Color", "Scale (1x)", " Animation Preview ", "\n\n\n\nNew\nFrame"}));
    EXPECT_TRUE(W().lblNewFrame->isHidden() && !W().mnuImportCCA->isEnabled() && W().mnuCompress[1]->isChecked());
    EXPECT_EQ(SP::WorkDir, QCoreApplication::applicationDirPath().toStdString());
    EXPECT_TRUE(Zoomed(100, 100) == 0 && W().Picture5->PixelAt(45, 45) == 0 && W().Picture2->PictureWidth() == 1);
    QStringList menus; // "&&" is Qt's literal ampersand: the item reads Black & White
    for (QMenu* m : {W().mnuFile, W().mnuExportSIFTop, W().mnuEdit})
        for (QAction* a : m->actions()) menus << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(menus, QStringList({"New Project", "Open Project", "Save Project", "Save Project As...", "-",
                                  "Import from CCA", "Import SIF", "Export to SIF", "-", "Compress Structure Data",
                                  "Compress Image Data", "-", "Exit", "Black && White", "Greyscale", "16-bit color",
                                  "24-bit color", "Cut Frame(s)", "Copy Frame(s)", "Paste Frames(s)"}));
}

TEST_F(EditorTest, ExitReleasesTheSheetAndResetKeepsNamesMaskAndClipboard) {
    NewSheet(20, 20);
    W().mnuExit->trigger();
    EXPECT_FALSE(W().isVisible() || SP::Sheet.Loaded());
    Fresh();
    SP::SheetFile = "a.bmp", SP::MaskColor = 0xFF00FF, SP::SelAnchor = 3;
    SP::ClipFrames.assign(2, FrameData{});
    W().HScroll1->setValue(7);
    W().Marking = W().Playing = true;
    W().ResetProject();
    EXPECT_EQ(SP::SheetFile, "a.bmp");
    EXPECT_EQ(QPoint(SP::MaskColor, SP::SelAnchor), QPoint(0xFF00FF, 3));
    EXPECT_EQ(SP::ClipFrames.size(), 2u);
    EXPECT_EQ(W().Label3->text(), "Zoom: 2x");
    EXPECT_FALSE(W().Marking || W().Playing);
}
