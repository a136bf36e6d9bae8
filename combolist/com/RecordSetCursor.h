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

class RecordSetCursor {
  public:
    // On the first record.
    explicit RecordSetCursor(RecordSetRef rows);

    // The rows; error 3704 once closed.
    const RecordSet& Rows() const;
    long Count() const { return static_cast<long>(Rows().RecordCount()); }
    // -1 before the first record (BOF), Count() after the last (EOF).
    long Position() const { return position_; }
    void MoveTo(long position);
    bool Bof() const { return position_ < 0 || Count() == 0; }
    bool Eof() const { return position_ >= Count() || Count() == 0; }
    // The record the cursor stands on; error 3021 at BOF or EOF.
    std::size_t Current() const;
    void Close();

    // The field's type as ADO names it (DataTypeEnum).
    long TypeOf(std::size_t column);
    // The value as the VARIANT of the type a client expects; NULL is VT_NULL.
    HRESULT ToVariant(std::size_t record, std::size_t column, VARIANT* out);
    // The length of the value: characters of a text, bytes of a binary
    // value, the size of a fixed-size type, 0 for NULL.
    long ActualSize(std::size_t record, std::size_t column);

  private:
    bool Wide(std::size_t column);

    RecordSetRef rows_;
    long position_ = 0;
    bool open_ = true;
    std::vector<signed char> wide_;
};

}  // namespace trx::com
