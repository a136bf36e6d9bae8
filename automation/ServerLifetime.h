#pragma once

#include <chrono>

#include "automation/ServerRules.h"

namespace trx {

// The transport's timer that ends an idle server when it expires (unless the
// server has work again by then).
class IdleTimer {
  public:
    virtual ~IdleTimer() = default;
    virtual void Arm(std::chrono::milliseconds wait) = 0;
    virtual void Cancel() = 0;
};

// When a server ends, on every transport: it is idle when it holds no object
// and no call runs or waits. A server that was started and has not yet been
// asked for an object waits ServerOptions::startIdle for one, so that a
// client that went away before its creation leaves no server behind; after
// the first creation (also a failed one) an idle server waits
// ServerOptions::linger. Anything that makes it busy again cancels the wait.
class ServerLifetime {
  public:
    ServerLifetime(const ServerOptions& options, IdleTimer& timer)
        : options_(options), timer_(timer) {}

    // A client asked for an object.
    void CreationAsked() { asked_ = true; }
    // Arms the wait before the end when the server is idle, cancels it
    // otherwise.
    void Check(bool idle) {
        if (idle) {
            timer_.Arm(asked_ ? options_.linger : options_.startIdle);
        } else {
            timer_.Cancel();
        }
    }

  private:
    ServerOptions options_;
    IdleTimer& timer_;
    bool asked_ = false;
};

}  // namespace trx
