// vxTRXVer for Windows: shows the suite's version record from vxTRX.ini
// beside the program, or with /CREATE opens the dialog on which a new record
// is saved; started by COM, it serves vxTRXVer.Version.

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
#include "version/frmCreateVersion.h"
#include "version/win32/WindowsCreateVersionDialog.h"

namespace {

// /CREATE: the form over the Win32 dialog, shown modally until it is closed.
class DialogOpener : public trx::CreateVersionFormOpener {
  public:
    DialogOpener(HINSTANCE instance, const trx::Clock& clock, const trx::Locale& locale,
                 trx::MessageBox& messages)
        : instance_(instance), clock_(clock), locale_(locale), messages_(messages) {}

    bool OpenModal(const std::u16string& iniPath) override {
        trx::WindowsCreateVersionDialog dialog(instance_, locale_);
        if (!dialog.Created()) {
            messages_.Show(u"Der Dialog \"Create Version\" konnte nicht geöffnet werden.",
                           trx::MessageIcon::Warning, u"Fehler");
            return false;
        }
        trx::frmCreateVersion form(dialog, iniPath, clock_, locale_, messages_);
        dialog.Attach(form);
        return form.Show();
    }

  private:
    HINSTANCE instance_;
    const trx::Clock& clock_;
    const trx::Locale& locale_;
    trx::MessageBox& messages_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const trx::ProcessInfo process = trx::ReadWindowsProcessInfo();
    trx::WindowsMessageBox messages;
    if (const auto status =
            trx::com::HandleRegistrationSwitches(process, trx::VersionIdentity(), messages)) {
        return *status;
    }
    const trx::WindowsClock clock;
    // Started by COM, the program serves its class instead of its Main.
    if (process.mode == trx::StartMode::Automation) {
        trx::com::ComServer server(trx::MakeVersionObject);
        return server.Serve(trx::VersionClass(clock, process.programDirectory));
    }
    const trx::WindowsLocale locale;
    DialogOpener opener(instance, clock, locale, messages);
    return trx::Main(process, clock, locale, messages, opener);
}
