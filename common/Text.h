#pragma once

#include <string>
#include <string_view>

namespace trx {

// Conversions at the edges: the domain code holds text as UTF-16. Invalid
// input never throws; it becomes U+FFFD (to UTF-16) or the UTF-8 of U+FFFD.
std::u16string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Removes leading and trailing blanks (U+0020 only), as the system's blank tests do.
std::u16string_view TrimBlanks(std::u16string_view text);

// Upper-cases ASCII letters and the Latin-1 letters; enough for switch tests.
std::u16string ToUpper(std::u16string_view text);

}  // namespace trx
