// The frame record's byte layout, the reset and the names shown for unnamed entries.
#include <gtest/gtest.h>

#include "project/ProjectTestSupport.h"

TEST(FrameRecord, IsWrittenLittleEndianInRecordOrder) {
    FrameData f;
    f.X = 0x01020304;
    f.Y = -2;
    f.Height = 0x11223344;
    f.Width = 0x55667788;
    f.Reserved[0] = 0xAB;
    f.Reserved[1] = 0xCD;
    f.Delay = -300;
    f.HotSpotX = 0x7F000001;
    f.HotSpotY = -0x10000;
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    PutFrame(w, f);
    const std::vector<uint8_t> want = {0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0x44, 0x33,
                                       0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0xAB, 0xCD, 0xD4, 0xFE,
                                       0x01, 0x00, 0x00, 0x7F, 0x00, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(bytes, want);

    ByteReader r(bytes);
    FrameData back;
    ASSERT_TRUE(GetFrame(r, back));
    EXPECT_EQ(back, f);
    EXPECT_TRUE(r.AtEnd());
}

TEST(FrameRecord, ShortRecordIsRefusedAndConsumesNothing) {
    std::vector<uint8_t> bytes(27, 0x5A);
    ByteReader r(bytes);
    FrameData f = MakeFrame(7);
    EXPECT_FALSE(GetFrame(r, f));
    EXPECT_EQ(r.Position(), 0u);
    EXPECT_EQ(f, MakeFrame(7));
}

TEST_F(ProjectTest, ResetLeavesThePlaceholderAndKeepsNamesColourAndClipboard) {
    using namespace SpriteProject;
    Actions = {MakeAction("Walk", {MakeDirection("N", 3, 1), MakeDirection("S", 1, 9)})};
    CurAction = 0;
    CurDirection = 1;
    CurFrame = 2;
    SelAnchor = 1;
    SheetFile = "sheet.bmp";
    ProjectFile = "hero.sip";
    WorkDir = "/art/";
    MaskColor = 0x00FF00FF;
    ClipFrames = {MakeFrame(3), MakeFrame(4)};

    ResetModel();

    ExpectPlaceholder(Actions);
    EXPECT_EQ(CurAction, -1);
    EXPECT_EQ(CurDirection, -1);
    EXPECT_EQ(CurFrame, -1);
    EXPECT_FALSE(Sheet.Loaded());
    EXPECT_EQ(SelAnchor, 1);
    EXPECT_EQ(SheetFile, "sheet.bmp");
    EXPECT_EQ(ProjectFile, "hero.sip");
    EXPECT_EQ(WorkDir, "/art/");
    EXPECT_EQ(MaskColor, 0x00FF00FF);
    EXPECT_EQ(ClipFrames, (std::vector<FrameData>{MakeFrame(3), MakeFrame(4)}));
}

TEST(ProjectModel, NewEntriesHoldOneZeroFrameAndMatchingBounds) {
    DirectionData d = SpriteProject::NewDirection();
    ASSERT_EQ(d.Frames.size(), 1u);
    EXPECT_EQ(d.FrameUBound, 0);
    EXPECT_EQ(d.Frames[0], FrameData{});
    ActionData a = SpriteProject::NewAction();
    ASSERT_EQ(a.Directions.size(), 1u);
    EXPECT_EQ(a.DirUBound, 0);
    EXPECT_EQ(a.Directions[0].Frames.size(), 1u);

    EXPECT_EQ(SpriteProject::DefaultActionName(3), "Action 3");
    EXPECT_EQ(SpriteProject::DefaultDirectionName(0), "Dir 0");
    EXPECT_EQ(SpriteProject::DefaultActionName(32767), "Action 32767");
}

TEST(ProjectModel, SheetNameReplacesTheLastThreeCharacters) {
    EXPECT_EQ(SheetNameForProject("hero.sip"), "hero.bmp");
    EXPECT_EQ(SheetNameForProject("hero.SIP"), "hero.bmp");
    EXPECT_EQ(SheetNameForProject("sip"), "bmp");
    EXPECT_EQ(SheetNameForProject("ab"), "");
    EXPECT_EQ(SheetNameForProject(""), "");
    // Characters, not bytes: "\xC3\xA9" is one character.
    EXPECT_EQ(SheetNameForProject("h\xC3\xA9ro.s\xC3\xAFp"), "h\xC3\xA9ro.bmp");
}
