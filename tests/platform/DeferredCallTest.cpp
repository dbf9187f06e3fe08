#include "platform/DeferredCall.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>

TEST(DeferredCall, OneCallPerBurstAfterTheHandlerCancelFlushAndRequestFromWithinTheCall) {
    std::string log;
    bool again = false; // the call asks for itself once more
    DeferredCall call([&] { log += again ? (again = false, call.Request(), "again;") : "call;"; }, 10);
    QTimer::singleShot(0, [&] {
        log += "start;";
        for (int i = 0; i < 3; ++i)
            call.Request();
        log += "end;";
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() > 10; }));
    QTest::qWait(50);
    EXPECT_EQ(log, "start;end;call;");

    call.Request();
    call.Cancel();
    QTest::qWait(40);
    call.Flush(); // nothing pending: nothing to run
    call.Request();
    call.Flush();
    EXPECT_EQ(log, "start;end;call;call;");
    QTest::qWait(40);
    EXPECT_EQ(log, "start;end;call;call;") << "cancelled and flushed requests must not run later";

    again = true;
    call.Request();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() > 26; }))
        << "a request made by the call itself is kept";
    QTest::qWait(40);
    EXPECT_EQ(log, "start;end;call;call;again;call;");
    EXPECT_FALSE(call.Pending());
}
