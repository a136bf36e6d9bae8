#include "automation/TypeLibrarySource.h"

#include "common/Text.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace trx {
namespace {

std::u16string IdlType(ValueType type) {
    switch (type) {
        case ValueType::Boolean:
            return u"VARIANT_BOOL";
        case ValueType::Text:
            return u"BSTR";
        case ValueType::Int32:
            return u"long";
        case ValueType::Date:
            return u"DATE";
        case ValueType::RecordSet:
            return u"IDispatch*";
        case ValueType::Empty:
            break;
    }
    throw std::logic_error("a value without a type has no IDL type");
}

std::u16string IdlDefault(const Value& value) {
    switch (TypeOf(value)) {
        case ValueType::Boolean:
            return FromUtf8(std::to_string(std::get<AutoBool>(value)));
        case ValueType::Int32:
            return FromUtf8(std::to_string(std::get<std::int32_t>(value)));
        case ValueType::Text: {
            std::u16string quoted = u"\"";
            for (const char16_t c : std::get<std::u16string>(value)) {
                if (c == u'"' || c == u'\\') {
                    quoted += u'\\';
                }
                quoted += c;
            }
            return quoted + u'"';
        }
        default:
            throw std::logic_error("no IDL default for a value of this type");
    }
}

ComParam ParamOf(const ParamInfo& param) {
    return {IdlType(param.type), param.name,
            param.IsOptional() ? IdlDefault(*param.defaultValue) : std::u16string()};
}

std::string Guid(const std::u16string& braced) {
    if (braced.size() != 38 || braced.front() != u'{' || braced.back() != u'}') {
        throw std::logic_error("not a GUID in braces: " + ToUtf8(braced));
    }
    return ToUtf8(braced.substr(1, 36));
}

std::string Id(DispatchId id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

// [attribute, ...] over lines, indented.
std::string Attributes(const std::vector<std::string>& attributes, const std::string& indent) {
    std::string out = indent + "[\n";
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        out += indent + "    " + attributes[i] + (i + 1 < attributes.size() ? ",\n" : "\n");
    }
    return out + indent + "]\n";
}

std::string Member(const ComMember& member) {
    std::string out = "        [id(" + Id(member.id) + ")";
    if (member.slot == ComSlot::PropertyGet) {
        out += ", propget";
    } else if (member.slot == ComSlot::PropertyPut) {
        out += ", propput";
    }
    if (!member.attributes.empty()) {
        out += ", " + ToUtf8(member.attributes);
    }
    out += "] HRESULT " + ToUtf8(member.name) + "(";
    std::vector<std::string> params;
    for (const ComParam& param : member.params) {
        std::string in = "[in] ";
        if (!param.defaultValue.empty()) {
            in = "[in, optional, defaultvalue(" + ToUtf8(param.defaultValue) + ")] ";
        } else if (param.optional) {
            in = "[in, optional] ";
        }
        params.push_back(in + ToUtf8(param.type) + " " + ToUtf8(param.name));
    }
    if (!member.result.empty()) {
        params.push_back("[out, retval] " + ToUtf8(member.result) + "* Result");
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        out += (i == 0 ? "" : ", ") + params[i];
    }
    return out + ");\n";
}

std::string Interface(const ComInterface& interface) {
    std::string out;
    if (!interface.comment.empty()) {
        out += "    // " + ToUtf8(interface.comment) + "\n";
    }
    std::vector<std::string> attributes = {"odl", "uuid(" + Guid(interface.id) + ")",
                                           "version(1.0)"};
    if (interface.flags.hidden) {
        attributes.push_back("hidden");
    }
    if (interface.flags.dual) {
        attributes.push_back("dual");
    }
    if (interface.flags.nonExtensible) {
        attributes.push_back("nonextensible");
    }
    attributes.push_back("oleautomation");
    out += Attributes(attributes, "    ");
    out += "    interface " + ToUtf8(interface.name) + " : IDispatch\n    {\n";
    for (const ComMember& member : interface.members) {
        out += Member(member);
    }
    return out + "    };\n\n";
}

std::string Events(const ClassDescription& description) {
    const ClassIdentity& identity = description.identity;
    std::string out =
        Attributes({"uuid(" + Guid(identity.eventInterfaceId) + ")", "hidden"}, "    ");
    out += "    dispinterface " + ToUtf8(identity.EventInterfaceName()) +
           "\n    {\n        properties:\n        methods:\n";
    for (const EventInfo& event : description.events) {
        out += "            [id(" + Id(event.dispatchId) + ")] void " + ToUtf8(event.name) + "(";
        for (std::size_t i = 0; i < event.args.size(); ++i) {
            out += (i == 0 ? "[in] " : ", [in] ") + ToUtf8(IdlType(event.args[i].type)) + " " +
                   ToUtf8(event.args[i].name);
        }
        out += ");\n";
    }
    return out + "    };\n\n";
}

// "1.00" as the four numbers of a binary version: 1,0,0,0.
std::string BinaryVersion(const std::u16string& version) {
    const std::string text = ToUtf8(version);
    const std::size_t dot = text.find('.');
    const int major = std::stoi(text.substr(0, dot));
    const int minor = dot == std::string::npos ? 0 : std::stoi(text.substr(dot + 1));
    return std::to_string(major) + "," + std::to_string(minor) + ",0,0";
}

std::string Quoted(const std::u16string& text) {
    return "\"" + ToUtf8(text) + "\"";
}

}  // namespace

ComInterface DefaultInterfaceOf(const ClassDescription& description) {
    const ClassIdentity& identity = description.identity;
    ComInterface interface {
        identity.InterfaceName(), identity.interfaceId, {}, identity.flags, {}
    };
    for (const MethodInfo& method : description.methods) {
        ComMember member{method.dispatchId,
                         method.kind == MemberKind::Method ? ComSlot::Method : ComSlot::PropertyGet,
                         method.name};
        for (const ParamInfo& param : method.params) {
            member.params.push_back(ParamOf(param));
        }
        if (method.result.type != ValueType::Empty) {
            member.result = IdlType(method.result.type);
        }
        interface.members.push_back(std::move(member));
    }
    for (const PropertyInfo& property : description.properties) {
        const std::u16string type = IdlType(property.type);
        if (property.put) {
            interface.members.push_back(
                ComPut(property.dispatchId, property.name, {type, property.putParam}));
        }
        interface.members.push_back(ComGet(property.dispatchId, property.name, type));
    }
    return interface;
}

std::string TypeLibraryIdl(const ClassDescription& description,
                           std::span<const ComInterface> others) {
    const ClassIdentity& identity = description.identity;
    const TypeLibraryIdentity& library = identity.typeLibrary;
    std::string out = "// The type library " + ToUtf8(library.name) +
                      ", made from the description of the class " + ToUtf8(identity.className) +
                      ".\n// Clients bind to its GUIDs, dispatch identifiers and slots.\n";
    out += "import \"oaidl.idl\";\n\n";
    std::vector<std::string> attributes = {"uuid(" + Guid(library.id) + ")",
                                           "version(" + std::to_string(library.majorVersion) + "." +
                                               std::to_string(library.minorVersion) + ")"};
    if (!library.locale.empty()) {
        attributes.push_back("lcid(" + ToUtf8(library.locale) + ")");
    }
    if (!library.helpText.empty()) {
        attributes.push_back("helpstring(" + Quoted(library.helpText) + ")");
    }
    out += Attributes(attributes, "");
    out += "library " + ToUtf8(library.name) + "\n{\n    importlib(\"stdole2.tlb\");\n\n";
    // Declared first, the last one first: the order that gives the library's
    // types the indices they have always had.
    for (auto other = others.rbegin(); other != others.rend(); ++other) {
        out += "    interface " + ToUtf8(other->name) + ";\n";
    }
    if (!others.empty()) {
        out += "\n";
    }
    for (const ComInterface& other : others) {
        out += Interface(other);
    }
    out += Interface(DefaultInterfaceOf(description));
    if (identity.HasEvents()) {
        out += Events(description);
    }
    out += Attributes({"uuid(" + Guid(identity.classId) + ")", "version(1.0)"}, "    ");
    out += "    coclass " + ToUtf8(identity.className) + "\n    {\n        [default] interface " +
           ToUtf8(identity.InterfaceName()) + ";\n";
    if (identity.HasEvents()) {
        out += "        [default, source] dispinterface " + ToUtf8(identity.EventInterfaceName()) +
               ";\n";
    }
    out += "    };\n\n";
    out += "    typedef [uuid(" + Guid(identity.aliasId) + "), public] " +
           ToUtf8(identity.InterfaceName()) + " " + ToUtf8(identity.aliasName) + ";\n};\n";
    return out;
}

std::string VersionResourceScript(const ClassIdentity& identity) {
    const VersionResource& resource = identity.versionResource;
    std::string out = "// The version resource of " + ToUtf8(resource.originalFilename) +
                      ", made from the identity of the class " + ToUtf8(identity.className) +
                      ".\n#include <winver.h>\n\n";
    out += "VS_VERSION_INFO VERSIONINFO\n";
    out += "FILEVERSION " + BinaryVersion(resource.fileVersion) + "\n";
    out += "PRODUCTVERSION " + BinaryVersion(resource.productVersion) + "\n";
    out +=
        "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK\nFILEFLAGS 0\nFILEOS VOS_NT_WINDOWS32\n"
        "FILETYPE VFT_APP\nFILESUBTYPE VFT2_UNKNOWN\nBEGIN\n"
        "  BLOCK \"StringFileInfo\"\n  BEGIN\n";
    out += "    BLOCK \"" + ToUtf8(resource.language) + "04B0\"\n    BEGIN\n";
    const auto value = [&out](const char* name, const std::u16string& text) {
        out += std::string("      VALUE \"") + name + "\", " + Quoted(text) + "\n";
    };
    value("CompanyName", resource.companyName);
    value("FileVersion", resource.fileVersion);
    value("ProductName", resource.productName);
    value("ProductVersion", resource.productVersion);
    value("InternalName", resource.internalName);
    value("OriginalFilename", resource.originalFilename);
    if (resource.oleSelfRegister) {
        value("OLESelfRegister", u"");
    }
    out += "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n";
    out += "    VALUE \"Translation\", 0x" + ToUtf8(resource.language) + ", 1200\n  END\nEND\n";
    return out;
}

}  // namespace trx
