#include "platform/DeferredCall.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs the event loop until pred holds or the time runs out.
template <class Pred>
bool PumpUntil(Pred pred, int timeoutMs = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred() && clock.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return pred();
}

void PumpFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(DeferredCall, BurstOfRequestsGivesOneCallAfterTheHandlerReturned) {
    std::vector<std::string> log;
    DeferredCall call([&] { log.push_back("call"); }, 10);
    EXPECT_FALSE(call.Pending());

    // A handler that asks three times and then goes on working.
    QTimer::singleShot(0, [&] {
        log.push_back("handler start");
        call.Request();
        call.Request();
        call.Request();
        EXPECT_TRUE(call.Pending());
        log.push_back("handler end");
    });
    ASSERT_TRUE(PumpUntil([&] { return log.size() >= 3; }));
    PumpFor(50);
    EXPECT_EQ(log, (std::vector<std::string>{"handler start", "handler end", "call"}));
    EXPECT_FALSE(call.Pending());
}

TEST(DeferredCall, RequestRestartsTheInterval) {
    int calls = 0;
    DeferredCall call([&] { ++calls; }, 200);
    call.Request();
    // Let the first request fall due without serving events...
    std::this_thread::sleep_for(std::chrono::milliseconds(260));
    call.Request(); // ...then renew it: the clock starts again
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0) << "a renewed request must not fire on the old schedule";
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }));
    PumpFor(250);
    EXPECT_EQ(calls, 1);
}

TEST(DeferredCall, CancelAndFlush) {
    int calls = 0;
    DeferredCall call([&] { ++calls; }, 10);

    call.Request();
    call.Cancel();
    EXPECT_FALSE(call.Pending());
    PumpFor(40);
    EXPECT_EQ(calls, 0);

    call.Flush(); // nothing pending: nothing to run
    EXPECT_EQ(calls, 0);

    call.Request();
    call.Flush();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(call.Pending());
    PumpFor(40);
    EXPECT_EQ(calls, 1) << "a flushed call must not run a second time";

    // The call may ask for itself again (a rebuild that requests another one).
    int reentrant = 0;
    DeferredCall* self = nullptr;
    DeferredCall again([&] {
        if (++reentrant == 1) self->Request();
    }, 5);
    self = &again;
    again.Request();
    ASSERT_TRUE(PumpUntil([&] { return reentrant == 2; }));
    PumpFor(30);
    EXPECT_EQ(reentrant, 2);
}
