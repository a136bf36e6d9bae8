#pragma once

#include "automation/AutomationHost.h"
#include "automation/CallGate.h"
#include "automation/ClassDescription.h"
#include "automation/ServerLifetime.h"
#include "automation/ServerRules.h"
#include "automation/dbus/IdleExit.h"
#include "automation/dbus/MemberCalls.h"
#include "automation/dbus/ObjectTable.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace trx {

// Serves one described class on a bus connection: the class object at "/",
// the objects at /<class>/<n>. Every message to the served tree passes
// through this object; each call runs as work of the server's call gate,
// one at a time, and the server ends when it is idle (ServerLifetime).
class BusServer final : public QDBusVirtualObject, public AutomationHost {
  public:
    explicit BusServer(QDBusConnection connection, ServerOptions options = {});
    ~BusServer() override;
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;

    // Registers the objects, takes the bus name (the programmatic
    // identifier) and serves until the server ends; the process's exit
    // status: 0, or 1 when the class could not be offered (a line says why
    // on standard error).
    int Serve(ClassDescription served);

    void Post(std::function<void()> work) override;
    // Asks the bus at most every quarter second.
    bool CallerConnected() override;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override;

  private:
    bool Start(ClassDescription served, QString& error);
    void WakeGate();
    QString ProgId() const;
    QString ClassNode() const;
    std::optional<int> ObjectNumber(const QString& path) const;
    std::optional<QString> IntrospectPath(const QString& path, const QString& caller) const;
    void ServeCall(const QDBusMessage& message);
    bool Refused(const QDBusMessage& message);
    void Create(const QDBusMessage& message);
    bool Idle() const;
    void CheckLifetime();
    void OnIdle();

    QDBusConnection connection_;
    ServerOptions options_;
    ClassDescription served_;
    std::optional<MemberCalls> calls_;
    CallGate gate_;
    bool wakeScheduled_ = false;
    ObjectTable objects_;
    IdleExit end_;
    ServerLifetime lifetime_;
    QString caller_;  // the client of the running call
    std::chrono::steady_clock::time_point callerChecked_;
    bool callerThere_ = true;
    bool registered_ = false;
    bool ending_ = false;
};

}  // namespace trx
