#include "version/dbus/VersionAutomation.h"

#include "platform/dbus/AutomationServer.h"
#include "platform/dbus/ServiceRegistration.h"
#include "platform/qt/QtText.h"
#include "version/Version.h"

#include <QCoreApplication>

#include <iostream>
#include <memory>

namespace trx {

ClassIdentity VersionIdentity() {
    ClassIdentity identity;
    identity.className = QStringLiteral("Version");
    identity.classId = QStringLiteral("{F1EC2A12-F8A1-4962-9CBD-0DF1A4DBDB1A}");
    identity.interfaceId = QStringLiteral("{B952A911-6470-4DC8-8511-C2469B7BBE71}");
    identity.aliasName = QStringLiteral("Version___v0");
    identity.aliasId = QStringLiteral("{0A677E1D-1DB0-47FA-8D0D-AC596884BC57}");
    identity.typeLibrary = {QStringLiteral("vxTRXVer"),
                            4,
                            1,
                            QStringLiteral("{9FDBB5CA-AFBF-4A0F-999A-84B122B8D68B}"),
                            QStringLiteral("Velmora TRX Versionsinfo"),
                            QString()};
    identity.versionResource = {QStringLiteral("Velmora"), QStringLiteral("vxTRXVer"),
                                QStringLiteral("vxTRXVer"), QStringLiteral("vxTRXVer.exe")};
    return identity;
}

AutomationClass VersionAutomationClass(const Clock& clock, std::u16string programDirectory) {
    const QString s = QStringLiteral("s");
    const QString i = QStringLiteral("i");
    return ClassBuilder<Version>(VersionIdentity())
        .Create([&clock, programDirectory](const EventEmitter&) {
            // An overflow in the file's "Build" fails the creation; the
            // client's CreateInstance gets the error.
            return std::make_unique<Version>(VersionIniPath(programDirectory), clock);
        })
        .Property(
            QStringLiteral("Version"), 0x68030003, s,
            [](Version& v) { return QVariant(ToQString(v.GetVersion())); },
            [](Version& v, const QVariant& vData) { v.PutVersion(FromQString(vData.toString())); })
        .Property(
            QStringLiteral("Build"), 0x68030002, i,
            [](Version& v) { return QVariant(v.GetBuild()); },
            [](Version& v, const QVariant& vData) { v.PutBuild(vData.toInt()); })
        .Property(
            QStringLiteral("BuildIndex"), 0x68030001, i,
            [](Version& v) { return QVariant(v.GetBuildIndex()); },
            [](Version& v, const QVariant& vData) { v.PutBuildIndex(vData.toInt()); })
        .DateProperty(
            QStringLiteral("BuildDate"), 0x68030000,
            [](Version& v) { return QVariant(v.GetBuildDate()); },
            [](Version& v, const QVariant& vData) { v.PutBuildDate(vData.toDouble()); })
        .Property(
            QStringLiteral("RequiredDBVersion"), 0x68030004, s,
            [](Version& v) { return QVariant(ToQString(v.GetRequiredDBVersion())); },
            [](Version& v, const QVariant& vData) {
                v.PutRequiredDBVersion(FromQString(vData.toString()));
            })
        .Build();
}

std::optional<int> HandleVersionRegistration(int argc, const char* const* argv) {
    return HandleRegistrationSwitches(argc, argv, VersionIdentity().ProgId().toStdString(),
                                      std::cout, std::cerr);
}

int ServeVersion(int& argc, char** argv, const Clock& clock, std::u16string programDirectory) {
    // The served class shows nothing, so no display is needed.
    QCoreApplication application(argc, argv);
    return ServeOnSessionBus(VersionAutomationClass(clock, std::move(programDirectory)));
}

}  // namespace trx
