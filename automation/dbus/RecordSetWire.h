#pragma once

#include "common/RecordSet.h"

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

namespace trx {

class BodyLength;

// One field of a record set on the bus: its name and the wire name of its type.
struct WireField {
    QString name;
    QString type;
    friend bool operator==(const WireField&, const WireField&) = default;
};

// A record set travels as two out arguments: fields a(ss), one (name, type)
// pair per field in order, and rows aav, each row one variant per field:
//   text s, integer x, double d, decimal s (its exact digits), boolean b,
//   date d (automation date), binary ay, NULL a variant holding an empty av.
// Nothing (no record set) is no fields and no rows.
QString WireTypeName(FieldType type);
std::optional<FieldType> FieldTypeFromWire(const QString& name);

// Makes WireField and the row list known to QtDBus; safe to call again.
void RegisterRecordSetWireTypes();

// The two out arguments (fields, rows) for set, which may be null; length
// counts them on as they are made, so a reply's size needs no second walk.
QVariantList EncodeRecordSet(const RecordSet* set, BodyLength& length);
QVariantList EncodeRecordSet(const RecordSet* set);

// Turns the two arguments back into a read-only record set; null for nothing.
// Takes them as a reply delivers them (QDBusArgument) or as EncodeRecordSet
// made them. A value that does not fit its field throws RecordSetWireError.
std::shared_ptr<const RecordSet> DecodeRecordSet(const QVariant& fields, const QVariant& rows);

class RecordSetWireError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace trx

Q_DECLARE_METATYPE(trx::WireField)

QDBusArgument& operator<<(QDBusArgument& out, const trx::WireField& field);
const QDBusArgument& operator>>(const QDBusArgument& in, trx::WireField& field);
