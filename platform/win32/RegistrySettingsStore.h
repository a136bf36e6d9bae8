#pragma once

#include <string>
#include <string_view>

#include "platform/SettingsStore.h"

namespace trx {

// The settings store where the platform's application-settings functions
// keep their values: below HKEY_CURRENT_USER, the key
// "Software\VB and VBA Program Settings\<application>\<section>", each value
// a REG_SZ named by its key. The suite's control panel reads its entries there.
class RegistrySettingsStore final : public SettingsStore {
  public:
    RegistrySettingsStore() = default;
    // Another root below HKEY_CURRENT_USER, for tests that must not touch the
    // real one.
    explicit RegistrySettingsStore(std::u16string root) : root_(std::move(root)) {}

    bool Save(std::u16string_view application, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) override;
    DeleteResult Delete(std::u16string_view application, std::u16string_view section,
                        std::u16string_view key) override;

    // The key path below HKEY_CURRENT_USER that holds a section's values.
    std::u16string SectionKey(std::u16string_view application, std::u16string_view section) const;

  private:
    std::u16string root_ = u"Software\\VB and VBA Program Settings";
};

}  // namespace trx
