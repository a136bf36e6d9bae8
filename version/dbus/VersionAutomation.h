#pragma once

#include "platform/Clock.h"
#include "automation/dbus/AutomationClass.h"

#include <optional>
#include <string>

namespace trx {

// The identity under which clients know Version: programmatic identifier
// vxTRXVer.Version, type library vxTRXVer 4.1. The GUIDs never change.
ClassIdentity VersionIdentity();

// The class as the automation server serves it: each object loads its record
// from vxTRX.ini in the program directory when it is created. Save is not
// reachable from the bus.
AutomationClass VersionAutomationClass(const Clock& clock, std::u16string programDirectory);

// /RegServer and /UnRegServer of vxTRXVer, handled before anything else; the
// exit code, or empty when neither switch is given.
std::optional<int> HandleVersionRegistration(int argc, const char* const* argv);

// The -Embedding start: serves Version on the session bus until the server
// ends; the exit code.
int ServeVersion(int& argc, char** argv, const Clock& clock, std::u16string programDirectory);

}  // namespace trx
