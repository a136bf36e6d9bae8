#include "automation/com/ComRegistration.h"

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "automation/com/ComValue.h"
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

// The type library's own keys, as RegisterTypeLib writes them machine-wide.
std::vector<KeyValues> TypeLibraryKeys(const ClassIdentity& identity,
                                       const std::u16string& program) {
    const TypeLibraryIdentity& library = identity.typeLibrary;
    const std::u16string key = u"TypeLib\\" + library.id + u"\\" + LibraryVersion(library);
    const std::u16string folder = program.substr(0, program.find_last_of(u'\\'));
    return {
        {key, library.helpText.empty() ? library.name : library.helpText},
        {key + u"\\0\\win64", program},
        {key + u"\\FLAGS", u"0"},
        {key + u"\\HELPDIR", folder},
    };
}

// Each key that registration creates at the top, for removal.
std::vector<std::u16string> TopKeys(const ClassIdentity& identity, bool withTypeLibrary) {
    std::vector<std::u16string> keys = {identity.ProgId(), u"CLSID\\" + identity.classId};
    for (const InterfaceEntry& entry : Interfaces(identity)) {
        keys.push_back(u"Interface\\" + entry.id);
    }
    if (withTypeLibrary) {
        keys.push_back(u"TypeLib\\" + identity.typeLibrary.id);
    }
    return keys;
}

LSTATUS WriteKey(HKEY root, const KeyValues& key) {
    const std::wstring path = L"Software\\Classes\\" + win32::Wide(key.path);
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &handle, nullptr);
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

// Removes the keys; a key that is not there is no failure. The first other
// failure, or ERROR_FILE_NOT_FOUND when none of them was there.
LSTATUS DeleteKeys(HKEY root, const std::vector<std::u16string>& keys) {
    LSTATUS result = ERROR_FILE_NOT_FOUND;
    for (const std::u16string& key : keys) {
        const std::wstring path = L"Software\\Classes\\" + win32::Wide(key);
        const LSTATUS status = RegDeleteTreeW(root, path.c_str());
        if (status == ERROR_SUCCESS) {
            RegDeleteKeyW(root, path.c_str());
        }
        if (status == ERROR_SUCCESS && result == ERROR_FILE_NOT_FOUND) {
            result = ERROR_SUCCESS;
        } else if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            return status;
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
    const bool machine = hive.root == HKEY_LOCAL_MACHINE;
    std::vector<KeyValues> keys = ClassKeys(identity, program);
    if (!machine) {
        // RegisterTypeLibForUser is not relied upon: Wine 8 registers
        // machine-wide through it. The keys are the same on Windows.
        const std::vector<KeyValues> library = TypeLibraryKeys(identity, program);
        keys.insert(keys.end(), library.begin(), library.end());
    }
    for (const KeyValues& key : keys) {
        if (const LSTATUS status = WriteKey(hive.root, key); status != ERROR_SUCCESS) {
            return Refused(identity, hive, status, true);
        }
    }
    if (machine) {
        ITypeLib* library = nullptr;
        std::wstring path = win32::Wide(program);
        HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (SUCCEEDED(result)) {
            std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
            result = RegisterTypeLib(library, path.data(), folder.data());
            library->Release();
        }
        // RegisterTypeLib files a library with a locale under that locale
        // alone; the automation marshaller looks for the neutral one (Wine
        // finds no other), so the library goes there too.
        const std::u16string& locale = identity.typeLibrary.locale;
        if (SUCCEEDED(result) && !locale.empty() && locale != u"0") {
            const std::u16string neutral = u"TypeLib\\" + identity.typeLibrary.id + u"\\" +
                                           LibraryVersion(identity.typeLibrary) + u"\\0\\win64";
            result = HRESULT_FROM_WIN32(WriteKey(hive.root, {neutral, program}));
        }
        if (FAILED(result)) {
            DeleteKeys(hive.root, TopKeys(identity, false));
            return {1, identity.ProgId() + u": Die Typbibliothek in '" + program +
                           u"' lässt sich nicht registrieren (" +
                           SystemMessage(static_cast<LSTATUS>(result)) + u")."};
        }
    }
    return {0, identity.ProgId() + u": registriert unter " + hive.name + u" (LocalServer32 \"" +
                   program + u"\", Typbibliothek " + identity.typeLibrary.name + u" " +
                   LibraryVersion(identity.typeLibrary) + u")."};
}

RegistrationResult Remove(const ClassIdentity& identity, const Hive& hive) {
    const bool machine = hive.root == HKEY_LOCAL_MACHINE;
    if (machine) {
        // Removes the library's keys and the interfaces it registered.
        UnRegisterTypeLib(GuidOf(identity.typeLibrary.id),
                          static_cast<WORD>(identity.typeLibrary.majorVersion),
                          static_cast<WORD>(identity.typeLibrary.minorVersion), 0, SYS_WIN64);
    }
    const LSTATUS status = DeleteKeys(hive.root, TopKeys(identity, true));
    if (status == ERROR_FILE_NOT_FOUND) {
        return {0, identity.ProgId() + u": war unter " + hive.name + u" nicht registriert."};
    }
    if (status != ERROR_SUCCESS) {
        return Refused(identity, hive, status, false);
    }
    return {0, identity.ProgId() + u": Registrierung unter " + hive.name + u" entfernt."};
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
