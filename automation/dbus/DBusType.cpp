#include "automation/dbus/DBusType.h"

#include "automation/dbus/RecordSetWire.h"
#include "platform/qt/QtText.h"

#include <QDBusMetaType>

namespace trx {
namespace {

QString Q(std::u16string_view signature) {
    return QString::fromUtf16(signature.data(), static_cast<qsizetype>(signature.size()));
}

const QString kFields = Q(signatures::kFields);
const QString kRows = Q(signatures::kRows);

QString SimpleSignature(ValueType type) {
    switch (type) {
        case ValueType::Boolean:
            return Q(signatures::kInt16);
        case ValueType::Text:
            return Q(signatures::kText);
        case ValueType::Int32:
            return Q(signatures::kInt32);
        case ValueType::Date:
            return Q(signatures::kDouble);
        case ValueType::Empty:
        case ValueType::RecordSet:
            break;
    }
    return {};
}

}  // namespace

QList<DBusArg> DBusArgs(const ParamInfo& param) {
    if (param.type == ValueType::Empty) {
        return {};
    }
    if (param.type == ValueType::RecordSet) {
        return {{QStringLiteral("fields"), kFields}, {QStringLiteral("rows"), kRows}};
    }
    return {{ToQString(param.name), SimpleSignature(param.type)}};
}

QString DBusSignature(ValueType type) {
    return type == ValueType::RecordSet ? kFields + kRows : SimpleSignature(type);
}

QString DBusTypeAnnotation(ValueType type) {
    return type == ValueType::Date ? QStringLiteral("Date") : QString();
}

std::optional<ValueType> TypeOfDBus(const QString& signature, const QString& annotation) {
    for (const ValueType type : {ValueType::Boolean, ValueType::Text, ValueType::Int32,
                                 ValueType::Date, ValueType::RecordSet}) {
        if (signature == DBusSignature(type) &&
            (annotation.isEmpty() || annotation == DBusTypeAnnotation(type))) {
            return type;
        }
    }
    return std::nullopt;
}

QVariantList ToDBus(const Value& value, BodyLength& length) {
    switch (TypeOf(value)) {
        case ValueType::Empty:
            return {};
        case ValueType::Boolean:
            length.Fixed(2);
            return {QVariant::fromValue(std::get<AutoBool>(value))};
        case ValueType::Text:
            length.Text(std::get<std::u16string>(value));
            return {ToQString(std::get<std::u16string>(value))};
        case ValueType::Int32:
            length.Fixed(4);
            return {QVariant::fromValue(std::get<std::int32_t>(value))};
        case ValueType::Date:
            length.Fixed(8);
            return {QVariant::fromValue(std::get<double>(value))};
        case ValueType::RecordSet:
            return EncodeRecordSet(std::get<RecordSetRef>(value).get(), length);
    }
    return {};
}

QVariantList ToDBus(const Value& value) {
    BodyLength unused;
    return ToDBus(value, unused);
}

std::optional<Value> FromDBus(const QVariantList& args, ValueType type) {
    if (type == ValueType::Empty) {
        return Value();
    }
    if (type == ValueType::RecordSet) {
        if (args.size() != 2) {
            return std::nullopt;
        }
        return Value(DecodeRecordSet(args[0], args[1]));
    }
    if (args.size() != 1 || DBusSignatureOf(args[0]) != SimpleSignature(type)) {
        return std::nullopt;
    }
    const QVariant& arg = args[0];
    switch (type) {
        case ValueType::Boolean:
            return Value(arg.value<AutoBool>());
        case ValueType::Text:
            return Value(FromQString(arg.toString()));
        case ValueType::Int32:
            return Value(arg.value<std::int32_t>());
        case ValueType::Date:
            return Value(arg.toDouble());
        default:
            return std::nullopt;
    }
}

QString DBusText(const Value& value) {
    const QVariantList args = ToDBus(value);
    return args.size() == 1 ? args[0].toString() : QString();
}

QString DBusSignatureOf(const QVariant& value) {
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

}  // namespace trx
