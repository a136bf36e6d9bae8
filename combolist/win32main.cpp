// VXBCboSv for Windows: the combo-list data server. It has no start-up of
// its own: COM starts it with -Embedding, and it serves
// VXBComboServer.VXComboDB until the last object is gone.

#include "platform/win32/Win32.h"

#include <iostream>

#include "automation/com/ComRegistration.h"
#include "automation/com/ComServer.h"
#include "combolist/VXComboDBClass.h"
#include "combolist/com/RecordSetInterfaces.h"
#include "combolist/com/VXComboDBCom.h"
#include "common/Text.h"
#include "platform/ThreadSleeper.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/win32/ServerStart.h"
#include "platform/win32/WindowsMessageBox.h"
#include "platform/win32/WindowsProcess.h"
#include "platform/win32/WindowsTimer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const trx::ProcessInfo process = trx::ReadWindowsProcessInfo();
    trx::WindowsMessageBox messages;
    trx::ClassIdentity identity = trx::VXComboDBIdentity();
    // The record set's interfaces are registered to be marshalled like the
    // class's own.
    for (const trx::ComInterface& recordSet : trx::RecordSetInterfaces()) {
        identity.otherInterfaces.emplace_back(recordSet.id, recordSet.name);
    }
    if (const auto status = trx::com::HandleRegistrationSwitches(process, identity, messages)) {
        return *status;
    }
    if (process.mode != trx::StartMode::Automation) {
        trx::ReportServerSwitch(
            u"VXBCboSv ist ein Automatisierungsserver (VXBComboServer.VXComboDB), den COM "
            u"startet; anmelden mit: VXBCboSv /RegServer",
            false, identity.typeLibrary.name, messages);
        return 0;
    }
    // Started by COM, the program serves its class; it has no Main.
    try {
        trx::OdbcConnectionFactory database;
        trx::WindowsTimerFactory timers;
        trx::ThreadSleeper sleeper;
        trx::com::ComServer server(trx::VXComboDBObjects());
        // A failed load run that the timer started has no caller: its line
        // goes to standard error, when the server has one.
        return server.Serve(trx::VXComboDBClass(database, timers, sleeper, std::cerr, server));
    } catch (const trx::AutomationError& error) {
        std::cerr << "VXBCboSv: " << trx::ToUtf8(error.Description()) << '\n';
    } catch (const std::exception& error) {
        std::cerr << "VXBCboSv: " << error.what() << '\n';
    }
    return 1;
}
