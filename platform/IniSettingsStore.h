#pragma once

#include "platform/SettingsStore.h"

#include <chrono>
#include <string>

namespace trx {

// The settings store in INI files: application A's values live in
// Velmora/A.ini of the user's configuration folder ($XDG_CONFIG_HOME, by
// default ~/.config), in the INI form of Qt's QSettings, which the control
// panel reads.
//
// Every change holds a lock on the file's folder, reads the whole file, and
// replaces it by a new file written beside it, made durable and renamed over
// it: a change lands whole or not at all, and processes that change the store
// at the same time keep each other's values. A symbolic link is followed and
// its target replaced; the file keeps its owner and mode. A file that cannot
// be read fails every change rather than reading as empty.
//
// QSettings reads "/" and "\" in a name as group separators, so section and
// key names are encoded first: "%" becomes "%25", "/" "%2F", "\" "%5C", and
// the empty name the lone "%". No two names share a form.
class IniSettingsStore : public SettingsStore {
  public:
    // How long a change waits for another process's change to end.
    static constexpr std::chrono::milliseconds kLockWait{5000};

    // The user's configuration folder.
    IniSettingsStore();
    // Another folder in its place; the files are <folder>/Velmora/A.ini.
    explicit IniSettingsStore(std::string configFolder,
                              std::chrono::milliseconds lockWait = kLockWait);

    bool Save(std::u16string_view application, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) override;
    DeleteResult Delete(std::u16string_view application, std::u16string_view section,
                        std::u16string_view key) override;
    bool Apply(std::u16string_view application, const SettingsBatch& batch) override;

    // A section or key name as QSettings is given it.
    static std::u16string EncodeName(std::u16string_view name);
    // The file that holds application's values.
    std::string FileName(std::u16string_view application) const;

  private:
    DeleteResult Change(std::u16string_view application, const SettingsBatch& batch) const;

    std::string configFolder_;
    std::chrono::milliseconds lockWait_;
};

}  // namespace trx
