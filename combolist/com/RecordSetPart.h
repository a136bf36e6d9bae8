#pragma once

// What the record set object, its fields and each field share: the type
// information of the three interfaces, one cursor over the rows, and the
// server's type library as the source of their errors.

#include <cstdint>
#include <memory>
#include <utility>

#include "automation/com/DispatchObject.h"
#include "combolist/VXComboDBClass.h"
#include "combolist/com/RecordSetCursor.h"
#include "combolist/com/RecordSetTypes.h"

namespace trx {

template <class Interface>
class RecordSetPart : public com::DispatchObject<Interface> {
  public:
    RecordSetPart(std::shared_ptr<const RecordSetTypes> types, ITypeInfo* info,
                  std::shared_ptr<com::RecordSetCursor> cursor, com::ComServer* server)
        : com::DispatchObject<Interface>(server, info, __uuidof(Interface), GUID_NULL,
                                         VXComboDBIdentity().typeLibrary.name),
          types_(std::move(types)),
          cursor_(std::move(cursor)) {}

  protected:
    // A change to a record set that does not allow it (adErrFeatureNotAvailable).
    static constexpr std::int32_t kErrNotSupported = 3251;

    const std::shared_ptr<const RecordSetTypes>& Types() const { return types_; }
    com::RecordSetCursor& Rows() const { return *cursor_; }
    const std::shared_ptr<com::RecordSetCursor>& SharedCursor() const { return cursor_; }

    static HRESULT PutLong(long value, LONG* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }

    static HRESULT PutByte(unsigned char value, unsigned char* out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }

    // A member that would change records: refused as ADO refuses it on a
    // read-only record set (adErrFeatureNotAvailable), or with 3704 when
    // the record set is closed.
    HRESULT ReadOnly() {
        return this->Guarded([&]() -> HRESULT {
            Rows().Rows();
            throw AutomationError(kErrNotSupported, u"",
                                  u"Das aktuelle Recordset unterstützt keine Aktualisierung. "
                                  u"Dies ist möglicherweise eine Einschränkung des Providers oder "
                                  u"des gewählten Sperrtyps.");
        });
    }

  private:
    std::shared_ptr<const RecordSetTypes> types_;
    std::shared_ptr<com::RecordSetCursor> cursor_;
};

}  // namespace trx
