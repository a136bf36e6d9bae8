#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

#include "platform/Timer.h"

namespace trx {

// A timer on QTimer: ticks come from the event loop of the thread that owns
// it, so they arrive between calls, never inside one.
class QtTimer final : public Timer {
  public:
    explicit QtTimer(std::function<void()> timerTicked);
    ~QtTimer() override;
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void SetInterval(std::int32_t milliseconds) override;
    std::int32_t Interval() const override { return interval_; }

  private:
    QTimer* timer_;  // deleted later: the owner may drop this timer from its own tick
    std::int32_t interval_ = 0;
};

class QtTimerFactory final : public TimerFactory {
  public:
    std::unique_ptr<Timer> Create(std::function<void()> timerTicked) override;
};

}  // namespace trx
