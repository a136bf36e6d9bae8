#pragma once

#include "platform/win32/Win32.h"

#include <oaidl.h>

namespace trx {

// The type information of the record set's three interfaces (record set,
// fields, field), from the type library that declares them.
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

}  // namespace trx
