#pragma once

// The record set that ComboList hands to COM clients: a read-only automation
// object with the members by which clients read a detached ADO record set
// (Fields, EOF, BOF, RecordCount, AbsolutePosition, the Move methods,
// GetRows, State, Close), over the very rows that the list store holds.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <memory>

#include "automation/Value.h"
#include "combolist/com/RecordSetTypes.h"

namespace trx::com {
class ComServer;
}

namespace trx {

// A new record set object with a cursor of its own on the first record; the
// rows are shared, not copied. The result has one reference. With a server,
// the object keeps its process alive and takes part in its one-call-at-a-time
// rule. Null when memory runs out.
IDispatch* MakeRecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                               com::ComServer* server);

}  // namespace trx
