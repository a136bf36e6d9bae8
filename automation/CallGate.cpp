#include "automation/CallGate.h"

namespace trx {

void CallGate::Post(std::function<void()> work) {
    waiting_.push_back(std::move(work));
    wake_();
}

bool CallGate::RunWaiting() {
    if (Busy()) {
        return false;
    }
    while (!waiting_.empty()) {
        std::function<void()> work = std::move(waiting_.front());
        waiting_.pop_front();
        const Call running(*this);
        work();
    }
    return true;
}

std::deque<std::function<void()>> CallGate::TakeAll() {
    auto taken = std::move(waiting_);
    waiting_.clear();
    return taken;
}

}  // namespace trx
