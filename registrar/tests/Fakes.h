#pragma once

#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

#include "common/Text.h"

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace trx::test {

// A settings store in memory that records every call and fails on request.
class FakeStore : public SettingsStore {
  public:
    using Address = std::tuple<std::u16string, std::u16string, std::u16string>;

    bool Save(std::u16string_view application, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) override {
        Address address{std::u16string(application), std::u16string(section), std::u16string(key)};
        calls.push_back(u"save " + std::u16string(section) + u"|" + std::u16string(key));
        if (readOnly || failingKeys.count(std::u16string(key)) != 0) {
            return false;
        }
        values[address] = std::u16string(value);
        return true;
    }

    DeleteResult Delete(std::u16string_view application, std::u16string_view section,
                        std::u16string_view key) override {
        Address address{std::u16string(application), std::u16string(section), std::u16string(key)};
        calls.push_back(u"delete " + std::u16string(section) + u"|" + std::u16string(key));
        if (values.count(address) == 0) {
            return DeleteResult::Absent;
        }
        if (readOnly) {
            return DeleteResult::Failed;
        }
        values.erase(address);
        return DeleteResult::Deleted;
    }

    // The control-panel value, or "<absent>".
    std::u16string Value(std::u16string_view section, std::u16string_view key) const {
        auto it = values.find({u"vxtControlPanel", std::u16string(section), std::u16string(key)});
        return it == values.end() ? u"<absent>" : it->second;
    }

    std::map<Address, std::u16string> values;
    std::vector<std::u16string> calls;
    std::set<std::u16string> failingKeys;  // saves of these keys fail
    bool readOnly = false;                 // every save fails, so does deleting a present value
};

struct ShownMessage {
    std::u16string text;
    MessageIcon icon;
    std::u16string title;
    bool operator==(const ShownMessage&) const = default;
};

inline void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << "{\"" << ToUtf8(message.text) << "\", icon " << static_cast<int>(message.icon) << ", \""
         << ToUtf8(message.title) << "\"}";
}

class RecordingMessageBox : public MessageBox {
  public:
    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) override {
        shown.push_back({std::u16string(text), icon, std::u16string(title)});
    }
    std::vector<ShownMessage> shown;
};

}  // namespace trx::test
