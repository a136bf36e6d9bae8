#pragma once

#include "platform/Database.h"
#include "platform/Sleep.h"
#include "platform/Timer.h"
#include "platform/dbus/AutomationClass.h"
#include "automation/PostedTimer.h"

#include <optional>
#include <ostream>

namespace trx {

// The identity under which clients know VXComboDB: programmatic identifier
// VXBComboServer.VXComboDB, type library VXBComboServer 2.0, locale 1033.
// The GUIDs never change.
ClassIdentity VXComboDBIdentity();

// The class as the automation server serves it. Each object is a VXComboDB
// with its own store, flags and timer; its events become signals of
// VXBComboServer.__VXComboDB. The timers' ticks go through post, so that
// they run between calls. ComboList answers with the record set's two out
// arguments (platform/dbus/RecordSetWire.h).
AutomationClass VXComboDBAutomationClass(ConnectionFactory& database, TimerFactory& timers,
                                         Sleeper& sleeper, std::ostream& errors, PostWork post);

// /RegServer and /UnRegServer of VXBCboSv; the exit code, or empty when
// neither switch is given.
std::optional<int> HandleVXComboDBRegistration(int argc, const char* const* argv);

// The -Embedding start: serves VXComboDB on the session bus until the server
// ends; the exit code. Needs the Qt application object.
int ServeVXComboDB(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
                   std::ostream& errors);

}  // namespace trx
