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
            trx::com::HandleRegistration(process, trx::CPXFileIdentity(), messages)) {
        return *status;
    }
    trx::RegistrySettingsStore store;
    // Started by COM, Main returns at once and the program serves its class
    // until the last object is gone.
    const int status = trx::Main(process, store, messages);
    if (process.mode == trx::StartMode::Automation) {
        const trx::ClassDescription description =
            trx::CPXFileClass(store, messages, process.programDirectory);
        return trx::com::ComServer(description, trx::MakeCPXFileObject).Run();
    }
    return status;
}
