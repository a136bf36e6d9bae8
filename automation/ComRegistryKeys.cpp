#include "automation/ComRegistryKeys.h"

#include "common/Text.h"

namespace trx {

namespace {

// The automation marshaller, which marshals a dual interface by its type
// library.
constexpr char16_t kAutomationMarshaller[] = u"{00020424-0000-0000-C000-000000000046}";
// The marshaller of a dispinterface: IDispatch's own.
constexpr char16_t kDispatchMarshaller[] = u"{00020420-0000-0000-C000-000000000046}";

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

std::u16string LibraryVersion(const TypeLibraryIdentity& library) {
    return FromUtf8(std::to_string(library.majorVersion) + "." +
                    std::to_string(library.minorVersion));
}

}  // namespace

std::vector<ComRegistryKey> ComServerKeys(const ClassIdentity& identity,
                                          const std::u16string& program,
                                          const std::u16string& folder) {
    const std::u16string progId = identity.ProgId();
    const std::u16string clsid = u"CLSID\\" + identity.classId;
    const TypeLibraryIdentity& library = identity.typeLibrary;
    const std::u16string libraryVersion = LibraryVersion(library);
    std::vector<ComRegistryKey> keys = {
        {progId, progId},
        {progId + u"\\CLSID", identity.classId},
        {clsid, progId},
        {clsid + u"\\ProgID", progId},
        {clsid + u"\\LocalServer32", u"\"" + program + u"\""},
        {clsid + u"\\TypeLib", library.id},
        {clsid + u"\\VERSION", libraryVersion},
        {clsid + u"\\Programmable", u""},
    };
    for (const auto& [id, name, marshaller] : Interfaces(identity)) {
        const std::u16string key = u"Interface\\" + id;
        keys.push_back({key, name});
        keys.push_back({key + u"\\ProxyStubClsid", marshaller});
        keys.push_back({key + u"\\ProxyStubClsid32", marshaller});
        keys.push_back({key + u"\\TypeLib", library.id, {{u"Version", libraryVersion}}});
    }
    // The type library's own keys, as RegisterTypeLib writes them, under both
    // platforms: a 32-bit client's automation marshaller looks for the
    // library under win32, a 64-bit one's under win64. Each program carries
    // the library twice, laid out for 64-bit (resource 1) and for 32-bit
    // (resource 2). Filed under the neutral locale, where the marshaller
    // looks whatever its own.
    const std::u16string typeLib = u"TypeLib\\" + library.id + u"\\" + libraryVersion;
    keys.push_back({typeLib, library.helpText.empty() ? library.name : library.helpText});
    keys.push_back({typeLib + u"\\0\\win32", program + u"\\2"});
    keys.push_back({typeLib + u"\\0\\win64", program});
    keys.push_back({typeLib + u"\\FLAGS", u"0"});
    keys.push_back({typeLib + u"\\HELPDIR", folder});
    return keys;
}

std::vector<std::u16string> ComServerTopKeys(const ClassIdentity& identity) {
    std::vector<std::u16string> keys = {identity.ProgId(), u"CLSID\\" + identity.classId};
    for (const InterfaceEntry& entry : Interfaces(identity)) {
        keys.push_back(u"Interface\\" + entry.id);
    }
    keys.push_back(u"TypeLib\\" + identity.typeLibrary.id);
    return keys;
}

}  // namespace trx
