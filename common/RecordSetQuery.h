#pragma once

// Sort, filter and find over the rows of a record set, as a client writes
// them for a detached ADO record set: "Name ASC, Nr DESC" to sort,
// "Nr >= 1002 AND (Name LIKE 'B*' OR Name = NULL)" to filter, one such
// comparison to find. The results are positions in the rows; the rows
// themselves never change.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/RecordSet.h"

namespace trx {

// A criterion or sort order that cannot be read, or names a field that the
// rows lack.
class RecordSetQueryError : public std::runtime_error {
  public:
    enum class Kind { Invalid, UnknownField };
    RecordSetQueryError(Kind kind, const char* what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// One comparison of a field with a value: text in single quotes (a quote
// doubled inside), a number, a date between # (#2024-03-31# or
// #03/31/2024#, a time may follow), or NULL.
struct RecordSetCriterion {
    enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };
    std::size_t column = 0;
    Op op = Op::Equal;
    FieldValue value;

    // Whether the record meets it. Texts compare without regard to case
    // and LIKE takes * or % for any run of characters; NULL meets only
    // = NULL, and <> NULL meets every other value.
    bool Matches(const RecordSet& rows, std::size_t record) const;
};

// The criterion of Find: exactly one comparison.
RecordSetCriterion ParseRecordSetCriterion(const RecordSet& rows, std::u16string_view text);

// The records of `order` (positions in the rows) that meet a filter of
// comparisons joined by AND and OR, with parentheses; AND binds closer.
std::vector<std::size_t> FilterRecords(const RecordSet& rows, const std::vector<std::size_t>& order,
                                       std::u16string_view filter);

// The records of `order` sorted by fields, each ASC (the default) or DESC;
// records that compare equal keep their order, NULL comes first.
// An empty sort gives the records as the rows hold them.
std::vector<std::size_t> SortRecords(const RecordSet& rows, std::vector<std::size_t> order,
                                     std::u16string_view sort);

}  // namespace trx
