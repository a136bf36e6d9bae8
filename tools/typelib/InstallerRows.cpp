#include "tools/typelib/InstallerRows.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace trx {

namespace {

// The automation marshaller (a dual interface by its type library) and
// IDispatch's own (a dispinterface).
constexpr std::string_view kAutomationMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr std::string_view kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

std::string Xml(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Windows Installer reads [ and ] in a value as a property reference; a
// literal one is written [\[] and [\]].
std::string Literal(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '[') {
            out += "[\\[]";
        } else if (c == ']') {
            out += "[\\]]";
        } else {
            out += c;
        }
    }
    return out;
}

// A component's GUID must stay the same from one package to the next so
// that an upgrade and the removal find it: made from the class's GUID and
// the component's role by FNV-1a, in the form of a name-based GUID.
std::string ComponentGuid(std::string_view classId, std::string_view role) {
    std::uint64_t halves[2] = {0xcbf29ce484222325ULL, 0x84222325cbf29ce4ULL};
    for (std::uint64_t& hash : halves) {
        for (const char c : std::string(classId) + '/' + std::string(role)) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        halves[1] ^= halves[0];
    }
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX",
                  static_cast<unsigned>(halves[0] >> 32),
                  static_cast<unsigned>((halves[0] >> 16) & 0xFFFF),
                  static_cast<unsigned>((halves[0] & 0x0FFF) | 0x5000),
                  static_cast<unsigned>(((halves[1] >> 48) & 0x3FFF) | 0x8000),
                  static_cast<unsigned long long>(halves[1] & 0xFFFFFFFFFFFFULL));
    return text;
}

struct Row {
    std::string key;
    std::string name;  // empty: the key's default value
    std::string value;
};

std::vector<Row> Rows(const ClassIdentity& identity, const std::string& program) {
    const std::string progId = ToUtf8(identity.ProgId());
    const std::string classId = ToUtf8(identity.classId);
    const TypeLibraryIdentity& library = identity.typeLibrary;
    const std::string libraryId = ToUtf8(library.id);
    const std::string libraryVersion =
        std::to_string(library.majorVersion) + "." + std::to_string(library.minorVersion);
    const std::string clsid = "CLSID\\" + classId;
    std::vector<Row> rows = {
        {progId, "", Literal(progId)},
        {progId + "\\CLSID", "", Literal(classId)},
        {clsid, "", Literal(progId)},
        {clsid + "\\ProgID", "", Literal(progId)},
        {clsid + "\\LocalServer32", "", "\"" + program + "\""},
        {clsid + "\\TypeLib", "", Literal(libraryId)},
        {clsid + "\\VERSION", "", Literal(libraryVersion)},
        // An empty key: Windows Installer creates it and removes it with the
        // component.
        {clsid + "\\Programmable", "+", ""},
    };
    std::vector<std::pair<std::u16string, std::u16string>> interfaces = {
        {identity.interfaceId, identity.InterfaceName()}, {identity.aliasId, identity.aliasName}};
    interfaces.insert(interfaces.end(), identity.otherInterfaces.begin(),
                      identity.otherInterfaces.end());
    const auto addInterface = [&](const std::u16string& id, const std::u16string& name,
                                  std::string_view marshaller) {
        const std::string key = "Interface\\" + ToUtf8(id);
        rows.push_back({key, "", Literal(ToUtf8(name))});
        rows.push_back({key + "\\ProxyStubClsid", "", Literal(marshaller)});
        rows.push_back({key + "\\ProxyStubClsid32", "", Literal(marshaller)});
        rows.push_back({key + "\\TypeLib", "", Literal(libraryId)});
        rows.push_back({key + "\\TypeLib", "Version", Literal(libraryVersion)});
    };
    for (const auto& [id, name] : interfaces) {
        addInterface(id, name, kAutomationMarshaller);
    }
    if (identity.HasEvents()) {
        addInterface(identity.eventInterfaceId, identity.EventInterfaceName(), kDispatchMarshaller);
    }
    const std::string typeLib = "TypeLib\\" + libraryId + "\\" + libraryVersion;
    const std::u16string help = library.helpText.empty() ? library.name : library.helpText;
    rows.push_back({typeLib, "", Literal(ToUtf8(help))});
    // The type library is the program's resource; both kinds of client find it.
    rows.push_back({typeLib + "\\0\\win32", "", program});
    rows.push_back({typeLib + "\\0\\win64", "", program});
    rows.push_back({typeLib + "\\FLAGS", "", "0"});
    rows.push_back({typeLib + "\\HELPDIR", "", "[INSTALLFOLDER]"});
    return rows;
}

}  // namespace

std::string InstallerSource(const ClassIdentity& identity) {
    const std::string className = ToUtf8(identity.className);
    const std::string classId = ToUtf8(identity.classId);
    const std::string file = ToUtf8(identity.versionResource.originalFilename);
    const std::string fileId = className + ".exe";
    const std::vector<Row> rows = Rows(identity, "[#" + fileId + "]");

    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    out += "<!-- " + Xml(file) + " and the registration of " + Xml(ToUtf8(identity.ProgId())) +
           ", from its class description (trx-typelib wxs). -->\n";
    out += "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n  <Fragment>\n";
    out += "    <DirectoryRef Id=\"INSTALLFOLDER\">\n";
    out += "      <Component Id=\"" + className + ".File\" Guid=\"" +
           ComponentGuid(classId, "file") + "\" Win64=\"yes\">\n";
    out += "        <File Id=\"" + fileId + "\" Name=\"" + Xml(file) + "\" Source=\"" + Xml(file) +
           "\" KeyPath=\"yes\"/>\n      </Component>\n";
    for (const bool win64 : {true, false}) {
        const std::string view = win64 ? "64" : "32";
        out += "      <Component Id=\"" + className + ".Registry" + view + "\" Guid=\"" +
               ComponentGuid(classId, "registry" + view) + "\" Win64=\"" + (win64 ? "yes" : "no") +
               "\">\n";
        bool keyPath = true;
        for (const Row& row : rows) {
            out += "        <RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\" + Xml(row.key) +
                   "\"";
            if (!row.name.empty()) {
                out += " Name=\"" + Xml(row.name) + "\"";
            }
            out += " Type=\"string\"";
            if (row.name != "+") {
                out += " Value=\"" + Xml(row.value) + "\"";
            }
            if (keyPath) {
                out += " KeyPath=\"yes\"";
                keyPath = false;
            }
            out += "/>\n";
        }
        out += "      </Component>\n";
    }
    out += "    </DirectoryRef>\n";
    out += "    <ComponentGroup Id=\"" + className + ".Program\">\n";
    for (const char* part : {".File", ".Registry64", ".Registry32"}) {
        out += "      <ComponentRef Id=\"" + className + part + "\"/>\n";
    }
    out += "    </ComponentGroup>\n  </Fragment>\n</Wix>\n";
    return out;
}

}  // namespace trx
