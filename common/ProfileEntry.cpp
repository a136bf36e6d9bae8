#include "common/ProfileEntry.h"

#include "common/ProfileLine.h"

namespace trx::profile {

namespace {

bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

}  // namespace

EntryProblem CheckEntry(std::u16string_view section, std::u16string_view key,
                        std::u16string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return EntryProblem::LineBreak;
    }
    if (TrimBlanksAndTabs(section).empty()) {
        return EntryProblem::EmptySection;
    }
    if (section.find(u']') != std::u16string_view::npos) {
        return EntryProblem::BracketInSection;
    }
    const auto name = TrimBlanksAndTabs(key);
    if (name.empty()) {
        return EntryProblem::EmptyKey;
    }
    if (key.find(u'=') != std::u16string_view::npos) {
        return EntryProblem::EqualsInKey;
    }
    // A vertical tab or form feed at either end is lost from a key line, and
    // a line that starts with "[" and holds a "]" anywhere is a section header.
    if (IsSpace(name.front()) || IsSpace(name.back()) ||
        (name.front() == u'[' && (name.find(u']') != std::u16string_view::npos ||
                                  value.find(u']') != std::u16string_view::npos))) {
        return EntryProblem::UnreadableKey;
    }
    return EntryProblem::None;
}

}  // namespace trx::profile
