// What the window shows right after start-up, and Exit.
#include "EditorFixture.h"

TEST_F(EditorTest, StartsEmptyAndExitReleasesTheSheet) {
    EXPECT_EQ(W().windowTitle(), "Celwright (Beta 1.8)");
    EXPECT_TRUE(W().lblNewFrame->isHidden() && !W().mnuImportCCA->isEnabled() && Zoomed(100, 100) == 0);
    NewSheet(20, 20), W().mnuExit->trigger();
    EXPECT_FALSE(W().isVisible() || SP::Sheet.Loaded());
}
