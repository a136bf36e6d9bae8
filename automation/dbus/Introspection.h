#pragma once

#include "automation/ClassDescription.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace trx {

// Names of the interfaces that every server offers besides its class's own.
inline const QString kClassFactoryInterface = QStringLiteral("TRX.Automation.ClassFactory");
inline const QString kObjectInterface = QStringLiteral("TRX.Automation.Object");
inline const QString kAutomationErrorName = QStringLiteral("TRX.Automation.Error");

// Introspection data. The automation identity travels as annotations (see
// docs/automation.md for their names); children are the names of the nodes
// below the path.
QString IntrospectClassObject(const ClassDescription& served, const QStringList& children);
QString IntrospectServedObject(const ClassDescription& served);
QString IntrospectInnerNode(const QStringList& children);

// A dispatch identifier as the annotations write it: small ones (events) in
// decimal, the others in hexadecimal, as 0x60030000.
QString FormatDispatchId(std::uint32_t id);

// The members of a served object as a client learns them from its
// introspection data. A type that no automation type travels as is nullopt.
struct IntrospectedMethod {
    std::vector<std::optional<ValueType>> in;
    std::size_t required = 0;         // the leading in arguments that are not optional
    std::optional<ValueType> result;  // Empty when the method returns nothing
};

struct IntrospectedProperty {
    std::optional<ValueType> type;
    bool writable = false;
};

struct IntrospectedObject {
    std::map<QString, IntrospectedMethod> methods;
    std::map<QString, IntrospectedProperty> properties;
    QStringList events;
};

// Reads the members of the default interface `interface` and the events of
// the event interface that belongs to it.
IntrospectedObject ReadIntrospection(const QString& xml, const QString& interface);

// The default interface of the class with this programmatic identifier
// (<library>.<class> gives <library>._<class>), and the event interface that
// belongs to a default interface (<library>.__<class>).
QString DefaultInterfaceOf(const QString& progId);
QString EventInterfaceOf(const QString& defaultInterface);

}  // namespace trx
