#pragma once
// The undo history of a project: each command that changes the project tree or
// the mask colour is one step, kept as the changes it made rather than as a copy
// of the project, so a step costs what it changed.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "project/SpriteProject.h"

namespace History {

// Entries removed..inserted at `pos` of one list of the tree: the actions
// (action and direction -1), the directions of `action` (direction -1), or the
// frames of direction `direction` of `action`.
template <class T>
struct Splice {
    int32_t action = -1;
    int32_t direction = -1;
    int32_t pos = 0;
    std::vector<T> removed;
    std::vector<T> inserted;
};

// The name of an action (direction -1) or of one of its directions.
struct Rename {
    int32_t action = -1;
    int32_t direction = -1;
    std::string before, after;
};

struct MaskChange {
    int32_t before = 0, after = 0;
};

using Change = std::variant<Splice<ActionData>, Splice<DirectionData>, Splice<FrameData>, Rename, MaskChange>;

// What the editor shows around a step: the current action and direction, and
// how many actions its list offers (a new project holds a placeholder action
// that the list does not show until the first one is added).
struct Selection {
    int32_t action = -1;
    int32_t direction = -1;
    int32_t listed = -1; // -1: every action
    bool operator==(const Selection&) const = default;
};

struct Step {
    std::string name;
    std::vector<Change> changes; // applied in order, undone in reverse order
    Selection before, after;
};

// The changes that turn (actions, mask) before into after: one splice per list
// whose length changed (covering only the entries between the common start and
// end), otherwise the changed entries one by one.
std::vector<Change> Diff(const std::vector<ActionData>& before, int32_t maskBefore,
                         const std::vector<ActionData>& after, int32_t maskAfter);

// Applies the changes (forward) or reverts them. The upper bounds of every list
// touched follow its length. Returns false, changing nothing, when a change
// does not fit the tree it is applied to.
bool Apply(const std::vector<Change>& changes, bool forward, std::vector<ActionData>& actions, int32_t& mask);

// Bytes of memory a step's changes hold, roughly.
size_t StepBytes(const Step& step);

class UndoHistory {
public:
    static constexpr size_t MaxSteps = 1000;
    static constexpr size_t MaxBytes = size_t{256} << 20;

    // Adds a step after the current one; the steps that could be redone go.
    // The oldest steps go while there are more than MaxSteps or MaxBytes
    // (the newest step always stays).
    void Push(Step step);
    bool CanUndo() const { return done_ > 0; }
    bool CanRedo() const { return done_ < steps_.size(); }
    // Names of the step Undo and Redo would take ("" when none).
    std::string UndoName() const;
    std::string RedoName() const;
    // Reverts the last step done / does again the next one; returns the
    // selection of that moment (before the step for Undo, after it for Redo),
    // or nothing when there was no step or it did not fit the tree.
    std::optional<Selection> Undo(std::vector<ActionData>& actions, int32_t& mask);
    std::optional<Selection> Redo(std::vector<ActionData>& actions, int32_t& mask);

    // The project as it is now is the one saved.
    void MarkSaved() { saved_ = static_cast<int64_t>(done_); }
    // The project as it is now was never saved (a recovered one): no step leads back.
    void MarkUnsaved() { saved_ = -1; }
    // True while the history stands where the project was last saved (or cleared).
    bool AtSavedPoint() const { return saved_ == static_cast<int64_t>(done_); }
    // Forgets every step; the project as it is now counts as saved.
    void Clear();

    size_t Steps() const { return steps_.size(); }
    size_t Bytes() const { return bytes_; }

private:
    struct Entry {
        Step step;
        size_t bytes = 0;
    };
    std::deque<Entry> steps_;
    size_t done_ = 0;     // steps_[0 .. done_) are done
    int64_t saved_ = 0;   // value of done_ when saved; -1 when that point was dropped
    size_t bytes_ = 0;
};

} // namespace History
