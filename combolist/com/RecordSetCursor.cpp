#include "combolist/com/RecordSetCursor.h"

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
            const Cell cell = rows_->CellAt(r, column);
            if (const auto* number = std::get_if<std::int64_t>(&cell)) {
                wide_[column] = *number < INT32_MIN || *number > INT32_MAX ? 1 : 0;
            }
        }
    }
    return wide_[column] == 1;
}

long RecordSetCursor::TypeOf(std::size_t column) {
    const Field& field = Rows().FieldAt(column);
    return std::visit(Overloaded{
                          [](Null) { return kAdVarWChar; },
                          [](const TextCell&) { return kAdVarWChar; },
                          [](const DecimalCell&) { return kAdNumeric; },
                          [&](std::int64_t) { return Wide(column) ? kAdBigInt : kAdInteger; },
                          [](double) { return kAdDouble; },
                          [](bool) { return kAdBoolean; },
                          [](const DateTime&) { return kAdDBTimeStamp; },
                          [](const BinaryCell&) { return kAdVarBinary; },
                      },
                      CellOfType(field.type));
}

HRESULT RecordSetCursor::ToVariant(std::size_t record, std::size_t column, VARIANT* out) {
    VariantInit(out);
    auto text = [out](std::u16string_view value) {
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = ToBstr(value);
        return V_BSTR(out) == nullptr ? E_OUTOFMEMORY : S_OK;
    };
    return std::visit(
        Overloaded{
            [&](Null) {
                V_VT(out) = VT_NULL;
                return S_OK;
            },
            [&](const TextCell& cell) { return text(cell.text); },
            [&](const DecimalCell& cell) {
                // The exact digits, read with the invariant "." as the point.
                std::wstring digits(cell.digits.begin(), cell.digits.end());
                if (SUCCEEDED(VarDecFromStr(digits.data(), LOCALE_INVARIANT, 0, &V_DECIMAL(out)))) {
                    V_VT(out) = VT_DECIMAL;
                    return S_OK;
                }
                return text(cell.digits);
            },
            [&](std::int64_t number) {
                if (Wide(column)) {
                    V_VT(out) = VT_I8;
                    V_I8(out) = number;
                } else {
                    V_VT(out) = VT_I4;
                    V_I4(out) = static_cast<LONG>(number);
                }
                return S_OK;
            },
            [&](double real) {
                V_VT(out) = VT_R8;
                V_R8(out) = real;
                return S_OK;
            },
            [&](bool flag) {
                V_VT(out) = VT_BOOL;
                V_BOOL(out) = flag ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            },
            [&](const DateTime& date) {
                V_VT(out) = VT_DATE;
                V_DATE(out) = ToAutomationDateValue(date);
                return S_OK;
            },
            [&](const BinaryCell& cell) {
                SAFEARRAY* array =
                    SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(cell.bytes.size()));
                if (array == nullptr) {
                    return E_OUTOFMEMORY;
                }
                if (!cell.bytes.empty()) {
                    std::copy(cell.bytes.begin(), cell.bytes.end(),
                              static_cast<std::uint8_t*>(array->pvData));
                }
                V_VT(out) = VT_ARRAY | VT_UI1;
                V_ARRAY(out) = array;
                return S_OK;
            },
        },
        Rows().CellAt(record, column));
}

long RecordSetCursor::ActualSize(std::size_t record, std::size_t column) {
    return std::visit(
        Overloaded{
            [](Null) { return 0L; },
            [](const TextCell& cell) { return static_cast<long>(cell.text.size()); },
            [](const DecimalCell& cell) { return static_cast<long>(cell.digits.size()); },
            [&](std::int64_t) { return Wide(column) ? 8L : 4L; },
            [](double) { return 8L; },
            [](bool) { return 2L; },
            [](const DateTime&) { return 8L; },
            [](const BinaryCell& cell) { return static_cast<long>(cell.bytes.size()); },
        },
        Rows().CellAt(record, column));
}

}  // namespace trx::com
