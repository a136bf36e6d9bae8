#pragma once

// When a COM server ends (ServerLifetime): COM counts the process's
// references (its objects and the clients' LockServer), and the server ends
// when they are gone; a thread timer of the server's message loop ends a
// server that waited in vain for its first object (ServerOptions::startIdle),
// or lingered after a failed creation (ServerOptions::linger).

#include "platform/win32/Win32.h"

#include <objbase.h>

#include <chrono>

#include "automation/ServerLifetime.h"

namespace trx::com {

class ComLifetime final : public IdleTimer {
  public:
    explicit ComLifetime(const ServerOptions& options) : lifetime_(options, *this) {}
    ~ComLifetime() override { Cancel(); }
    ComLifetime(const ComLifetime&) = delete;
    ComLifetime& operator=(const ComLifetime&) = delete;

    // The server offers its class: it waits for its first object.
    void Started() { lifetime_.Check(Idle()); }
    // A client asked for an object; a failed creation leaves the server as
    // idle as before, and lingering: the client still releases the class
    // object, and under Wine a server that tears COM down while that call
    // comes in can wait for it for good.
    void CreationAsked() { lifetime_.CreationAsked(); }
    void CreationFailed() { lifetime_.Check(Idle()); }
    // An object or a client's lock holds the process, or lets it go; after
    // the last the server ends.
    void Hold();
    void Drop();

    // Whether message is the end of an idle server's wait, after which it
    // ends; the server's loop ends then.
    bool Ends(const MSG& message);

    void Arm(std::chrono::milliseconds wait) override;
    void Cancel() override;

  private:
    bool Idle() const { return references_ == 0; }

    ServerLifetime lifetime_;
    ULONG references_ = 0;
    UINT_PTR timer_ = 0;
};

}  // namespace trx::com
