// The undo history: diffs that turn one project into another and back, the
// step list with its saved point and cap, and what a step costs.
#include <gtest/gtest.h>

#include <random>

#include "history/UndoHistory.h"

using namespace History;

namespace {

struct Project {
    std::vector<ActionData> actions;
    int32_t mask = 0xFF00FF;
};

// The bytes a project file of this state holds: equal bytes, equal projects.
std::vector<uint8_t> Bytes(const Project& p) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(BuildProjectBytes(p.mask, "sheet.bmp", p.actions, out, error)) << error;
    return out;
}

FrameData Frame(int k) { return FrameData{k, k + 1, k % 7 + 1, k % 5 + 1, {0, 0}, int16_t(k), -k, k / 2}; }

// The upper bounds follow the lists.
void FixBounds(Project& p) {
    for (ActionData& a : p.actions) {
        a.DirUBound = static_cast<int16_t>(a.Directions.size() - 1);
        for (DirectionData& d : a.Directions) d.FrameUBound = static_cast<int16_t>(d.Frames.size() - 1);
    }
}

Project Sample(int actions, int directions, int frames) {
    Project p;
    p.actions.resize(size_t(actions));
    for (int a = 0; a < actions; ++a) {
        p.actions[a].Name = "act" + std::to_string(a);
        for (int d = 0; d < directions; ++d) {
            p.actions[a].Directions.push_back({{}, 0, "dir" + std::to_string(d)});
            for (int f = 0; f < frames; ++f) p.actions[a].Directions[d].Frames.push_back(Frame(a * 1000 + d * 100 + f));
        }
    }
    return FixBounds(p), p;
}

// One edit of the kinds the editor makes, chosen by r.
void Edit(Project& p, std::mt19937& r) {
    auto pick = [&r](size_t n) { return static_cast<int>(r() % n); };
    ActionData& a = p.actions[pick(p.actions.size())];
    DirectionData& d = a.Directions[pick(a.Directions.size())];
    const int f = pick(d.Frames.size());
    switch (pick(9)) {
    case 0: d.Frames[f].HotSpotX += 3; break;                                    // hot spot, marking, delay
    case 1: d.Frames.insert(d.Frames.begin() + f, 1 + pick(4), Frame(f)); break; // paste, new frame
    case 2: // delete, cut
        if (d.Frames.size() > 1) d.Frames.erase(d.Frames.begin() + f);
        else d.Frames[0] = FrameData{};
        break;
    case 3: a.Directions.push_back(DirectionData{{FrameData{}}, 0, ""}); break;
    case 4:
        if (a.Directions.size() > 1) a.Directions.erase(a.Directions.begin() + pick(a.Directions.size()));
        break;
    case 5: d.Name += "x"; break;
    case 6: a.Name = "renamed"; break;
    case 7:
        if (p.actions.size() > 1) p.actions.erase(p.actions.begin() + pick(p.actions.size()));
        else p.actions.push_back(p.actions[0]);
        break;
    default: p.mask ^= 0x010203; break;
    }
    FixBounds(p); // a and d may be stale now
}

Step StepOf(const Project& before, const Project& after, const std::string& name) {
    Step s;
    s.name = name, s.changes = Diff(before.actions, before.mask, after.actions, after.mask);
    return s;
}

// Sets frame 0's X to x (or frame 1's delay, when delay) and records the step.
void Push(UndoHistory& h, Project& p, int x, const std::string& name, bool delay = false) {
    const Project before = p;
    auto& frames = p.actions[0].Directions[0].Frames;
    delay ? void(frames[1].Delay = static_cast<int16_t>(x)) : void(frames[0].X = x);
    h.Push(StepOf(before, p, name));
}

} // namespace

TEST(UndoHistory, EveryKindOfEditIsUndoneAndRedoneByteForByte) {
    std::mt19937 r(7);
    Project p = Sample(3, 3, 6);
    std::vector<std::vector<uint8_t>> saved{Bytes(p)};
    UndoHistory h;
    for (int k = 0; k < 300; ++k) {
        const Project before = p;
        Edit(p, r);
        Step s = StepOf(before, p, "edit " + std::to_string(k));
        s.before = {k, 0}, s.after = {k, 1};
        h.Push(std::move(s));
        saved.push_back(Bytes(p));
    }
    // All the way back, then forward again, each step landing on the file of its moment.
    for (int k = 300; k > 0; --k) {
        EXPECT_EQ(h.UndoName(), "edit " + std::to_string(k - 1));
        ASSERT_EQ(h.Undo(p.actions, p.mask), (Selection{k - 1, 0}));
        ASSERT_EQ(Bytes(p), saved[k - 1]) << k;
    }
    EXPECT_FALSE(h.CanUndo() || h.Undo(p.actions, p.mask));
    for (int k = 1; k <= 300; ++k) {
        ASSERT_EQ(h.Redo(p.actions, p.mask), (Selection{k - 1, 1}));
        ASSERT_EQ(Bytes(p), saved[k]) << k;
    }
    EXPECT_FALSE(h.CanRedo() || h.Redo(p.actions, p.mask));
}

TEST(UndoHistory, ANewStepDropsTheRedoStepsTheSavedPointFollowsAndTheOldestGoFirst) {
    Project p = Sample(1, 1, 3);
    UndoHistory h;
    EXPECT_TRUE(h.AtSavedPoint());
    Push(h, p, 1, "one"), Push(h, p, 2, "two"), h.MarkSaved(), Push(h, p, 3, "three");
    EXPECT_FALSE(h.AtSavedPoint());
    h.Undo(p.actions, p.mask);
    EXPECT_TRUE(h.AtSavedPoint() && h.RedoName() == "three");
    h.Undo(p.actions, p.mask);
    Push(h, p, 9, "nine"); // the saved state lay on the dropped branch
    EXPECT_TRUE(!h.CanRedo() && h.RedoName().empty() && h.UndoName() == "nine" && h.Steps() == 2);
    h.Undo(p.actions, p.mask);
    EXPECT_TRUE(!h.AtSavedPoint() && p.actions[0].Directions[0].Frames[0].X == 1);
    h.Clear();
    EXPECT_TRUE(h.AtSavedPoint() && !h.CanUndo());
    // Past the cap the oldest steps go, and with them the saved point.
    h.MarkSaved();
    for (size_t k = 0; k < UndoHistory::MaxSteps + 5; ++k) Push(h, p, int(k), std::to_string(k), true);
    EXPECT_EQ(h.Steps(), UndoHistory::MaxSteps);
    while (h.CanUndo()) h.Undo(p.actions, p.mask);
    EXPECT_TRUE(p.actions[0].Directions[0].Frames[1].Delay == 4 && !h.AtSavedPoint()); // steps 0 .. 4 went
}

TEST(UndoHistory, AStepCostsWhatChangedAndOneThatNoLongerFitsChangesNothing) {
    // A hot spot changed in a project of 100,000 frames.
    const Project big = Sample(10, 10, 1000);
    Project after = big;
    after.actions[7].Directions[3].Frames[500].HotSpotY = 42;
    EXPECT_LT(StepBytes(StepOf(big, after, "Set Hot Spot")), 1024u);

    const Project before = Sample(2, 2, 4);
    Project p = before, other = Sample(2, 1, 4); // the other has no direction 1
    p.actions[1].Directions[1].Frames.erase(p.actions[1].Directions[1].Frames.begin());
    p.mask = 1;
    FixBounds(p);
    const Step s = StepOf(before, p, "x");
    const auto untouched = Bytes(other);
    EXPECT_FALSE(Apply(s.changes, false, other.actions, other.mask));
    EXPECT_EQ(Bytes(other), untouched);
    EXPECT_TRUE(Apply(s.changes, false, p.actions, p.mask) && Bytes(p) == Bytes(before));
}
