#include "platform/DeferredCall.h"

#include <utility>

DeferredCall::DeferredCall(std::function<void()> fn, int intervalMs, QObject* parent)
    : QObject(parent), fn_(std::move(fn)) {
    timer_.setSingleShot(true);
    timer_.setInterval(intervalMs < 0 ? 0 : intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (fn_) fn_();
    });
}

// A timer fires only from the event loop, so the call always happens after the
// requesting handler has returned; restarting it merges a burst into one call.
void DeferredCall::Request() { timer_.start(); }

void DeferredCall::Cancel() { timer_.stop(); }

bool DeferredCall::Pending() const { return timer_.isActive(); }

void DeferredCall::Flush() {
    if (!timer_.isActive()) return;
    timer_.stop();
    if (fn_) fn_();
}
