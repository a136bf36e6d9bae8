#pragma once

#include "tests/support/TempDir.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace trx::test {

// A dbus-daemon of the test's or benchmark's own, with its own configuration
// and a service folder in a temporary directory, so that activation runs for
// real and the user's session bus never sees it. While it lives, the process
// and everything it starts see it as the session bus
// (DBUS_SESSION_BUS_ADDRESS), with XDG_DATA_HOME, XDG_CONFIG_HOME and HOME
// inside the temporary directory and no display; the destructor restores the
// environment. The daemon, and with it every server it started, ends with its
// owner even when that is killed.
class PrivateBus {
  public:
    // With daemonLog, what the daemon and the servers it starts write to
    // standard error goes to that file (which outlives the bus); without, to
    // the process's own standard error.
    explicit PrivateBus(const std::optional<std::filesystem::path>& daemonLog = std::nullopt);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const QString& Address() const { return address_; }
    const std::filesystem::path& Root() const { return dir_.Path(); }
    // $XDG_DATA_HOME/dbus-1/services, where /RegServer writes and the bus looks.
    std::filesystem::path ServiceFolder() const;

    // The owner's connection to the bus, closed with the bus.
    QDBusConnection Connection() const;
    // A further connection (another client), closed by Disconnect or with the bus.
    QDBusConnection NewConnection();
    // Closes a further connection by its name, once no copy of it is left.
    void Disconnect(const QString& name);

    // Writes <progId>.service so that the bus starts command for progId.
    void WriteService(const QString& progId, const QStringList& command) const;

    // Whether the name has an owner on the bus right now.
    bool HasOwner(const QString& name) const;
    // The unique name of the owner, or empty.
    QString Owner(const QString& name) const;
    // Ends the process that owns name (a server this bus started) and waits
    // until the name is free again.
    bool EndOwner(const QString& name, std::chrono::milliseconds deadline) const;

  private:
    // Closes the connections, ends the daemon and restores the environment.
    void Stop();
    void SetEnvironment(const char* name, const QByteArray& value);

    TempDir dir_;
    QProcess daemon_;
    QString address_;
    QString connectionName_;
    std::vector<QString> extraConnections_;
    std::map<QByteArray, std::optional<QByteArray>> savedEnvironment_;
};

// Waits until condition holds, running the event loop, at most for deadline.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program (a bus client such as gdbus) to its end, with a deadline.
ProcessResult RunProgram(const QString& program, const QStringList& args,
                         std::chrono::milliseconds deadline = std::chrono::seconds(30));

// gdbus call --session --dest D --object-path P --method M args...
ProcessResult GdbusCall(const QString& destination, const QString& path, const QString& method,
                        const QStringList& args = {});

// Copies a program into folder, so that its program directory is a folder of
// the test's own; the copy's path.
std::filesystem::path CopyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& folder);

}  // namespace trx::test
