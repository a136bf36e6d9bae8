#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>

namespace trx {

// A failure of the bus itself (no such name, wrong signature, unknown member),
// as opposed to an AutomationError raised by the served class.
class BusError : public std::runtime_error {
  public:
    BusError(QString name, QString message);
    const QString& Name() const noexcept { return name_; }
    const QString& Message() const noexcept { return message_; }

  private:
    QString name_;
    QString message_;
};

// An object created on a server. Calls go to the server that created it (its
// unique bus name), never to a later one. Every call waits without a time-out,
// since the server may show a message box. Failures throw AutomationError
// (number, source, description) or BusError.
class AutomationObject {
  public:
    AutomationObject(QDBusConnection connection, QString server, QString path, QString interface);
    ~AutomationObject();
    AutomationObject(AutomationObject&&) noexcept;
    AutomationObject& operator=(AutomationObject&&) noexcept;

    const QString& Server() const { return server_; }
    const QString& Path() const { return path_; }
    const QString& Interface() const { return interface_; }

    // A method of the class's default interface; its result, or an invalid
    // QVariant for a method without one.
    QVariant Call(const QString& method, const QVariantList& args = {}) const;
    // The same for a method with several out arguments: all of them, in order.
    QVariantList CallForResults(const QString& method, const QVariantList& args = {}) const;
    QVariant Get(const QString& property) const;
    void Set(const QString& property, const QVariant& value) const;
    // Ends the object on the server.
    void Release() const;

    // Delivers the object's events (signals of the class's event interface) to
    // handler while this object lives and the event loop runs.
    void OnEvent(const QString& event, std::function<void(const QVariantList&)> handler);

  private:
    QDBusConnection connection_;
    QString server_;
    QString path_;
    QString interface_;
    std::vector<std::unique_ptr<QObject>> receivers_;
};

// Creates objects by programmatic identifier: CreateInstance on the class
// object at "/" of the bus name progId, which the bus starts when needed.
class AutomationClient {
  public:
    explicit AutomationClient(QDBusConnection connection);

    AutomationObject Create(const QString& progId) const;

    // The timeout that tells the bus to wait for ever.
    static constexpr int kNoTimeout = 0x7fffffff;

  private:
    QDBusConnection connection_;
};

// Sends a call and waits for its reply without a time-out; the reply's
// arguments, or a thrown AutomationError or BusError.
QVariantList CallWithoutTimeout(const QDBusConnection& connection, const QDBusMessage& call);

}  // namespace trx
