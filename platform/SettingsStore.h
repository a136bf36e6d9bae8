#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/FileFailure.h"

namespace trx {

enum class DeleteResult { Deleted, Absent, Failed };

// Saves and deletes of one application's values that belong together, such
// as the line and the four values of one control-panel entry.
class SettingsBatch {
  public:
    struct Step {
        std::u16string section;
        std::u16string key;
        std::optional<std::u16string> value;  // none: delete the value
    };

    void Save(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
        steps_.push_back({std::u16string(section), std::u16string(key), std::u16string(value)});
    }
    void Delete(std::u16string_view section, std::u16string_view key) {
        steps_.push_back({std::u16string(section), std::u16string(key), std::nullopt});
    }
    const std::vector<Step>& Steps() const { return steps_; }

  private:
    std::vector<Step> steps_;
};

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

    // Makes every step of batch. False when one failed; a value to delete
    // that is not there is no failure. A store that can makes the steps as
    // one change that lands whole or not at all; this default makes them one
    // by one and goes on after a failed one.
    virtual bool Apply(std::u16string_view application, const SettingsBatch& batch) {
        bool ok = true;
        for (const SettingsBatch::Step& step : batch.Steps()) {
            if (step.value) {
                ok = Save(application, step.section, step.key, *step.value) && ok;
            } else {
                ok = Delete(application, step.section, step.key) != DeleteResult::Failed && ok;
            }
        }
        return ok;
    }

    // Why the last change that failed did, where the store can tell more
    // than that it failed.
    virtual FileFailure LastFailure() const { return {}; }
};

}  // namespace trx
