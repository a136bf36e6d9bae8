#pragma once

#include <cstddef>
#include <vector>

#include "platform/Timer.h"

namespace trx {

// Timers that tick only when a test says so. The factory knows every timer
// it made that is still alive, so a test can tick the one its object holds.
class ManualTimerFactory;

class ManualTimer final : public Timer {
  public:
    ManualTimer(ManualTimerFactory& factory, std::function<void()> timerTicked);
    ~ManualTimer() override;
    ManualTimer(const ManualTimer&) = delete;
    ManualTimer& operator=(const ManualTimer&) = delete;

    void SetInterval(std::int32_t milliseconds) override { interval_ = milliseconds; }
    std::int32_t Interval() const override { return interval_; }
    bool Armed() const { return interval_ > 0; }

    // Delivers one tick if armed; returns whether it did. The handler may
    // destroy this timer, so nothing of it is touched after the call.
    bool Tick();

  private:
    ManualTimerFactory& factory_;
    std::function<void()> timerTicked_;
    std::int32_t interval_ = 0;
};

class ManualTimerFactory final : public TimerFactory {
  public:
    std::unique_ptr<Timer> Create(std::function<void()> timerTicked) override;

    // The most recently created timer that is still alive, or null.
    ManualTimer* Latest() const { return live_.empty() ? nullptr : live_.back(); }
    std::size_t Created() const { return created_; }

    // Ticks the latest timer if it is armed.
    bool Tick() { return Latest() != nullptr && Latest()->Tick(); }

  private:
    friend class ManualTimer;
    std::vector<ManualTimer*> live_;
    std::size_t created_ = 0;
};

}  // namespace trx
