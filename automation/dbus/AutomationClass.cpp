#include "automation/dbus/AutomationClass.h"

namespace trx {

QList<QString> MethodSpec::AcceptedSignatures() const {
    qsizetype required = 0;
    while (required < in.size() && !in[required].IsOptional()) {
        ++required;
    }
    QList<QString> accepted;
    QString signature;
    for (qsizetype i = 0; i <= in.size(); ++i) {
        if (i >= required) {
            accepted.push_back(signature);
        }
        if (i < in.size()) {
            signature += in[i].signature;
        }
    }
    return accepted;
}

const MethodSpec* AutomationClass::FindMethod(const QString& name) const {
    for (const auto& method : methods) {
        if (method.name == name) {
            return &method;
        }
    }
    return nullptr;
}

const PropertySpec* AutomationClass::FindProperty(const QString& name) const {
    for (const auto& property : properties) {
        if (property.name == name) {
            return &property;
        }
    }
    return nullptr;
}

}  // namespace trx
