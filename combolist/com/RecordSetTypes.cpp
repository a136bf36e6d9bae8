#include "combolist/com/RecordSetTypes.h"

#include "VXBComboServer.h"
#include "automation/com/ComServer.h"

namespace trx {

RecordSetTypes::RecordSetTypes(ITypeLib* library)
    : recordSet(com::LoadInterfaceInfo(library, __uuidof(Recordset))),
      fields(com::LoadInterfaceInfo(library, __uuidof(IComboFields))),
      field(com::LoadInterfaceInfo(library, __uuidof(IComboField))) {}

RecordSetTypes::~RecordSetTypes() {
    for (ITypeInfo* info : {recordSet, fields, field}) {
        if (info != nullptr) {
            info->Release();
        }
    }
}

}  // namespace trx
