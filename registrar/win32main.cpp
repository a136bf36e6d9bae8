// vxRegCPX for Windows: registers control-panel entries from CPX files in the
// registry, and removes them; started by COM, it serves vxRegCPX.CPXFile.

#include "platform/win32/Win32.h"

#include "automation/com/ComRegistration.h"
#include "automation/com/ComServer.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/WindowsMessageBox.h"
#include "platform/win32/WindowsProcess.h"
#include "registrar/CPXFileClass.h"
#include "registrar/com/CPXFileCom.h"
#include "registrar/modCPX.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const trx::ProcessInfo process = trx::ReadWindowsProcessInfo();
    trx::WindowsMessageBox messages;
    if (const auto status =
            trx::com::HandleRegistrationSwitches(process, trx::CPXFileIdentity(), messages)) {
        return *status;
    }
    trx::RegistrySettingsStore store;
    // Started by COM, the program serves its class instead of its Main.
    if (process.mode == trx::StartMode::Automation) {
        trx::com::ComServer server(trx::MakeCPXFileObject);
        return server.Serve(trx::CPXFileClass(store, messages, process.programDirectory));
    }
    return trx::Main(process, store, messages);
}
