#pragma once

#include "automation/dbus/AutomationClass.h"

#include <QString>
#include <QStringList>

namespace trx {

// Names of the interfaces that every server offers besides its class's own.
inline const QString kClassFactoryInterface = QStringLiteral("TRX.Automation.ClassFactory");
inline const QString kObjectInterface = QStringLiteral("TRX.Automation.Object");
inline const QString kAutomationErrorName = QStringLiteral("TRX.Automation.Error");

// Introspection data. The automation identity travels as annotations (see
// docs/automation.md for their names); children are the names of the nodes
// below the path.
QString IntrospectClassObject(const AutomationClass& served, const QStringList& children);
QString IntrospectServedObject(const AutomationClass& served);
QString IntrospectInnerNode(const QStringList& children);

// A dispatch identifier as the annotations write it: small ones (events) in
// decimal, the others in hexadecimal, as 0x60030000.
QString FormatDispatchId(std::uint32_t id);

}  // namespace trx
