// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include "platform/ChildMessageBox.h"
#include "platform/ConsoleMessageBox.h"
#include "platform/DesktopMessageBox.h"
#include "platform/DisplayProbe.h"
#include "platform/GuiModule.h"
#include "platform/IniSettingsStore.h"
#include "platform/Process.h"
#include "registrar/dbus/CPXFileAutomation.h"
#include "registrar/modCPX.h"

int main(int argc, char** argv) {
    if (const auto code = trx::HandleCPXFileRegistration(argc, argv)) {
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
        return trx::ServeCPXFile(argc, argv, store, served, process.programDirectory);
    }
    return status;
}
