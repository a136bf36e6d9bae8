#include "automation/PostedTimer.h"
#include "platform/ManualTimer.h"

#include <gtest/gtest.h>

#include <deque>

namespace trx {
namespace {

// The inner timer ticks by hand; posted work waits in a queue until the test
// runs it, as the server runs it after the calls in front of it.
struct PostedTimerTest : ::testing::Test {
    ManualTimerFactory manual;
    std::deque<std::function<void()>> queue;
    PostedTimerFactory factory{manual,
                               [this](std::function<void()> w) { queue.push_back(std::move(w)); }};
    int ticks = 0;

    void RunQueue() {
        while (!queue.empty()) {
            auto work = std::move(queue.front());
            queue.pop_front();
            work();
        }
    }
};

TEST_F(PostedTimerTest, ATickRunsOnlyWhenThePostedWorkRuns) {
    auto timer = factory.Create([this] { ++ticks; });
    timer->SetInterval(100);
    ASSERT_TRUE(manual.Latest()->Tick());
    EXPECT_EQ(ticks, 0);  // queued behind the running call
    RunQueue();
    EXPECT_EQ(ticks, 1);
}

TEST_F(PostedTimerTest, AQueuedTickIsDroppedWhenTheIntervalChangedMeanwhile) {
    struct Case {
        const char* what;
        std::int32_t then;
        int expected;
    } cases[] = {
        {"stopped by a call before the tick ran", 0, 0},
        {"re-armed by a call before the tick ran", 100, 0},
    };
    for (const auto& c : cases) {
        ticks = 0;
        auto timer = factory.Create([this] { ++ticks; });
        timer->SetInterval(100);
        ASSERT_TRUE(manual.Latest()->Tick());
        timer->SetInterval(c.then);
        RunQueue();
        EXPECT_EQ(ticks, c.expected) << c.what;
    }
}

TEST_F(PostedTimerTest, OneQueuedTickAtATimeAndNoneAfterTheTimerIsGone) {
    auto timer = factory.Create([this] { ++ticks; });
    timer->SetInterval(100);
    manual.Latest()->Tick();
    manual.Latest()->Tick();
    EXPECT_EQ(queue.size(), 1u);
    timer.reset();
    RunQueue();
    EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace trx
