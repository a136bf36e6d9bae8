#pragma once

#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

#include "automation/ServerLifetime.h"

namespace trx {

// The D-Bus server's event loop and its idle timer: expired runs when an
// armed wait (ServerLifetime) passes without work. A server whose bus has
// gone ends at once, since its clients went with it.
class IdleExit final : public IdleTimer {
  public:
    IdleExit(QDBusConnection connection, std::function<void()> expired);

    // Runs the event loop until Quit; the exit code.
    int Run();
    void Quit(int code);

    void Arm(std::chrono::milliseconds wait) override;
    void Cancel() override;

  private:
    QDBusConnection connection_;
    QTimer exitTimer_;
    QTimer busCheck_;
    QEventLoop loop_;
};

}  // namespace trx
