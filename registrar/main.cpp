// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include <QApplication>

#include <iostream>
#include <memory>

#include "automation/dbus/AutomationServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "common/Text.h"
#include "platform/DisplayProbe.h"
#include "platform/IniSettingsStore.h"
#include "platform/Process.h"
#include "platform/qt/DesktopMessageBox.h"
#include "registrar/CPXFileClass.h"
#include "registrar/modCPX.h"

int main(int argc, char** argv) {
    const std::string progId = trx::ToUtf8(trx::CPXFileIdentity().ProgId());
    if (const auto code =
            trx::HandleRegistrationSwitches(argc, argv, progId, std::cout, std::cerr)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    trx::IniSettingsStore store;
    // Probed once, before any Qt application object: a display that is named
    // but gone means the console, not a failed start.
    const bool display = trx::DisplayReachable();
    trx::DesktopMessageBox messages("vxRegCPX", display);
    // Started by the automation system, Main returns at once and the program
    // serves its class on the bus.
    const int status = trx::Main(process, store, messages);
    if (process.mode != trx::StartMode::Automation) {
        return status;
    }
    // The message box finds the application object it needs: a widget
    // application where it shows boxes on a display.
    std::unique_ptr<QCoreApplication> application;
    if (display) {
        application = std::make_unique<QApplication>(argc, argv);
        // The server's lifetime follows its objects: closing the last message
        // box must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    return trx::ServeOnSessionBus(trx::CPXFileClass(store, messages, process.programDirectory));
}
