// vxRegCPX for Windows: registers control-panel entries from CPX files in the
// registry, and removes them.

#include "platform/win32/Win32.h"

#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/ServerStart.h"
#include "platform/win32/WindowsMessageBox.h"
#include "platform/win32/WindowsProcess.h"
#include "registrar/modCPX.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const trx::ProcessInfo process = trx::ReadWindowsProcessInfo();
    trx::WindowsMessageBox messages;
    if (const auto status = trx::HandleServerStart(process, u"vxRegCPX", messages)) {
        return *status;
    }
    trx::RegistrySettingsStore store;
    return trx::Main(process, store, messages);
}
