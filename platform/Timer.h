#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace trx {

// A timer that delivers its ticks on the owner's thread, between calls.
// Interval 0 stops it: no tick follows. A positive interval arms it: ticks
// follow every that many milliseconds until the interval is set to 0 again.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void SetInterval(std::int32_t milliseconds) = 0;
    virtual std::int32_t Interval() const = 0;
};

// Creates timers; the handler is the timer's TimerTicked event. A new timer
// is stopped.
class TimerFactory {
  public:
    virtual ~TimerFactory() = default;
    virtual std::unique_ptr<Timer> Create(std::function<void()> timerTicked) = 0;
};

}  // namespace trx
