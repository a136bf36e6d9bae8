#include "automation/dbus/RecordSetWire.h"

#include "automation/dbus/DBusType.h"
#include "platform/qt/QtText.h"

#include <QDBusMetaType>
#include <QDBusVariant>

#include <cstdint>
#include <mutex>

QDBusArgument& operator<<(QDBusArgument& out, const trx::WireField& field) {
    out.beginStructure();
    out << field.name << field.type;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, trx::WireField& field) {
    in.beginStructure();
    in >> field.name >> field.type;
    in.endStructure();
    return in;
}

namespace trx {
namespace {

using Rows = QList<QVariantList>;

QVariant NullValue() {
    return QVariant::fromValue(QVariantList());
}

// One value of a row, counted into length as it is made.
QVariant EncodeCell(const Cell& cell, BodyLength& length) {
    auto text = [&length](std::u16string_view value) {
        length.Variant(signatures::kText);
        length.Text(value);
        return QVariant(ToQString(value));
    };
    return std::visit(
        Overloaded{
            [&](Null) {
                length.Variant(signatures::kNull);
                length.Array(1);
                return NullValue();
            },
            [&](const TextCell& value) { return text(value.text); },
            [&](const DecimalCell& value) { return text(value.digits); },
            [&](std::int64_t value) {
                length.Variant(signatures::kInt64);
                length.Fixed(8);
                return QVariant::fromValue(static_cast<qlonglong>(value));
            },
            [&](double value) {
                length.Variant(signatures::kDouble);
                length.Fixed(8);
                return QVariant::fromValue(value);
            },
            [&](bool value) {
                length.Variant(signatures::kBoolean);
                length.Fixed(4);
                return QVariant::fromValue(value);
            },
            [&](const DateTime& value) {
                length.Variant(signatures::kDouble);
                length.Fixed(8);
                return QVariant::fromValue(ToAutomationDateValue(value));
            },
            [&](const BinaryCell& value) {
                length.Variant(signatures::kBytes);
                length.Bytes(static_cast<std::int64_t>(value.bytes.size()));
                return QVariant(QByteArray(reinterpret_cast<const char*>(value.bytes.data()),
                                           static_cast<qsizetype>(value.bytes.size())));
            },
        },
        cell);
}

bool IsNullOnWire(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        return value.toList().isEmpty();
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        return argument.currentSignature() == signatures::kNull &&
               qdbus_cast<QVariantList>(argument).isEmpty();
    }
    return false;
}

[[noreturn]] void Malformed(const QString& what) {
    throw RecordSetWireError(what.toStdString());
}

void AppendValue(RecordSetBuilder& builder, std::size_t column, FieldType type,
                 const QVariant& value, const QString& fieldName) {
    if (IsNullOnWire(value)) {
        builder.AppendNull(column);
        return;
    }
    auto expect = [&](QMetaType wanted) {
        if (value.metaType() != wanted) {
            Malformed(QStringLiteral("field '%1' has a value of type %2")
                          .arg(fieldName, QString::fromLatin1(value.metaType().name())));
        }
    };
    auto text = [&] {
        expect(QMetaType::fromType<QString>());
        builder.AppendText(column, FromQString(value.toString()));
    };
    std::visit(Overloaded{
                   [](Null) {},
                   [&](const TextCell&) { text(); },
                   [&](const DecimalCell&) { text(); },
                   [&](std::int64_t) {
                       expect(QMetaType::fromType<qlonglong>());
                       builder.AppendInteger(column, value.toLongLong());
                   },
                   [&](double) {
                       expect(QMetaType::fromType<double>());
                       builder.AppendDouble(column, value.toDouble());
                   },
                   [&](bool) {
                       expect(QMetaType::fromType<bool>());
                       builder.AppendBoolean(column, value.toBool());
                   },
                   [&](const DateTime&) {
                       expect(QMetaType::fromType<double>());
                       const auto date = FromAutomationDateValue(value.toDouble());
                       if (!date) {
                           Malformed(QStringLiteral("field '%1' has a date beyond the years a "
                                                    "record set holds")
                                         .arg(fieldName));
                       }
                       builder.AppendDate(column, *date);
                   },
                   [&](const BinaryCell&) {
                       expect(QMetaType::fromType<QByteArray>());
                       const QByteArray bytes = value.toByteArray();
                       builder.AppendBinary(
                           column, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size()));
                   },
               },
               CellOfType(type));
}

template <class T>
T Unpack(const QVariant& value, const char* what) {
    if (value.metaType() == QMetaType::fromType<T>()) {
        return value.value<T>();
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        return qdbus_cast<T>(value.value<QDBusArgument>());
    }
    if (!value.isValid()) {
        return T();
    }
    Malformed(QStringLiteral("%1 of the wrong type %2")
                  .arg(QString::fromLatin1(what), QString::fromLatin1(value.metaType().name())));
}

}  // namespace

QString WireTypeName(FieldType type) {
    return QString::fromUtf16(std::visit(Overloaded{
                                             [](Null) { return u"text"; },
                                             [](const TextCell&) { return u"text"; },
                                             [](std::int64_t) { return u"integer"; },
                                             [](double) { return u"double"; },
                                             [](const DecimalCell&) { return u"decimal"; },
                                             [](bool) { return u"boolean"; },
                                             [](const DateTime&) { return u"date"; },
                                             [](const BinaryCell&) { return u"binary"; },
                                         },
                                         CellOfType(type)));
}

std::optional<FieldType> FieldTypeFromWire(const QString& name) {
    for (const FieldType type : kFieldTypes) {
        if (name == WireTypeName(type)) {
            return type;
        }
    }
    return std::nullopt;
}

void RegisterRecordSetWireTypes() {
    static std::once_flag once;
    std::call_once(once, [] {
        qDBusRegisterMetaType<WireField>();
        qDBusRegisterMetaType<QList<WireField>>();
        qDBusRegisterMetaType<Rows>();
    });
}

QVariantList EncodeRecordSet(const RecordSet* set, BodyLength& length) {
    RegisterRecordSetWireTypes();
    QList<WireField> fields;
    Rows rows;
    length.Array(8);
    if (set != nullptr) {
        for (std::size_t c = 0; c < set->FieldCount(); ++c) {
            const Field& field = set->FieldAt(c);
            length.Struct();
            length.Text(field.name);
            const QString type = WireTypeName(field.type);
            length.Text(std::u16string_view(reinterpret_cast<const char16_t*>(type.utf16()),
                                            static_cast<std::size_t>(type.size())));
            fields.push_back({ToQString(field.name), type});
        }
    }
    length.Array(4);
    if (set != nullptr) {
        rows.reserve(static_cast<qsizetype>(set->RecordCount()));
        for (std::size_t r = 0; r < set->RecordCount(); ++r) {
            QVariantList row;
            row.reserve(static_cast<qsizetype>(set->FieldCount()));
            length.Array(1);
            for (std::size_t c = 0; c < set->FieldCount(); ++c) {
                row.push_back(EncodeCell(set->CellAt(r, c), length));
            }
            rows.push_back(std::move(row));
        }
    }
    return {QVariant::fromValue(fields), QVariant::fromValue(rows)};
}

QVariantList EncodeRecordSet(const RecordSet* set) {
    BodyLength unused;
    return EncodeRecordSet(set, unused);
}

std::shared_ptr<const RecordSet> DecodeRecordSet(const QVariant& fieldsArg,
                                                 const QVariant& rowsArg) {
    RegisterRecordSetWireTypes();
    const auto fields = Unpack<QList<WireField>>(fieldsArg, "fields");
    const auto rows = Unpack<Rows>(rowsArg, "rows");
    if (fields.isEmpty()) {
        if (!rows.isEmpty()) {
            Malformed(QStringLiteral("rows without fields"));
        }
        return nullptr;
    }
    RecordSetBuilder builder;
    std::vector<FieldType> types;
    for (const auto& field : fields) {
        const auto type = FieldTypeFromWire(field.type);
        if (!type) {
            Malformed(
                QStringLiteral("field '%1' has the unknown type '%2'").arg(field.name, field.type));
        }
        builder.AddField(FromQString(field.name), *type);
        types.push_back(*type);
    }
    builder.Reserve(static_cast<std::size_t>(rows.size()));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QVariantList& row = rows[r];
        if (row.size() != fields.size()) {
            Malformed(QStringLiteral("row %1 has %2 values for %3 fields")
                          .arg(r + 1)
                          .arg(row.size())
                          .arg(fields.size()));
        }
        for (qsizetype c = 0; c < row.size(); ++c) {
            QVariant value = row[c];
            if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
                value = value.value<QDBusVariant>().variant();
            }
            AppendValue(builder, static_cast<std::size_t>(c), types[static_cast<std::size_t>(c)],
                        value, fields[c].name);
        }
    }
    return builder.Build();
}

}  // namespace trx
