#pragma once

#include <functional>

namespace trx {

// What a transport offers the classes it serves, besides the calls.
class AutomationHost {
  public:
    virtual ~AutomationHost() = default;
    // Runs work between calls, never inside one (for timers of served objects).
    virtual void Post(std::function<void()> work) = 0;
    // Whether the client of the call that is running is still connected;
    // true between calls.
    virtual bool CallerConnected() = 0;
};

}  // namespace trx
