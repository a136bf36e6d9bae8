#include "bench/BenchBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>

#include <signal.h>
#include <sys/prctl.h>

#include <fstream>
#include <stdexcept>

namespace trx::bench {

namespace {

std::filesystem::path ServiceFolder(const std::filesystem::path& root) {
    return root / "data" / "dbus-1" / "services";
}

}  // namespace

BenchBus::BenchBus(const std::filesystem::path& root) : root_(root) {
    std::filesystem::create_directories(ServiceFolder(root_));
    std::filesystem::create_directories(root_ / "home");
    std::filesystem::create_directories(root_ / "config");
    const auto config = root_ / "bus.conf";
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n  <type>session</type>\n  <listen>unix:path="
        << (root_ / "bus").string() << "</listen>\n  <servicedir>" << ServiceFolder(root_).string()
        << "</servicedir>\n  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
           "  </policy>\n</busconfig>\n";
    const QByteArray address = "unix:path=" + QByteArray::fromStdString((root_ / "bus").string());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((root_ / "data").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((root_ / "config").string()));
    qputenv("HOME", QByteArray::fromStdString((root_ / "home").string()));
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments(
        {QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
         QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    // The daemon reports every activation; keep that out of the table.
    // The daemon ends with the benchmark, even one that is killed, and the
    // servers it started end with their bus.
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.setStandardErrorFile(QString::fromStdString((root_ / "bus.log").string()));
    daemon_.start();
    if (!daemon_.waitForStarted(10000)) {
        throw std::runtime_error("dbus-daemon does not start");
    }
    QDeadlineTimer deadline(10000);
    while (!daemon_.canReadLine() && !deadline.hasExpired()) {
        daemon_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    if (!daemon_.canReadLine()) {
        throw std::runtime_error("dbus-daemon does not listen");
    }
    connectionName_ = QStringLiteral("trx-bench-bus");
    if (!QDBusConnection::connectToBus(QString::fromLatin1(address), connectionName_)
             .isConnected()) {
        throw std::runtime_error("cannot connect to the benchmark's bus");
    }
}

BenchBus::~BenchBus() {
    QDBusConnection::disconnectFromBus(connectionName_);
    daemon_.terminate();
    if (!daemon_.waitForFinished(5000)) {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
}

QDBusConnection BenchBus::Connection() const {
    return QDBusConnection(connectionName_);
}

void BenchBus::WriteService(const QString& name, const QStringList& command) const {
    std::ofstream(ServiceFolder(root_) / (name.toStdString() + ".service"))
        << "[D-BUS Service]\nName=" << name.toStdString()
        << "\nExec=" << command.join(u' ').toStdString() << "\n";
}

bool BenchBus::HasOwner(const QString& name) const {
    return Connection().interface()->isServiceRegistered(name).value();
}

bool BenchBus::EndOwner(const QString& name, std::chrono::milliseconds deadline) const {
    const auto pid = Connection().interface()->servicePid(name);
    if (!pid.isValid() || pid.value() == 0) {
        return !HasOwner(name);
    }
    ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
    return WaitUntil([&] { return !HasOwner(name); }, deadline);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    QDeadlineTimer timer(deadline);
    while (!condition()) {
        if (timer.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

}  // namespace trx::bench
