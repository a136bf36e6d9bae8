#pragma once

#include <string_view>

namespace trx {

enum class DeleteResult { Deleted, Absent, Failed };

// The per-user settings store: text values addressed by application, section
// and key. Any character may stand in a section or key name.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Creates or replaces the value; false when the store could not be written.
    virtual bool Save(std::u16string_view application, std::u16string_view section,
                      std::u16string_view key, std::u16string_view value) = 0;
    virtual DeleteResult Delete(std::u16string_view application, std::u16string_view section,
                                std::u16string_view key) = 0;
};

}  // namespace trx
