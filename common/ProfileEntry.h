#pragma once

// Which entries a profile line can hold. Internal to the profile routines and
// their tools.

#include <string_view>

namespace trx::profile {

enum class EntryProblem {
    None,
    LineBreak,         // a CR, LF or NUL anywhere would split or cut the line
    EmptySection,      // empty or blanks only: the nameless section cannot be named
    BracketInSection,  // "]" would end the header early
    EmptyKey,          // empty or blanks only
    EqualsInKey,       // "=" would end the key early
    UnreadableKey,     // the line would not read back as a key line of this key
};

EntryProblem CheckEntry(std::u16string_view section, std::u16string_view key,
                        std::u16string_view value);

}  // namespace trx::profile
