#pragma once

#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace trx {

// Ends a server that has nothing to do: an idle server arms a wait, and
// expired runs when it passes without work. A server whose bus has gone ends
// at once, since its clients went with it.
class IdleExit {
  public:
    IdleExit(QDBusConnection connection, std::function<void()> expired);

    // Runs the event loop until Quit; the exit code.
    int Run();
    void Quit(int code);

    void Arm(std::chrono::milliseconds wait);
    void Cancel();

  private:
    QDBusConnection connection_;
    QTimer exitTimer_;
    QTimer busCheck_;
    QEventLoop loop_;
};

}  // namespace trx
