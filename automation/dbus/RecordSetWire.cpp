#include "automation/dbus/RecordSetWire.h"

#include "common/AutomationDate.h"
#include "platform/qt/QtText.h"

#include <QDBusMetaType>
#include <QDBusVariant>

#include <array>
#include <cmath>
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

struct TypeName {
    FieldType type;
    const char16_t* name;
};
constexpr std::array<TypeName, 7> kTypeNames{{
    {FieldType::Text, u"text"},
    {FieldType::Integer, u"integer"},
    {FieldType::Double, u"double"},
    {FieldType::Decimal, u"decimal"},
    {FieldType::Boolean, u"boolean"},
    {FieldType::Date, u"date"},
    {FieldType::Binary, u"binary"},
}};

QVariant NullValue() {
    return QVariant::fromValue(QVariantList());
}

QVariant EncodeValue(const RecordSet& set, std::size_t record, std::size_t column) {
    const FieldValue value = set.Value(record, column);
    if (std::holds_alternative<Null>(value)) {
        return NullValue();
    }
    switch (set.FieldAt(column).type) {
        case FieldType::Text:
        case FieldType::Decimal:
            return ToQString(std::get<std::u16string>(value));
        case FieldType::Integer:
            return QVariant::fromValue(static_cast<qlonglong>(std::get<std::int64_t>(value)));
        case FieldType::Double:
            return QVariant::fromValue(std::get<double>(value));
        case FieldType::Boolean:
            return QVariant::fromValue(std::get<bool>(value));
        case FieldType::Date:
            return QVariant::fromValue(ToAutomationDateValue(std::get<DateTime>(value)));
        case FieldType::Binary: {
            const auto& bytes = std::get<std::vector<std::uint8_t>>(value);
            return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size()));
        }
    }
    return NullValue();
}

bool IsNullOnWire(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        return value.toList().isEmpty();
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        return argument.currentSignature() == QStringLiteral("av") &&
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
    switch (type) {
        case FieldType::Text:
        case FieldType::Decimal:
            expect(QMetaType::fromType<QString>());
            builder.AppendText(column, FromQString(value.toString()));
            return;
        case FieldType::Integer:
            expect(QMetaType::fromType<qlonglong>());
            builder.AppendInteger(column, value.toLongLong());
            return;
        case FieldType::Double:
            expect(QMetaType::fromType<double>());
            builder.AppendDouble(column, value.toDouble());
            return;
        case FieldType::Boolean:
            expect(QMetaType::fromType<bool>());
            builder.AppendBoolean(column, value.toBool());
            return;
        case FieldType::Date:
            expect(QMetaType::fromType<double>());
            builder.AppendDate(column, FromAutomationDateValue(value.toDouble()));
            return;
        case FieldType::Binary: {
            expect(QMetaType::fromType<QByteArray>());
            const QByteArray bytes = value.toByteArray();
            builder.AppendBinary(column, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()));
            return;
        }
    }
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
    for (const auto& entry : kTypeNames) {
        if (entry.type == type) {
            return QString::fromUtf16(entry.name);
        }
    }
    return QStringLiteral("text");
}

std::optional<FieldType> FieldTypeFromWire(const QString& name) {
    for (const auto& entry : kTypeNames) {
        if (name == QString::fromUtf16(entry.name)) {
            return entry.type;
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
        // Lets the reply size count see a field's members (WireSize.h).
        QMetaType::registerConverter<WireField, QVariantList>([](const WireField& field) {
            return QVariantList{field.name, field.type};
        });
    });
}

QVariantList EncodeRecordSet(const RecordSet* set) {
    RegisterRecordSetWireTypes();
    QList<WireField> fields;
    Rows rows;
    if (set != nullptr) {
        for (std::size_t c = 0; c < set->FieldCount(); ++c) {
            fields.push_back({ToQString(set->FieldAt(c).name), WireTypeName(set->FieldAt(c).type)});
        }
        rows.reserve(static_cast<qsizetype>(set->RecordCount()));
        for (std::size_t r = 0; r < set->RecordCount(); ++r) {
            QVariantList row;
            row.reserve(static_cast<qsizetype>(set->FieldCount()));
            for (std::size_t c = 0; c < set->FieldCount(); ++c) {
                row.push_back(EncodeValue(*set, r, c));
            }
            rows.push_back(std::move(row));
        }
    }
    return {QVariant::fromValue(fields), QVariant::fromValue(rows)};
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

DateTime FromAutomationDateValue(double value) {
    if (!std::isfinite(value)) {
        throw RecordSetWireError("a date that is not a number");
    }
    // Ten million days (about 27,000 years) either way keep the day count and
    // the 16-bit year of DateTime from overflowing; a database's own dates
    // stay far inside.
    if (std::fabs(value) >= 1e7) {
        throw RecordSetWireError("a date beyond the years a record set holds");
    }
    const double whole = std::trunc(value);
    // The time of day in milliseconds; a time that rounds up to midnight
    // belongs to the next day, which for negative dates too is the one after.
    auto millis = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400000.0));
    auto day = static_cast<std::int64_t>(whole);
    if (millis >= 86400000LL) {
        millis -= 86400000LL;
        day += 1;
    }
    const CivilDate date = CivilDateOf(day);
    DateTime out;
    out.year = static_cast<std::int16_t>(date.year);
    out.month = static_cast<std::uint16_t>(date.month);
    out.day = static_cast<std::uint16_t>(date.day);
    out.hour = static_cast<std::uint16_t>(millis / 3600000);
    out.minute = static_cast<std::uint16_t>(millis / 60000 % 60);
    out.second = static_cast<std::uint16_t>(millis / 1000 % 60);
    out.nanosecond = static_cast<std::uint32_t>(millis % 1000 * 1000000);
    return out;
}

}  // namespace trx
