#include "automation/com/ComRegistration.h"

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "automation/ComRegistryKeys.h"
#include "common/Text.h"
#include "platform/win32/ServerStart.h"
#include "platform/win32/WideText.h"

namespace trx::com {

namespace {

struct Hive {
    HKEY root;
    const char16_t* name;  // for the line printed
};

std::u16string LibraryVersion(const TypeLibraryIdentity& library) {
    return FromUtf8(std::to_string(library.majorVersion) + "." +
                    std::to_string(library.minorVersion));
}

// The registry's two views on 64-bit Windows: 64-bit programs read the first,
// 32-bit programs the second (below Wow6432Node where a key is redirected).
// Where a key is shared between them both name the same key.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

LSTATUS WriteKey(HKEY root, REGSAM view, const ComRegistryKey& key) {
    const std::wstring path = L"Software\\Classes\\" + win32::Wide(key.path);
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | view, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const auto set = [handle](const wchar_t* name, const std::u16string& value) {
        const std::wstring text = win32::Wide(value);
        return RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    };
    if (!key.defaultValue.empty()) {
        status = set(nullptr, key.defaultValue);
    }
    for (const auto& [name, value] : key.named) {
        if (status == ERROR_SUCCESS) {
            status = set(win32::Wide(name).c_str(), value);
        }
    }
    RegCloseKey(handle);
    return status;
}

// Removes one key with everything below it from the view. The key is opened
// in the view and emptied through its handle, since RegDeleteTreeW would
// resolve a path in the program's own view.
LSTATUS DeleteKey(HKEY root, REGSAM view, const std::u16string& key) {
    const std::wstring path = L"Software\\Classes\\" + win32::Wide(key);
    HKEY handle = nullptr;
    LSTATUS status = RegOpenKeyExW(
        root, path.c_str(), 0,
        DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view, &handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegDeleteTreeW(handle, nullptr);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? RegDeleteKeyExW(root, path.c_str(), view, 0) : status;
}

// Removes the keys from both views; a key that is not there is no failure.
// The first other failure, or ERROR_FILE_NOT_FOUND when none of them was
// there.
LSTATUS DeleteKeys(HKEY root, const std::vector<std::u16string>& keys) {
    LSTATUS result = ERROR_FILE_NOT_FOUND;
    for (const REGSAM view : kViews) {
        for (const std::u16string& key : keys) {
            const LSTATUS status = DeleteKey(root, view, key);
            if (status == ERROR_SUCCESS && result == ERROR_FILE_NOT_FOUND) {
                result = ERROR_SUCCESS;
            } else if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
                return status;
            }
        }
    }
    return result;
}

std::u16string SystemMessage(LSTATUS status) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::u16string message = text != nullptr ? win32::FromWide(text) : u"";
    LocalFree(text);
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                                message.back() == u' ' || message.back() == u'.')) {
        message.pop_back();
    }
    return message.empty() ? u"Fehler " + FromUtf8(std::to_string(status)) : message;
}

RegistrationResult Refused(const ClassIdentity& identity, const Hive& hive, LSTATUS status,
                           bool registering) {
    std::u16string line = identity.ProgId() + u": ";
    if (status == ERROR_ACCESS_DENIED && hive.root == HKEY_LOCAL_MACHINE) {
        line += registering ? u"/RegServer" : u"/UnRegServer";
        line += u" braucht Administratorrechte (";
        line += hive.name;
        line += u"). Für den angemeldeten Benutzer allein: ";
        line += registering ? u"/RegServerPerUser." : u"/UnRegServerPerUser.";
    } else {
        line += u"Die Registrierung unter ";
        line += hive.name;
        line += registering ? u" ist fehlgeschlagen: " : u" lässt sich nicht entfernen: ";
        line += SystemMessage(status) + u".";
    }
    return {1, line};
}

std::u16string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD chars =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (chars < path.size()) {
            path.resize(chars);
            return win32::FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

RegistrationResult Add(const ClassIdentity& identity, const std::u16string& program,
                       const Hive& hive) {
    // The library must be there and readable before anything names it.
    // RegisterTypeLib is not used: it files the library under the program's
    // own platform and view alone, and Wine 8's RegisterTypeLibForUser
    // registers machine-wide.
    ITypeLib* library = nullptr;
    if (const HRESULT loaded = LoadTypeLibEx(win32::Wide(program).c_str(), REGKIND_NONE, &library);
        FAILED(loaded)) {
        return {1, identity.ProgId() + u": Die Typbibliothek in '" + program +
                       u"' lässt sich nicht registrieren (" +
                       SystemMessage(static_cast<LSTATUS>(loaded)) + u")."};
    }
    library->Release();
    const std::u16string folder = program.substr(0, program.find_last_of(u'\\') + 1);
    for (const REGSAM view : kViews) {
        for (const ComRegistryKey& key : ComServerKeys(identity, program, folder)) {
            if (const LSTATUS status = WriteKey(hive.root, view, key); status != ERROR_SUCCESS) {
                DeleteKeys(hive.root, ComServerTopKeys(identity));
                return Refused(identity, hive, status, true);
            }
        }
    }
    return {0, identity.ProgId() + u": registriert unter " + hive.name +
                   u", 32- und 64-Bit-Ansicht (LocalServer32 \"" + program + u"\", Typbibliothek " +
                   identity.typeLibrary.name + u" " + LibraryVersion(identity.typeLibrary) + u")."};
}

RegistrationResult Remove(const ClassIdentity& identity, const Hive& hive) {
    const LSTATUS status = DeleteKeys(hive.root, ComServerTopKeys(identity));
    if (status == ERROR_FILE_NOT_FOUND) {
        return {0, identity.ProgId() + u": war unter " + hive.name + u" nicht registriert."};
    }
    if (status != ERROR_SUCCESS) {
        return Refused(identity, hive, status, false);
    }
    return {0, identity.ProgId() + u": Registrierung unter " + hive.name +
                   u" entfernt (32- und 64-Bit-Ansicht)."};
}

}  // namespace

RegistrationResult Register(RegistrationSwitch which, const ClassIdentity& identity,
                            const std::u16string& programPath) {
    const Hive machine{HKEY_LOCAL_MACHINE, u"HKEY_LOCAL_MACHINE\\Software\\Classes"};
    const Hive user{HKEY_CURRENT_USER, u"HKEY_CURRENT_USER\\Software\\Classes"};
    const std::u16string program = programPath.empty() ? ProgramPath() : programPath;
    switch (which) {
        case RegistrationSwitch::Register:
            return Add(identity, program, machine);
        case RegistrationSwitch::Unregister:
            return Remove(identity, machine);
        case RegistrationSwitch::RegisterPerUser:
            return Add(identity, program, user);
        case RegistrationSwitch::UnregisterPerUser:
            return Remove(identity, user);
    }
    return {1, identity.ProgId() + u": unbekannter Schalter."};
}

std::optional<int> HandleRegistrationSwitches(const ProcessInfo& process,
                                              const ClassIdentity& identity, MessageBox& messages) {
    if (process.mode == StartMode::Automation) {
        return std::nullopt;
    }
    const std::u16string_view text = process.argumentText;
    const std::optional<RegistrationSwitch> which =
        RegistrationSwitchOf(text.substr(0, text.find_first_of(u" \t")));
    if (!which) {
        return std::nullopt;
    }
    const RegistrationResult result = Register(*which, identity, {});
    ReportServerSwitch(result.line, result.exitStatus != 0, identity.typeLibrary.name, messages);
    return result.exitStatus;
}

}  // namespace trx::com
