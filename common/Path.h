#pragma once

#include <string>
#include <string_view>

namespace trx {

// The separator between a folder and a name in the platform's paths: files
// that belong to a program are addressed as its folder, one separator and a
// relative name.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

inline std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    path += kPathSeparator;
    path += name;
    return path;
}

}  // namespace trx
