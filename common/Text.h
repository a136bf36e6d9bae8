#pragma once

#include <string>
#include <string_view>

namespace trx {

// Conversions at the edges: the domain code holds text as UTF-16. Invalid
// input never throws; it becomes U+FFFD (to UTF-16) or the UTF-8 of U+FFFD.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// File names and arguments are bytes, mostly UTF-8. A byte that is not part
// of valid UTF-8 becomes the lone surrogate U+DC80 to U+DCFF and turns back
// into itself, so that every name reaches the file system unchanged. Shown
// to a person, such a byte reads as U+FFFD.
std::u16string FromFileName(std::string_view bytes);
std::string ToFileName(std::u16string_view name);

// Removes leading and trailing blanks (U+0020 only), as the system's blank tests do.
std::u16string_view TrimBlanks(std::u16string_view text);

// An ASCII digit, 0 to 9.
inline bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Upper-cases ASCII letters and the Latin-1 letters; enough for switch tests.
std::u16string ToUpper(std::u16string_view text);

}  // namespace trx
