#include "automation/Value.h"

namespace trx {

std::u16string_view TypeName(ValueType type) {
    switch (type) {
        case ValueType::Empty:
            return u"Empty";
        case ValueType::Boolean:
            return u"Boolean";
        case ValueType::Text:
            return u"String";
        case ValueType::Int32:
            return u"Long";
        case ValueType::Date:
            return u"Date";
        case ValueType::RecordSet:
            return u"Recordset";
    }
    return u"Empty";
}

std::uint16_t VariantTag(ValueType type) {
    switch (type) {
        case ValueType::Empty:
            return 0;  // VT_EMPTY
        case ValueType::Boolean:
            return 11;  // VT_BOOL
        case ValueType::Text:
            return 8;  // VT_BSTR
        case ValueType::Int32:
            return 3;  // VT_I4
        case ValueType::Date:
            return 7;  // VT_DATE
        case ValueType::RecordSet:
            return 9;  // VT_DISPATCH
    }
    return 0;
}

}  // namespace trx
