#include "tests/support/ManualTimer.h"

#include <algorithm>

namespace trx {

ManualTimer::ManualTimer(ManualTimerFactory& factory, std::function<void()> timerTicked)
    : factory_(factory), timerTicked_(std::move(timerTicked)) {
    factory_.live_.push_back(this);
}

ManualTimer::~ManualTimer() {
    std::erase(factory_.live_, this);
}

bool ManualTimer::Tick() {
    if (!Armed() || !timerTicked_) {
        return false;
    }
    auto handler = timerTicked_;  // a copy: the handler may destroy this timer
    handler();
    return true;
}

std::unique_ptr<Timer> ManualTimerFactory::Create(std::function<void()> timerTicked) {
    ++created_;
    return std::make_unique<ManualTimer>(*this, std::move(timerTicked));
}

}  // namespace trx
