#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trx {

enum class FieldType { Text, Integer, Double, Decimal, Boolean, Date, Binary };
inline constexpr FieldType kFieldTypes[] = {
    FieldType::Text,    FieldType::Integer, FieldType::Double, FieldType::Decimal,
    FieldType::Boolean, FieldType::Date,    FieldType::Binary};

// A date, a time of day or both, as the database gave it. A pure time of day
// carries the automation zero date 30.12.1899.
struct DateTime {
    std::int16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint32_t nanosecond = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// The automation date of a date (days from 30.12.1899; below day 0 the
// fraction still counts forward from the day's midnight).
double ToAutomationDateValue(const DateTime& value);
// The other way, rounded to the millisecond; nullopt for a value that is not
// a number or lies beyond the years a DateTime holds.
std::optional<DateTime> FromAutomationDateValue(double value);

struct Null {
    friend bool operator==(Null, Null) = default;
};

// One value of a record set as it lies in the set, without a copy; valid as
// long as the set. Each field type has its own alternative, so that code that
// hands values on (a transport) visits a Cell and never switches over
// FieldType: a new field type is a new alternative, and the compiler shows
// every visitor that lacks it.
struct TextCell {
    std::u16string_view text;
};
struct DecimalCell {
    std::u16string_view digits;  // exact, with "." as the point
};
struct BinaryCell {
    std::span<const std::uint8_t> bytes;
};
using Cell =
    std::variant<Null, TextCell, std::int64_t, double, DecimalCell, bool, DateTime, BinaryCell>;

// A visitor made of lambdas, one per alternative.
template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// A cell of the field type, with a default value: visiting it maps the type
// itself (to a wire name, a client's type number) the way values are mapped.
Cell CellOfType(FieldType type);

// One value of a record set. Text and Decimal both arrive as text (a decimal
// as its exact digits); the field's type tells them apart.
using FieldValue = std::variant<Null, std::u16string, std::int64_t, double, bool, DateTime,
                                std::vector<std::uint8_t>>;

struct Field {
    std::u16string name;
    FieldType type = FieldType::Text;
};

// A detached, read-only result: every row held in memory, in the order the
// database returned them. Once built it never changes and never touches the
// database, so holders share it as shared_ptr<const RecordSet>.
class RecordSet {
  public:
    std::size_t FieldCount() const { return columns_.size(); }
    const Field& FieldAt(std::size_t column) const { return columns_.at(column).field; }
    std::size_t RecordCount() const { return records_; }

    bool IsNull(std::size_t record, std::size_t column) const;
    FieldValue Value(std::size_t record, std::size_t column) const;
    // The value in place; the one switch from a field's type to its values.
    Cell CellAt(std::size_t record, std::size_t column) const;
    // Cheap access for text and decimal fields; empty for NULL.
    std::u16string_view TextView(std::size_t record, std::size_t column) const;

  private:
    friend class RecordSetBuilder;

    // Columns are stored whole, so a load costs no allocation per value.
    // Texts go into chunks that are filled and never grown: a chunk that is
    // full is left as it is and a new one started, so loading copies no text
    // twice and hands no large blocks back and forth with the allocator.
    struct TextChunks {
        static constexpr std::size_t kChunkChars = 32 * 1024;
        std::vector<std::u16string> chunks;
        // Per value: its chunk in the high 32 bits, its end in that chunk in
        // the low ones. A value starts where the one before it ended, or at
        // 0 when it is the first of its chunk.
        std::vector<std::uint64_t> ends;

        void Append(std::u16string_view text);
        void Extend(std::u16string_view more);
        std::u16string_view View(std::size_t value) const;
    };

    struct Column {
        Field field;
        std::vector<std::uint8_t> nulls;
        std::vector<std::int64_t> integers;  // Integer, Boolean
        std::vector<double> doubles;
        std::vector<DateTime> dates;
        TextChunks texts;                   // Text, Decimal
        std::vector<std::uint8_t> bytes;    // Binary
        std::vector<std::size_t> byteEnds;  // Binary: end offset of each value
        std::size_t Count() const { return nulls.size(); }
    };

    const Column& At(std::size_t record, std::size_t column) const;

    std::vector<Column> columns_;
    std::size_t records_ = 0;
};

// Fills a record set column by column; each Append adds the next value of that
// column. Build checks that every column has the same number of values.
class RecordSetBuilder {
  public:
    std::size_t AddField(std::u16string name, FieldType type);
    void Reserve(std::size_t records);

    void AppendNull(std::size_t column);
    void AppendText(std::size_t column, std::u16string_view text);  // Text, Decimal
    void AppendInteger(std::size_t column, std::int64_t value);
    void AppendDouble(std::size_t column, double value);
    void AppendBoolean(std::size_t column, bool value);
    void AppendDate(std::size_t column, const DateTime& value);
    void AppendBinary(std::size_t column, const std::uint8_t* data, std::size_t size);

    // Appends to a text or binary value appended last (for values read in pieces).
    void ExtendText(std::size_t column, std::u16string_view more);
    void ExtendBinary(std::size_t column, const std::uint8_t* data, std::size_t size);

    std::shared_ptr<const RecordSet> Build();

  private:
    RecordSet::Column& Expect(std::size_t column, FieldType a, FieldType b);
    RecordSet set_;
};

}  // namespace trx
