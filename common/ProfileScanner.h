#pragma once

// Splits a profile file into lines as it streams past, without knowing what
// the lines mean or where the bytes are stored. Internal to the profile
// routines.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trx::profile {

enum class FileEncoding { Windows1252, Utf8, Utf16Le };

enum class LineBreak { None, Lf, Cr, CrLf };

// Where a line lies in the file, in bytes.
struct LineBounds {
    std::uint64_t begin = 0;    // its first byte
    std::uint64_t breakAt = 0;  // the first byte of its line break (its end when it has none)
    std::uint64_t next = 0;     // the first byte after the line break
    LineBreak lineBreak = LineBreak::None;
};

// Where the bytes come from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Places up to `capacity` bytes into `buffer` and sets `got` (0 at the end).
    // Returns false when reading failed.
    virtual bool Read(char* buffer, std::size_t capacity, std::size_t& got) = 0;
};

// Receives the lines in order.
class LineHandler {
  public:
    virtual ~LineHandler() = default;
    // The line's text, decoded, up to its first NUL; a long line arrives in
    // several pieces, an empty one in none.
    virtual void Text(std::u16string_view piece) = 0;
    // False when the rest of the current line cannot change what the handler
    // makes of it; the scanner may then step over it without decoding.
    virtual bool WantsRestOfLine() const { return true; }
    // The line is complete. Returning false stops the scan.
    virtual bool EndLine(const LineBounds& bounds) = 0;
};

struct ScanSummary {
    FileEncoding encoding = FileEncoding::Windows1252;
    std::uint64_t textStart = 0;  // the first byte after the byte-order mark
    std::uint64_t size = 0;       // bytes read; the file's size unless stopped
    LineBreak firstBreak = LineBreak::None;
    bool endsWithBreak = false;  // the last byte read closes a line break
    bool stopped = false;        // the handler ended the scan early
    bool readFailed = false;
};

// Reads `source` to its end (or until the handler stops) and hands every line
// to `handler`. A UTF-8 byte-order mark selects UTF-8, FF FE selects UTF-16
// LE, anything else is Windows-1252. Lines end in CR LF, LF or CR alone.
ScanSummary ScanLines(ByteSource& source, LineHandler& handler);

}  // namespace trx::profile
