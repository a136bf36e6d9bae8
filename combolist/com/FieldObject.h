#pragma once

#include <cstddef>
#include <memory>

#include "VXBComboServer.h"
#include "combolist/com/RecordSetPart.h"

namespace trx {

// One field of a record set: its name and type, and its value in the record
// that the cursor stands on when asked.
class FieldObject final : public RecordSetPart<IComboField> {
  public:
    // A new field object with one reference.
    static IComboField* Make(const std::shared_ptr<const RecordSetTypes>& types,
                             const std::shared_ptr<com::RecordSetCursor>& cursor,
                             com::ComServer* server, std::size_t column);

    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* Result) override;
    // Writing a field fails with 3251: the record set is read-only.
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT) override { return ReadOnly(); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Result) override;
    HRESULT STDMETHODCALLTYPE get_Type(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_ActualSize(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_DefinedSize(LONG* Result) override;
    HRESULT STDMETHODCALLTYPE get_Precision(unsigned char* Result) override;
    HRESULT STDMETHODCALLTYPE get_NumericScale(unsigned char* Result) override;
    HRESULT STDMETHODCALLTYPE get_Attributes(LONG* Result) override;

  private:
    FieldObject(std::shared_ptr<const RecordSetTypes> types,
                std::shared_ptr<com::RecordSetCursor> cursor, com::ComServer* server,
                std::size_t column);

    std::size_t column_;
};

}  // namespace trx
