#pragma once

#include "platform/Timer.h"

#include <functional>
#include <memory>

namespace trx {

// Runs work on the server's thread between calls (AutomationHost::Post).
using PostWork = std::function<void(std::function<void()>)>;

// A timer whose ticks are queued behind the calls that are waiting, so that a
// tick never runs inside a call, even one that runs an event loop of its own.
// A queued tick is dropped when the interval changed after it was queued
// (so none follows an interval of 0) or when the timer is gone.
class PostedTimerFactory final : public TimerFactory {
  public:
    PostedTimerFactory(TimerFactory& inner, PostWork post);
    std::unique_ptr<Timer> Create(std::function<void()> timerTicked) override;

  private:
    TimerFactory& inner_;
    PostWork post_;
};

}  // namespace trx
