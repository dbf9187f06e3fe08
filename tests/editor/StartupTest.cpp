// What the window shows right after start-up, and Exit.
#include "EditorFixture.h"

TEST_F(EditorTest, StartsWithCaptionsMenusAndBlackViews) {
    EXPECT_EQ(W().windowTitle(), "Celwright (Beta 1.8)");
    EXPECT_EQ(QStringList({W().Label3->text(), W().Label6->text(), W().Label5->text(), W().Frame1->title()}),
              QStringList({"Zoom: 2x", "Mask Color", "Scale (1x)", " Animation Preview "}));
    EXPECT_EQ(W().lblNewFrame->text(), "\n\n\n\nNew\nFrame");
    EXPECT_TRUE(W().lblNewFrame->isHidden() && !W().mnuImportCCA->isEnabled() && Zoomed(100, 100) == 0);
    QStringList menus; // "&&" is Qt's literal ampersand: the item reads Black & White
    for (QMenu* m : {W().mnuFile, W().mnuExportSIFTop, W().mnuEdit, W().mnuFrames})
        for (QAction* a : m->actions()) menus << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(menus, QStringList({"New Project", "Open Project", "Save Project", "Save Project As...", "-",
                                  "Import from CCA", "Import SIF", "Export to SIF", "-",
                                  "Compress Structure Data", "Compress Image Data", "-", "Exit",
                                  "Black && White", "Greyscale", "16-bit color", "24-bit color",
                                  "Undo", "Redo", "-", "Cut Frame(s)", "Copy Frame(s)", "Paste Frames(s)",
                                  "Fit Frame to Sprite", "Trim Frames", "-", "Add Frames from Grid...",
                                  "Add Frames from Sprites..."}));
}

TEST_F(EditorTest, ExitClosesTheWindowAndReleasesTheSheet) {
    NewSheet(20, 20), W().mnuExit->trigger();
    EXPECT_FALSE(W().isVisible() || SP::Sheet.Loaded());
}
