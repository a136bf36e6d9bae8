// vxTRXVer for Windows: shows the suite's version record from vxTRX.ini
// beside the program; started by COM, it serves vxTRXVer.Version.

#include "platform/win32/Win32.h"

#include "automation/com/ComRegistration.h"
#include "automation/com/ComServer.h"

#include "platform/win32/WindowsClock.h"
#include "platform/win32/WindowsLocale.h"
#include "platform/win32/WindowsMessageBox.h"
#include "platform/win32/WindowsProcess.h"
#include "version/VersionClass.h"
#include "version/basVersion.h"
#include "version/com/VersionCom.h"

namespace {

// The create-version dialog is not part of the Windows build yet: /CREATE
// says so instead of showing nothing.
class NoDialogYet : public trx::CreateVersionFormOpener {
  public:
    explicit NoDialogYet(trx::MessageBox& messages) : messages_(messages) {}
    bool OpenModal(const std::u16string&) override {
        messages_.Show(
            u"Der Dialog \"Create Version\" ist in dieser Windows-Ausgabe von "
            u"vxTRXVer noch nicht enthalten.",
            trx::MessageIcon::Warning, u"Fehler");
        return false;
    }

  private:
    trx::MessageBox& messages_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const trx::ProcessInfo process = trx::ReadWindowsProcessInfo();
    trx::WindowsMessageBox messages;
    if (const auto status =
            trx::com::HandleRegistration(process, trx::VersionIdentity(), messages)) {
        return *status;
    }
    const trx::WindowsClock clock;
    const trx::WindowsLocale locale;
    NoDialogYet opener(messages);
    // Started by COM, Main returns at once and the program serves its class
    // until the last object is gone.
    const int status = trx::Main(process, clock, locale, messages, opener);
    if (process.mode == trx::StartMode::Automation) {
        const trx::ClassDescription description =
            trx::VersionClass(clock, process.programDirectory);
        return trx::com::ComServer(description, trx::MakeVersionObject).Run();
    }
    return status;
}
