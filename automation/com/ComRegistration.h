#pragma once

// Self-registration of an out-of-process COM server: its class, programmatic
// identifier, LocalServer32, type library and interfaces, machine-wide or for
// the current user.

#include <optional>
#include <string>
#include <string_view>

#include "automation/ClassIdentity.h"
#include "automation/RegistrationSwitch.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace trx::com {

struct RegistrationResult {
    int exitStatus = 0;
    std::u16string line;  // one line for the person who ran it
};

// Carries out the switch for the class of the program at programPath, whose
// type library is its own resource. Machine-wide under
// HKEY_LOCAL_MACHINE\Software\Classes (needs administrator rights), per user
// under HKEY_CURRENT_USER\Software\Classes; each in the registry's 64-bit and
// 32-bit view, so that clients of either kind find the class. Unregistering
// what is not there succeeds.
RegistrationResult Register(RegistrationSwitch which, const ClassIdentity& identity,
                            const std::u16string& programPath);

// The registration switch (RegistrationSwitch.h) that the argument text of
// a program started as a program starts with, handled before its own
// start-up: carries out the switch, reports the line (ReportServerSwitch)
// and gives the exit status. Empty when the argument text starts with none.
std::optional<int> HandleRegistrationSwitches(const ProcessInfo& process,
                                              const ClassIdentity& identity, MessageBox& messages);

}  // namespace trx::com
