// vxTRXVer: shows the suite's version record from vxTRX.ini beside the
// program, or with /CREATE opens the dialog on which a new record is saved.
#include <QCoreApplication>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "automation/dbus/BusServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "common/StandardOptions.h"
#include "common/Text.h"
#include "platform/ConsoleMessageBox.h"
#include "platform/Process.h"
#include "platform/posix/ChildMessageBox.h"
#include "platform/posix/DesktopMessageBox.h"
#include "platform/posix/DisplayProbe.h"
#include "platform/posix/GuiModule.h"
#include "platform/posix/SystemClock.h"
#include "platform/qt/QtLocale.h"
#include "version/VersionClass.h"
#include "version/basVersion.h"
#include "version/frmCreateVersion.h"

namespace {

constexpr std::string_view kHelp =
    "Usage:\n"
    "  vxTRXVer [/CREATE]\n"
    "  vxTRXVer /RegServer | /UnRegServer\n"
    "  vxTRXVer --help | --version\n"
    "\n"
    "Shows the suite's version record from vxTRX.ini beside the program, in a\n"
    "message box or, without a display, on the console. With /CREATE (in any\n"
    "letter case, anywhere on the command line) it opens the dialog on which a\n"
    "new record is entered and saved.\n"
    "\n"
    "  /RegServer, /UnRegServer\n"
    "         writes or removes the service file with which your session bus\n"
    "         starts this copy of vxTRXVer for vxTRXVer.Version\n"
    "\n"
    "Exit status: 0 on success; 1 when the record cannot be read (a build number\n"
    "outside the 32-bit range), the dialog has no display, or the service file\n"
    "cannot be written.\n";

// A dialog needs a display, or a Qt platform chosen on purpose (offscreen).
bool DialogPossible(trx::Display display) {
    if (display != trx::Display::None) {
        return true;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform != nullptr && *platform != '\0';
}

class DialogOpener : public trx::CreateVersionFormOpener {
  public:
    DialogOpener(trx::GuiModule& gui, trx::Display display, const trx::Clock& clock,
                 const trx::Locale& locale, trx::MessageBox& messageBox)
        : gui_(gui), display_(display), clock_(clock), locale_(locale), messageBox_(messageBox) {}

    bool OpenModal(const std::u16string& iniPath) override {
        // The dialog runs in this process; the toolkit is tried on the
        // display in a child first, so that a display that fails it there
        // (ends it or keeps it waiting) cannot end or hold up this one.
        std::optional<std::string> failure;
        if (display_ != trx::Display::None) {
            failure = trx::ToolkitStartFailure("/proc/self/exe");
        }
        if (!DialogPossible(display_) || failure) {
            if (failure) {
                std::cerr << trx::NoDisplayNotice(*failure);
            }
            trx::ConsoleMessageBox().Show(
                u"Der Dialog \"Create Version\" braucht eine grafische Anzeige.",
                trx::MessageIcon::Warning, u"Fehler");
            return false;
        }
        auto* make = gui_.Toolkit() == nullptr
                         ? nullptr
                         : reinterpret_cast<trx::CreateVersionDialogFunction*>(
                               gui_.Entry(trx::kCreateVersionDialogEntry));
        if (make == nullptr) {
            const std::string why = gui_.Error().empty() ? gui_.Path() : gui_.Error();
            messageBox_.Show(u"Der Dialog \"Create Version\" braucht das Modul " +
                                 trx::FromUtf8(trx::GuiModuleFileName()) +
                                 u" neben dem Programm (" + trx::FromFileName(why) + u").",
                             trx::MessageIcon::Warning, u"Fehler");
            return false;
        }
        const std::unique_ptr<trx::AttachableCreateVersionView> dialog(make());
        trx::frmCreateVersion form(*dialog, iniPath, clock_, locale_, messageBox_);
        dialog->Attach(form);
        return form.Show();
    }

  private:
    trx::GuiModule& gui_;
    trx::Display display_;
    const trx::Clock& clock_;
    const trx::Locale& locale_;
    trx::MessageBox& messageBox_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string progId = trx::ToUtf8(trx::VersionIdentity().ProgId());
    if (const auto code =
            trx::HandleRegistrationSwitches(argc, argv, progId, std::cout, std::cerr)) {
        return *code;
    }
    if (const auto code = trx::HandleStandardOptions(argc, argv, "vxTRXVer", kHelp, std::cout)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    if (const auto code = trx::RequireProgramDirectory(process, "vxTRXVer", std::cerr)) {
        return *code;
    }
    const trx::SystemClock clock;
    // Started by the bus, the program serves its class instead of its Main;
    // the served class shows nothing, so no display is needed.
    if (process.mode == trx::StartMode::Automation) {
        QCoreApplication application(argc, argv);
        trx::BusServer server(QDBusConnection::sessionBus());
        return server.Serve(trx::VersionClass(clock, process.programDirectory));
    }
    const trx::QtLocale locale(clock);
    // Probed before anything graphical starts: a display that is gone,
    // refuses or stays silent means the console, not a failed start or a hang.
    const trx::ReachableDisplay reachable;
    const trx::Display display = reachable.Kind();
    trx::UseDisplay(display);
    trx::GuiModule gui(trx::GuiModulePath(process.programDirectory), "vxTRXVer");
    // The version box is shown by a child process (see ChildMessageBox); the
    // dialog's own boxes in this process, where its toolkit runs.
    trx::ConsoleMessageBox console;
    trx::ChildMessageBox messageBox("/proc/self/exe", display != trx::Display::None, console);
    if (const auto code = trx::HandleShowMessage(argc, argv, gui, messageBox)) {
        return *code;
    }
    trx::DesktopMessageBox dialogBox(gui, display != trx::Display::None);
    DialogOpener opener(gui, display, clock, locale, dialogBox);
    return trx::Main(process, clock, locale, messageBox, opener);
}
