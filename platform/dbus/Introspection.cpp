#include "platform/dbus/Introspection.h"

#include <QTextStream>

namespace trx {
namespace {

const QString kDocType = QStringLiteral(
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n");

const QString kStandardInterfaces = QStringLiteral(
    "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
    "    <method name=\"Introspect\"><arg name=\"xml_data\" type=\"s\" "
    "direction=\"out\"/></method>\n"
    "  </interface>\n"
    "  <interface name=\"org.freedesktop.DBus.Peer\">\n"
    "    <method name=\"Ping\"/>\n"
    "    <method name=\"GetMachineId\"><arg name=\"machine_uuid\" type=\"s\" "
    "direction=\"out\"/></method>\n"
    "  </interface>\n");

const QString kPropertiesInterface = QStringLiteral(
    "  <interface name=\"org.freedesktop.DBus.Properties\">\n"
    "    <method name=\"Get\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" "
    "direction=\"out\"/></method>\n"
    "    <method name=\"Set\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" "
    "direction=\"in\"/></method>\n"
    "    <method name=\"GetAll\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"props\" type=\"a{sv}\" direction=\"out\"/></method>\n"
    "  </interface>\n");

QString Escaped(const QString& text) {
    QString out = text.toHtmlEscaped();
    out.replace(u'\'', QStringLiteral("&apos;"));
    return out;
}

void Annotate(QTextStream& out, const QString& indent, const QString& name, const QString& value) {
    out << indent << "<annotation name=\"TRX.Automation." << name << "\" value=\"" << Escaped(value)
        << "\"/>\n";
}

void AnnotateTypeLibrary(QTextStream& out, const QString& indent,
                         const TypeLibraryIdentity& library) {
    Annotate(out, indent, QStringLiteral("TypeLibrary.Name"), library.name);
    Annotate(out, indent, QStringLiteral("TypeLibrary.Version"),
             QStringLiteral("%1.%2").arg(library.majorVersion).arg(library.minorVersion));
    Annotate(out, indent, QStringLiteral("TypeLibrary.Id"), library.id);
    if (!library.helpText.isEmpty()) {
        Annotate(out, indent, QStringLiteral("TypeLibrary.HelpText"), library.helpText);
    }
    if (!library.locale.isEmpty()) {
        Annotate(out, indent, QStringLiteral("TypeLibrary.Locale"), library.locale);
    }
}

void WriteArg(QTextStream& out, const ArgSpec& arg, const char* direction) {
    out << "<arg name=\"" << Escaped(arg.name) << "\" type=\"" << arg.signature << "\"";
    if (direction != nullptr) {
        out << " direction=\"" << direction << "\"";
    }
    if (arg.IsOptional()) {
        out << "><annotation name=\"TRX.Automation.Optional\" value=\""
            << Escaped(arg.defaultValue.toString()) << "\"/></arg>";
    } else {
        out << "/>";
    }
}

void WriteChildren(QTextStream& out, const QStringList& children) {
    for (const auto& child : children) {
        out << "  <node name=\"" << Escaped(child) << "\"/>\n";
    }
}

}  // namespace

QString FormatDispatchId(std::uint32_t id) {
    if (id < 0x10000U) {
        return QString::number(id);
    }
    return QStringLiteral("0x") + QString::number(id, 16).toUpper().rightJustified(8, u'0');
}

QString IntrospectClassObject(const AutomationClass& served, const QStringList& children) {
    const auto& id = served.identity;
    const auto& resource = id.versionResource;
    QString xml;
    QTextStream out(&xml);
    out << kDocType << "<node>\n" << kStandardInterfaces;
    out << "  <interface name=\"" << kClassFactoryInterface << "\">\n";
    const QString indent = QStringLiteral("    ");
    Annotate(out, indent, QStringLiteral("ProgId"), id.ProgId());
    Annotate(out, indent, QStringLiteral("Class"), id.className);
    Annotate(out, indent, QStringLiteral("ClassId"), id.classId);
    Annotate(out, indent, QStringLiteral("Interface"), id.DefaultInterface());
    Annotate(out, indent, QStringLiteral("InterfaceId"), id.interfaceId);
    Annotate(out, indent, QStringLiteral("Alias"), id.aliasName);
    Annotate(out, indent, QStringLiteral("AliasId"), id.aliasId);
    if (!id.eventInterfaceId.isEmpty()) {
        Annotate(out, indent, QStringLiteral("EventInterface"), id.EventInterface());
        Annotate(out, indent, QStringLiteral("EventInterfaceId"), id.eventInterfaceId);
    }
    AnnotateTypeLibrary(out, indent, id.typeLibrary);
    Annotate(out, indent, QStringLiteral("VersionResource.CompanyName"), resource.companyName);
    Annotate(out, indent, QStringLiteral("VersionResource.ProductName"), resource.productName);
    Annotate(out, indent, QStringLiteral("VersionResource.InternalName"), resource.internalName);
    Annotate(out, indent, QStringLiteral("VersionResource.OriginalFilename"),
             resource.originalFilename);
    Annotate(out, indent, QStringLiteral("VersionResource.FileVersion"), resource.fileVersion);
    Annotate(out, indent, QStringLiteral("VersionResource.ProductVersion"),
             resource.productVersion);
    Annotate(out, indent, QStringLiteral("VersionResource.Language"), resource.language);
    Annotate(out, indent, QStringLiteral("VersionResource.CharacterSet"),
             QStringLiteral("Unicode"));
    Annotate(out, indent, QStringLiteral("VersionResource.OLESelfRegister"),
             QStringLiteral("true"));
    out << "    <method name=\"CreateInstance\"><arg name=\"object\" type=\"o\" "
           "direction=\"out\"/></method>\n";
    out << "  </interface>\n";
    WriteChildren(out, children);
    out << "</node>\n";
    out.flush();
    return xml;
}

QString IntrospectServedObject(const AutomationClass& served) {
    const auto& id = served.identity;
    QString xml;
    QTextStream out(&xml);
    out << kDocType << "<node>\n" << kStandardInterfaces << kPropertiesInterface;
    out << "  <interface name=\"" << kObjectInterface
        << "\">\n    <method name=\"Release\"/>\n  </interface>\n";

    out << "  <interface name=\"" << id.DefaultInterface() << "\">\n";
    const QString indent = QStringLiteral("    ");
    Annotate(out, indent, QStringLiteral("Interface"), QStringLiteral("_") + id.className);
    Annotate(out, indent, QStringLiteral("InterfaceId"), id.interfaceId);
    Annotate(out, indent, QStringLiteral("Alias"), id.aliasName);
    Annotate(out, indent, QStringLiteral("AliasId"), id.aliasId);
    Annotate(out, indent, QStringLiteral("Class"), id.className);
    Annotate(out, indent, QStringLiteral("ClassId"), id.classId);
    Annotate(out, indent, QStringLiteral("Dual"), QStringLiteral("true"));
    Annotate(out, indent, QStringLiteral("Hidden"), QStringLiteral("true"));
    Annotate(out, indent, QStringLiteral("NonExtensible"), QStringLiteral("true"));
    AnnotateTypeLibrary(out, indent, id.typeLibrary);
    for (const auto& method : served.methods) {
        out << "    <method name=\"" << method.name << "\">\n";
        Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                 FormatDispatchId(method.dispatchId));
        for (const auto& arg : method.in) {
            out << "      ";
            WriteArg(out, arg, "in");
            out << "\n";
        }
        if (!method.result.signature.isEmpty()) {
            out << "      ";
            WriteArg(out, method.result, "out");
            out << "\n";
        }
        for (const auto& more : method.moreResults) {
            out << "      ";
            WriteArg(out, more, "out");
            out << "\n";
        }
        out << "    </method>\n";
    }
    for (const auto& property : served.properties) {
        out << "    <property name=\"" << property.name << "\" type=\"" << property.signature
            << "\" access=\"" << (property.set ? "readwrite" : "read") << "\">\n";
        Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                 FormatDispatchId(property.dispatchId));
        if (property.date) {
            Annotate(out, QStringLiteral("      "), QStringLiteral("Type"), QStringLiteral("Date"));
        }
        out << "    </property>\n";
    }
    out << "  </interface>\n";

    if (!served.events.empty()) {
        out << "  <interface name=\"" << id.EventInterface() << "\">\n";
        Annotate(out, indent, QStringLiteral("Interface"), QStringLiteral("__") + id.className);
        Annotate(out, indent, QStringLiteral("InterfaceId"), id.eventInterfaceId);
        for (const auto& event : served.events) {
            out << "    <signal name=\"" << event.name << "\">\n";
            Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                     FormatDispatchId(event.dispatchId));
            for (const auto& arg : event.args) {
                out << "      ";
                WriteArg(out, arg, nullptr);
                out << "\n";
            }
            out << "    </signal>\n";
        }
        out << "  </interface>\n";
    }
    out << "</node>\n";
    out.flush();
    return xml;
}

QString IntrospectInnerNode(const QStringList& children) {
    QString xml;
    QTextStream out(&xml);
    out << kDocType << "<node>\n" << kStandardInterfaces;
    WriteChildren(out, children);
    out << "</node>\n";
    out.flush();
    return xml;
}

}  // namespace trx
