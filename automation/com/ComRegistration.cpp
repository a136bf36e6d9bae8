#include "automation/com/ComRegistration.h"

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "platform/win32/ServerStart.h"
#include "platform/win32/WideText.h"

namespace trx::com {

namespace {

// The automation marshaller, which marshals a dual interface by its type
// library.
constexpr char16_t kAutomationMarshaller[] = u"{00020424-0000-0000-C000-000000000046}";
// The marshaller of a dispinterface: IDispatch's own.
constexpr char16_t kDispatchMarshaller[] = u"{00020420-0000-0000-C000-000000000046}";

struct Hive {
    HKEY root;
    const char16_t* name;  // for the line printed
};

std::u16string LibraryVersion(const TypeLibraryIdentity& library) {
    return FromUtf8(std::to_string(library.majorVersion) + "." +
                    std::to_string(library.minorVersion));
}

// One key below Software\Classes with its default value and named values.
struct KeyValues {
    std::u16string path;
    std::u16string defaultValue;
    std::vector<std::pair<std::u16string, std::u16string>> named = {};
};

struct InterfaceEntry {
    std::u16string id;
    std::u16string name;
    const char16_t* marshaller;
};

std::vector<InterfaceEntry> Interfaces(const ClassIdentity& identity) {
    std::vector<InterfaceEntry> interfaces = {
        {identity.interfaceId, identity.InterfaceName(), kAutomationMarshaller},
        {identity.aliasId, identity.aliasName, kAutomationMarshaller}};
    if (identity.HasEvents()) {
        interfaces.push_back(
            {identity.eventInterfaceId, identity.EventInterfaceName(), kDispatchMarshaller});
    }
    for (const auto& [id, name] : identity.otherInterfaces) {
        interfaces.push_back({id, name, kAutomationMarshaller});
    }
    return interfaces;
}

std::vector<KeyValues> ClassKeys(const ClassIdentity& identity, const std::u16string& program) {
    const std::u16string progId = identity.ProgId();
    const std::u16string clsid = u"CLSID\\" + identity.classId;
    const std::u16string libraryVersion = LibraryVersion(identity.typeLibrary);
    std::vector<KeyValues> keys = {
        {progId, progId},
        {progId + u"\\CLSID", identity.classId},
        {clsid, progId},
        {clsid + u"\\ProgID", progId},
        {clsid + u"\\LocalServer32", u"\"" + program + u"\""},
        {clsid + u"\\TypeLib", identity.typeLibrary.id},
        {clsid + u"\\VERSION", libraryVersion},
        {clsid + u"\\Programmable", u""},
    };
    // The default interface, its alias and the library's other interfaces,
    // marshalled by the type library; the event interface, a dispinterface,
    // as IDispatch.
    for (const auto& [id, name, marshaller] : Interfaces(identity)) {
        const std::u16string key = u"Interface\\" + id;
        keys.push_back({key, name});
        keys.push_back({key + u"\\ProxyStubClsid", marshaller});
        keys.push_back({key + u"\\ProxyStubClsid32", marshaller});
        keys.push_back(
            {key + u"\\TypeLib", identity.typeLibrary.id, {{u"Version", libraryVersion}}});
    }
    return keys;
}

// The type library's own keys, as RegisterTypeLib writes them, under both
// platforms: a 32-bit client's automation marshaller looks for the library
// under win32, a 64-bit one's under win64. Each program carries the library
// twice, laid out for 64-bit (resource 1) and for 32-bit (resource 2). The
// library is filed under the neutral locale, where the marshaller looks for
// it whatever its own.
std::vector<KeyValues> TypeLibraryKeys(const ClassIdentity& identity,
                                       const std::u16string& program) {
    const TypeLibraryIdentity& library = identity.typeLibrary;
    const std::u16string key = u"TypeLib\\" + library.id + u"\\" + LibraryVersion(library);
    const std::u16string folder = program.substr(0, program.find_last_of(u'\\'));
    return {
        {key, library.helpText.empty() ? library.name : library.helpText},
        {key + u"\\0\\win32", program + u"\\2"},
        {key + u"\\0\\win64", program},
        {key + u"\\FLAGS", u"0"},
        {key + u"\\HELPDIR", folder},
    };
}

// Each key that registration creates at the top, for removal.
std::vector<std::u16string> TopKeys(const ClassIdentity& identity) {
    std::vector<std::u16string> keys = {identity.ProgId(), u"CLSID\\" + identity.classId};
    for (const InterfaceEntry& entry : Interfaces(identity)) {
        keys.push_back(u"Interface\\" + entry.id);
    }
    keys.push_back(u"TypeLib\\" + identity.typeLibrary.id);
    return keys;
}

// The registry's two views on 64-bit Windows: 64-bit programs read the first,
// 32-bit programs the second (below Wow6432Node where a key is redirected).
// Where a key is shared between them both name the same key.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

LSTATUS WriteKey(HKEY root, REGSAM view, const KeyValues& key) {
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
    std::vector<KeyValues> keys = ClassKeys(identity, program);
    const std::vector<KeyValues> libraryKeys = TypeLibraryKeys(identity, program);
    keys.insert(keys.end(), libraryKeys.begin(), libraryKeys.end());
    for (const REGSAM view : kViews) {
        for (const KeyValues& key : keys) {
            if (const LSTATUS status = WriteKey(hive.root, view, key); status != ERROR_SUCCESS) {
                DeleteKeys(hive.root, TopKeys(identity));
                return Refused(identity, hive, status, true);
            }
        }
    }
    return {0, identity.ProgId() + u": registriert unter " + hive.name +
                   u", 32- und 64-Bit-Ansicht (LocalServer32 \"" + program + u"\", Typbibliothek " +
                   identity.typeLibrary.name + u" " + LibraryVersion(identity.typeLibrary) + u")."};
}

RegistrationResult Remove(const ClassIdentity& identity, const Hive& hive) {
    const LSTATUS status = DeleteKeys(hive.root, TopKeys(identity));
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
