#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include "platform/qt/QtTimer.h"

namespace trx {
namespace {

// Serves the event loop until `done` holds or the deadline passes.
bool ServeUntil(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

TEST(QtTimer, ArmedTimerTicksOnTheOwnersThreadUntilStopped) {
    QtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<Timer> timer;
    timer = factory.Create([&] {
        if (++ticks == 3) {
            timer->SetInterval(0);
        }
    });
    EXPECT_EQ(timer->Interval(), 0);
    timer->SetInterval(100);
    ASSERT_TRUE(ServeUntil([&] { return ticks >= 3; }, 5000));
    // Stopped from its own tick: no further tick comes.
    ServeUntil([] { return false; }, 300);
    EXPECT_EQ(ticks, 3);
}

TEST(QtTimer, StoppedTimerNeverTicksAndOwnerMayDropItFromItsTick) {
    QtTimerFactory factory;
    int ticks = 0;
    auto stopped = factory.Create([&] { ++ticks; });
    stopped->SetInterval(100);
    stopped->SetInterval(0);
    std::unique_ptr<Timer> dropped;
    bool droppedTicked = false;
    dropped = factory.Create([&] {
        droppedTicked = true;
        dropped.reset();
    });
    dropped->SetInterval(10);
    ASSERT_TRUE(ServeUntil([&] { return droppedTicked; }, 5000));
    ServeUntil([] { return false; }, 250);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(dropped, nullptr);
}

}  // namespace
}  // namespace trx
