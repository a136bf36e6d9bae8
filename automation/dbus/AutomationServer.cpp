#include "automation/dbus/AutomationServer.h"

#include "automation/dbus/CallQueue.h"
#include "automation/dbus/IdleExit.h"
#include "automation/dbus/Introspection.h"
#include "automation/dbus/MemberCalls.h"
#include "automation/dbus/ObjectTable.h"
#include "platform/qt/QtText.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>

namespace trx {
namespace {

const QString kUnknownObject = QStringLiteral("org.freedesktop.DBus.Error.UnknownObject");
const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");
const QString kNoServer = QStringLiteral("org.freedesktop.DBus.Error.NoServer");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");

QString NoSuchObject(const QString& path) {
    return QStringLiteral("No such object path '%1'").arg(path);
}

QString EndingText() {
    return QStringLiteral("The server is ending; call again to start a new one");
}

}  // namespace

// Routes each message to the class object, a served object or
// introspection, and decides when the server ends.
class AutomationServer::Router final : public QDBusVirtualObject {
  public:
    Router(QDBusConnection connection, ServerOptions options)
        : connection_(std::move(connection)),
          options_(options),
          queue_([this] { CheckLifetime(); }),
          objects_(connection_, options_, [this](auto work) { Post(std::move(work)); }),
          end_(connection_, [this] { OnIdle(); }) {}

    ~Router() override {
        if (registered_) {
            connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        }
    }

    bool Start(ClassDescription served, QString& error) {
        served_ = std::move(served);
        calls_.emplace(connection_, served_, options_);
        if (!connection_.isConnected()) {
            error = QStringLiteral("Keine Verbindung zum Sitzungsbus: ") +
                    connection_.lastError().message();
            return false;
        }
        // Every object must be reachable before a client can find the name.
        if (!connection_.registerVirtualObject(QStringLiteral("/"), this,
                                               QDBusConnection::SubPath)) {
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

    int Run() {
        CheckLifetime();
        return end_.Run();
    }

    void Post(std::function<void()> work) {
        queue_.Post(std::move(work));
        end_.Cancel();
    }

    bool CallerConnected() {
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

    QString introspect(const QString& path) const override {
        return IntrospectPath(path, QString()).value_or(QString());
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
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
            connection_.send(message.createErrorReply(kNoServer, EndingText()));
            return true;
        }
        Post([this, message] { Serve(message); });
        return true;
    }

  private:
    QString ProgId() const { return ToQString(served_.identity.ProgId()); }
    QString ClassNode() const { return u'/' + ToQString(served_.identity.className); }

    std::optional<int> ObjectNumber(const QString& path) const {
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
    std::optional<QString> IntrospectPath(const QString& path, const QString& caller) const {
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

    void Serve(const QDBusMessage& message) {
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
            // The handler may open a message box; the object may be released
            // by a call that waits behind this one, never during it.
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
                message.createErrorReply(kFailed, QString::fromLocal8Bit(error.what())));
        }
    }

    bool Refused(const QDBusMessage& message) {
        if (ending_) {
            connection_.send(message.createErrorReply(kNoServer, EndingText()));
        }
        return ending_;
    }

    void Create(const QDBusMessage& message) {
        createAttempted_ = true;
        const QString caller = message.service();
        objects_.CheckRoomFor(caller);
        const QString path = ClassNode() + u'/' + QString::number(objects_.NextNumber());
        // An AutomationError of the class fails the creation.
        auto object = served_.create(calls_->EventRaiserFor(path));
        objects_.Add(caller, std::move(object));
        connection_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    }

    bool Idle() const { return !queue_.Busy() && queue_.Empty() && objects_.Empty(); }

    void CheckLifetime() {
        if (ending_ || !Idle()) {
            end_.Cancel();
            return;
        }
        end_.Arm(createAttempted_ ? options_.linger : options_.startIdle);
    }

    void OnIdle() {
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
        for (auto& work : queue_.TakeAll()) {
            work();  // no object is left, and creation is refused now
        }
        connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        registered_ = false;
        end_.Quit(0);
    }

    QDBusConnection connection_;
    ServerOptions options_;
    ClassDescription served_;
    std::optional<MemberCalls> calls_;
    CallQueue queue_;
    ObjectTable objects_;
    IdleExit end_;
    QString caller_;  // the client of the running call
    std::chrono::steady_clock::time_point callerChecked_;
    bool callerThere_ = true;
    bool registered_ = false;
    bool ending_ = false;
    bool createAttempted_ = false;
};

AutomationServer::AutomationServer(QDBusConnection connection, ServerOptions options)
    : router_(std::make_unique<Router>(std::move(connection), options)) {}

AutomationServer::~AutomationServer() = default;

bool AutomationServer::Start(ClassDescription served, QString& error) {
    return router_->Start(std::move(served), error);
}

int AutomationServer::Run() {
    return router_->Run();
}

int AutomationServer::Serve(ClassDescription served) {
    const QString progId = ToQString(served.identity.ProgId());
    QString error;
    if (!Start(std::move(served), error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(progId), qPrintable(error));
        return 1;
    }
    return Run();
}

void AutomationServer::Post(std::function<void()> work) {
    router_->Post(std::move(work));
}

bool AutomationServer::CallerConnected() {
    return router_->CallerConnected();
}

int ServeOnSessionBus(ClassDescription served, ServerOptions options) {
    return AutomationServer(QDBusConnection::sessionBus(), options).Serve(std::move(served));
}

}  // namespace trx
