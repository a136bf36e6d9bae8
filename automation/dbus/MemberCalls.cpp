#include "automation/dbus/MemberCalls.h"

#include "automation/dbus/BusNames.h"
#include "automation/dbus/DBusType.h"
#include "automation/dbus/Introspection.h"
#include "platform/qt/QtText.h"

#include <QDBusVariant>

#include <cstdint>

namespace trx {
namespace {

const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kUnknownInterface = QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface");
const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
const QString kPropertyReadOnly = QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");

// Room for a reply's header (serial, names, signature) besides its body.
constexpr std::int64_t kHeaderAllowance = 4096;

// The in-signatures that a method answers: each count of its trailing
// optional parameters left out, the full one last.
QStringList AcceptedSignatures(const MethodInfo& method) {
    QStringList accepted;
    QString signature;
    for (std::size_t i = 0; i <= method.params.size(); ++i) {
        if (i >= method.RequiredCount()) {
            accepted.push_back(signature);
        }
        if (i < method.params.size()) {
            signature += DBusSignature(method.params[i].type);
        }
    }
    return accepted;
}

// The values that the arguments of a call carry, one per parameter given.
std::vector<Value> ValuesOf(const MethodInfo& method, const QVariantList& args) {
    std::vector<Value> values;
    qsizetype next = 0;
    for (const auto& param : method.params) {
        const auto count = DBusArgs(param).size();
        if (next + count > args.size()) {
            break;
        }
        values.push_back(FromDBus(args.mid(next, count), param.type).value());
        next += count;
    }
    return values;
}

}  // namespace

MemberCalls::MemberCalls(QDBusConnection connection, const ClassDescription& served,
                         const ServerOptions& options)
    : connection_(std::move(connection)),
      served_(served),
      options_(options),
      defaultInterface_(ToQString(served.identity.DefaultInterface())),
      eventInterface_(ToQString(served.identity.EventInterface())) {}

void MemberCalls::Fail(const QDBusMessage& message, const QString& name, const QString& text) {
    connection_.send(message.createErrorReply(name, text));
}

bool MemberCalls::CheckCreate(const QDBusMessage& message) {
    const QString interface = message.interface();
    if (!interface.isEmpty() && interface != kClassFactoryInterface) {
        Fail(message, kUnknownInterface,
             QStringLiteral("No such interface '%1' at object path '/'").arg(interface));
    } else if (message.member() != u"CreateInstance") {
        Fail(message, kUnknownMethod, QStringLiteral("No such method '%1'").arg(message.member()));
    } else if (!message.signature().isEmpty()) {
        Fail(
            message, kInvalidArgs,
            QStringLiteral("CreateInstance takes no arguments, not '%1'").arg(message.signature()));
    } else {
        return true;
    }
    return false;
}

bool MemberCalls::Serve(const QDBusMessage& message, ServedObject& object) {
    const QString interface = message.interface();
    const QString member = message.member();
    if (interface == bus::kPropertiesInterface) {
        ServeProperties(message, object);
        return false;
    }
    if (interface == kObjectInterface ||
        (interface.isEmpty() && member == u"Release" && !served_.FindMethod(u"Release"))) {
        if (member != u"Release") {
            Fail(message, kUnknownMethod, QStringLiteral("No such method '%1'").arg(member));
            return false;
        }
        if (!message.signature().isEmpty()) {
            Fail(message, kInvalidArgs, QStringLiteral("Release takes no arguments"));
            return false;
        }
        return true;
    }
    if (!interface.isEmpty() && interface != defaultInterface_) {
        Fail(message, kUnknownInterface,
             QStringLiteral("No such interface '%1' at object path '%2'")
                 .arg(interface, message.path()));
        return false;
    }
    ServeMethod(message, object);
    return false;
}

void MemberCalls::ServeMethod(const QDBusMessage& message, ServedObject& object) {
    const QString member = message.member();
    const MethodInfo* method = served_.FindMethod(FromQString(member));
    if (method == nullptr) {
        Fail(
            message, kUnknownMethod,
            QStringLiteral("No such method '%1' in interface '%2'").arg(member, defaultInterface_));
        return;
    }
    const QStringList accepted = AcceptedSignatures(*method);
    if (!accepted.contains(message.signature())) {
        QStringList shown;
        for (const auto& signature : accepted) {
            shown << u'\'' + signature + u'\'';
        }
        Fail(message, kInvalidArgs,
             QStringLiteral("%1 takes the signature %2, not '%3'")
                 .arg(member, shown.join(QStringLiteral(" or ")), message.signature()));
        return;
    }
    const auto args = WithDefaults(*method, ValuesOf(*method, message.arguments()));
    const Value result = method->call(object, args);
    QDBusMessage reply = message.createReply();
    BodyLength length;
    if (method->result.type != ValueType::Empty) {
        reply.setArguments(ToDBus(result, length));
    }
    SendReply(message, reply, length);
}

bool MemberCalls::KnownInterface(const QDBusMessage& message, const QString& interface) {
    if (!interface.isEmpty() && interface != defaultInterface_) {
        Fail(message, kUnknownInterface, QStringLiteral("No such interface '%1'").arg(interface));
        return false;
    }
    return true;
}

const PropertyInfo* MemberCalls::FindProperty(const QDBusMessage& message, const QString& interface,
                                              const QString& name) {
    if (!KnownInterface(message, interface)) {
        return nullptr;
    }
    const PropertyInfo* property = served_.FindProperty(FromQString(name));
    if (property == nullptr) {
        Fail(message, kUnknownProperty, QStringLiteral("No such property '%1'").arg(name));
    }
    return property;
}

void MemberCalls::ServeProperties(const QDBusMessage& message, ServedObject& object) {
    const QString member = message.member();
    const QString signature = message.signature();
    const QVariantList args = message.arguments();
    if (member == u"Get" && signature == signatures::kPropertyGet) {
        if (const auto* property = FindProperty(message, args[0].toString(), args[1].toString())) {
            BodyLength length;
            length.Variant(DBusSignature(property->type).toStdU16String());
            const QVariant value = ToDBus(property->get(object), length).value(0);
            SendReply(message, message.createReply(QVariant::fromValue(QDBusVariant(value))),
                      length);
        }
    } else if (member == u"Set" && signature == signatures::kPropertySet) {
        if (const auto* property = FindProperty(message, args[0].toString(), args[1].toString())) {
            const QVariant value = args[2].value<QDBusVariant>().variant();
            const QString name = ToQString(property->name);
            const QString expected = DBusSignature(property->type);
            if (!property->put) {
                Fail(message, kPropertyReadOnly,
                     QStringLiteral("Property '%1' is read-only").arg(name));
            } else if (DBusSignatureOf(value) != expected) {
                Fail(message, kInvalidArgs,
                     QStringLiteral("Property '%1' has the type '%2', not '%3'")
                         .arg(name, expected, DBusSignatureOf(value)));
            } else {
                property->put(object, FromDBus({value}, property->type).value());
                connection_.send(message.createReply());
            }
        }
    } else if (member == u"GetAll" && signature == signatures::kPropertyGetAll) {
        if (KnownInterface(message, args[0].toString())) {
            QVariantMap values;
            BodyLength length;
            length.Array(8);
            for (const auto& property : served_.properties) {
                length.Struct();
                length.Text(property.name);
                length.Variant(DBusSignature(property.type).toStdU16String());
                values.insert(ToQString(property.name),
                              ToDBus(property.get(object), length).value(0));
            }
            SendReply(message, message.createReply(QVariant::fromValue(values)), length);
        }
    } else if (member == u"Get" || member == u"Set" || member == u"GetAll") {
        Fail(message, kInvalidArgs,
             QStringLiteral("Wrong arguments '%1' for %2").arg(signature, member));
    } else {
        Fail(message, kUnknownMethod, QStringLiteral("No such method '%1'").arg(member));
    }
}

EventRaiser MemberCalls::EventRaiserFor(const QString& path) const {
    return [connection = connection_, path, interface = eventInterface_](
               const std::u16string& event, std::vector<Value> args) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, ToQString(event));
        QVariantList carried;
        for (const auto& arg : args) {
            carried << ToDBus(arg);
        }
        signal.setArguments(carried);
        QDBusConnection(connection).send(signal);
    };
}

void MemberCalls::SendError(const QDBusMessage& message, const AutomationError& error) {
    QDBusMessage reply =
        message.createErrorReply(kAutomationErrorName, ToQString(error.Description()));
    // QtDBus puts the message in front as the first argument.
    const std::u16string& source =
        error.Source().empty() ? served_.identity.typeLibrary.name : error.Source();
    reply.setArguments({QVariant::fromValue(static_cast<int>(error.Number())), ToQString(source)});
    connection_.send(reply);
}

// Sends the reply to call, or fails the call with an automation error when
// the bus could not carry it: dbus-daemon would drop this connection, and
// every client would lose its objects. body is the reply's body as counted
// while its arguments were made (never less than the bytes sent).
void MemberCalls::SendReply(const QDBusMessage& call, const QDBusMessage& reply,
                            const BodyLength& body) {
    const std::int64_t size = body.Total() + kHeaderAllowance;
    if (size > options_.maxMessageBytes) {
        throw AutomationError(
            kErrReplyTooLarge, u"",
            FromQString(QStringLiteral("Die Antwort auf %1 wäre %2 Bytes groß; der Bus trägt "
                                       "höchstens %3 Bytes.")
                            .arg(call.member())
                            .arg(size)
                            .arg(options_.maxMessageBytes)));
    }
    if (!connection_.send(reply)) {
        Fail(call, bus::kErrorFailed,
             QStringLiteral("The reply to %1 could not be sent: %2")
                 .arg(call.member(), connection_.lastError().message()));
    }
}

}  // namespace trx
