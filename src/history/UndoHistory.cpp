#include "history/UndoHistory.h"

#include <algorithm>
#include <cstring>

namespace History {

namespace {

bool SameFrames(const std::vector<FrameData>& a, const std::vector<FrameData>& b) {
    // FrameData is a plain 28-byte record without padding: compare the bytes.
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * FrameBytes) == 0);
}

bool Same(const FrameData& a, const FrameData& b) { return a == b; }

bool Same(const DirectionData& a, const DirectionData& b) {
    return a.FrameUBound == b.FrameUBound && a.Name == b.Name && SameFrames(a.Frames, b.Frames);
}

bool Same(const ActionData& a, const ActionData& b) {
    if (a.DirUBound != b.DirUBound || a.Name != b.Name || a.Directions.size() != b.Directions.size()) return false;
    for (size_t i = 0; i < a.Directions.size(); ++i)
        if (!Same(a.Directions[i], b.Directions[i])) return false;
    return true;
}

// One splice covering what lies between the common start and the common end.
template <class T>
Splice<T> SpliceOf(const std::vector<T>& a, const std::vector<T>& b, int32_t action, int32_t direction) {
    size_t head = 0;
    const size_t shorter = std::min(a.size(), b.size());
    while (head < shorter && Same(a[head], b[head])) ++head;
    size_t tail = 0;
    while (tail < shorter - head && Same(a[a.size() - 1 - tail], b[b.size() - 1 - tail])) ++tail;
    Splice<T> s;
    s.action = action;
    s.direction = direction;
    s.pos = static_cast<int32_t>(head);
    s.removed.assign(a.begin() + static_cast<ptrdiff_t>(head), a.end() - static_cast<ptrdiff_t>(tail));
    s.inserted.assign(b.begin() + static_cast<ptrdiff_t>(head), b.end() - static_cast<ptrdiff_t>(tail));
    return s;
}

void DiffFrames(const std::vector<FrameData>& a, const std::vector<FrameData>& b, int32_t action,
                int32_t direction, std::vector<Change>& out) {
    if (SameFrames(a, b)) return;
    out.push_back(SpliceOf(a, b, action, direction));
}

void DiffDirections(const ActionData& a, const ActionData& b, int32_t action, std::vector<Change>& out) {
    if (a.Directions.size() != b.Directions.size()) {
        out.push_back(SpliceOf(a.Directions, b.Directions, action, -1));
        return;
    }
    for (size_t j = 0; j < a.Directions.size(); ++j) {
        const DirectionData& da = a.Directions[j];
        const DirectionData& db = b.Directions[j];
        const auto dir = static_cast<int32_t>(j);
        if (da.Name != db.Name) out.push_back(Rename{action, dir, da.Name, db.Name});
        DiffFrames(da.Frames, db.Frames, action, dir, out);
    }
}

// Lists whose bounds disagree with their lengths cannot be spliced safely.
template <class T>
bool Fits(const std::vector<T>& list, int32_t pos, size_t count) {
    return pos >= 0 && static_cast<size_t>(pos) <= list.size() && count <= list.size() - static_cast<size_t>(pos);
}

template <class T>
void Replace(std::vector<T>& list, int32_t pos, size_t count, const std::vector<T>& with) {
    const auto at = list.begin() + pos;
    if (count == with.size()) {
        std::copy(with.begin(), with.end(), at);
        return;
    }
    list.erase(at, at + static_cast<ptrdiff_t>(count));
    list.insert(list.begin() + pos, with.begin(), with.end());
}

DirectionData* DirectionAt(std::vector<ActionData>& actions, int32_t action, int32_t direction) {
    if (action < 0 || static_cast<size_t>(action) >= actions.size()) return nullptr;
    ActionData& a = actions[action];
    if (direction < 0 || static_cast<size_t>(direction) >= a.Directions.size()) return nullptr;
    return &a.Directions[direction];
}

// Applies one change, or does nothing and returns false when it does not fit.
bool ApplyOne(const Change& change, bool forward, std::vector<ActionData>& actions, int32_t& mask, bool dryRun) {
    if (const auto* s = std::get_if<Splice<ActionData>>(&change)) {
        const auto& out = forward ? s->removed : s->inserted;
        const auto& in = forward ? s->inserted : s->removed;
        if (!Fits(actions, s->pos, out.size()) || actions.size() - out.size() + in.size() > 32768) return false;
        if (!dryRun) Replace(actions, s->pos, out.size(), in);
        return true;
    }
    if (const auto* s = std::get_if<Splice<DirectionData>>(&change)) {
        if (s->action < 0 || static_cast<size_t>(s->action) >= actions.size()) return false;
        ActionData& a = actions[s->action];
        const auto& out = forward ? s->removed : s->inserted;
        const auto& in = forward ? s->inserted : s->removed;
        if (!Fits(a.Directions, s->pos, out.size())) return false;
        const size_t count = a.Directions.size() - out.size() + in.size();
        if (count == 0 || count > 32768) return false;
        if (!dryRun) {
            Replace(a.Directions, s->pos, out.size(), in);
            a.DirUBound = static_cast<int16_t>(count - 1);
        }
        return true;
    }
    if (const auto* s = std::get_if<Splice<FrameData>>(&change)) {
        DirectionData* d = DirectionAt(actions, s->action, s->direction);
        if (!d) return false;
        const auto& out = forward ? s->removed : s->inserted;
        const auto& in = forward ? s->inserted : s->removed;
        if (!Fits(d->Frames, s->pos, out.size())) return false;
        const size_t count = d->Frames.size() - out.size() + in.size();
        if (count == 0 || count > 32768) return false;
        if (!dryRun) {
            Replace(d->Frames, s->pos, out.size(), in);
            d->FrameUBound = static_cast<int16_t>(count - 1);
        }
        return true;
    }
    if (const auto* r = std::get_if<Rename>(&change)) {
        std::string* name = nullptr;
        if (r->direction < 0) {
            if (r->action < 0 || static_cast<size_t>(r->action) >= actions.size()) return false;
            name = &actions[r->action].Name;
        } else {
            DirectionData* d = DirectionAt(actions, r->action, r->direction);
            if (!d) return false;
            name = &d->Name;
        }
        if (!dryRun) *name = forward ? r->after : r->before;
        return true;
    }
    const auto& m = std::get<MaskChange>(change);
    if (!dryRun) mask = forward ? m.after : m.before;
    return true;
}

size_t Bytes(const DirectionData& d) { return sizeof(DirectionData) + d.Name.capacity() + d.Frames.size() * FrameBytes; }
size_t Bytes(const ActionData& a) {
    size_t n = sizeof(ActionData) + a.Name.capacity();
    for (const DirectionData& d : a.Directions) n += Bytes(d);
    return n;
}

template <class T>
size_t ListBytes(const std::vector<T>& list) {
    size_t n = 0;
    for (const T& e : list) n += Bytes(e);
    return n;
}

} // namespace

std::vector<Change> Diff(const std::vector<ActionData>& before, int32_t maskBefore,
                         const std::vector<ActionData>& after, int32_t maskAfter) {
    std::vector<Change> out;
    if (maskBefore != maskAfter) out.push_back(MaskChange{maskBefore, maskAfter});
    if (before.size() != after.size()) {
        out.push_back(SpliceOf(before, after, -1, -1));
        return out;
    }
    for (size_t i = 0; i < before.size(); ++i) {
        const auto action = static_cast<int32_t>(i);
        if (before[i].Name != after[i].Name) out.push_back(Rename{action, -1, before[i].Name, after[i].Name});
        DiffDirections(before[i], after[i], action, out);
    }
    return out;
}

bool Apply(const std::vector<Change>& changes, bool forward, std::vector<ActionData>& actions, int32_t& mask) {
    // The changes of one diff touch separate places of the tree (a list that was
    // spliced is not entered), so each can be checked against the tree as it is
    // now; a step that does not fit then leaves the project untouched.
    for (const Change& c : changes)
        if (!ApplyOne(c, forward, actions, mask, true)) return false;
    const size_t n = changes.size();
    for (size_t k = 0; k < n; ++k) ApplyOne(changes[forward ? k : n - 1 - k], forward, actions, mask, false);
    return true;
}

size_t StepBytes(const Step& step) {
    size_t n = sizeof(Step) + step.name.capacity();
    for (const Change& c : step.changes) {
        n += sizeof(Change);
        if (const auto* s = std::get_if<Splice<ActionData>>(&c)) n += ListBytes(s->removed) + ListBytes(s->inserted);
        else if (const auto* s = std::get_if<Splice<DirectionData>>(&c))
            n += ListBytes(s->removed) + ListBytes(s->inserted);
        else if (const auto* s = std::get_if<Splice<FrameData>>(&c))
            n += (s->removed.size() + s->inserted.size()) * FrameBytes;
        else if (const auto* r = std::get_if<Rename>(&c)) n += r->before.capacity() + r->after.capacity();
    }
    return n;
}

void UndoHistory::Push(Step step) {
    while (steps_.size() > done_) {
        bytes_ -= steps_.back().bytes;
        steps_.pop_back();
    }
    if (saved_ > static_cast<int64_t>(done_)) saved_ = -1; // the saved state can no longer be reached
    Entry e;
    e.bytes = StepBytes(step);
    e.step = std::move(step);
    bytes_ += e.bytes;
    steps_.push_back(std::move(e));
    ++done_;
    while (steps_.size() > 1 && (steps_.size() > MaxSteps || bytes_ > MaxBytes)) {
        bytes_ -= steps_.front().bytes;
        steps_.pop_front();
        --done_;
        if (saved_ >= 0) --saved_; // reaching 0 and below: the saved state lay before the dropped step
        if (saved_ < 0) saved_ = -1;
    }
}

std::string UndoHistory::UndoName() const { return CanUndo() ? steps_[done_ - 1].step.name : std::string(); }

std::string UndoHistory::RedoName() const { return CanRedo() ? steps_[done_].step.name : std::string(); }

std::optional<Selection> UndoHistory::Undo(std::vector<ActionData>& actions, int32_t& mask) {
    if (!CanUndo()) return std::nullopt;
    const Step& s = steps_[done_ - 1].step;
    if (!History::Apply(s.changes, false, actions, mask)) return std::nullopt;
    --done_;
    return s.before;
}

std::optional<Selection> UndoHistory::Redo(std::vector<ActionData>& actions, int32_t& mask) {
    if (!CanRedo()) return std::nullopt;
    const Step& s = steps_[done_].step;
    if (!History::Apply(s.changes, true, actions, mask)) return std::nullopt;
    ++done_;
    return s.after;
}

void UndoHistory::Clear() {
    steps_.clear();
    done_ = 0;
    saved_ = 0;
    bytes_ = 0;
}

} // namespace History
