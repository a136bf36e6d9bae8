#include "automation/dbus/CallQueue.h"

#include <QMetaObject>

namespace trx {

CallQueue::CallQueue(std::function<void()> afterDrain) : afterDrain_(std::move(afterDrain)) {}

void CallQueue::Post(std::function<void()> work) {
    queue_.push_back(std::move(work));
    if (!drainScheduled_) {
        drainScheduled_ = true;
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                drainScheduled_ = false;
                Drain();
            },
            Qt::QueuedConnection);
    }
}

std::deque<std::function<void()>> CallQueue::TakeAll() {
    auto taken = std::move(queue_);
    queue_.clear();
    return taken;
}

void CallQueue::Drain() {
    // Inside running work (a nested event loop) nothing else is served: the
    // outer Drain picks the work up when that has returned.
    if (busy_) {
        return;
    }
    while (!queue_.empty()) {
        auto work = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        work();
        busy_ = false;
    }
    afterDrain_();
}

}  // namespace trx
