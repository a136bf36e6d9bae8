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
#include <memory>
#include <optional>
#include <vector>

namespace trx::test {

// A dbus-daemon of the test's own, with its own configuration and a service
// folder in a temporary directory, so that activation runs for real and no
// test touches the user's session bus. While it lives, the test process and
// everything it starts see it as the session bus (DBUS_SESSION_BUS_ADDRESS),
// with XDG_DATA_HOME, XDG_CONFIG_HOME and HOME inside the temporary directory
// and no display.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const QString& Address() const { return address_; }
    const std::filesystem::path& Root() const { return dir_.Path(); }
    // $XDG_DATA_HOME/dbus-1/services, where /RegServer writes and the bus looks.
    std::filesystem::path ServiceFolder() const;

    // The test's connection to the bus, closed with the bus.
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

  private:
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
