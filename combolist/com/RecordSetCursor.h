#pragma once

// A cursor over the shared rows of a record set, for the record set objects
// that COM clients read as a detached ADO record set: its position, whether
// it is open, and each value as the VARIANT and ADO type that such a client
// expects. Its errors carry ADO's numbers and no source: the object that
// reports them names its own.

#include "platform/win32/Win32.h"

#include <oaidl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/Value.h"
#include "common/AutomationError.h"

namespace trx::com {

// The record set's error numbers, as ADO gives them (a script sees them as
// Err.Number 3001, 3021, 3265 and 3704).
inline constexpr std::int32_t kErrInvalidArgument = 3001;
inline constexpr std::int32_t kErrNoCurrentRecord = 3021;
inline constexpr std::int32_t kErrItemNotFound = 3265;
inline constexpr std::int32_t kErrObjectClosed = 3704;

// Error 3021, at BOF or EOF.
AutomationError NoCurrentRecord();
// Error 3001: an argument of the wrong type, out of range or in conflict.
AutomationError InvalidArgument();

class RecordSetCursor {
  public:
    // On the first record.
    explicit RecordSetCursor(RecordSetRef rows);

    // The rows; error 3704 once closed.
    const RecordSet& Rows() const;
    // The same, shared, for another cursor over them.
    RecordSetRef SharedRows() const {
        Rows();
        return rows_;
    }
    // The records that the cursor passes: all of the rows, or those that its
    // filter keeps, in its sort order.
    long Count() const {
        Rows();
        return static_cast<long>(order_.size());
    }
    // The record (in the rows) at a position of the cursor's order.
    std::size_t RecordAt(long position) const {
        return order_.at(static_cast<std::size_t>(position));
    }
    // -1 before the first record (BOF), Count() after the last (EOF).
    long Position() const { return position_; }
    void MoveTo(long position);
    bool Bof() const { return position_ < 0 || Count() == 0; }
    bool Eof() const { return position_ >= Count() || Count() == 0; }
    // The record (in the rows) the cursor stands on; error 3021 at BOF or EOF.
    std::size_t Current() const;
    void Close();

    // Sorts by fields ("Name ASC, Nr DESC"; empty: the rows' order) and
    // keeps the records that a filter criterion meets, or those of a list
    // (empty: all); then stands on the first record. Errors 3001 and 3265
    // for a text that cannot be read or a field not there.
    void SetSort(std::u16string sort);
    const std::u16string& Sort() const { return sort_; }
    void SetFilter(std::u16string criteria);
    void SetFilter(std::vector<std::size_t> records);
    const std::u16string& FilterText() const { return filter_; }
    const std::vector<std::size_t>& FilterRecords() const { return filterRecords_; }
    // The position of the next record from `from` on, in the direction
    // given, that the criterion meets; -1 or Count() for none.
    long Find(std::u16string_view criterion, long from, bool forward) const;

    // The current record's bookmark: its number from 1 in the rows, as a
    // double (VT_R8), the kind of bookmark that ADO's client cursor gives.
    double Bookmark() const { return static_cast<double>(Current()) + 1; }
    // The position of a bookmark, or of one of ADO's start places (an
    // integer: 0 the current record, 1 the first, 2 the last); error 3001
    // for anything else.
    long PositionOf(const VARIANT& start) const;

    // A field by its position from 0, or by its name in any case, as in ADO;
    // error 3265 for none.
    std::size_t ColumnOf(const VARIANT& index) const;

    // The field's type as ADO names it (DataTypeEnum).
    long TypeOf(std::size_t column);
    // What ADO tells of a field beside its type. A detached set knows no
    // column definitions: the defined size of a text or binary field is its
    // longest value, a decimal's precision and scale its most digits.
    long DefinedSize(std::size_t column);
    unsigned char Precision(std::size_t column);
    unsigned char NumericScale(std::size_t column);
    long Attributes(std::size_t column);
    // The value as the VARIANT of the type a client expects; NULL is VT_NULL.
    HRESULT ToVariant(std::size_t record, std::size_t column, VARIANT* out);
    // The length of the value: characters of a text, bytes of a binary
    // value, the size of a fixed-size type, 0 for NULL.
    long ActualSize(std::size_t record, std::size_t column);

  private:
    bool Wide(std::size_t column);

    void Order();

    RecordSetRef rows_;
    std::vector<std::size_t> order_;
    std::u16string sort_;
    std::u16string filter_;
    std::vector<std::size_t> filterRecords_;
    long position_ = 0;
    bool open_ = true;
    std::vector<signed char> wide_;
};

}  // namespace trx::com
