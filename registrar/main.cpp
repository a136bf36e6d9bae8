// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include <QCoreApplication>

#include <iostream>

#include "automation/dbus/AutomationServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "common/Text.h"
#include "platform/ChildMessageBox.h"
#include "platform/ConsoleMessageBox.h"
#include "platform/DesktopMessageBox.h"
#include "platform/DisplayProbe.h"
#include "platform/GuiModule.h"
#include "platform/IniSettingsStore.h"
#include "platform/Process.h"
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
    trx::GuiModule gui(trx::GuiModulePath(process.programDirectory), "vxRegCPX");
    trx::DesktopMessageBox messages(gui, display);
    // A server's box, shown by a child process of this program (see ChildMessageBox).
    if (const auto code = trx::HandleShowMessage(argc, argv, messages)) {
        return *code;
    }
    // Started by the automation system, Main returns at once and the program
    // serves its class on the bus.
    const int status = trx::Main(process, store, messages);
    if (process.mode == trx::StartMode::Automation) {
        trx::ConsoleMessageBox console;
        trx::ChildMessageBox child("/proc/self/exe", console);
        trx::MessageBox& served = display ? static_cast<trx::MessageBox&>(child) : messages;
        // The server needs no graphical library: `served` shows the boxes of
        // served calls.
        QCoreApplication application(argc, argv);
        return trx::ServeOnSessionBus(trx::CPXFileClass(store, served, process.programDirectory));
    }
    return status;
}
