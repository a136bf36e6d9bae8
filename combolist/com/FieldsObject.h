#pragma once

#include <cstddef>
#include <memory>

#include "VXBComboServer.h"
#include "combolist/com/RecordSetPart.h"

namespace trx {

// The fields of a record set, by position or by name, and For Each over them.
class FieldsObject final : public RecordSetPart<IComboFields> {
  public:
    FieldsObject(std::shared_ptr<const RecordSetTypes> types,
                 std::shared_ptr<com::RecordSetCursor> cursor, com::ComServer* server);

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, IComboField** Result) override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Result) override;

  protected:
    HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* badArgument) override;

  private:
    std::size_t ColumnOf(const VARIANT& index) const;
};

}  // namespace trx
