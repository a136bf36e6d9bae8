#include "automation/PostedTimer.h"

#include <cstdint>

namespace trx {
namespace {

class PostedTimer final : public Timer {
  public:
    PostedTimer(TimerFactory& inner, const PostWork& post, std::function<void()> timerTicked)
        : state_(std::make_shared<State>()) {
        state_->timerTicked = std::move(timerTicked);
        std::weak_ptr<State> weak = state_;
        inner_ = inner.Create([weak, post] {
            auto state = weak.lock();
            if (!state || state->queued) {
                return;  // one queued tick at a time is enough
            }
            state->queued = true;
            const std::uint64_t arming = state->arming;
            post([weak, arming] {
                auto current = weak.lock();
                if (!current) {
                    return;
                }
                current->queued = false;
                if (current->arming != arming || current->interval <= 0) {
                    return;
                }
                current->timerTicked();
            });
        });
    }

    void SetInterval(std::int32_t milliseconds) override {
        ++state_->arming;
        state_->interval = milliseconds;
        inner_->SetInterval(milliseconds);
    }

    std::int32_t Interval() const override { return state_->interval; }

  private:
    struct State {
        std::function<void()> timerTicked;
        std::uint64_t arming = 0;  // counts interval changes
        std::int32_t interval = 0;
        bool queued = false;
    };

    std::shared_ptr<State> state_;
    std::unique_ptr<Timer> inner_;
};

}  // namespace

PostedTimerFactory::PostedTimerFactory(TimerFactory& inner, PostWork post)
    : inner_(inner), post_(std::move(post)) {}

std::unique_ptr<Timer> PostedTimerFactory::Create(std::function<void()> timerTicked) {
    return std::make_unique<PostedTimer>(inner_, post_, std::move(timerTicked));
}

}  // namespace trx
