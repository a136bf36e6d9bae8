// VXBCboSv: the combo-list data server. It has no start-up of its own: the
// bus starts it with -Embedding, and it serves VXBComboServer.VXComboDB.
#include <QCoreApplication>

#include <iostream>

#include "automation/dbus/BusServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "combolist/VXComboDBClass.h"
#include "common/StandardOptions.h"
#include "common/Text.h"
#include "platform/Process.h"
#include "platform/ThreadSleeper.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/qt/QtTimer.h"

namespace {

constexpr std::string_view kHelp =
    "Usage:\n"
    "  VXBCboSv -Embedding\n"
    "  VXBCboSv /RegServer | /UnRegServer\n"
    "  VXBCboSv --help | --version\n"
    "\n"
    "The combo-list data server: the session bus starts it with -Embedding when a\n"
    "client creates VXBComboServer.VXComboDB, and it serves that class until its\n"
    "last object is released.\n"
    "\n"
    "  /RegServer, /UnRegServer\n"
    "         writes or removes the service file with which your session bus\n"
    "         starts this copy of VXBCboSv\n"
    "\n"
    "Exit status: 0 when the server ended normally or after this help; 1 when it\n"
    "could not serve on the session bus or the service file cannot be written.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string progId = trx::ToUtf8(trx::VXComboDBIdentity().ProgId());
    if (const auto code =
            trx::HandleRegistrationSwitches(argc, argv, progId, std::cout, std::cerr)) {
        return *code;
    }
    if (const auto code = trx::HandleStandardOptions(argc, argv, "VXBCboSv", kHelp, std::cout)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    if (process.mode != trx::StartMode::Automation) {
        std::cout << "VXBCboSv ist ein Automatisierungsserver (VXBComboServer.VXComboDB), den der "
                     "Sitzungsbus startet; anmelden mit: VXBCboSv /RegServer\n";
        return 0;
    }
    // Started by the bus, the program serves its class; it has no Main.
    QCoreApplication application(argc, argv);
    trx::OdbcConnectionFactory database;
    trx::QtTimerFactory timers;
    trx::ThreadSleeper sleeper;
    trx::BusServer server(QDBusConnection::sessionBus());
    return server.Serve(trx::VXComboDBClass(database, timers, sleeper, std::cerr, server));
}
