// VXBCboSv: the combo-list data server. It has no start-up of its own: the
// bus starts it with -Embedding, and it serves VXBComboServer.VXComboDB.
#include <QCoreApplication>

#include <iostream>

#include "combolist/dbus/VXComboDBAutomation.h"
#include "platform/Process.h"
#include "platform/ThreadSleeper.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/qt/QtTimer.h"

int main(int argc, char** argv) {
    if (const auto code = trx::HandleVXComboDBRegistration(argc, argv)) {
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
    return trx::ServeVXComboDB(database, timers, sleeper, std::cerr);
}
