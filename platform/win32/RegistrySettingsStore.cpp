#include "platform/win32/RegistrySettingsStore.h"

#include "platform/win32/Win32.h"

#include "platform/win32/WideText.h"

namespace trx {

namespace {

bool HoldsNul(std::u16string_view text) {
    return text.find(u'\0') != std::u16string_view::npos;
}

// A registry key's name cannot be empty: the application and the section
// must name one. A NUL would cut a name short and address another key.
bool Addressable(std::u16string_view application, std::u16string_view section,
                 std::u16string_view key) {
    return !application.empty() && !section.empty() && !HoldsNul(application) &&
           !HoldsNul(section) && !HoldsNul(key);
}

class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

}  // namespace

std::u16string RegistrySettingsStore::SectionKey(std::u16string_view application,
                                                 std::u16string_view section) const {
    std::u16string path = root_;
    path += u'\\';
    path += application;
    path += u'\\';
    path += section;
    return path;
}

bool RegistrySettingsStore::Save(std::u16string_view application, std::u16string_view section,
                                 std::u16string_view key, std::u16string_view value) {
    if (!Addressable(application, section, key) || HoldsNul(value)) {
        return false;
    }
    OpenKey opened;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, win32::Wide(SectionKey(application, section)).c_str(), 0,
                        nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, opened.Out(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring name = win32::Wide(key);
    const std::wstring text = win32::Wide(value);
    // REG_SZ holds its terminating NUL.
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(opened.Get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

DeleteResult RegistrySettingsStore::Delete(std::u16string_view application,
                                           std::u16string_view section, std::u16string_view key) {
    if (!Addressable(application, section, key)) {
        return DeleteResult::Absent;
    }
    OpenKey opened;
    const LSTATUS open =
        RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(SectionKey(application, section)).c_str(), 0,
                      KEY_SET_VALUE, opened.Out());
    if (open == ERROR_FILE_NOT_FOUND) {
        return DeleteResult::Absent;
    }
    if (open != ERROR_SUCCESS) {
        return DeleteResult::Failed;
    }
    const LSTATUS deleted = RegDeleteValueW(opened.Get(), win32::Wide(key).c_str());
    if (deleted == ERROR_SUCCESS) {
        return DeleteResult::Deleted;
    }
    return deleted == ERROR_FILE_NOT_FOUND ? DeleteResult::Absent : DeleteResult::Failed;
}

}  // namespace trx
