#include "version/VersionClass.h"

#include "automation/ClassBuilder.h"
#include "version/Version.h"

namespace trx {

ClassIdentity VersionIdentity() {
    ClassIdentity identity;
    identity.className = u"Version";
    identity.classId = u"{F1EC2A12-F8A1-4962-9CBD-0DF1A4DBDB1A}";
    identity.interfaceId = u"{B952A911-6470-4DC8-8511-C2469B7BBE71}";
    identity.aliasName = u"Version___v0";
    identity.aliasId = u"{0A677E1D-1DB0-47FA-8D0D-AC596884BC57}";
    identity.typeLibrary = {
        u"vxTRXVer", 4, 1, u"{9FDBB5CA-AFBF-4A0F-999A-84B122B8D68B}", u"Velmora TRX Versionsinfo",
        {}};
    identity.versionResource = {u"Velmora", u"vxTRXVer", u"vxTRXVer", u"vxTRXVer.exe"};
    return identity;
}

ClassDescription VersionShape() {
    return ClassBuilder<Version>(VersionIdentity())
        .Property<&Version::GetVersion, &Version::PutVersion>(u"Version", 0x68030003)
        .Property<&Version::GetBuild, &Version::PutBuild>(u"Build", 0x68030002)
        .Property<&Version::GetBuildIndex, &Version::PutBuildIndex>(u"BuildIndex", 0x68030001)
        .Property<&Version::GetBuildDate, &Version::PutBuildDate>(u"BuildDate", 0x68030000)
        .Property<&Version::GetRequiredDBVersion, &Version::PutRequiredDBVersion>(
            u"RequiredDBVersion", 0x68030004)
        .Build();
}

ClassDescription VersionClass(const Clock& clock, std::u16string programDirectory) {
    ClassDescription description = VersionShape();
    description.create =
        ClassBuilder<Version>::Factory([&clock, programDirectory](const EventRaiser&) {
            // An overflow in the file's "Build" fails the creation; the
            // client that creates the object gets the error.
            return std::make_unique<Version>(VersionIniPath(programDirectory), clock);
        });
    return description;
}

}  // namespace trx
