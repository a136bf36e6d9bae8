// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include "platform/Process.h"
#include "platform/qt/DesktopMessageBox.h"
#include "platform/IniSettingsStore.h"
#include "registrar/dbus/CPXFileAutomation.h"
#include "registrar/modCPX.h"

int main(int argc, char** argv) {
    if (const auto code = trx::HandleCPXFileRegistration(argc, argv)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    trx::IniSettingsStore store;
    trx::DesktopMessageBox messages("vxRegCPX");
    // Started by the automation system, Main returns at once and the program
    // serves its class on the bus.
    const int status = trx::Main(process, store, messages);
    if (process.mode == trx::StartMode::Automation) {
        return trx::ServeCPXFile(argc, argv, store, messages, process.programDirectory);
    }
    return status;
}
