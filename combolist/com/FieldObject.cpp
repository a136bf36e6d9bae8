#include "combolist/com/FieldObject.h"

#include <utility>

#include "automation/com/ComValue.h"

namespace trx {

IComboField* FieldObject::Make(const std::shared_ptr<const RecordSetTypes>& types,
                               const std::shared_ptr<com::RecordSetCursor>& cursor,
                               com::ComServer* server, std::size_t column) {
    auto* field = new FieldObject(types, cursor, server, column);
    field->AddRef();
    return field;
}

FieldObject::FieldObject(std::shared_ptr<const RecordSetTypes> types,
                         std::shared_ptr<com::RecordSetCursor> cursor, com::ComServer* server,
                         std::size_t column)
    : RecordSetPart(types, types->field, std::move(cursor), server), column_(column) {}

HRESULT FieldObject::get_Value(VARIANT* Result) {
    return Guarded([&] {
        if (Result == nullptr) {
            return E_POINTER;
        }
        return Rows().ToVariant(Rows().Current(), column_, Result);
    });
}

HRESULT FieldObject::get_Name(BSTR* Result) {
    return Guarded([&] { return com::Store(Value(Rows().Rows().FieldAt(column_).name), Result); });
}

HRESULT FieldObject::get_Type(LONG* Result) {
    return Guarded([&] { return PutLong(Rows().TypeOf(column_), Result); });
}

HRESULT FieldObject::get_ActualSize(LONG* Result) {
    return Guarded([&] { return PutLong(Rows().ActualSize(Rows().Current(), column_), Result); });
}

HRESULT FieldObject::get_DefinedSize(LONG* Result) {
    return Guarded([&] { return PutLong(Rows().DefinedSize(column_), Result); });
}

HRESULT FieldObject::get_Precision(unsigned char* Result) {
    return Guarded([&] { return PutByte(Rows().Precision(column_), Result); });
}

HRESULT FieldObject::get_NumericScale(unsigned char* Result) {
    return Guarded([&] { return PutByte(Rows().NumericScale(column_), Result); });
}

HRESULT FieldObject::get_Attributes(LONG* Result) {
    return Guarded([&] { return PutLong(Rows().Attributes(column_), Result); });
}

}  // namespace trx
