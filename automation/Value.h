#pragma once

#include "common/AutomationBool.h"
#include "common/RecordSet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace trx {

// The types that cross between a client and a served class. Each is one
// VARIANT type of the automation system, so every transport can carry it.
enum class ValueType {
    Empty,      // no value: a method without a result
    Boolean,    // automation boolean, -1 true, 0 false (VT_BOOL)
    Text,       // UTF-16 text (VT_BSTR)
    Int32,      // 32-bit signed integer (VT_I4)
    Date,       // automation date: days from 30.12.1899 (VT_DATE)
    RecordSet,  // a detached, read-only record set, or nothing (VT_DISPATCH)
};

using RecordSetRef = std::shared_ptr<const RecordSet>;

// One value in transit; the alternatives follow ValueType's order. The
// interfaces know no floating-point type but the date, so a double is always
// an automation date.
using Value =
    std::variant<std::monostate, AutoBool, std::u16string, std::int32_t, double, RecordSetRef>;

constexpr ValueType TypeOf(const Value& value) {
    return static_cast<ValueType>(value.index());
}

}  // namespace trx
