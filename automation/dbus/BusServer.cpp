#include "automation/dbus/BusServer.h"

#include "automation/dbus/BusNames.h"
#include "automation/dbus/Introspection.h"
#include "platform/qt/QtText.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMetaObject>

#include <cstdio>
#include <exception>

namespace trx {
namespace {

const QString kUnknownObject = QStringLiteral("org.freedesktop.DBus.Error.UnknownObject");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");

QString NoSuchObject(const QString& path) {
    return QStringLiteral("No such object path '%1'").arg(path);
}

QString EndingText() {
    return QStringLiteral("The server is ending; call again to start a new one");
}

}  // namespace

BusServer::BusServer(QDBusConnection connection, ServerOptions options)
    : connection_(std::move(connection)),
      options_(options),
      gate_([this] { WakeGate(); }),
      objects_(connection_, options_, [this](auto work) { Post(std::move(work)); }),
      end_(connection_, [this] { OnIdle(); }),
      lifetime_(options_, end_) {}

BusServer::~BusServer() {
    if (registered_) {
        connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    }
}

int BusServer::Serve(ClassDescription served) {
    const QString progId = ToQString(served.identity.ProgId());
    QString error;
    if (!Start(std::move(served), error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(progId), qPrintable(error));
        return 1;
    }
    CheckLifetime();
    return end_.Run();
}

bool BusServer::Start(ClassDescription served, QString& error) {
    served_ = std::move(served);
    calls_.emplace(connection_, served_, options_);
    if (!connection_.isConnected()) {
        error = QStringLiteral("Keine Verbindung zum Sitzungsbus: ") +
                connection_.lastError().message();
        return false;
    }
    // Every object must be reachable before a client can find the name.
    if (!connection_.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath)) {
        error = QStringLiteral("Die Objekte konnten nicht am Bus angemeldet werden.");
        return false;
    }
    registered_ = true;
    if (!connection_.registerService(ProgId())) {
        error = QStringLiteral("Der Busname %1 ist schon vergeben.").arg(ProgId());
        return false;
    }
    return true;
}

void BusServer::Post(std::function<void()> work) {
    gate_.Post(std::move(work));
    CheckLifetime();
}

// The gate's work runs from the event loop, in one pass for all that waits.
void BusServer::WakeGate() {
    if (wakeScheduled_) {
        return;
    }
    wakeScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            wakeScheduled_ = false;
            if (gate_.RunWaiting()) {
                CheckLifetime();
            }
        },
        Qt::QueuedConnection);
}

bool BusServer::CallerConnected() {
    if (caller_.isEmpty()) {
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - callerChecked_ >= std::chrono::milliseconds(250)) {
        callerChecked_ = now;
        const auto reply = connection_.interface()->isServiceRegistered(caller_);
        callerThere_ = !reply.isValid() || reply.value();
    }
    return callerThere_;
}

QString BusServer::introspect(const QString& path) const {
    return IntrospectPath(path, QString()).value_or(QString());
}

bool BusServer::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    // Introspection touches no served object, so it is answered even while
    // a call is running (a message box is open).
    if (message.interface() == kIntrospectable && message.member() == u"Introspect") {
        auto xml = IntrospectPath(message.path(), message.service());
        connection_.send(
            xml ? message.createReply(*xml)
                : message.createErrorReply(kUnknownObject, NoSuchObject(message.path())));
        return true;
    }
    message.setDelayedReply(true);
    if (ending_) {
        connection_.send(message.createErrorReply(bus::kErrorNoServer, EndingText()));
        return true;
    }
    Post([this, message] { ServeCall(message); });
    return true;
}

QString BusServer::ProgId() const {
    return ToQString(served_.identity.ProgId());
}

QString BusServer::ClassNode() const {
    return u'/' + ToQString(served_.identity.className);
}

std::optional<int> BusServer::ObjectNumber(const QString& path) const {
    const QString prefix = ClassNode() + u'/';
    if (!path.startsWith(prefix)) {
        return std::nullopt;
    }
    const QString digits = path.mid(prefix.size());
    if (digits.isEmpty() || digits.front() == u'0') {
        return std::nullopt;
    }
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (!ok || number <= 0 || !objects_.Contains(number)) {
        return std::nullopt;
    }
    return number;
}

// A connection sees only its own objects among the children of /<class>.
std::optional<QString> BusServer::IntrospectPath(const QString& path, const QString& caller) const {
    if (path == u"/") {
        QStringList children;
        if (!objects_.Empty()) {
            children << ToQString(served_.identity.className);
        }
        return IntrospectClassObject(served_, children);
    }
    if (path == ClassNode()) {
        return IntrospectInnerNode(objects_.OwnedBy(caller));
    }
    if (ObjectNumber(path)) {
        return IntrospectServedObject(served_);
    }
    return std::nullopt;
}

void BusServer::ServeCall(const QDBusMessage& message) {
    try {
        if (message.path() == u"/") {
            if (calls_->CheckCreate(message) && !Refused(message)) {
                Create(message);
            }
            return;
        }
        const auto number = ObjectNumber(message.path());
        if (!number) {
            connection_.send(
                message.createErrorReply(kUnknownObject, NoSuchObject(message.path())));
            return;
        }
        const QString caller = message.service();
        ServedObject& object = objects_.Use(*number, caller, message.path());
        // The handler may open a message box; the object may be released by
        // a call that waits behind this one, never during it.
        caller_ = caller;
        callerChecked_ = std::chrono::steady_clock::now();
        callerThere_ = true;
        struct Clear {
            QString& caller;
            ~Clear() { caller.clear(); }
        } clear{caller_};
        if (calls_->Serve(message, object)) {
            objects_.Release(*number);
            connection_.send(message.createReply());
        }
    } catch (const AutomationError& error) {
        calls_->SendError(message, error);
    } catch (const std::exception& error) {
        connection_.send(
            message.createErrorReply(bus::kErrorFailed, QString::fromLocal8Bit(error.what())));
    }
}

bool BusServer::Refused(const QDBusMessage& message) {
    if (ending_) {
        connection_.send(message.createErrorReply(bus::kErrorNoServer, EndingText()));
    }
    return ending_;
}

void BusServer::Create(const QDBusMessage& message) {
    lifetime_.CreationAsked();
    const QString caller = message.service();
    objects_.CheckRoomFor(caller);
    const QString path = ClassNode() + u'/' + QString::number(objects_.NextNumber());
    // An AutomationError of the class fails the creation.
    auto object = served_.create(calls_->EventRaiserFor(path));
    objects_.Add(caller, std::move(object));
    connection_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
}

bool BusServer::Idle() const {
    return !gate_.Busy() && gate_.Empty() && objects_.Empty();
}

void BusServer::CheckLifetime() {
    lifetime_.Check(!ending_ && Idle());
}

void BusServer::OnIdle() {
    if (!Idle()) {
        return;
    }
    ending_ = true;
    connection_.unregisterService(ProgId());
    // A round trip to the bus after giving up the name: every call that was
    // routed here before has arrived by then, and is answered below.
    connection_.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
    QCoreApplication::processEvents();
    for (auto& work : gate_.TakeAll()) {
        work();  // no object is left, and creation is refused now
    }
    connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    registered_ = false;
    end_.Quit(0);
}

}  // namespace trx
