#pragma once

// The two lookups in a profile file: the value of a key, and the place where
// a write goes. Both work on any byte source and stop as soon as they know.
// Internal to the profile routines.

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

// Where a write of `key` in `section` goes.
struct WriteSpot {
    ScanSummary scan;
    bool sectionFound = false;
    std::optional<LineBounds> keyLine;  // the first line of the key in the section
    std::u16string fileKey;             // the key as that line spells it
    LineBounds lastFilled;              // the section's last line that is not blank
};

WriteSpot LocateWrite(ByteSource& source, std::u16string_view section, std::u16string_view key);

}  // namespace trx::profile
