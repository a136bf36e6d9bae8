#include "automation/dbus/AutomationServer.h"

#include "common/AutomationError.h"
#include "automation/dbus/Introspection.h"
#include "automation/dbus/WireSize.h"
#include "platform/qt/QtText.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <optional>

namespace trx {
namespace {

const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kUnknownObject = QStringLiteral("org.freedesktop.DBus.Error.UnknownObject");
const QString kUnknownInterface = QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface");
const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
const QString kPropertyReadOnly = QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");
const QString kNoServer = QStringLiteral("org.freedesktop.DBus.Error.NoServer");
const QString kIntrospectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Room for a reply's header (serial, names, signature) besides its body.
constexpr std::int64_t kHeaderAllowance = 4096;
// Orphans released in one go; between two batches, calls that wait are served.
constexpr int kSweepBatch = 500;

// Gives a handler's result the exact D-Bus type of its signature, so that an
// adaptor may return an int for an "n" or a QString for an "s".
QVariant AsSignature(const QString& signature, const QVariant& value) {
    if (signature == u"s") {
        return value.toString();
    }
    if (signature == u"n") {
        return QVariant::fromValue(static_cast<short>(value.toInt()));
    }
    if (signature == u"i") {
        return QVariant::fromValue(value.toInt());
    }
    if (signature == u"u") {
        return QVariant::fromValue(value.toUInt());
    }
    if (signature == u"x") {
        return QVariant::fromValue(value.toLongLong());
    }
    if (signature == u"d") {
        return QVariant::fromValue(value.toDouble());
    }
    if (signature == u"b") {
        return QVariant::fromValue(value.toBool());
    }
    return value;
}

QString SignatureOf(const QVariant& value) {
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

}  // namespace

class AutomationServer::Dispatcher final : public QDBusVirtualObject {
  public:
    Dispatcher(QDBusConnection connection, AutomationClass served, ServerOptions options)
        : connection_(std::move(connection)),
          served_(std::move(served)),
          options_(options),
          watcher_(QString(), connection_, QDBusServiceWatcher::WatchForUnregistration) {
        exitTimer_.setSingleShot(true);
        QObject::connect(&exitTimer_, &QTimer::timeout, this, [this] { OnExitTimer(); });
        sweepTimer_.setSingleShot(true);
        QObject::connect(&sweepTimer_, &QTimer::timeout, this,
                         [this] { Post([this] { Sweep(); }); });
        QObject::connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
                         [this](const QString& name) { OnOwnerGone(name); });
        // A bus that goes away takes the clients with it; nothing is left to serve.
        busCheck_.setInterval(1000);
        QObject::connect(&busCheck_, &QTimer::timeout, this, [this] {
            if (!connection_.isConnected()) {
                loop_.exit(0);
            }
        });
    }

    ~Dispatcher() override {
        if (registered_) {
            connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        }
    }

    bool Start(QString& error) {
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
        if (!connection_.registerService(served_.identity.ProgId())) {
            error =
                QStringLiteral("Der Busname %1 ist schon vergeben.").arg(served_.identity.ProgId());
            return false;
        }
        return true;
    }

    int Run() {
        busCheck_.start();
        CheckLifetime();
        return loop_.exec();
    }

    void Post(std::function<void()> work) {
        queue_.push_back(std::move(work));
        exitTimer_.stop();
        if (!drainScheduled_) {
            drainScheduled_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    drainScheduled_ = false;
                    Drain();
                },
                Qt::QueuedConnection);
        }
    }

    int ObjectCount() const { return static_cast<int>(objects_.size()); }

    bool CallerConnected() {
        if (caller_.isEmpty()) {
            return true;
        }
        const auto now = Clock::now();
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

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        Q_UNUSED(connection);
        if (message.type() != QDBusMessage::MethodCallMessage) {
            return false;
        }
        // Introspection touches no served object, so it is answered even while
        // a call is running (a message box is open).
        if (message.interface() == kIntrospectable && message.member() == u"Introspect") {
            auto xml = IntrospectPath(message.path(), message.service());
            Send(xml ? message.createReply(*xml)
                     : message.createErrorReply(kUnknownObject, NoSuchObject(message.path())));
            return true;
        }
        message.setDelayedReply(true);
        if (ending_) {
            Send(message.createErrorReply(kNoServer, EndingText()));
            return true;
        }
        Post([this, message] { Serve(message); });
        return true;
    }

  private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        QString owner;  // empty while the owner is gone and the grace runs
        std::uint64_t orphanToken = 0;
        std::unique_ptr<ServedObject> object;
    };

    // An object whose owner went, due for release unless adopted meanwhile.
    struct Orphan {
        int number;
        std::uint64_t token;
        Clock::time_point due;
    };

    static QString NoSuchObject(const QString& path) {
        return QStringLiteral("No such object path '%1'").arg(path);
    }
    static QString EndingText() {
        return QStringLiteral("The server is ending; call again to start a new one");
    }

    QString ClassNode() const { return QStringLiteral("/") + served_.identity.className; }

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
        if (!ok || number <= 0 || objects_.find(number) == objects_.end()) {
            return std::nullopt;
        }
        return number;
    }

    // A connection sees only its own objects among the children of /<class>.
    std::optional<QString> IntrospectPath(const QString& path, const QString& caller) const {
        if (path == u"/") {
            QStringList children;
            if (!objects_.empty()) {
                children << served_.identity.className;
            }
            return IntrospectClassObject(served_, children);
        }
        if (path == ClassNode()) {
            QStringList children;
            for (const auto& [number, entry] : objects_) {
                if (!caller.isEmpty() && entry.owner == caller) {
                    children << QString::number(number);
                }
            }
            return IntrospectInnerNode(children);
        }
        if (ObjectNumber(path)) {
            return IntrospectServedObject(served_);
        }
        return std::nullopt;
    }

    void Send(const QDBusMessage& message) { connection_.send(message); }

    // Sends the reply to call, or fails the call with an automation error when
    // the bus could not carry it: dbus-daemon would drop this connection, and
    // every client would lose its objects.
    void SendReply(const QDBusMessage& call, const QDBusMessage& reply) {
        const auto body = MarshalledBodySize(reply.arguments());
        if (body && *body + kHeaderAllowance > options_.maxMessageBytes) {
            throw AutomationError(
                kErrReplyTooLarge, u"",
                FromQString(QStringLiteral("Die Antwort auf %1 wäre %2 Bytes groß; der Bus trägt "
                                           "höchstens %3 Bytes.")
                                .arg(call.member())
                                .arg(*body + kHeaderAllowance)
                                .arg(options_.maxMessageBytes)));
        }
        if (!connection_.send(reply)) {
            Send(call.createErrorReply(kFailed,
                                       QStringLiteral("The reply to %1 could not be sent: %2")
                                           .arg(call.member(), connection_.lastError().message())));
        }
    }

    void Drain() {
        // Inside a running call (a nested event loop) nothing else is served:
        // the outer Drain picks the work up when that call has returned.
        if (busy_) {
            return;
        }
        while (!queue_.empty()) {
            auto work = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            work();
            busy_ = false;
        }
        CheckLifetime();
    }

    void Serve(const QDBusMessage& message) {
        try {
            if (message.path() == u"/") {
                ServeClassObject(message);
                return;
            }
            const auto number = ObjectNumber(message.path());
            if (!number) {
                Send(message.createErrorReply(kUnknownObject, NoSuchObject(message.path())));
                return;
            }
            ServeObject(message, *number);
        } catch (const AutomationError& error) {
            QDBusMessage reply =
                message.createErrorReply(kAutomationErrorName, ToQString(error.Description()));
            // QtDBus puts the message in front as the first argument.
            // An error raised without a source comes from this server's own
            // library, and clients are told so.
            const QString source = error.Source().empty() ? served_.identity.typeLibrary.name
                                                          : ToQString(error.Source());
            reply.setArguments({QVariant::fromValue(static_cast<int>(error.Number())), source});
            Send(reply);
        } catch (const std::exception& error) {
            Send(message.createErrorReply(kFailed, QString::fromLocal8Bit(error.what())));
        }
    }

    void ServeClassObject(const QDBusMessage& message) {
        const QString interface = message.interface();
        if (!interface.isEmpty() && interface != kClassFactoryInterface) {
            Send(message.createErrorReply(
                kUnknownInterface,
                QStringLiteral("No such interface '%1' at object path '/'").arg(interface)));
            return;
        }
        if (message.member() != u"CreateInstance") {
            Send(message.createErrorReply(
                kUnknownMethod, QStringLiteral("No such method '%1'").arg(message.member())));
            return;
        }
        if (!message.signature().isEmpty()) {
            Send(message.createErrorReply(
                kInvalidArgs, QStringLiteral("CreateInstance takes no arguments, not '%1'")
                                  .arg(message.signature())));
            return;
        }
        if (ending_) {
            Send(message.createErrorReply(kNoServer, EndingText()));
            return;
        }
        createAttempted_ = true;
        const QString caller = message.service();
        if (!caller.isEmpty() && owned_.value(caller) >= options_.maxObjectsPerConnection) {
            throw AutomationError(
                kErrTooManyObjects, u"",
                FromQString(QStringLiteral("Diese Verbindung hält schon %1 Objekte, so viele, "
                                           "wie eine Verbindung halten darf.")
                                .arg(options_.maxObjectsPerConnection)));
        }
        const int number = nextNumber_;
        const QString path = ClassNode() + u'/' + QString::number(number);
        const QString eventInterface = served_.identity.EventInterface();
        EventEmitter raiseEvent = [this, path, eventInterface](const QString& event,
                                                               const QVariantList& args) {
            QDBusMessage signal = QDBusMessage::createSignal(path, eventInterface, event);
            signal.setArguments(args);
            Send(signal);
        };
        auto object = served_.create(raiseEvent);  // an AutomationError here fails the creation
        ++nextNumber_;
        objects_[number] = Entry{caller, 0, std::move(object)};
        Own(caller);
        Send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
    }

    void ServeObject(const QDBusMessage& message, int number) {
        Entry& entry = objects_.at(number);
        const QString caller = message.service();
        if (entry.owner.isEmpty() && !caller.isEmpty()) {
            entry.owner = caller;
            ++entry.orphanToken;
            Own(caller);
        } else if (entry.owner != caller) {
            throw AutomationError(
                kErrNotOwner, u"",
                FromQString(QStringLiteral("Das Objekt %1 gehört einer anderen Verbindung.")
                                .arg(message.path())));
        }
        const QString interface = message.interface();
        const QString member = message.member();
        if (interface == kProperties) {
            ServeProperties(message, *entry.object);
            return;
        }
        if (interface == kObjectInterface || (interface.isEmpty() && member == u"Release" &&
                                              served_.FindMethod(member) == nullptr)) {
            if (member != u"Release") {
                Send(message.createErrorReply(kUnknownMethod,
                                              QStringLiteral("No such method '%1'").arg(member)));
                return;
            }
            if (!message.signature().isEmpty()) {
                Send(message.createErrorReply(kInvalidArgs,
                                              QStringLiteral("Release takes no arguments")));
                return;
            }
            Disown(entry.owner);
            objects_.erase(number);
            Send(message.createReply());
            return;
        }
        if (!interface.isEmpty() && interface != served_.identity.DefaultInterface()) {
            Send(message.createErrorReply(
                kUnknownInterface, QStringLiteral("No such interface '%1' at object path '%2'")
                                       .arg(interface, message.path())));
            return;
        }
        const MethodSpec* method = served_.FindMethod(member);
        if (method == nullptr) {
            Send(message.createErrorReply(kUnknownMethod,
                                          QStringLiteral("No such method '%1' in interface '%2'")
                                              .arg(member, served_.identity.DefaultInterface())));
            return;
        }
        const auto accepted = method->AcceptedSignatures();
        if (!accepted.contains(message.signature())) {
            QStringList shown;
            for (const auto& signature : accepted) {
                shown << u'\'' + signature + u'\'';
            }
            Send(message.createErrorReply(
                kInvalidArgs,
                QStringLiteral("%1 takes the signature %2, not '%3'")
                    .arg(member, shown.join(QStringLiteral(" or ")), message.signature())));
            return;
        }
        QVariantList args = message.arguments();
        for (auto i = args.size(); i < method->in.size(); ++i) {
            args.push_back(AsSignature(method->in[i].signature, method->in[i].defaultValue));
        }
        // The handler may open a message box; the object may be released by a
        // call that waits behind this one, never during it.
        const QVariant result = CallFor(caller, [&] { return method->call(*entry.object, args); });
        QDBusMessage reply = message.createReply();
        if (!method->moreResults.isEmpty()) {
            const QVariantList results = result.toList();
            // One value for each declared result; a handler never adds more.
            const qsizetype count = std::min(results.size(), method->moreResults.size() + 1);
            for (qsizetype i = 0; i < count; ++i) {
                const ArgSpec& arg = i == 0 ? method->result : method->moreResults[i - 1];
                reply << AsSignature(arg.signature, results[i]);
            }
        } else if (!method->result.signature.isEmpty()) {
            reply << AsSignature(method->result.signature, result);
        }
        SendReply(message, reply);
    }

    const PropertySpec* FindProperty(const QDBusMessage& message, const QString& interface,
                                     const QString& name) {
        if (!interface.isEmpty() && interface != served_.identity.DefaultInterface()) {
            Send(message.createErrorReply(kUnknownInterface,
                                          QStringLiteral("No such interface '%1'").arg(interface)));
            return nullptr;
        }
        const PropertySpec* property = served_.FindProperty(name);
        if (property == nullptr) {
            Send(message.createErrorReply(kUnknownProperty,
                                          QStringLiteral("No such property '%1'").arg(name)));
        }
        return property;
    }

    void ServeProperties(const QDBusMessage& message, ServedObject& object) {
        const QString member = message.member();
        const QString signature = message.signature();
        const QVariantList args = message.arguments();
        if (member == u"Get" && signature == u"ss") {
            if (const auto* property =
                    FindProperty(message, args[0].toString(), args[1].toString())) {
                const QVariant value = AsSignature(property->signature, property->get(object));
                SendReply(message, message.createReply(QVariant::fromValue(QDBusVariant(value))));
            }
        } else if (member == u"Set" && signature == u"ssv") {
            if (const auto* property =
                    FindProperty(message, args[0].toString(), args[1].toString())) {
                const QVariant value = args[2].value<QDBusVariant>().variant();
                if (!property->set) {
                    Send(message.createErrorReply(
                        kPropertyReadOnly,
                        QStringLiteral("Property '%1' is read-only").arg(property->name)));
                } else if (SignatureOf(value) != property->signature) {
                    Send(message.createErrorReply(
                        kInvalidArgs,
                        QStringLiteral("Property '%1' has the type '%2', not '%3'")
                            .arg(property->name, property->signature, SignatureOf(value))));
                } else {
                    property->set(object, value);
                    Send(message.createReply());
                }
            }
        } else if (member == u"GetAll" && signature == u"s") {
            const QString interface = args[0].toString();
            if (!interface.isEmpty() && interface != served_.identity.DefaultInterface()) {
                Send(message.createErrorReply(
                    kUnknownInterface, QStringLiteral("No such interface '%1'").arg(interface)));
                return;
            }
            QVariantMap values;
            for (const auto& property : served_.properties) {
                values.insert(property.name, AsSignature(property.signature, property.get(object)));
            }
            SendReply(message, message.createReply(QVariant::fromValue(values)));
        } else if (member == u"Get" || member == u"Set" || member == u"GetAll") {
            Send(message.createErrorReply(
                kInvalidArgs,
                QStringLiteral("Wrong arguments '%1' for %2").arg(signature, member)));
        } else {
            Send(message.createErrorReply(kUnknownMethod,
                                          QStringLiteral("No such method '%1'").arg(member)));
        }
    }

    void Watch(const QString& owner) {
        if (owner.isEmpty() || watcher_.watchedServices().contains(owner)) {
            return;
        }
        watcher_.addWatchedService(owner);
        // The owner may have gone before the watch was in place.
        if (!connection_.interface()->isServiceRegistered(owner).value()) {
            OnOwnerGone(owner);
        }
    }

    // Runs a handler with caller as the client whose call is running.
    QVariant CallFor(const QString& caller, const std::function<QVariant()>& handler) {
        caller_ = caller;
        callerChecked_ = Clock::now();
        callerThere_ = true;
        struct Clear {
            QString& caller;
            ~Clear() { caller.clear(); }
        } clear{caller_};
        return handler();
    }

    void Own(const QString& owner) {
        if (!owner.isEmpty()) {
            ++owned_[owner];
            Watch(owner);
        }
    }

    void Disown(const QString& owner) {
        auto found = owned_.find(owner);
        if (found != owned_.end() && --found.value() <= 0) {
            owned_.erase(found);
        }
    }

    void OnOwnerGone(const QString& owner) {
        watcher_.removeWatchedService(owner);
        Post([this, owner] {
            owned_.remove(owner);
            const Clock::time_point due = Clock::now() + options_.orphanGrace;
            for (auto it = objects_.begin(); it != objects_.end();) {
                Entry& entry = it->second;
                if (entry.owner != owner) {
                    ++it;
                    continue;
                }
                if (options_.orphanGrace.count() <= 0) {
                    it = objects_.erase(it);
                    continue;
                }
                entry.owner.clear();
                orphans_.push_back({it->first, ++entry.orphanToken, due});
                ++it;
            }
            ArmSweep();
        });
    }

    // One timer for every orphan: the grace is the same for all, so the
    // queue is in the order of their due times.
    void ArmSweep() {
        if (orphans_.empty() || sweepTimer_.isActive()) {
            return;
        }
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(orphans_.front().due - Clock::now());
        sweepTimer_.start(std::max(wait, std::chrono::milliseconds(0)));
    }

    // Releases the orphans that are due, a batch at a time: the next batch
    // waits behind the calls that came in meanwhile.
    void Sweep() {
        const Clock::time_point now = Clock::now();
        for (int released = 0; !orphans_.empty() && orphans_.front().due <= now;) {
            if (released == kSweepBatch) {
                sweepTimer_.start(0);
                return;
            }
            const Orphan orphan = orphans_.front();
            orphans_.pop_front();
            auto found = objects_.find(orphan.number);
            if (found != objects_.end() && found->second.owner.isEmpty() &&
                found->second.orphanToken == orphan.token) {
                objects_.erase(found);
                ++released;
            }
        }
        ArmSweep();
    }

    void CheckLifetime() {
        if (ending_ || busy_ || !queue_.empty() || !objects_.empty()) {
            exitTimer_.stop();
            return;
        }
        exitTimer_.start(createAttempted_ ? options_.linger : options_.startIdle);
    }

    void OnExitTimer() {
        if (busy_ || !queue_.empty() || !objects_.empty()) {
            return;
        }
        ending_ = true;
        connection_.unregisterService(served_.identity.ProgId());
        // A round trip to the bus after giving up the name: every call that was
        // routed here before has arrived by then, and is answered below.
        connection_.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
        QCoreApplication::processEvents();
        auto late = std::move(queue_);
        queue_.clear();
        for (auto& work : late) {
            work();  // no object is left, and creation is refused now
        }
        connection_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        registered_ = false;
        loop_.exit(0);
    }

    QDBusConnection connection_;
    AutomationClass served_;
    ServerOptions options_;
    QDBusServiceWatcher watcher_;
    QTimer exitTimer_;
    QTimer busCheck_;
    QTimer sweepTimer_;
    QEventLoop loop_;
    std::map<int, Entry> objects_;
    QHash<QString, int> owned_;  // objects per owning connection
    std::deque<Orphan> orphans_;
    QString caller_;  // the client of the running call
    Clock::time_point callerChecked_;
    bool callerThere_ = true;
    std::deque<std::function<void()>> queue_;
    int nextNumber_ = 1;
    bool registered_ = false;
    bool busy_ = false;
    bool drainScheduled_ = false;
    bool ending_ = false;
    bool createAttempted_ = false;
};

AutomationServer::AutomationServer(QDBusConnection connection, AutomationClass served,
                                   ServerOptions options)
    : dispatcher_(std::make_unique<Dispatcher>(std::move(connection), std::move(served), options)) {
}

AutomationServer::~AutomationServer() = default;

bool AutomationServer::Start(QString& error) {
    return dispatcher_->Start(error);
}

int AutomationServer::Run() {
    return dispatcher_->Run();
}

void AutomationServer::Post(std::function<void()> work) {
    dispatcher_->Post(std::move(work));
}

bool AutomationServer::CallerConnected() {
    return dispatcher_->CallerConnected();
}

int AutomationServer::ObjectCount() const {
    return dispatcher_->ObjectCount();
}

int ServeOnSessionBus(AutomationClass served, ServerOptions options) {
    const QString progId = served.identity.ProgId();
    AutomationServer server(QDBusConnection::sessionBus(), std::move(served), options);
    QString error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(progId), qPrintable(error));
        return 1;
    }
    return server.Run();
}

}  // namespace trx
