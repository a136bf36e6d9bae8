#pragma once

#include "automation/AutomationHost.h"
#include "automation/ClassDescription.h"
#include "platform/Database.h"
#include "platform/Sleep.h"
#include "platform/Timer.h"

#include <ostream>

namespace trx {

// The identity under which clients know VXComboDB: programmatic identifier
// VXBComboServer.VXComboDB, type library VXBComboServer 2.0, locale 1033.
ClassIdentity VXComboDBIdentity();

// VXComboDB's identity, members and events, without a way to make objects:
// what its type library and version resource are made from.
ClassDescription VXComboDBShape();

// VXComboDB as clients reach it. Each object has its own store, flags and
// timer; its events go to every connected client. The timers tick between
// calls (host.Post), and a load for a client that has gone stops early.
ClassDescription VXComboDBClass(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
                                std::ostream& errors, AutomationHost& host);

}  // namespace trx
