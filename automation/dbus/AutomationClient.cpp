#include "automation/dbus/AutomationClient.h"

#include "automation/dbus/BusNames.h"
#include "automation/dbus/Introspection.h"
#include "common/AutomationError.h"
#include "platform/qt/QtText.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace trx {
namespace {

// Receives one kind of signal; QtDBus delivers signals to slots only.
class EventReceiver final : public QObject {
    Q_OBJECT
  public:
    explicit EventReceiver(std::function<void(const QVariantList&)> handler)
        : handler_(std::move(handler)) {}

  public slots:
    void Deliver(const QDBusMessage& message) { handler_(message.arguments()); }

  private:
    std::function<void(const QVariantList&)> handler_;
};

[[noreturn]] void ThrowReplyError(const QDBusMessage& reply) {
    const QVariantList args = reply.arguments();
    if (reply.errorName() == kAutomationErrorName && args.size() >= 3) {
        throw AutomationError(static_cast<std::int32_t>(args[1].toInt()),
                              FromQString(args[2].toString()), FromQString(args[0].toString()));
    }
    throw BusError(reply.errorName(), reply.errorMessage());
}

}  // namespace

BusError::BusError(QString name, QString message)
    : std::runtime_error((name + QStringLiteral(": ") + message).toStdString()),
      name_(std::move(name)),
      message_(std::move(message)) {}

QVariantList CallWithoutTimeout(const QDBusConnection& connection, const QDBusMessage& call) {
    const QDBusMessage reply = connection.call(call, QDBus::Block, AutomationClient::kNoTimeout);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        ThrowReplyError(reply);
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw BusError(QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                       QStringLiteral("no reply"));
    }
    return reply.arguments();
}

AutomationObject::AutomationObject(QDBusConnection connection, QString server, QString path,
                                   QString interface)
    : connection_(std::move(connection)),
      server_(std::move(server)),
      path_(std::move(path)),
      interface_(std::move(interface)) {}

AutomationObject::~AutomationObject() = default;
AutomationObject::AutomationObject(AutomationObject&&) noexcept = default;
AutomationObject& AutomationObject::operator=(AutomationObject&&) noexcept = default;

QVariant AutomationObject::Call(const QString& method, const QVariantList& args) const {
    auto call = QDBusMessage::createMethodCall(server_, path_, interface_, method);
    call.setArguments(args);
    const QVariantList result = CallWithoutTimeout(connection_, call);
    return result.isEmpty() ? QVariant() : result.front();
}

QVariantList AutomationObject::CallForResults(const QString& method,
                                              const QVariantList& args) const {
    auto call = QDBusMessage::createMethodCall(server_, path_, interface_, method);
    call.setArguments(args);
    return CallWithoutTimeout(connection_, call);
}

QVariant AutomationObject::Get(const QString& property) const {
    auto call = QDBusMessage::createMethodCall(server_, path_, bus::kPropertiesInterface,
                                               QStringLiteral("Get"));
    call << interface_ << property;
    const QVariantList result = CallWithoutTimeout(connection_, call);
    return result.isEmpty() ? QVariant() : result.front().value<QDBusVariant>().variant();
}

void AutomationObject::Set(const QString& property, const QVariant& value) const {
    auto call = QDBusMessage::createMethodCall(server_, path_, bus::kPropertiesInterface,
                                               QStringLiteral("Set"));
    call << interface_ << property << QVariant::fromValue(QDBusVariant(value));
    CallWithoutTimeout(connection_, call);
}

void AutomationObject::Release() const {
    CallWithoutTimeout(connection_, QDBusMessage::createMethodCall(server_, path_, kObjectInterface,
                                                                   QStringLiteral("Release")));
}

void AutomationObject::OnEvent(const QString& event,
                               std::function<void(const QVariantList&)> handler) {
    auto receiver = std::make_unique<EventReceiver>(std::move(handler));
    connection_.connect(server_, path_, EventInterfaceOf(interface_), event, receiver.get(),
                        SLOT(Deliver(QDBusMessage)));
    receivers_.push_back(std::move(receiver));
}

AutomationClient::AutomationClient(QDBusConnection connection)
    : connection_(std::move(connection)) {}

AutomationObject AutomationClient::Create(const QString& progId) const {
    const auto call = QDBusMessage::createMethodCall(
        progId, QStringLiteral("/"), kClassFactoryInterface, QStringLiteral("CreateInstance"));
    // A server that is just ending refuses the call after giving up its name;
    // the next call starts a new server.
    for (int attempt = 1;; ++attempt) {
        const QDBusMessage reply = connection_.call(call, QDBus::Block, kNoTimeout);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            return AutomationObject(connection_, reply.service(),
                                    reply.arguments().front().value<QDBusObjectPath>().path(),
                                    DefaultInterfaceOf(progId));
        }
        if (reply.type() == QDBusMessage::ErrorMessage &&
            (reply.errorName() != bus::kErrorNoServer || attempt == 3)) {
            ThrowReplyError(reply);
        }
        if (reply.type() != QDBusMessage::ErrorMessage) {
            throw BusError(QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                           QStringLiteral("no object path"));
        }
    }
}

}  // namespace trx

#include "AutomationClient.moc"
