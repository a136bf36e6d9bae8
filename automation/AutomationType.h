#pragma once

#include "automation/Value.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace trx {

// Maps a C++ type of a served class's members to the value that crosses to
// clients: kType, To (C++ to Value) and From (Value to C++). A type without
// a mapping cannot be a parameter or result, and fails to compile.
template <class T>
struct AutomationType;

template <ValueType V, class Stored>
struct StoredAs {
    static constexpr ValueType kType = V;
    static Value To(Stored value) { return Value(std::in_place_type<Stored>, std::move(value)); }
    static const Stored& From(const Value& value) { return std::get<Stored>(value); }
};

template <>
struct AutomationType<AutoBool> : StoredAs<ValueType::Boolean, AutoBool> {};
template <>
struct AutomationType<std::u16string> : StoredAs<ValueType::Text, std::u16string> {};
template <>
struct AutomationType<std::int32_t> : StoredAs<ValueType::Int32, std::int32_t> {};
template <>
struct AutomationType<double> : StoredAs<ValueType::Date, double> {};
template <>
struct AutomationType<RecordSetRef> : StoredAs<ValueType::RecordSet, RecordSetRef> {};

// A text parameter taken as a view sees the text that the call holds.
template <>
struct AutomationType<std::u16string_view> {
    static constexpr ValueType kType = ValueType::Text;
    static Value To(std::u16string_view value) { return std::u16string(value); }
    static std::u16string_view From(const Value& value) { return std::get<std::u16string>(value); }
};

// The mapping of a parameter or result as declared, const and & removed.
template <class T>
using AutomationTypeOf = AutomationType<std::remove_cvref_t<T>>;

template <class T>
constexpr ValueType kValueTypeOf = AutomationTypeOf<T>::kType;

// A value of a C++ type; std::monostate for void.
template <class T>
Value ToValue(T&& value) {
    return AutomationTypeOf<T>::To(std::forward<T>(value));
}

}  // namespace trx
