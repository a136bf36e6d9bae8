#pragma once

// UTF-16 text of the domain code as the wide text of the Windows API: both
// are 16-bit code units, so the conversion is a view, not a copy.

#include <string>
#include <string_view>

namespace trx::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline std::wstring Wide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

}  // namespace trx::win32
