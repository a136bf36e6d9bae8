#pragma once

#include <string>
#include <utility>
#include <vector>

namespace trx {

// The fields of a program's version resource, published with its class.
struct VersionResource {
    std::u16string companyName;
    std::u16string productName;
    std::u16string internalName;
    std::u16string originalFilename;
    std::u16string fileVersion = u"1.00";
    std::u16string productVersion = u"1.00";
    std::u16string language = u"0407";  // German, Unicode
    bool oleSelfRegister = true;
};

struct TypeLibraryIdentity {
    std::u16string name;  // "vxRegCPX"; also the prefix of the interface names
    int majorVersion = 1;
    int minorVersion = 0;
    std::u16string id;        // GUID
    std::u16string helpText;  // may be empty
    std::u16string locale;    // LCID in decimal, empty when the library has none
};

// The attributes of a class's default interface.
struct InterfaceFlags {
    bool dual = true;
    bool hidden = true;
    bool nonExtensible = true;
};

// Everything by which clients know a class. GUIDs are written in braces,
// upper case; once chosen they never change, since clients bind to them.
struct ClassIdentity {
    std::u16string className;  // "CPXFile"
    std::u16string classId;
    std::u16string interfaceId;  // of the default interface _<class>
    std::u16string aliasName;    // "CPXFile___v0"
    std::u16string aliasId;
    std::u16string eventInterfaceId;  // of __<class>; empty when the class raises no events
    // Further dual interfaces of the type library that clients receive (id,
    // name), registered to be marshalled like the default one; the program
    // that serves them fills them in.
    std::vector<std::pair<std::u16string, std::u16string>> otherInterfaces = {};
    TypeLibraryIdentity typeLibrary;
    VersionResource versionResource;
    InterfaceFlags flags = {};

    std::u16string ProgId() const { return typeLibrary.name + u'.' + className; }
    std::u16string InterfaceName() const { return u"_" + className; }
    std::u16string EventInterfaceName() const { return u"__" + className; }
    // The interfaces qualified by their library: "vxRegCPX._CPXFile".
    std::u16string DefaultInterface() const { return typeLibrary.name + u'.' + InterfaceName(); }
    std::u16string EventInterface() const { return typeLibrary.name + u'.' + EventInterfaceName(); }
    bool HasEvents() const { return !eventInterfaceId.empty(); }
};

}  // namespace trx
