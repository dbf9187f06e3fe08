// Frames that follow their pictures when the sheet file is redrawn and reloaded.
#include <filesystem>
#include <tuple>

#include "EditorFixture.h"
#include "support/SheetArt.h"

using namespace SheetArt;

class FollowTest : public EditorTest {
protected:
    // A 3 x 4 grid of sprites of 20 x 24; direction 0 of one action holds frames
    // on sprites 0, 2, 4 and 3 with their own hot spots, then an unmarked one.
    void SetUp() override {
        EditorTest::SetUp();
        before = Grid(130, 100, 4, 3, 20, 24, 30);
        WriteFileBytes(dir / "sheet.bmp", MakeBmp24(before));
        SP::MaskColor = Mask;
        ASSERT_TRUE(W().OpenPath(dir / "sheet.bmp"));
        W().Command1_Click();
        DirectionData& d = SP::Actions[0].Directions[0];
        d.Frames.clear();
        for (const auto& [i, hx, hy] : {std::tuple(0, 10, 23), {2, -3, 40}, {4, 0, 0}, {3, 5, 5}})
            d.Frames.push_back(FrameData{4 + i % 4 * 30, 4 + i / 4 * 30, 24, 20, {0, 0}, 100, hx, hy});
        d.Frames.push_back(FrameData{});
        d.FrameUBound = 4;
        W().lstAction_Click(0), W().lstDirection_Click(0), WaitForRebuild();
        W().SheetWatch->stop(); // reloads come when a test asks for them
        W().ForgetHistory();
        marked = Dir0();
    }
    // The frames as a column of 16 pixels inserted at x = 64 moves them.
    std::vector<FrameData> Shifted() const {
        std::vector<FrameData> f = marked;
        for (FrameData& frame : f)
            if (frame.X >= 64 && frame.Width > 0) frame.X += 16;
        return f;
    }
    TestPicture before;
    std::vector<FrameData> marked;
};

TEST_F(FollowTest, AReloadMovesFramesAsOneUndoStepAndSaysWhatMovedAndWhatWasLost) {
    TestPicture after = InsertColumns(before, 64, 16);
    Fill(after, 4, 34, 20, 24); // sprite 4 erased
    WriteFileBytes(dir / "sheet.bmp", MakeBmp24(after));
    ASSERT_TRUE(W().ReloadSheet());

    std::vector<FrameData> expected = Shifted();
    expected[2] = marked[2]; // found nowhere: stays
    EXPECT_EQ(Dir0(), expected);
    EXPECT_EQ(messages.Texts(), Strings{"2 frames followed their pictures to new places on the changed sheet.\n\n"
                                        "This frame was found nowhere and stays where it was:\nAction 0/Dir 0/2\n\n"
                                        "Undo puts them back."});
    // The strip shows the new places, the hot spots as they were.
    const QString hotSpot = W().ThumbWidget(1)->HSText();
    EXPECT_EQ(W().ThumbWidget(1)->LocText(), "(80,4)");
    EXPECT_EQ(W().ThumbWidget(3)->LocText(), "(110,4)");
    EXPECT_EQ(W().ThumbWidget(2)->LocText(), "(4,34)");
    EXPECT_TRUE(W().Modified());

    ASSERT_EQ(W().mnuUndo->text(), "Undo Follow Sheet Changes");
    W().mnuUndo->trigger();
    EXPECT_EQ(Dir0(), marked);
    EXPECT_EQ(W().ThumbWidget(1)->LocText(), "(64,4)");
    EXPECT_EQ(W().ThumbWidget(1)->HSText(), hotSpot);
    EXPECT_FALSE(W().mnuUndo->isEnabled());
    W().mnuRedo->trigger();
    EXPECT_EQ(Dir0(), expected);
}

TEST_F(FollowTest, ARetouchInPlaceMovesNothingAndSaysNothing) {
    TestPicture after = before;
    Retouch(after, 64, 4, 20, 24, 3);
    Fill(after, 94, 4, 20, 24, 0x00123456); // sprite 3 painted over: lost, but nothing moved
    WriteFileBytes(dir / "sheet.bmp", MakeBmp24(after));
    ASSERT_TRUE(W().ReloadSheet());
    EXPECT_EQ(Dir0(), marked);
    EXPECT_TRUE(messages.Shown.empty());
    EXPECT_FALSE(W().mnuUndo->isEnabled() || W().Modified());
}

TEST_F(FollowTest, TheWatchedSheetReplacedByACopyWithAColumnInsertedKeepsTheProjectRight) {
    W().SheetWatch->start();
    WriteFileBytes(dir / "sheet.part", MakeBmp24(InsertColumns(before, 64, 16)));
    std::filesystem::rename(dir / "sheet.part", dir / "sheet.bmp");
    for (QDeadlineTimer end(3000); W().SheetReloads == 0 && !end.hasExpired();)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(W().SheetReloads, 1);
    EXPECT_EQ(Dir0(), Shifted());
    EXPECT_EQ(messages.Texts(), Strings{"2 frames followed their pictures to new places on the changed sheet.\n\n"
                                        "Undo puts them back."});
    EXPECT_EQ(W().ThumbWidget(3)->LocText(), "(110,4)");
}
