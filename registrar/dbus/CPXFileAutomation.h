#pragma once

#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/dbus/AutomationClass.h"

#include <string>

namespace trx {

// The identity under which clients know CPXFile: programmatic identifier
// vxRegCPX.CPXFile, type library vxRegCPX 2.1. The GUIDs never change.
ClassIdentity CPXFileIdentity();

// The class as the automation server serves it. Every object shares the
// program's settings store and message box.
AutomationClass CPXFileAutomationClass(SettingsStore& store, MessageBox& messages, std::u16string programDirectory);

}  // namespace trx
