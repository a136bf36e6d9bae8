#pragma once

#include "automation/ClassDescription.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace trx {

// How each automation type travels on the bus: text s, automation boolean n
// (-1 true, 0 false), 32-bit integer i, automation date d, and a record set
// as two arguments, fields a(ss) and rows aav (RecordSetWire.h). This is the
// one place that names D-Bus signatures.
struct DBusArg {
    QString name;
    QString signature;
};

// The arguments by which a parameter or result travels: none for Empty, two
// for a record set (fields, rows), otherwise one named after it.
QList<DBusArg> DBusArgs(const ParamInfo& param);
// All of them in one signature.
QString DBusSignature(ValueType type);

// What introspection adds to a type that its signature does not tell apart
// (an automation date is a d like any double): the value of the annotation
// TRX.Automation.Type, or empty.
QString DBusTypeAnnotation(ValueType type);

// The type that an argument of this signature and annotation carries;
// nullopt for one that no automation type travels as.
std::optional<ValueType> TypeOfDBus(const QString& signature, const QString& annotation = {});

// The arguments that carry value.
QVariantList ToDBus(const Value& value);
// A value of type from the arguments that carry it, as a call or a reply
// delivers them; nullopt when they do not hold one. Throws
// RecordSetWireError for a malformed record set.
std::optional<Value> FromDBus(const QVariantList& args, ValueType type);

// A default value as introspection writes it.
QString DBusText(const Value& value);

// The signature of one value as QtDBus would send it.
QString DBusSignatureOf(const QVariant& value);

}  // namespace trx
