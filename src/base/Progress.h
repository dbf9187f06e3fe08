#pragma once
// How far a long piece of work has come, and whether to go on. The callback is
// given the share done so far (0 to 1) and returns false to stop the work; work
// that stops this way changes nothing (no file written, nothing replaced) and
// shows no message. Copies share one state, so a part of the work (Part) stops
// the whole. Report only from the thread that started the work: the callback
// may run the user interface.
#include <functional>
#include <memory>

class Progress {
public:
    using Callback = std::function<bool(double done)>;

    Progress() = default; // reports nowhere, never stops
    explicit Progress(Callback callback) : state_(std::make_shared<State>()) { state_->Fn = std::move(callback); }

    // Reports that `done` (0 to 1) of this work is done; false once asked to stop.
    bool Report(double done) const {
        if (!state_) return true;
        if (state_->Stopped) return false;
        const double at = from_ + (to_ - from_) * (done < 0 ? 0 : done > 1 ? 1 : done);
        if (state_->Fn && !state_->Fn(at)) state_->Stopped = true;
        return !state_->Stopped;
    }
    // True once the work was asked to stop.
    bool Cancelled() const { return state_ && state_->Stopped; }

    // The share from `from` to `to` (of this work) as a work of its own.
    Progress Part(double from, double to) const {
        Progress p = *this;
        p.from_ = from_ + (to_ - from_) * from;
        p.to_ = from_ + (to_ - from_) * to;
        return p;
    }

private:
    struct State {
        Callback Fn;
        bool Stopped = false;
    };
    std::shared_ptr<State> state_;
    double from_ = 0, to_ = 1;
};
