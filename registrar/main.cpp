// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include <QCoreApplication>
#include <iostream>

#include "automation/dbus/BusServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "common/StandardOptions.h"
#include "common/Text.h"
#include "platform/ConsoleMessageBox.h"
#include "platform/Process.h"
#include "platform/posix/ChildMessageBox.h"
#include "platform/posix/DisplayProbe.h"
#include "platform/posix/GuiModule.h"
#include "platform/posix/IniSettingsStore.h"
#include "registrar/CPXFileClass.h"
#include "registrar/modCPX.h"

namespace {

// The console help of --help; /h keeps its message box.
constexpr std::string_view kHelp =
    "Usage:\n"
    "  vxRegCPX CPX-FILE [/u] [/q | /qe] [/h]\n"
    "  vxRegCPX /RegServer | /UnRegServer\n"
    "  vxRegCPX --help | --version\n"
    "\n"
    "Records the control-panel entry that CPX-FILE describes in the per-user\n"
    "settings store ($XDG_CONFIG_HOME/Velmora/vxtControlPanel.ini, by default\n"
    "~/.config/Velmora/vxtControlPanel.ini), or removes it again. Target and Icon\n"
    "in the CPX file are relative to the folder that holds vxRegCPX.\n"
    "\n"
    "  /u     removes the entry instead of registering it\n"
    "  /q     shows no message\n"
    "  /qe    shows error messages only\n"
    "  /h     shows this program's help in a message box\n"
    "  /RegServer, /UnRegServer\n"
    "         writes or removes the service file with which your session bus\n"
    "         starts this copy of vxRegCPX for vxRegCPX.CPXFile\n"
    "\n"
    "Only an argument made of switches alone counts as switches; in any other\n"
    "argument a slash belongs to the path. --help and --version count only as\n"
    "the sole argument: a CPX file of that name is given as ./--help.\n"
    "\n"
    "Exit status: 0 on success or after the help; 1 when the entry could not be\n"
    "registered or removed, or the service file not written.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string progId = trx::ToUtf8(trx::CPXFileIdentity().ProgId());
    if (const auto code =
            trx::HandleRegistrationSwitches(argc, argv, progId, std::cout, std::cerr)) {
        return *code;
    }
    if (const auto code = trx::HandleStandardOptions(argc, argv, "vxRegCPX", kHelp, std::cout)) {
        return *code;
    }
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    if (const auto code = trx::RequireProgramDirectory(process, "vxRegCPX", std::cerr)) {
        return *code;
    }
    trx::GuiModule gui(trx::GuiModulePath(process.programDirectory), "vxRegCPX");
    // Every box is shown by a child process of this program (see
    // ChildMessageBox), on a display that really serves it: probed before
    // anything graphical starts, so that a display that is gone, refuses or
    // stays silent means the console, not a failed start or a hang.
    const trx::ReachableDisplay reachable;
    const trx::Display display = reachable.Kind();
    trx::UseDisplay(display);
    trx::ConsoleMessageBox console;
    trx::ChildMessageBox messages("/proc/self/exe", display != trx::Display::None, console);
    // The child's side of such a box.
    if (const auto code = trx::HandleShowMessage(argc, argv, gui, messages)) {
        return *code;
    }
    trx::IniSettingsStore store;
    // Started by the bus, the program serves its class instead of its Main;
    // the server itself needs no graphical library.
    if (process.mode == trx::StartMode::Automation) {
        QCoreApplication application(argc, argv);
        trx::BusServer server(QDBusConnection::sessionBus());
        return server.Serve(trx::CPXFileClass(store, messages, process.programDirectory));
    }
    return trx::Main(process, store, messages);
}
