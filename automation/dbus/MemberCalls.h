#pragma once

#include "automation/ClassDescription.h"
#include "automation/ServerRules.h"
#include "common/AutomationError.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace trx {

class BodyLength;

// The calls on a described class as they come from the bus: CreateInstance
// on the class object, methods and properties of the default interface, and
// Release; the replies, events and errors that go back.
class MemberCalls {
  public:
    MemberCalls(QDBusConnection connection, const ClassDescription& served,
                const ServerOptions& options);

    // Whether message is a well-formed CreateInstance; otherwise its error
    // reply has been sent.
    bool CheckCreate(const QDBusMessage& message);

    // Serves message on object and sends the reply. True for a well-formed
    // Release, which the caller carries out and answers.
    bool Serve(const QDBusMessage& message, ServedObject& object);

    // Events of the object at path become signals of the event interface.
    EventRaiser EventRaiserFor(const QString& path) const;

    // An automation error as the reply to message. One raised without a
    // source comes from this server's own library, and clients are told so.
    void SendError(const QDBusMessage& message, const AutomationError& error);

  private:
    void ServeMethod(const QDBusMessage& message, ServedObject& object);
    void ServeProperties(const QDBusMessage& message, ServedObject& object);
    const PropertyInfo* FindProperty(const QDBusMessage& message, const QString& interface,
                                     const QString& name);
    bool KnownInterface(const QDBusMessage& message, const QString& interface);
    void Fail(const QDBusMessage& message, const QString& name, const QString& text);
    void SendReply(const QDBusMessage& call, const QDBusMessage& reply, const BodyLength& body);

    QDBusConnection connection_;
    const ClassDescription& served_;
    const ServerOptions& options_;
    QString defaultInterface_;
    QString eventInterface_;
};

}  // namespace trx
