#pragma once

// The two lookups in a profile file: the value of a key, and the change that
// a write makes. Both work on any byte source and stop as soon as they know.
// Internal to the profile routines.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ProfileScanner.h"

namespace trx::profile {

// The value of `key` in the first section named `section` (both without
// blanks and tabs around them), not yet through the code page nor capped;
// nothing when the section or the key is missing. The lines before the first
// header form the nameless section, which always comes first.
std::optional<std::u16string> FindValue(ByteSource& source, std::u16string_view section,
                                        std::u16string_view key);

// A write changes one stretch of the file: the bytes from `begin` to `end`
// give way to `bytes`.
struct FileEdit {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::string bytes;
};

// The edit that sets `key` in `section` to `value` in the file of `size`
// bytes that `source` reads; an empty source stands for a new file. The
// texts have passed the code page, and the names have no blanks and tabs
// around them. Nothing when the file cannot take the write.
std::optional<FileEdit> PlanWrite(ByteSource& source, std::uint64_t size,
                                  std::u16string_view section, std::u16string_view key,
                                  std::u16string_view value);

}  // namespace trx::profile
