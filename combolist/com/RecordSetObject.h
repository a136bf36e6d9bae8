#pragma once

// The record set that ComboList hands to COM clients: a read-only automation
// object with the members by which clients read a detached ADO record set
// (Fields, EOF, BOF, RecordCount, AbsolutePosition, the Move methods,
// GetRows, State, Close), over the very rows that the list store holds.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <cstdint>
#include <memory>

#include "automation/Value.h"

namespace trx::com {
class ComServer;
}

namespace trx {

// The record set's error numbers, as ADO gives them (a script sees them as
// Err.Number 3001, 3021, 3265 and 3704).
inline constexpr std::int32_t kErrInvalidArgument = 3001;
inline constexpr std::int32_t kErrNoCurrentRecord = 3021;
inline constexpr std::int32_t kErrItemNotFound = 3265;
inline constexpr std::int32_t kErrObjectClosed = 3704;

// The type information of the three interfaces (record set, fields, field),
// from the type library that declares them.
class RecordSetTypes {
  public:
    // Null members when the library lacks an interface.
    explicit RecordSetTypes(ITypeLib* library);
    ~RecordSetTypes();
    RecordSetTypes(const RecordSetTypes&) = delete;
    RecordSetTypes& operator=(const RecordSetTypes&) = delete;

    bool Complete() const { return recordSet && fields && field; }

    ITypeInfo* recordSet = nullptr;
    ITypeInfo* fields = nullptr;
    ITypeInfo* field = nullptr;
};

// A new record set object with a cursor of its own on the first record; the
// rows are shared, not copied. The result has one reference. With a server,
// the object keeps its process alive and takes part in its one-call-at-a-time
// rule. Null when memory runs out.
IDispatch* MakeRecordSetObject(std::shared_ptr<const RecordSetTypes> types, RecordSetRef rows,
                               com::ComServer* server);

}  // namespace trx
