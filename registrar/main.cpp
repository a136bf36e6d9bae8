// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include "platform/DisplayProbe.h"
#include "platform/IniSettingsStore.h"
#include "platform/Process.h"
#include "platform/qt/DesktopMessageBox.h"
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
    trx::DesktopMessageBox messages("vxRegCPX", display);
    // Started by the automation system, Main returns at once and the program
    // serves its class on the bus.
    const int status = trx::Main(process, store, messages);
    if (process.mode == trx::StartMode::Automation) {
        return trx::ServeCPXFile(argc, argv, store, messages, process.programDirectory, display);
    }
    return status;
}
