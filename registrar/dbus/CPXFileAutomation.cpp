#include "registrar/dbus/CPXFileAutomation.h"

#include "platform/dbus/AutomationServer.h"
#include "platform/dbus/ServiceRegistration.h"
#include "platform/qt/QtText.h"
#include "registrar/CPXFile.h"

#include <QCoreApplication>

#include <iostream>
#include <memory>

namespace trx {

ClassIdentity CPXFileIdentity() {
    ClassIdentity identity;
    identity.className = QStringLiteral("CPXFile");
    identity.classId = QStringLiteral("{2235ACEE-A7D0-4B3B-973E-97C06FE89071}");
    identity.interfaceId = QStringLiteral("{185AF639-42EA-411C-A691-2098DAFE8210}");
    identity.aliasName = QStringLiteral("CPXFile___v0");
    identity.aliasId = QStringLiteral("{53436781-05D3-4902-8C17-C845A5117A08}");
    identity.typeLibrary = {QStringLiteral("vxRegCPX"),
                            2,
                            1,
                            QStringLiteral("{62627623-FC03-4686-874C-849063275185}"),
                            QString(),
                            QString()};
    identity.versionResource = {QStringLiteral("Velmora"), QStringLiteral("vxRegCPX"),
                                QStringLiteral("vxRegCPX"), QStringLiteral("vxRegCPX.exe")};
    return identity;
}

AutomationClass CPXFileAutomationClass(SettingsStore& store, MessageBox& messages,
                                       std::u16string programDirectory) {
    const QString s = QStringLiteral("s");
    const QString n = QStringLiteral("n");
    // Quiet and ShowErrors may be left out, from the end; they are false then.
    const auto flags = [&](const QString& first) {
        return QList<ArgSpec>{
            {first, s}, {QStringLiteral("Quiet"), n, 0}, {QStringLiteral("ShowErrors"), n, 0}};
    };
    const ArgSpec result{QStringLiteral("Result"), n};
    using Member = AutoBool (CPXFile::*)(std::u16string_view, AutoBool, AutoBool);
    const auto call = [](Member member) {
        return [member](CPXFile& file, const QVariantList& a) {
            const std::u16string text = FromQString(a[0].toString());
            return QVariant::fromValue(
                static_cast<short>((file.*member)(text, a[1].value<short>(), a[2].value<short>())));
        };
    };
    return ClassBuilder<CPXFile>(CPXFileIdentity())
        .Create([&store, &messages, programDirectory](const EventEmitter&) {
            return std::make_unique<CPXFile>(store, messages, programDirectory);
        })
        .Method(QStringLiteral("Register"), 0x60030000, flags(QStringLiteral("CPXFile")), result,
                call(&CPXFile::Register))
        .Method(QStringLiteral("UnRegister"), 0x60030001, flags(QStringLiteral("Name")), result,
                call(&CPXFile::UnRegister))
        .Method(QStringLiteral("UnRegisterFile"), 0x60030002, flags(QStringLiteral("CPXFile")),
                result, call(&CPXFile::UnRegisterFile))
        .Build();
}

std::optional<int> HandleCPXFileRegistration(int argc, const char* const* argv) {
    return HandleRegistrationSwitches(argc, argv, CPXFileIdentity().ProgId().toStdString(),
                                      std::cout, std::cerr);
}

int ServeCPXFile(int& argc, char** argv, SettingsStore& store, MessageBox& messages,
                 std::u16string programDirectory) {
    QCoreApplication application(argc, argv);
    return ServeOnSessionBus(CPXFileAutomationClass(store, messages, std::move(programDirectory)));
}

}  // namespace trx
