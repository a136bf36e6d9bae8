#include "tests/support/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>

#include <signal.h>
#include <sys/prctl.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace trx::test {
namespace {

std::string BusConfig(const std::filesystem::path& root, const std::filesystem::path& services) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <keep_umask/>\n"
           "  <listen>unix:path=" +
           (root / "bus").string() +
           "</listen>\n"
           "  <servicedir>" +
           services.string() +
           "</servicedir>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

}  // namespace

PrivateBus::PrivateBus(const std::optional<std::filesystem::path>& daemonLog) {
    static std::atomic<int> counter{0};
    const auto services = ServiceFolder();
    std::filesystem::create_directories(services);
    std::filesystem::create_directories(Root() / "home");
    std::filesystem::create_directories(Root() / "config");
    const auto config = Root() / "bus.conf";
    {
        std::ofstream stream(config);
        stream << BusConfig(Root(), services);
    }
    address_ = QStringLiteral("unix:path=") + QString::fromStdString((Root() / "bus").string());
    SetEnvironment("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    SetEnvironment("DBUS_STARTER_ADDRESS", address_.toUtf8());
    SetEnvironment("XDG_DATA_HOME", QByteArray::fromStdString((Root() / "data").string()));
    SetEnvironment("XDG_CONFIG_HOME", QByteArray::fromStdString((Root() / "config").string()));
    SetEnvironment("HOME", QByteArray::fromStdString((Root() / "home").string()));
    // Servers that the bus starts show their message boxes in the console form.
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        SetEnvironment(display, QByteArray());
        qunsetenv(display);
    }

    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments(
        {QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
         QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (daemonLog) {
        daemon_.setStandardErrorFile(QString::fromStdString(daemonLog->string()));
    } else {
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    // A test that runs out of time is killed; its daemon must not outlive it
    // (the servers it started end with their bus).
    daemon_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.start();
    const char* failure = nullptr;
    if (!daemon_.waitForStarted(10000)) {
        failure = "dbus-daemon does not start";
    } else {
        // The daemon prints its address once it listens.
        QDeadlineTimer deadline(10000);
        while (!daemon_.canReadLine() && daemon_.state() == QProcess::Running &&
               !deadline.hasExpired()) {
            daemon_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        }
        connectionName_ = QStringLiteral("trx-private-bus-%1").arg(++counter);
        if (!daemon_.canReadLine()) {
            failure = "dbus-daemon does not listen";
        } else if (!QDBusConnection::connectToBus(address_, connectionName_).isConnected()) {
            failure = "cannot connect to the private bus";
        }
    }
    if (failure != nullptr) {
        Stop();
        throw std::runtime_error(failure);
    }
}

PrivateBus::~PrivateBus() {
    Stop();
}

void PrivateBus::Stop() {
    for (const auto& name : extraConnections_) {
        QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection::disconnectFromBus(connectionName_);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }
    for (const auto& [name, value] : savedEnvironment_) {
        if (value) {
            qputenv(name.constData(), *value);
        } else {
            qunsetenv(name.constData());
        }
    }
}

void PrivateBus::SetEnvironment(const char* name, const QByteArray& value) {
    if (savedEnvironment_.find(name) == savedEnvironment_.end()) {
        savedEnvironment_[name] =
            qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }
    qputenv(name, value);
}

std::filesystem::path PrivateBus::ServiceFolder() const {
    return Root() / "data" / "dbus-1" / "services";
}

QDBusConnection PrivateBus::Connection() const {
    return QDBusConnection(connectionName_);
}

QDBusConnection PrivateBus::NewConnection() {
    const QString name = connectionName_ + QStringLiteral("-%1").arg(extraConnections_.size() + 1);
    extraConnections_.push_back(name);
    return QDBusConnection::connectToBus(address_, name);
}

void PrivateBus::Disconnect(const QString& name) {
    QDBusConnection::disconnectFromBus(name);
}

void PrivateBus::WriteService(const QString& progId, const QStringList& command) const {
    std::ofstream stream(ServiceFolder() / (progId.toStdString() + ".service"));
    stream << "[D-BUS Service]\nName=" << progId.toStdString()
           << "\nExec=" << command.join(u' ').toStdString() << "\n";
}

bool PrivateBus::HasOwner(const QString& name) const {
    return Connection().interface()->isServiceRegistered(name).value();
}

QString PrivateBus::Owner(const QString& name) const {
    auto reply = Connection().interface()->serviceOwner(name);
    return reply.isValid() ? reply.value() : QString();
}

bool PrivateBus::EndOwner(const QString& name, std::chrono::milliseconds deadline) const {
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
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

ProcessResult RunProgram(const QString& program, const QStringList& args,
                         std::chrono::milliseconds deadline) {
    QProcess process;
    process.start(program, args);
    ProcessResult result;
    if (!process.waitForStarted(10000)) {
        result.err = QStringLiteral("cannot start ") + program;
        return result;
    }
    if (!process.waitForFinished(static_cast<int>(deadline.count()))) {
        process.kill();
        process.waitForFinished(5000);
        result.err = QStringLiteral("timed out: ") + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ProcessResult GdbusCall(const QString& destination, const QString& path, const QString& method,
                        const QStringList& args) {
    return RunProgram(
        QStringLiteral("gdbus"),
        QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                    destination, QStringLiteral("--object-path"), path, QStringLiteral("--method"),
                    method, QStringLiteral("--")} +
            args);
}

std::filesystem::path CopyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const auto copy = folder / program.filename();
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

}  // namespace trx::test
