#pragma once

#include <string>
#include <string_view>

namespace trx {

// Windows-1252 stands in for the 8-bit code page of profile files. The five
// bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the control characters of the same value, both ways.
std::u16string DecodeWindows1252(std::string_view bytes);
char16_t DecodeWindows1252Byte(unsigned char byte);

// A character that Windows-1252 cannot represent is written as "?".
std::string EncodeWindows1252(std::u16string_view text);

}  // namespace trx
