#include "automation/com/ComLifetime.h"

namespace trx::com {

void ComLifetime::Hold() {
    references_ = CoAddRefServerProcess();
    lifetime_.Check(Idle());
}

// At zero COM itself stops routing new creations to the process (it
// suspends the class objects), so a client that creates an object now starts
// a new server rather than racing this one's end.
void ComLifetime::Drop() {
    references_ = CoReleaseServerProcess();
    lifetime_.Check(Idle());
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
