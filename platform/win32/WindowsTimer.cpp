#include "platform/win32/WindowsTimer.h"

#include <stdexcept>

namespace trx {

namespace {

constexpr wchar_t kWindowClass[] = L"TRXTimerWindow";

class WindowsTimer final : public Timer {
  public:
    WindowsTimer(HWND window, std::function<void()> timerTicked)
        : window_(window), timerTicked_(std::move(timerTicked)) {}
    ~WindowsTimer() override { SetInterval(0); }
    WindowsTimer(const WindowsTimer&) = delete;
    WindowsTimer& operator=(const WindowsTimer&) = delete;

    void SetInterval(std::int32_t milliseconds) override {
        interval_ = milliseconds;
        // The timer's identifier is the object itself: the window procedure
        // finds it from the message, and no tick of it is left after KillTimer.
        const auto id = reinterpret_cast<UINT_PTR>(this);
        if (milliseconds <= 0) {
            KillTimer(window_, id);
        } else {
            SetTimer(window_, id, static_cast<UINT>(milliseconds), nullptr);
        }
    }
    std::int32_t Interval() const override { return interval_; }

    void Tick() const { timerTicked_(); }

  private:
    HWND window_;
    std::function<void()> timerTicked_;
    std::int32_t interval_ = 0;
};

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam != 0) {
        reinterpret_cast<const WindowsTimer*>(wParam)->Tick();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

WindowsTimerFactory::WindowsTimerFactory() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = TimerWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    // A second factory finds the class registered already.
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("the timer window cannot be created");
    }
}

WindowsTimerFactory::~WindowsTimerFactory() {
    DestroyWindow(window_);
}

std::unique_ptr<Timer> WindowsTimerFactory::Create(std::function<void()> timerTicked) {
    return std::make_unique<WindowsTimer>(window_, std::move(timerTicked));
}

}  // namespace trx
