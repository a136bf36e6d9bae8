#include "common/RecordSet.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/AutomationDate.h"

namespace trx {

double ToAutomationDateValue(const DateTime& value) {
    constexpr std::int64_t kNanosPerDay = 86400LL * 1000000000LL;
    const std::int64_t day = AutomationDayOf(value.year, value.month, value.day);
    const std::int64_t nanos =
        ((static_cast<std::int64_t>(value.hour) * 60 + value.minute) * 60 + value.second) *
            1000000000LL +
        value.nanosecond;
    const double fraction = static_cast<double>(nanos) / static_cast<double>(kNanosPerDay);
    const auto whole = static_cast<double>(day);
    return day >= 0 ? whole + fraction : whole - fraction;
}

std::optional<DateTime> FromAutomationDateValue(double value) {
    // Ten million days (about 27,000 years) either way keep the day count and
    // the 16-bit year of DateTime from overflowing; a database's own dates
    // stay far inside.
    if (!std::isfinite(value) || std::fabs(value) >= 1e7) {
        return std::nullopt;
    }
    const double whole = std::trunc(value);
    // The time of day in milliseconds; a time that rounds up to midnight
    // belongs to the next day, which for negative dates too is the one after.
    auto millis = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400000.0));
    auto day = static_cast<std::int64_t>(whole);
    if (millis >= 86400000LL) {
        millis -= 86400000LL;
        day += 1;
    }
    const CivilDate date = CivilDateOf(day);
    DateTime out;
    out.year = static_cast<std::int16_t>(date.year);
    out.month = static_cast<std::uint16_t>(date.month);
    out.day = static_cast<std::uint16_t>(date.day);
    out.hour = static_cast<std::uint16_t>(millis / 3600000);
    out.minute = static_cast<std::uint16_t>(millis / 60000 % 60);
    out.second = static_cast<std::uint16_t>(millis / 1000 % 60);
    out.nanosecond = static_cast<std::uint32_t>(millis % 1000 * 1000000);
    return out;
}

void RecordSet::TextChunks::Append(std::u16string_view text) {
    if (chunks.empty() || chunks.back().capacity() - chunks.back().size() < text.size()) {
        chunks.emplace_back();
        chunks.back().reserve(std::max(kChunkChars, text.size()));
    }
    std::u16string& chunk = chunks.back();
    chunk.append(text);
    ends.push_back((static_cast<std::uint64_t>(chunks.size() - 1) << 32) | chunk.size());
}

void RecordSet::TextChunks::Extend(std::u16string_view more) {
    std::u16string& chunk = chunks.back();
    if (chunk.capacity() - chunk.size() >= more.size()) {
        chunk.append(more);
    } else {
        // Move the value begun so far into a chunk of its own that fits it all.
        const std::u16string_view begun = View(ends.size() - 1);
        std::u16string own;
        own.reserve(std::max(kChunkChars, 2 * (begun.size() + more.size())));
        own.append(begun).append(more);
        chunk.resize(chunk.size() - begun.size());
        chunks.push_back(std::move(own));
    }
    ends.back() = (static_cast<std::uint64_t>(chunks.size() - 1) << 32) | chunks.back().size();
}

std::u16string_view RecordSet::TextChunks::View(std::size_t value) const {
    const std::uint64_t end = ends[value];
    const std::size_t chunk = static_cast<std::size_t>(end >> 32);
    const std::size_t stop = static_cast<std::size_t>(end & 0xFFFFFFFFu);
    std::size_t start = 0;
    if (value > 0 && (ends[value - 1] >> 32) == chunk) {
        start = static_cast<std::size_t>(ends[value - 1] & 0xFFFFFFFFu);
    }
    return std::u16string_view(chunks[chunk]).substr(start, stop - start);
}

const RecordSet::Column& RecordSet::At(std::size_t record, std::size_t column) const {
    const Column& c = columns_.at(column);
    if (record >= records_) {
        throw std::out_of_range("record set: no such record");
    }
    return c;
}

bool RecordSet::IsNull(std::size_t record, std::size_t column) const {
    return At(record, column).nulls[record] != 0;
}

std::u16string_view RecordSet::TextView(std::size_t record, std::size_t column) const {
    const Column& c = At(record, column);
    if (c.field.type != FieldType::Text && c.field.type != FieldType::Decimal) {
        throw std::logic_error("record set: not a text field");
    }
    return c.texts.View(record);
}

Cell RecordSet::CellAt(std::size_t record, std::size_t column) const {
    const Column& c = At(record, column);
    if (c.nulls[record] != 0) {
        return Null{};
    }
    switch (c.field.type) {
        case FieldType::Text:
            return TextCell{c.texts.View(record)};
        case FieldType::Decimal:
            return DecimalCell{c.texts.View(record)};
        case FieldType::Integer:
            return c.integers[record];
        case FieldType::Boolean:
            return c.integers[record] != 0;
        case FieldType::Double:
            return c.doubles[record];
        case FieldType::Date:
            return c.dates[record];
        case FieldType::Binary: {
            const std::size_t begin = record == 0 ? 0 : c.byteEnds[record - 1];
            return BinaryCell{std::span(c.bytes).subspan(begin, c.byteEnds[record] - begin)};
        }
    }
    return Null{};
}

FieldValue RecordSet::Value(std::size_t record, std::size_t column) const {
    return std::visit(
        Overloaded{
            [](const TextCell& cell) -> FieldValue { return std::u16string(cell.text); },
            [](const DecimalCell& cell) -> FieldValue { return std::u16string(cell.digits); },
            [](const BinaryCell& cell) -> FieldValue {
                return std::vector<std::uint8_t>(cell.bytes.begin(), cell.bytes.end());
            },
            [](const auto& plain) -> FieldValue { return plain; },
        },
        CellAt(record, column));
}

Cell CellOfType(FieldType type) {
    switch (type) {
        case FieldType::Text:
            return TextCell{};
        case FieldType::Decimal:
            return DecimalCell{};
        case FieldType::Integer:
            return std::int64_t{};
        case FieldType::Boolean:
            return false;
        case FieldType::Double:
            return 0.0;
        case FieldType::Date:
            return DateTime{};
        case FieldType::Binary:
            return BinaryCell{};
    }
    return Null{};
}

std::size_t RecordSetBuilder::AddField(std::u16string name, FieldType type) {
    RecordSet::Column column;
    column.field = Field{std::move(name), type};
    set_.columns_.push_back(std::move(column));
    return set_.columns_.size() - 1;
}

void RecordSetBuilder::Reserve(std::size_t records) {
    for (auto& c : set_.columns_) {
        c.nulls.reserve(records);
        switch (c.field.type) {
            case FieldType::Integer:
            case FieldType::Boolean:
                c.integers.reserve(records);
                break;
            case FieldType::Double:
                c.doubles.reserve(records);
                break;
            case FieldType::Date:
                c.dates.reserve(records);
                break;
            case FieldType::Text:
            case FieldType::Decimal:
                c.texts.ends.reserve(records);
                break;
            case FieldType::Binary:
                c.byteEnds.reserve(records);
                break;
        }
    }
}

RecordSet::Column& RecordSetBuilder::Expect(std::size_t column, FieldType a, FieldType b) {
    RecordSet::Column& c = set_.columns_.at(column);
    if (c.field.type != a && c.field.type != b) {
        throw std::logic_error("record set builder: value does not fit the field's type");
    }
    return c;
}

void RecordSetBuilder::AppendNull(std::size_t column) {
    RecordSet::Column& c = set_.columns_.at(column);
    c.nulls.push_back(1);
    switch (c.field.type) {
        case FieldType::Integer:
        case FieldType::Boolean:
            c.integers.push_back(0);
            break;
        case FieldType::Double:
            c.doubles.push_back(0);
            break;
        case FieldType::Date:
            c.dates.push_back(DateTime{});
            break;
        case FieldType::Text:
        case FieldType::Decimal:
            c.texts.Append(u"");
            break;
        case FieldType::Binary:
            c.byteEnds.push_back(c.bytes.size());
            break;
    }
}

void RecordSetBuilder::AppendText(std::size_t column, std::u16string_view text) {
    RecordSet::Column& c = Expect(column, FieldType::Text, FieldType::Decimal);
    c.nulls.push_back(0);
    c.texts.Append(text);
}

void RecordSetBuilder::ExtendText(std::size_t column, std::u16string_view more) {
    RecordSet::Column& c = Expect(column, FieldType::Text, FieldType::Decimal);
    if (c.texts.ends.empty()) {
        throw std::logic_error("record set builder: no text to extend");
    }
    c.texts.Extend(more);
}

void RecordSetBuilder::AppendInteger(std::size_t column, std::int64_t value) {
    RecordSet::Column& c = Expect(column, FieldType::Integer, FieldType::Integer);
    c.nulls.push_back(0);
    c.integers.push_back(value);
}

void RecordSetBuilder::AppendBoolean(std::size_t column, bool value) {
    RecordSet::Column& c = Expect(column, FieldType::Boolean, FieldType::Boolean);
    c.nulls.push_back(0);
    c.integers.push_back(value ? 1 : 0);
}

void RecordSetBuilder::AppendDouble(std::size_t column, double value) {
    RecordSet::Column& c = Expect(column, FieldType::Double, FieldType::Double);
    c.nulls.push_back(0);
    c.doubles.push_back(value);
}

void RecordSetBuilder::AppendDate(std::size_t column, const DateTime& value) {
    RecordSet::Column& c = Expect(column, FieldType::Date, FieldType::Date);
    c.nulls.push_back(0);
    c.dates.push_back(value);
}

void RecordSetBuilder::AppendBinary(std::size_t column, const std::uint8_t* data,
                                    std::size_t size) {
    RecordSet::Column& c = Expect(column, FieldType::Binary, FieldType::Binary);
    c.nulls.push_back(0);
    c.bytes.insert(c.bytes.end(), data, data + size);
    c.byteEnds.push_back(c.bytes.size());
}

void RecordSetBuilder::ExtendBinary(std::size_t column, const std::uint8_t* data,
                                    std::size_t size) {
    RecordSet::Column& c = Expect(column, FieldType::Binary, FieldType::Binary);
    if (c.byteEnds.empty()) {
        throw std::logic_error("record set builder: no value to extend");
    }
    c.bytes.insert(c.bytes.end(), data, data + size);
    c.byteEnds.back() = c.bytes.size();
}

std::shared_ptr<const RecordSet> RecordSetBuilder::Build() {
    const std::size_t records = set_.columns_.empty() ? 0 : set_.columns_.front().Count();
    for (const auto& c : set_.columns_) {
        if (c.Count() != records) {
            throw std::logic_error("record set builder: columns of different lengths");
        }
    }
    set_.records_ = records;
    auto built = std::make_shared<const RecordSet>(std::move(set_));
    set_ = RecordSet{};
    return built;
}

}  // namespace trx
