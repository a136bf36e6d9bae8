#pragma once

#include "platform/SettingsStore.h"

#include <QString>

#include <functional>
#include <memory>

class QSettings;

namespace trx {

// The settings store on QSettings: application A's values live in the INI
// file Velmora/A.ini of the user's configuration folder ($XDG_CONFIG_HOME,
// by default ~/.config). Every change holds a lock on the file's folder and
// goes through a fresh copy that then replaces the file, so processes that
// save at the same time keep each other's values.
//
// QSettings reads "/" and "\" in a name as group separators, so section and
// key names are encoded before they reach it: "%" becomes "%25", "/" "%2F",
// "\" "%5C", and the empty name the lone "%". No two names share a form.
class QtSettingsStore : public SettingsStore {
  public:
    // The user's configuration folder.
    QtSettingsStore();
    // Another folder in its place; the files are <folder>/Velmora/A.ini.
    explicit QtSettingsStore(QString configFolder);

    bool Save(std::u16string_view application, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) override;
    DeleteResult Delete(std::u16string_view application, std::u16string_view section,
                        std::u16string_view key) override;

    // A section or key name as QSettings is given it.
    static QString EncodeName(std::u16string_view name);

  private:
    std::unique_ptr<QSettings> Open(std::u16string_view application) const;
    // Runs change on the store file of application under the store's lock.
    DeleteResult Change(std::u16string_view application,
                        const std::function<DeleteResult(QSettings&)>& change) const;

    QString configFolder_;
};

}  // namespace trx
