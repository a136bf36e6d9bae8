#include "combolist/com/RecordSetCursor.h"

#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "automation/com/ComValue.h"
#include "common/RecordSetQuery.h"

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

AutomationError InvalidArgument() {
    return AutomationError(kErrInvalidArgument, u"",
                           u"Die Argumente sind vom falschen Typ, liegen außerhalb des "
                           u"zulässigen Bereichs oder sind miteinander unvereinbar.");
}

RecordSetCursor::RecordSetCursor(RecordSetRef rows)
    : rows_(std::move(rows)), wide_(rows_->FieldCount(), -1) {
    Order();
}

namespace {

// A criterion's error as ADO gives it: 3265 for a field not there, else 3001.
[[noreturn]] void Refuse(const RecordSetQueryError& error) {
    if (error.kind() == RecordSetQueryError::Kind::UnknownField) {
        throw AutomationError(kErrItemNotFound, u"",
                              u"Das Objekt ist in der Auflistung, die dem angeforderten Namen "
                              u"bzw. dem angeforderten Ordinalverweis entspricht, nicht "
                              u"vorhanden.");
    }
    throw InvalidArgument();
}

}  // namespace

void RecordSetCursor::Order() {
    std::vector<std::size_t> all(rows_->RecordCount());
    for (std::size_t r = 0; r < all.size(); ++r) {
        all[r] = r;
    }
    try {
        if (!sort_.empty()) {
            all = SortRecords(*rows_, std::move(all), sort_);
        }
        if (!filter_.empty()) {
            all = trx::FilterRecords(*rows_, all, filter_);
        } else if (!filterRecords_.empty()) {
            std::vector<char> kept(rows_->RecordCount(), 0);
            for (std::size_t record : filterRecords_) {
                kept[record] = 1;
            }
            std::erase_if(all, [&](std::size_t record) { return kept[record] == 0; });
        }
    } catch (const RecordSetQueryError& error) {
        Refuse(error);
    }
    order_ = std::move(all);
    position_ = 0;
}

void RecordSetCursor::SetSort(std::u16string sort) {
    Rows();
    std::swap(sort_, sort);
    try {
        Order();
    } catch (...) {
        sort_ = std::move(sort);
        throw;
    }
}

void RecordSetCursor::SetFilter(std::u16string criteria) {
    Rows();
    std::u16string text = std::move(filter_);
    std::vector<std::size_t> records = std::move(filterRecords_);
    filter_ = std::move(criteria);
    filterRecords_.clear();
    try {
        Order();
    } catch (...) {
        filter_ = std::move(text);
        filterRecords_ = std::move(records);
        throw;
    }
}

void RecordSetCursor::SetFilter(std::vector<std::size_t> records) {
    Rows();
    for (std::size_t record : records) {
        if (record >= rows_->RecordCount()) {
            throw InvalidArgument();
        }
    }
    filter_.clear();
    filterRecords_ = std::move(records);
    Order();
}

long RecordSetCursor::Find(std::u16string_view criterion, long from, bool forward) const {
    const RecordSet& rows = Rows();
    try {
        const RecordSetCriterion find = ParseRecordSetCriterion(rows, criterion);
        const long step = forward ? 1 : -1;
        long at = from;
        for (; at >= 0 && at < Count(); at += step) {
            if (find.Matches(rows, RecordAt(at))) {
                return at;
            }
        }
        return forward ? Count() : -1;
    } catch (const RecordSetQueryError& error) {
        Refuse(error);
    }
}

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
    return RecordAt(position_);
}

long RecordSetCursor::PositionOf(const VARIANT& start) const {
    const VARIANT* given = &start;
    while (V_VT(given) == (VT_VARIANT | VT_BYREF)) {
        given = V_VARIANTREF(given);
    }
    VARIANT value;
    VariantInit(&value);
    if (V_VT(given) == VT_R8 || V_VT(given) == (VT_R8 | VT_BYREF)) {
        const double bookmark = V_VT(given) == VT_R8 ? V_R8(given) : *V_R8REF(given);
        // A bookmark is a record's number in the rows; its position in the
        // order, if the filter keeps it.
        if (bookmark >= 1 && bookmark <= static_cast<double>(Rows().RecordCount()) &&
            bookmark == std::floor(bookmark)) {
            const auto record = static_cast<std::size_t>(bookmark) - 1;
            const auto found = std::find(order_.begin(), order_.end(), record);
            if (found != order_.end()) {
                return static_cast<long>(found - order_.begin());
            }
        }
        throw InvalidArgument();
    }
    if (FAILED(VariantChangeType(&value, const_cast<VARIANT*>(given), 0, VT_I4))) {
        throw InvalidArgument();
    }
    switch (V_I4(&value)) {
        case 0:  // adBookmarkCurrent
            return Position();
        case 1:  // adBookmarkFirst
            return 0;
        case 2:  // adBookmarkLast
            return Count() - 1;
        default:
            throw InvalidArgument();
    }
}

// A field by its position from 0, or by its name in any case, as in ADO.
std::size_t RecordSetCursor::ColumnOf(const VARIANT& index) const {
    const RecordSet& rows = Rows();
    VARIANT given;
    VariantInit(&given);
    VariantCopyInd(&given, const_cast<VARIANT*>(&index));
    std::size_t column = rows.FieldCount();
    if (V_VT(&given) == VT_BSTR) {
        const std::u16string name = FromBstr(V_BSTR(&given));
        for (std::size_t c = 0; c < rows.FieldCount(); ++c) {
            const std::u16string& fieldName = rows.FieldAt(c).name;
            if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(fieldName.data()),
                                     static_cast<int>(fieldName.size()),
                                     reinterpret_cast<const wchar_t*>(name.data()),
                                     static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
                column = c;
                break;
            }
        }
    } else if (SUCCEEDED(VariantChangeType(&given, &given, 0, VT_I4)) && V_I4(&given) >= 0) {
        column = static_cast<std::size_t>(V_I4(&given));
    }
    VariantClear(&given);
    if (column >= rows.FieldCount()) {
        throw AutomationError(kErrItemNotFound, u"",
                              u"Das Objekt ist in der Auflistung, die dem angeforderten Namen "
                              u"bzw. dem angeforderten Ordinalverweis entspricht, nicht "
                              u"vorhanden.");
    }
    return column;
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

long RecordSetCursor::DefinedSize(std::size_t column) {
    const RecordSet& rows = Rows();
    long longest = 0;
    auto widest = [&](auto size) {
        for (std::size_t r = 0; r < rows.RecordCount(); ++r) {
            longest = std::max(longest, size(rows.CellAt(r, column)));
        }
        return std::max(longest, 1L);
    };
    switch (rows.FieldAt(column).type) {
        case FieldType::Text:
        case FieldType::Decimal:
            return widest([](const Cell& cell) {
                const auto* text = std::get_if<TextCell>(&cell);
                return text != nullptr ? static_cast<long>(text->text.size()) : 0L;
            });
        case FieldType::Binary:
            return widest([](const Cell& cell) {
                const auto* bytes = std::get_if<BinaryCell>(&cell);
                return bytes != nullptr ? static_cast<long>(bytes->bytes.size()) : 0L;
            });
        case FieldType::Integer:
            return Wide(column) ? 8 : 4;
        case FieldType::Boolean:
            return 2;
        case FieldType::Double:
        case FieldType::Date:
            return 8;
    }
    return 0;
}

namespace {

// The digits of a decimal's exact text before and after the point.
struct Digits {
    long whole = 0;
    long fraction = 0;
};
Digits DigitsOf(std::u16string_view text) {
    Digits digits;
    bool after = false;
    for (char16_t c : text) {
        if (c == u'.') {
            after = true;
        } else if (c >= u'0' && c <= u'9') {
            ++(after ? digits.fraction : digits.whole);
        }
    }
    return digits;
}

// A decimal's precision and scale at most, as ADO's numeric type allows.
constexpr long kMostDigits = 38;
// What ADO gives where precision or scale do not apply.
constexpr unsigned char kNotApplicable = 255;

}  // namespace

unsigned char RecordSetCursor::Precision(std::size_t column) {
    const RecordSet& rows = Rows();
    switch (rows.FieldAt(column).type) {
        case FieldType::Integer:
            return Wide(column) ? 19 : 10;
        case FieldType::Double:
            return 15;
        case FieldType::Decimal: {
            long whole = 0;
            long fraction = 0;
            for (std::size_t r = 0; r < rows.RecordCount(); ++r) {
                const Cell cell = rows.CellAt(r, column);
                if (const auto* decimal = std::get_if<DecimalCell>(&cell)) {
                    const Digits digits = DigitsOf(decimal->digits);
                    whole = std::max(whole, digits.whole);
                    fraction = std::max(fraction, digits.fraction);
                }
            }
            return static_cast<unsigned char>(std::clamp(whole + fraction, 1L, kMostDigits));
        }
        default:
            return kNotApplicable;
    }
}

unsigned char RecordSetCursor::NumericScale(std::size_t column) {
    const RecordSet& rows = Rows();
    if (rows.FieldAt(column).type != FieldType::Decimal) {
        return kNotApplicable;
    }
    long fraction = 0;
    for (std::size_t r = 0; r < rows.RecordCount(); ++r) {
        const Cell cell = rows.CellAt(r, column);
        if (const auto* decimal = std::get_if<DecimalCell>(&cell)) {
            fraction = std::max(fraction, DigitsOf(decimal->digits).fraction);
        }
    }
    return static_cast<unsigned char>(std::min(fraction, kMostDigits));
}

// FieldAttributeEnum: any field may hold NULL, none can be written; values of
// a fixed-size type are fixed.
long RecordSetCursor::Attributes(std::size_t column) {
    constexpr long kAdFldFixed = 0x10;
    constexpr long kAdFldIsNullable = 0x20;
    constexpr long kAdFldMayBeNull = 0x40;
    const FieldType type = Rows().FieldAt(column).type;
    const bool fixed =
        type != FieldType::Text && type != FieldType::Decimal && type != FieldType::Binary;
    return kAdFldIsNullable | kAdFldMayBeNull | (fixed ? kAdFldFixed : 0);
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
