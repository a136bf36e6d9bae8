#include "automation/com/ComLifetime.h"

namespace trx::com {

void ComLifetime::Hold() {
    references_ = CoAddRefServerProcess();
    lifetime_.Check(false);
}

// At zero COM itself stops routing creations to the process (it suspends the
// class objects), so the server ends at once instead of lingering for
// clients that could not reach it; Wine does not suspend them, and a
// lingering server there would take creations meant for a server that was
// registered after it.
void ComLifetime::Drop() {
    references_ = CoReleaseServerProcess();
    if (references_ == 0) {
        PostQuitMessage(0);
    }
}

bool ComLifetime::Ends(const MSG& message) {
    if (timer_ == 0 || message.message != WM_TIMER || message.hwnd != nullptr ||
        message.wParam != timer_) {
        return false;
    }
    Cancel();
    return Idle();
}

void ComLifetime::Arm(std::chrono::milliseconds wait) {
    Cancel();
    // A thread timer gets its identifier from SetTimer, which ignores the
    // one asked for.
    timer_ = SetTimer(nullptr, 0, static_cast<UINT>(wait.count()), nullptr);
}

void ComLifetime::Cancel() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
    }
}

}  // namespace trx::com
