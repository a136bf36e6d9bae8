// VXBCboSv: the combo-list data server. It has no start-up of its own: the
// bus starts it with -Embedding, and it serves VXBComboServer.VXComboDB.
#include <QCoreApplication>

#include <iostream>

#include "automation/dbus/AutomationServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "combolist/VXComboDBClass.h"
#include "common/Text.h"
#include "platform/Process.h"
#include "platform/ThreadSleeper.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/qt/QtTimer.h"

int main(int argc, char** argv) {
    const std::string progId = trx::ToUtf8(trx::VXComboDBIdentity().ProgId());
    if (const auto code =
            trx::HandleRegistrationSwitches(argc, argv, progId, std::cout, std::cerr)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    if (process.mode != trx::StartMode::Automation) {
        std::cout << "VXBCboSv ist ein Automatisierungsserver (VXBComboServer.VXComboDB), den der "
                     "Sitzungsbus startet; anmelden mit: VXBCboSv /RegServer\n";
        return 0;
    }
    QCoreApplication application(argc, argv);
    trx::OdbcConnectionFactory database;
    trx::QtTimerFactory timers;
    trx::ThreadSleeper sleeper;
    trx::AutomationServer server(QDBusConnection::sessionBus());
    return server.Serve(trx::VXComboDBClass(database, timers, sleeper, std::cerr, server));
}
