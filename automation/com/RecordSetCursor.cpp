#include "automation/com/RecordSetCursor.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <utility>

#include "automation/com/ComValue.h"

namespace trx::com {

namespace {

// The data types by which ADO names a field's type (DataTypeEnum).
constexpr long kAdInteger = 3;
constexpr long kAdDouble = 5;
constexpr long kAdBoolean = 11;
constexpr long kAdBigInt = 20;
constexpr long kAdNumeric = 131;
constexpr long kAdDBTimeStamp = 135;
constexpr long kAdVarWChar = 202;
constexpr long kAdVarBinary = 204;

}  // namespace

AutomationError NoCurrentRecord() {
    return AutomationError(kErrNoCurrentRecord, u"",
                           u"Entweder BOF oder EOF ist True, oder der aktuelle Datensatz wurde "
                           u"gelöscht. Der angeforderte Vorgang benötigt einen aktuellen "
                           u"Datensatz.");
}

RecordSetCursor::RecordSetCursor(RecordSetRef rows)
    : rows_(std::move(rows)), wide_(rows_->FieldCount(), -1) {}

const RecordSet& RecordSetCursor::Rows() const {
    if (!open_) {
        throw AutomationError(kErrObjectClosed, u"",
                              u"Der Vorgang ist für ein geschlossenes Objekt nicht zugelassen.");
    }
    return *rows_;
}

void RecordSetCursor::MoveTo(long position) {
    Rows();
    position_ = position;
}

std::size_t RecordSetCursor::Current() const {
    if (Bof() || Eof()) {
        throw NoCurrentRecord();
    }
    return static_cast<std::size_t>(position_);
}

void RecordSetCursor::Close() {
    Rows();
    open_ = false;
}

// Whether an integer field holds a value beyond 32 bits: then all its values
// are VT_I8, else VT_I4. Found once, on first use.
bool RecordSetCursor::Wide(std::size_t column) {
    if (wide_[column] < 0) {
        wide_[column] = 0;
        for (std::size_t r = 0; r < rows_->RecordCount() && wide_[column] == 0; ++r) {
            const FieldValue value = rows_->Value(r, column);
            if (const auto* number = std::get_if<std::int64_t>(&value)) {
                wide_[column] = *number < INT32_MIN || *number > INT32_MAX ? 1 : 0;
            }
        }
    }
    return wide_[column] == 1;
}

long RecordSetCursor::TypeOf(std::size_t column) {
    switch (Rows().FieldAt(column).type) {
        case FieldType::Text:
            return kAdVarWChar;
        case FieldType::Integer:
            return Wide(column) ? kAdBigInt : kAdInteger;
        case FieldType::Double:
            return kAdDouble;
        case FieldType::Decimal:
            return kAdNumeric;
        case FieldType::Boolean:
            return kAdBoolean;
        case FieldType::Date:
            return kAdDBTimeStamp;
        case FieldType::Binary:
            return kAdVarBinary;
    }
    return kAdVarWChar;
}

HRESULT RecordSetCursor::ToVariant(std::size_t record, std::size_t column, VARIANT* out) {
    VariantInit(out);
    const RecordSet& rows = Rows();
    if (rows.IsNull(record, column)) {
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    const FieldType type = rows.FieldAt(column).type;
    if (type == FieldType::Text || type == FieldType::Decimal) {
        const std::u16string_view text = rows.TextView(record, column);
        if (type == FieldType::Decimal) {
            // The exact digits, read with the invariant "." as the point.
            std::wstring digits(text.begin(), text.end());
            if (SUCCEEDED(VarDecFromStr(digits.data(), LOCALE_INVARIANT, 0, &V_DECIMAL(out)))) {
                V_VT(out) = VT_DECIMAL;
                return S_OK;
            }
        }
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = ToBstr(text);
        return V_BSTR(out) == nullptr ? E_OUTOFMEMORY : S_OK;
    }
    const FieldValue value = rows.Value(record, column);
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        if (Wide(column)) {
            V_VT(out) = VT_I8;
            V_I8(out) = *number;
        } else {
            V_VT(out) = VT_I4;
            V_I4(out) = static_cast<LONG>(*number);
        }
    } else if (const auto* real = std::get_if<double>(&value)) {
        V_VT(out) = VT_R8;
        V_R8(out) = *real;
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* date = std::get_if<DateTime>(&value)) {
        V_VT(out) = VT_DATE;
        V_DATE(out) = ToAutomationDateValue(*date);
    } else if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&value)) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes->size()));
        if (array == nullptr) {
            return E_OUTOFMEMORY;
        }
        if (!bytes->empty()) {
            std::copy(bytes->begin(), bytes->end(), static_cast<std::uint8_t*>(array->pvData));
        }
        V_VT(out) = VT_ARRAY | VT_UI1;
        V_ARRAY(out) = array;
    }
    return S_OK;
}

long RecordSetCursor::ActualSize(std::size_t record, std::size_t column) {
    const RecordSet& rows = Rows();
    if (rows.IsNull(record, column)) {
        return 0;
    }
    switch (rows.FieldAt(column).type) {
        case FieldType::Text:
        case FieldType::Decimal:
            return static_cast<long>(rows.TextView(record, column).size());
        case FieldType::Integer:
            return Wide(column) ? 8 : 4;
        case FieldType::Boolean:
            return 2;
        case FieldType::Binary:
            return static_cast<long>(
                std::get<std::vector<std::uint8_t>>(rows.Value(record, column)).size());
        case FieldType::Double:
        case FieldType::Date:
            return 8;
    }
    return 0;
}

}  // namespace trx::com
