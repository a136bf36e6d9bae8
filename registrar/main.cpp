// vxRegCPX: registers control-panel entries from CPX files, and removes them.

#include "platform/Process.h"
#include "platform/qt/DesktopMessageBox.h"
#include "platform/qt/QtSettingsStore.h"
#include "registrar/modCPX.h"

int main(int argc, char** argv) {
    const trx::ProcessInfo process = trx::ReadProcessInfo(argc, argv);
    trx::QtSettingsStore store;
    trx::DesktopMessageBox messages("vxRegCPX");
    // Started by the automation system, Main returns at once and the program
    // ends, since it does not serve its class on the bus yet.
    return trx::Main(process, store, messages);
}
