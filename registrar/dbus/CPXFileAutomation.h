#pragma once

#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/dbus/AutomationClass.h"

#include <optional>
#include <string>

namespace trx {

// The identity under which clients know CPXFile: programmatic identifier
// vxRegCPX.CPXFile, type library vxRegCPX 2.1. The GUIDs never change.
ClassIdentity CPXFileIdentity();

// The class as the automation server serves it. Every object shares the
// program's settings store and message box.
AutomationClass CPXFileAutomationClass(SettingsStore& store, MessageBox& messages,
                                       std::u16string programDirectory);

// /RegServer and /UnRegServer of vxRegCPX, handled before anything else; the
// exit code, or empty when neither switch is given.
std::optional<int> HandleCPXFileRegistration(int argc, const char* const* argv);

// The -Embedding start: serves CPXFile on the session bus until the server
// ends; the exit code. The server needs no graphical library: `messages`
// shows the boxes of served calls.
int ServeCPXFile(int& argc, char** argv, SettingsStore& store, MessageBox& messages,
                 std::u16string programDirectory);

}  // namespace trx
