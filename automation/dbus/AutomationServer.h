#pragma once

#include "automation/AutomationHost.h"
#include "automation/ClassDescription.h"
#include "automation/ServerRules.h"

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <memory>

namespace trx {

// Serves one described class on a bus connection: the class object at "/",
// the objects at /<class>/<n>, one call at a time, and the server's own
// lifetime (ServerRules.h).
class AutomationServer final : public AutomationHost {
  public:
    explicit AutomationServer(QDBusConnection connection, ServerOptions options = {});
    ~AutomationServer() override;
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Registers the objects, then takes the bus name (the programmatic
    // identifier). False, with the reason in error, when either fails.
    bool Start(ClassDescription served, QString& error);

    // Runs the event loop until the server has ended; the process's exit code.
    int Run();

    // Start and Run; a failed start is told on standard error and gives 1.
    int Serve(ClassDescription served);

    void Post(std::function<void()> work) override;
    // Asks the bus at most every quarter second.
    bool CallerConnected() override;

    class Router;

  private:
    std::unique_ptr<Router> router_;
};

// The -Embedding path of a program: serves the class on the session bus until
// the server ends. Needs the Qt application object; returns the exit code.
int ServeOnSessionBus(ClassDescription served, ServerOptions options = {});

}  // namespace trx
