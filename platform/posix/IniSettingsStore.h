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
// Every change holds the lock that QSettings takes on the file (the lock
// file "A.ini.lock" beside it), reads the whole file, and replaces it by a
// new file written beside it, made durable and renamed over it: a change
// lands whole or not at all, and this store and QSettings programs that
// change the file at the same time keep each other's values. The file is
// read and written as QSettings reads and writes it, so that a change never
// alters what QSettings reads of the values it does not touch. A symbolic
// link is followed (only where it belongs to root or to the owner of its
// target) and its target replaced; the file keeps its owner and mode. A file
// that cannot be read fails every change rather than reading as empty.
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
    FileFailure LastFailure() const override { return lastFailure_; }

    // A section or key name as QSettings is given it.
    static std::u16string EncodeName(std::u16string_view name);
    // The file that holds application's values.
    std::string FileName(std::u16string_view application) const;

  private:
    DeleteResult Change(std::u16string_view application, const SettingsBatch& batch);

    std::string configFolder_;
    std::chrono::milliseconds lockWait_;
    FileFailure lastFailure_;
};

}  // namespace trx
