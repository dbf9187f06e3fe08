#pragma once
// Shared by the project tests: a clean model per test and project files built
// field by field, independently of the writer.
#include <gtest/gtest.h>

#include "base/ByteIO.h"
#include "base/Messages.h"
#include "project/SpriteProject.h"
#include "support/TestSupport.h"

class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() {
        using namespace SpriteProject;
        ResetModel();
        SheetFile = ProjectFile = WorkDir = FoundSheetPath = "";
        MaskColor = 0;
        SelAnchor = -1;
        ClipFrames.clear();
    }
};

inline FrameData MakeFrame(int32_t b) {
    return FrameData{b, b + 1, b + 2, b + 3, {uint8_t(0xA0 + b), uint8_t(0x50 + b)}, int16_t(-b), -b - 4, b + 5};
}

inline DirectionData MakeDirection(const std::string& name, int frames, int32_t base) {
    DirectionData d{{}, int16_t(frames - 1), name};
    for (int k = 0; k < frames; ++k) d.Frames.push_back(MakeFrame(base + k));
    return d;
}

inline ActionData MakeAction(const std::string& name, std::vector<DirectionData> dirs) {
    return ActionData{dirs, int16_t(dirs.size() - 1), name};
}

// The serialised form stands in for a deep comparison of two trees.
inline std::vector<uint8_t> TreeBytes(const std::vector<ActionData>& actions) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(BuildProjectBytes(0, "", actions, out, error)) << error;
    return out;
}

inline void ExpectPlaceholder() {
    EXPECT_EQ(TreeBytes(SpriteProject::Actions), TreeBytes({SpriteProject::NewAction()}));
}

struct SipBuilder {
    std::vector<uint8_t> Bytes;
    ByteWriter W{Bytes};
    SipBuilder& Head(int32_t mask, const std::string& path) { W.I32(mask); W.I16(int16_t(path.size())); W.Bytes(path); return *this; }
    SipBuilder& Bound(int16_t b) { W.I16(b); return *this; }
    SipBuilder& Name(const std::string& raw) { W.U8(uint8_t(raw.size())); W.Bytes(raw); return *this; }
    SipBuilder& Frame(const FrameData& f) { PutFrame(W, f); return *this; }
    SipBuilder& Pad(size_t n) { Bytes.insert(Bytes.end(), n, 0); return *this; }
    // The smallest direction possible: no name, one frame.
    SipBuilder& SmallDirection() { return Name("").Bound(0).Frame(FrameData{}); }
};
