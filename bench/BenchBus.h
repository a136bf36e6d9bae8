#pragma once

// A dbus-daemon of the benchmark's own with a service folder in a scratch
// folder, so that activation runs for real and the user's session bus never
// sees the benchmark. While it lives, the process and every server the bus
// starts see it as the session bus, with HOME and the XDG folders inside
// the scratch folder and no display.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <functional>

namespace trx::bench {

class BenchBus {
  public:
    explicit BenchBus(const std::filesystem::path& root);
    ~BenchBus();
    BenchBus(const BenchBus&) = delete;
    BenchBus& operator=(const BenchBus&) = delete;

    QDBusConnection Connection() const;
    // Writes <name>.service so that the bus starts command for name.
    void WriteService(const QString& name, const QStringList& command) const;
    bool HasOwner(const QString& name) const;
    // Ends the process that owns name (a server this bus started) and waits
    // until the name is free again.
    bool EndOwner(const QString& name, std::chrono::milliseconds deadline) const;

  private:
    std::filesystem::path root_;
    QProcess daemon_;
    QString connectionName_;
};

// Runs the event loop until condition holds, at most for deadline.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

}  // namespace trx::bench
