#include "automation/dbus/Introspection.h"

#include "automation/dbus/DBusType.h"
#include "platform/qt/QtText.h"

#include <QTextStream>
#include <QXmlStreamReader>

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

void Annotate(QTextStream& out, const QString& indent, const QString& name,
              const std::u16string& value) {
    Annotate(out, indent, name, ToQString(value));
}

void AnnotateTypeLibrary(QTextStream& out, const QString& indent,
                         const TypeLibraryIdentity& library) {
    Annotate(out, indent, QStringLiteral("TypeLibrary.Name"), library.name);
    Annotate(out, indent, QStringLiteral("TypeLibrary.Version"),
             QStringLiteral("%1.%2").arg(library.majorVersion).arg(library.minorVersion));
    Annotate(out, indent, QStringLiteral("TypeLibrary.Id"), library.id);
    if (!library.helpText.empty()) {
        Annotate(out, indent, QStringLiteral("TypeLibrary.HelpText"), library.helpText);
    }
    if (!library.locale.empty()) {
        Annotate(out, indent, QStringLiteral("TypeLibrary.Locale"), library.locale);
    }
}

// Writes the D-Bus arguments of param (a record set has two) on lines of
// their own.
void WriteArgs(QTextStream& out, const ParamInfo& param, const char* direction) {
    const QString type = DBusTypeAnnotation(param.type);
    for (const auto& arg : DBusArgs(param)) {
        out << "      <arg name=\"" << Escaped(arg.name) << "\" type=\"" << arg.signature << "\"";
        if (direction != nullptr) {
            out << " direction=\"" << direction << "\"";
        }
        if (!param.IsOptional() && type.isEmpty()) {
            out << "/>\n";
            continue;
        }
        out << ">";
        if (param.IsOptional()) {
            out << "<annotation name=\"TRX.Automation.Optional\" value=\""
                << Escaped(DBusText(*param.defaultValue)) << "\"/>";
        }
        if (!type.isEmpty()) {
            out << "<annotation name=\"TRX.Automation.Type\" value=\"" << type << "\"/>";
        }
        out << "</arg>\n";
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

QString IntrospectClassObject(const ClassDescription& served, const QStringList& children) {
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
    if (id.HasEvents()) {
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
    if (resource.oleSelfRegister) {
        Annotate(out, indent, QStringLiteral("VersionResource.OLESelfRegister"),
                 QStringLiteral("true"));
    }
    out << "    <method name=\"CreateInstance\"><arg name=\"object\" type=\"o\" "
           "direction=\"out\"/></method>\n";
    out << "  </interface>\n";
    WriteChildren(out, children);
    out << "</node>\n";
    out.flush();
    return xml;
}

QString IntrospectServedObject(const ClassDescription& served) {
    const auto& id = served.identity;
    QString xml;
    QTextStream out(&xml);
    out << kDocType << "<node>\n" << kStandardInterfaces << kPropertiesInterface;
    out << "  <interface name=\"" << kObjectInterface
        << "\">\n    <method name=\"Release\"/>\n  </interface>\n";

    out << "  <interface name=\"" << ToQString(id.DefaultInterface()) << "\">\n";
    const QString indent = QStringLiteral("    ");
    Annotate(out, indent, QStringLiteral("Interface"), id.InterfaceName());
    Annotate(out, indent, QStringLiteral("InterfaceId"), id.interfaceId);
    Annotate(out, indent, QStringLiteral("Alias"), id.aliasName);
    Annotate(out, indent, QStringLiteral("AliasId"), id.aliasId);
    Annotate(out, indent, QStringLiteral("Class"), id.className);
    Annotate(out, indent, QStringLiteral("ClassId"), id.classId);
    for (const auto& [flag, set] :
         {std::pair{QStringLiteral("Dual"), id.flags.dual},
          std::pair{QStringLiteral("Hidden"), id.flags.hidden},
          std::pair{QStringLiteral("NonExtensible"), id.flags.nonExtensible}}) {
        if (set) {
            Annotate(out, indent, flag, QStringLiteral("true"));
        }
    }
    AnnotateTypeLibrary(out, indent, id.typeLibrary);
    for (const auto& method : served.methods) {
        out << "    <method name=\"" << ToQString(method.name) << "\">\n";
        Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                 FormatDispatchId(method.dispatchId));
        for (const auto& param : method.params) {
            WriteArgs(out, param, "in");
        }
        WriteArgs(out, method.result, "out");
        out << "    </method>\n";
    }
    for (const auto& property : served.properties) {
        out << "    <property name=\"" << ToQString(property.name) << "\" type=\""
            << DBusSignature(property.type) << "\" access=\""
            << (property.put ? "readwrite" : "read") << "\">\n";
        Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                 FormatDispatchId(property.dispatchId));
        if (const QString type = DBusTypeAnnotation(property.type); !type.isEmpty()) {
            Annotate(out, QStringLiteral("      "), QStringLiteral("Type"), type);
        }
        out << "    </property>\n";
    }
    out << "  </interface>\n";

    if (!served.events.empty()) {
        out << "  <interface name=\"" << ToQString(id.EventInterface()) << "\">\n";
        Annotate(out, indent, QStringLiteral("Interface"), id.EventInterfaceName());
        Annotate(out, indent, QStringLiteral("InterfaceId"), id.eventInterfaceId);
        for (const auto& event : served.events) {
            out << "    <signal name=\"" << ToQString(event.name) << "\">\n";
            Annotate(out, QStringLiteral("      "), QStringLiteral("DispId"),
                     FormatDispatchId(event.dispatchId));
            for (const auto& arg : event.args) {
                WriteArgs(out, arg, nullptr);
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

namespace {

// The identity that a programmatic identifier or default interface names.
ClassIdentity NamedBy(const QString& library, const QString& className) {
    ClassIdentity identity;
    identity.typeLibrary.name = FromQString(library);
    identity.className = FromQString(className);
    return identity;
}

}  // namespace

QString DefaultInterfaceOf(const QString& progId) {
    const auto dot = progId.indexOf(u'.');
    return ToQString(NamedBy(progId.left(dot), progId.mid(dot + 1)).DefaultInterface());
}

QString EventInterfaceOf(const QString& defaultInterface) {
    const auto dot = defaultInterface.indexOf(QStringLiteral("._"));
    return ToQString(
        NamedBy(defaultInterface.left(dot), defaultInterface.mid(dot + 2)).EventInterface());
}

IntrospectedObject ReadIntrospection(const QString& xml, const QString& interface) {
    IntrospectedObject info;
    const QString eventInterface = EventInterfaceOf(interface);
    QXmlStreamReader reader(xml);
    QString current;
    IntrospectedMethod* method = nullptr;
    IntrospectedProperty* property = nullptr;
    QStringList outs;
    QString argType;
    QString argAnnotation;
    bool argOut = false;
    bool argOptional = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto name = reader.name();
        if (reader.isStartElement()) {
            const auto attrs = reader.attributes();
            const auto value = [&attrs](const char* key) {
                return attrs.value(QLatin1String(key)).toString();
            };
            if (name == u"interface") {
                current = value("name");
            } else if (name == u"method" && current == interface) {
                method = &info.methods[value("name")];
                outs.clear();
            } else if (name == u"arg" && method != nullptr) {
                argType = value("type");
                argOut = value("direction") == u"out";
                argOptional = false;
                argAnnotation.clear();
            } else if (name == u"annotation" && (method != nullptr || property != nullptr)) {
                if (value("name") == u"TRX.Automation.Optional") {
                    argOptional = true;
                } else if (value("name") == u"TRX.Automation.Type") {
                    argAnnotation = value("value");
                    if (property != nullptr) {
                        property->type = TypeOfDBus(argType, argAnnotation);
                    }
                }
            } else if (name == u"property" && current == interface) {
                property = &info.properties[value("name")];
                argType = value("type");
                property->type = TypeOfDBus(argType);
                property->writable = value("access") == u"readwrite";
            } else if (name == u"signal" && current == eventInterface) {
                info.events << value("name");
            }
        } else if (reader.isEndElement()) {
            if (name == u"arg" && method != nullptr) {
                if (argOut) {
                    outs << argType;
                } else {
                    method->in.push_back(TypeOfDBus(argType, argAnnotation));
                    if (!argOptional) {
                        method->required = method->in.size();
                    }
                }
            } else if (name == u"method" && method != nullptr) {
                method->result = outs.isEmpty() ? std::optional(ValueType::Empty)
                                                : TypeOfDBus(outs.join(QString()));
                method = nullptr;
            } else if (name == u"property") {
                property = nullptr;
            }
        }
    }
    return info;
}

}  // namespace trx
