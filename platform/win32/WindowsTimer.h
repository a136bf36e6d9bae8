#pragma once

#include "platform/Timer.h"
#include "platform/win32/Win32.h"

namespace trx {

// Timers of the thread that makes the factory: SetTimer on a message-only
// window of that thread, so their ticks come through its message loop. The
// factory must outlive its timers and be used on that thread alone.
class WindowsTimerFactory final : public TimerFactory {
  public:
    WindowsTimerFactory();
    ~WindowsTimerFactory() override;
    WindowsTimerFactory(const WindowsTimerFactory&) = delete;
    WindowsTimerFactory& operator=(const WindowsTimerFactory&) = delete;

    std::unique_ptr<Timer> Create(std::function<void()> timerTicked) override;

  private:
    HWND window_ = nullptr;
};

}  // namespace trx
