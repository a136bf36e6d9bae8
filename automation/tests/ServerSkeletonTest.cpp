#include "automation/CallGate.h"
#include "automation/ServerLifetime.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trx {
namespace {

using std::chrono::milliseconds;

// Work posted inside a running call (a message box's loop woke the gate)
// waits for that call; the outer pass then runs it, and the work that it
// posts, in order.
TEST(CallGateTest, WorkRunsInOrderBetweenCallsOnly) {
    int wakes = 0;
    CallGate gate([&wakes] { ++wakes; });
    std::string ran;
    {
        const CallGate::Call running(gate);
        gate.Post([&] {
            ran += 'a';
            gate.Post([&] { ran += 'c'; });
            EXPECT_TRUE(gate.Busy());
            EXPECT_FALSE(gate.RunWaiting());  // nested: left to the outer pass
        });
        gate.Post([&] { ran += 'b'; });
        EXPECT_FALSE(gate.RunWaiting());
        EXPECT_EQ(ran, "");
    }
    EXPECT_TRUE(gate.RunWaiting());
    EXPECT_EQ(ran, "abc");
    EXPECT_EQ(wakes, 3);
    EXPECT_TRUE(gate.Empty());
    EXPECT_FALSE(gate.Busy());
}

struct RecordingTimer : IdleTimer {
    std::optional<milliseconds> armed;
    void Arm(milliseconds wait) override { armed = wait; }
    void Cancel() override { armed.reset(); }
};

// Started and idle, a server waits startIdle for its first creation; after a
// creation was asked for (made or failed) it waits linger; busy, it waits not.
TEST(ServerLifetimeTest, AnIdleServerWaitsStartIdleThenLinger) {
    ServerOptions options;
    options.startIdle = milliseconds(300);
    options.linger = milliseconds(20);
    RecordingTimer timer;
    ServerLifetime lifetime(options, timer);
    lifetime.Check(true);
    EXPECT_EQ(timer.armed, milliseconds(300));
    lifetime.CreationAsked();
    lifetime.Check(false);
    EXPECT_EQ(timer.armed, std::nullopt);
    lifetime.Check(true);
    EXPECT_EQ(timer.armed, milliseconds(20));
}

}  // namespace
}  // namespace trx
