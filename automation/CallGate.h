#pragma once

#include <deque>
#include <functional>

namespace trx {

// Serves one call at a time, on one thread, and runs the work that served
// objects post (their timers' ticks) between calls, in order, never inside
// one. A call that runs a loop of its own (a message box, or COM's wait for
// a client's event handler) holds back the calls of other clients and all
// posted work until it has returned. Each transport marks the calls it
// serves (Call), turns a second client's call away or queues it while one
// runs (Busy), and runs the waiting work from its own loop when woken.
class CallGate {
  public:
    // wake asks the transport's loop to call RunWaiting soon; it may be asked
    // again before it has done so.
    explicit CallGate(std::function<void()> wake) : wake_(std::move(wake)) {}
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    void Post(std::function<void()> work);
    // Runs the waiting work in order, each piece as a call, also the work
    // that it posts. Inside a running call it runs nothing and gives false:
    // the outer call's loop picks the work up when that call has returned.
    bool RunWaiting();
    // Takes the waiting work out of the gate, for a server that ends.
    std::deque<std::function<void()>> TakeAll();

    bool Busy() const { return running_ > 0; }
    bool Empty() const { return waiting_.empty(); }
    // Forgets every running call: for the transport's own loop, which runs
    // only when no call does. A call that ended without unwinding (COM's RPC
    // layer catches an access violation inside it, past its destructors)
    // would otherwise shut the gate for good.
    void Reset() { running_ = 0; }

    // Marks a call as running for its scope.
    class Call {
      public:
        explicit Call(CallGate& gate) : gate_(gate) { ++gate_.running_; }
        ~Call() { --gate_.running_; }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

      private:
        CallGate& gate_;
    };

  private:
    std::function<void()> wake_;
    std::deque<std::function<void()>> waiting_;
    int running_ = 0;
};

}  // namespace trx
