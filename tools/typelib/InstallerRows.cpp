#include "tools/typelib/InstallerRows.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "automation/ComRegistryKeys.h"
#include "common/Text.h"

namespace trx {

namespace {

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
    std::string name;  // empty: the key's default value; "*": the key alone
    std::string value;
};

// The rows of the keys that /RegServer writes (ComServerKeys), with the
// installed program's path and folder as Windows Installer formats them.
std::vector<Row> Rows(const ClassIdentity& identity, const std::string& program,
                      const std::string& folder) {
    const std::u16string path = FromUtf8(program);
    const std::u16string quoted = u"\"" + path + u"\"";
    const std::u16string directory = FromUtf8(folder);
    // Everything but the installed path (alone, quoted, or with the number
    // of the program's 32-bit type library) is text of the identity.
    const auto value = [&](const std::u16string& text) {
        return text.starts_with(path) || text == quoted || text == directory
                   ? ToUtf8(text)
                   : Literal(ToUtf8(text));
    };
    std::vector<Row> rows;
    // The keys at the top go at removal with all below them, as
    // /UnRegServer removes them, whatever Windows Installer does with keys
    // that its removal leaves empty.
    for (const std::u16string& key : ComServerTopKeys(identity)) {
        rows.push_back({ToUtf8(key), "*", ""});
    }
    for (const ComRegistryKey& key : ComServerKeys(identity, path, directory)) {
        const std::string name = ToUtf8(key.path);
        if (!key.defaultValue.empty()) {
            rows.push_back({name, "", value(key.defaultValue)});
        } else if (key.named.empty()) {
            // An empty key: created with the component, removed with it.
            rows.push_back({name, "*", ""});
        }
        for (const auto& [valueName, text] : key.named) {
            rows.push_back({name, ToUtf8(valueName), value(text)});
        }
    }
    return rows;
}

}  // namespace

std::string InstallerSource(const ClassIdentity& identity) {
    const std::string className = ToUtf8(identity.className);
    const std::string classId = ToUtf8(identity.classId);
    const std::string file = ToUtf8(identity.versionResource.originalFilename);
    const std::string fileId = className + ".exe";
    const std::vector<Row> rows = Rows(identity, "[#" + fileId + "]", "[INSTALLFOLDER]");

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
        bool keyPath = true;  // the first value
        for (const Row& row : rows) {
            out += "        <RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\" + Xml(row.key) +
                   "\"";
            if (!row.name.empty()) {
                out += " Name=\"" + Xml(row.name) + "\"";
            }
            // The rows named "*" have no value: an empty one, which Windows
            // Installer stores as none.
            out += " Type=\"string\" Value=\"" + Xml(row.value) + "\"";
            if (keyPath && row.name != "*") {
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
