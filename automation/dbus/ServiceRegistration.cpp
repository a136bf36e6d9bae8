#include "automation/dbus/ServiceRegistration.h"

#include "automation/RegistrationSwitch.h"
#include "common/Text.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace trx {
namespace {

// The first registration switch among the arguments. The service file is
// the user's own, so the per-user switches do what the plain ones do.
std::optional<RegistrationSwitch> FindSwitch(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (const auto found = RegistrationSwitchOf(FromUtf8(argv[i]))) {
            return found;
        }
    }
    return std::nullopt;
}

// The bus splits Exec= like a shell; a path with anything but the plainest
// characters is put in single quotes.
std::string QuotedForExec(const std::string& path) {
    const bool plain = std::all_of(path.begin(), path.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-' || c == '+';
    });
    if (plain) {
        return path;
    }
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::filesystem::path ServiceFile(const std::string& progId, const std::filesystem::path& folder) {
    return folder / (progId + ".service");
}

// The running session bus keeps its own table of service files: it does not
// watch a folder made after it started, and a name that the system's folder
// already gives keeps that entry. A reload makes the user's file count at
// once, ahead of the system's. Without a session bus there is nothing to tell:
// the next bus reads the folder when it starts.
void ReloadSessionBus() {
    QString address = QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    if (address.isEmpty()) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        std::error_code error;
        if (runtime.isEmpty() ||
            !std::filesystem::exists(std::filesystem::path(runtime.toStdString()) / "bus", error)) {
            return;
        }
        address =
            QStringLiteral("unix:path=") + QString::fromLocal8Bit(runtime) + QStringLiteral("/bus");
    }
    const QString name = QStringLiteral("trx-registration");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (bus.isConnected()) {
            const auto reload = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
            // A bus that does not answer in time reads the file at its next start.
            bus.call(reload, QDBus::Block, 5000);
        }
    }
    QDBusConnection::disconnectFromBus(name);
}

}  // namespace

std::filesystem::path UserServiceFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return std::filesystem::path(data) / "dbus-1" / "services";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return {};
    }
    return std::filesystem::path(home) / ".local" / "share" / "dbus-1" / "services";
}

std::string ServiceFileText(const std::string& progId, const std::filesystem::path& executable) {
    return "[D-BUS Service]\nName=" + progId + "\nExec=" + QuotedForExec(executable.string()) +
           " -Embedding\n";
}

int RegisterServer(const std::string& progId, const std::filesystem::path& executable,
                   const std::filesystem::path& folder, std::ostream& out, std::ostream& err) {
    const auto file = ServiceFile(progId, folder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    if (stream) {
        stream << ServiceFileText(progId, executable);
        stream.close();
    }
    if (!stream) {
        err << progId << ": Die Dienstdatei '" << file.string()
            << "' kann nicht geschrieben werden.\n";
        return 1;
    }
    out << progId << ": Dienstdatei '" << file.string()
        << "' geschrieben (Exec=" << executable.string() << " -Embedding).\n";
    return 0;
}

int UnregisterServer(const std::string& progId, const std::filesystem::path& folder,
                     std::ostream& out, std::ostream& err) {
    const auto file = ServiceFile(progId, folder);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        out << progId << ": Keine Dienstdatei '" << file.string() << "' vorhanden.\n";
        return 0;
    }
    if (!std::filesystem::remove(file, error)) {
        err << progId << ": Die Dienstdatei '" << file.string()
            << "' kann nicht entfernt werden: " << error.message() << "\n";
        return 1;
    }
    out << progId << ": Dienstdatei '" << file.string() << "' entfernt.\n";
    return 0;
}

std::optional<int> HandleRegistrationSwitches(int argc, const char* const* argv,
                                              const std::string& progId, std::ostream& out,
                                              std::ostream& err) {
    const std::optional<RegistrationSwitch> found = FindSwitch(argc, argv);
    if (!found) {
        return std::nullopt;
    }
    const auto folder = UserServiceFolder();
    if (folder.empty()) {
        err << progId
            << ": Weder XDG_DATA_HOME noch HOME nennen einen Ordner für die Dienstdatei.\n";
        return 1;
    }
    int code = 1;
    if (*found == RegistrationSwitch::Unregister ||
        *found == RegistrationSwitch::UnregisterPerUser) {
        code = UnregisterServer(progId, folder, out, err);
    } else {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) {
            err << progId << ": Der Pfad des Programms ist nicht bestimmbar: " << error.message()
                << "\n";
            return 1;
        }
        code = RegisterServer(progId, executable, folder, out, err);
    }
    if (code == 0) {
        ReloadSessionBus();
    }
    return code;
}

}  // namespace trx
