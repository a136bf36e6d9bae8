#pragma once

#include <QObject>

#include <deque>
#include <functional>

namespace trx {

// Serves calls one at a time. Work is queued and run from the event loop,
// in order; work posted inside running work (a call that runs an event loop
// of its own, as a message box does) waits until that work has returned.
class CallQueue {
  public:
    // afterDrain runs whenever the queue has run empty.
    explicit CallQueue(std::function<void()> afterDrain);

    void Post(std::function<void()> work);
    bool Busy() const { return busy_; }
    bool Empty() const { return queue_.empty(); }
    // Takes the work that waits out of the queue, for a server that ends.
    std::deque<std::function<void()>> TakeAll();

  private:
    void Drain();

    QObject context_;
    std::function<void()> afterDrain_;
    std::deque<std::function<void()>> queue_;
    bool busy_ = false;
    bool drainScheduled_ = false;
};

}  // namespace trx
