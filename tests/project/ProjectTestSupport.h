#pragma once
// Helpers shared by the project tests: a clean model per test and a frame tree
// built by hand, independently of the writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ByteIO.h"
#include "project/SpriteProject.h"

// Every test starts from the state of a freshly started program.
class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        using namespace SpriteProject;
        ResetModel();
        SheetFile.clear();
        ProjectFile.clear();
        WorkDir.clear();
        FoundSheetPath.clear();
        MaskColor = 0;
        SelAnchor = -1;
        ClipFrames.clear();
    }
};

inline FrameData MakeFrame(int32_t base) {
    FrameData f;
    f.X = base;
    f.Y = base + 1;
    f.Height = base + 2;
    f.Width = base + 3;
    f.Reserved[0] = static_cast<uint8_t>(0xA0 + base);
    f.Reserved[1] = static_cast<uint8_t>(0x50 + base);
    f.Delay = static_cast<int16_t>(-base);
    f.HotSpotX = -base - 4;
    f.HotSpotY = base + 5;
    return f;
}

inline DirectionData MakeDirection(const std::string& name, int frames, int32_t base) {
    DirectionData d;
    d.Name = name;
    for (int k = 0; k < frames; ++k) d.Frames.push_back(MakeFrame(base + k));
    d.FrameUBound = static_cast<int16_t>(frames - 1);
    return d;
}

inline ActionData MakeAction(const std::string& name, std::vector<DirectionData> dirs) {
    ActionData a;
    a.Name = name;
    a.Directions = std::move(dirs);
    a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
    return a;
}

inline void ExpectSameTree(const std::vector<ActionData>& got, const std::vector<ActionData>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t a = 0; a < want.size(); ++a) {
        SCOPED_TRACE("action " + std::to_string(a));
        EXPECT_EQ(got[a].Name, want[a].Name);
        EXPECT_EQ(got[a].DirUBound, want[a].DirUBound);
        ASSERT_EQ(got[a].Directions.size(), want[a].Directions.size());
        for (size_t j = 0; j < want[a].Directions.size(); ++j) {
            SCOPED_TRACE("direction " + std::to_string(j));
            const DirectionData& g = got[a].Directions[j];
            const DirectionData& w = want[a].Directions[j];
            EXPECT_EQ(g.Name, w.Name);
            EXPECT_EQ(g.FrameUBound, w.FrameUBound);
            EXPECT_EQ(g.Frames, w.Frames);
        }
    }
}

// The one-action placeholder a reset leaves behind.
inline void ExpectPlaceholder(const std::vector<ActionData>& actions) {
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].Name, "");
    EXPECT_EQ(actions[0].DirUBound, 0);
    ASSERT_EQ(actions[0].Directions.size(), 1u);
    EXPECT_EQ(actions[0].Directions[0].Name, "");
    EXPECT_EQ(actions[0].Directions[0].FrameUBound, 0);
    ASSERT_EQ(actions[0].Directions[0].Frames.size(), 1u);
    EXPECT_EQ(actions[0].Directions[0].Frames[0], FrameData{});
}

// Hand-made project files for the reader, field by field.
struct SipBuilder {
    std::vector<uint8_t> Bytes;
    ByteWriter W{Bytes};

    SipBuilder& Head(int32_t mask, const std::string& path) {
        W.I32(mask);
        W.I16(static_cast<int16_t>(path.size()));
        W.Bytes(path);
        return *this;
    }
    SipBuilder& Bound(int16_t b) {
        W.I16(b);
        return *this;
    }
    SipBuilder& Name(const std::string& raw) {
        W.U8(static_cast<uint8_t>(raw.size()));
        W.Bytes(raw);
        return *this;
    }
    SipBuilder& Frame(const FrameData& f) {
        PutFrame(W, f);
        return *this;
    }
    // An unnamed direction with one frame (the smallest one possible).
    SipBuilder& SmallDirection() { return Name("").Bound(0).Frame(FrameData{}); }
};
