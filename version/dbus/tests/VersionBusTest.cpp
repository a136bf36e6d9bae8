#include "automation/dbus/AutomationClient.h"
#include "common/AutomationError.h"
#include "tests/support/PrivateBus.h"

#include <gtest/gtest.h>

namespace trx {
namespace {

using namespace std::chrono_literals;
using test::GdbusCall;
using test::RunProgram;

const QString kProgId = QStringLiteral("vxTRXVer.Version");
const QString kInterface = QStringLiteral("vxTRXVer._Version");
const QString kGet = QStringLiteral("org.freedesktop.DBus.Properties.Get");
const QString kSet = QStringLiteral("org.freedesktop.DBus.Properties.Set");

// vxTRXVer copied into a folder of its own beside a vxTRX.ini, registered
// with /RegServer on a private bus.
class VersionBusTest : public ::testing::Test {
  protected:
    void Install(const std::string& ini) {
        const auto program = test::CopyProgram(TRX_VXTRXVER, bus_.Root() / "bin");
        test::WriteFile(bus_.Root() / "bin" / "vxTRX.ini", ini);
        const auto registered =
            RunProgram(QString::fromStdString(program.string()), {QStringLiteral("/RegServer")});
        ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
        ASSERT_TRUE(registered.out.contains(QStringLiteral("vxTRXVer.Version.service")))
            << registered.out.toStdString();
    }

    test::PrivateBus bus_;
};

TEST_F(VersionBusTest, PropertiesReadAndWrittenWithGdbusAndBusctl) {
    Install("[Common]\r\nVersion=4.1\r\nRequiredDBVersion=4010\r\nBuild=7743.2\r\n");
    const auto created = GdbusCall(kProgId, QStringLiteral("/"),
                                   QStringLiteral("TRX.Automation.ClassFactory.CreateInstance"));
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    ASSERT_EQ(created.out.trimmed(), QStringLiteral("(objectpath '/Version/1',)"));
    const QString path = QStringLiteral("/Version/1");

    struct Case {
        QString property;
        QString shown;
    } initial[] = {
        {QStringLiteral("Version"), QStringLiteral("(<'4.1'>,)")},
        {QStringLiteral("RequiredDBVersion"), QStringLiteral("(<'4010'>,)")},
        {QStringLiteral("Build"), QStringLiteral("(<7743>,)")},
        {QStringLiteral("BuildIndex"), QStringLiteral("(<2>,)")},
        {QStringLiteral("BuildDate"), QStringLiteral("(<43811.0>,)")},  // 12.12.2019
    };
    for (const auto& c : initial) {
        const auto got = GdbusCall(kProgId, path, kGet, {kInterface, c.property});
        EXPECT_EQ(got.out.trimmed(), c.shown) << c.property.toStdString() << got.err.toStdString();
    }

    // A put of Build moves BuildDate; build 1 is 01.10.1998.
    const auto put = GdbusCall(kProgId, path, kSet,
                               {kInterface, QStringLiteral("Build"), QStringLiteral("<int32 1>")});
    ASSERT_EQ(put.exitCode, 0) << put.err.toStdString();
    const auto date = RunProgram(QStringLiteral("busctl"),
                                 {QStringLiteral("--user"), QStringLiteral("get-property"), kProgId,
                                  path, kInterface, QStringLiteral("BuildDate")});
    EXPECT_EQ(date.out.trimmed(), QStringLiteral("d 36069")) << date.err.toStdString();
    // And a put of BuildDate moves Build: 01.01.2000 is build 458.
    const auto putDate = RunProgram(
        QStringLiteral("busctl"),
        {QStringLiteral("--user"), QStringLiteral("set-property"), kProgId, path, kInterface,
         QStringLiteral("BuildDate"), QStringLiteral("d"), QStringLiteral("36526")});
    ASSERT_EQ(putDate.exitCode, 0) << putDate.err.toStdString();
    EXPECT_EQ(GdbusCall(kProgId, path, kGet, {kInterface, QStringLiteral("Build")}).out.trimmed(),
              QStringLiteral("(<458>,)"));

    // A put of the wrong type is refused, and the value stays.
    const auto wrong = GdbusCall(kProgId, path, kSet,
                                 {kInterface, QStringLiteral("Build"), QStringLiteral("<'x'>")});
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs")))
        << wrong.err.toStdString();
    // Save is not part of the interface.
    const auto save = GdbusCall(kProgId, path, kInterface + QStringLiteral(".Save"));
    EXPECT_TRUE(save.err.contains(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod")))
        << save.err.toStdString();
    EXPECT_EQ(GdbusCall(kProgId, path, kGet, {kInterface, QStringLiteral("Build")}).out.trimmed(),
              QStringLiteral("(<458>,)"));

    const auto released = GdbusCall(kProgId, path, QStringLiteral("TRX.Automation.Object.Release"));
    EXPECT_EQ(released.exitCode, 0) << released.err.toStdString();
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(kProgId); }, 10s));
}

TEST_F(VersionBusTest, OverflowAtCreationReachesTheCreateInstanceCaller) {
    Install("[Common]\r\nVersion=4.1\r\nBuild=3000000000\r\n");
    try {
        AutomationClient(bus_.Connection()).Create(kProgId);
        FAIL() << "created";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.Number(), kErrOverflow);
        EXPECT_EQ(error.Source(), u"vxTRXVer");
        EXPECT_FALSE(error.Description().empty());
    }
    // dbus-send shows the error's name and description.
    const auto sent = RunProgram(QStringLiteral("dbus-send"),
                                 {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                  QStringLiteral("--dest=") + kProgId, QStringLiteral("/"),
                                  QStringLiteral("TRX.Automation.ClassFactory.CreateInstance")});
    EXPECT_NE(sent.exitCode, 0);
    EXPECT_TRUE(sent.err.contains(QStringLiteral("TRX.Automation.Error")))
        << sent.err.toStdString();
}

TEST_F(VersionBusTest, IntrospectionCarriesTheIdentityOfVersion) {
    Install("[Common]\r\nVersion=4.1\r\nBuild=458\r\n");
    auto version = AutomationClient(bus_.Connection()).Create(kProgId);
    EXPECT_EQ(version.Get(QStringLiteral("BuildDate")).toDouble(), 36526.0);
    const auto root = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("introspect"), QStringLiteral("--session"), QStringLiteral("--dest"),
         kProgId, QStringLiteral("--object-path"), QStringLiteral("/"), QStringLiteral("--xml")});
    const auto object = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("introspect"), QStringLiteral("--session"), QStringLiteral("--dest"),
         kProgId, QStringLiteral("--object-path"), version.Path(), QStringLiteral("--xml")});
    const auto annotation = [](const char* name, const char* value) {
        return QStringLiteral("<annotation name=\"TRX.Automation.%1\" value=\"%2\"/>")
            .arg(QString::fromUtf8(name), QString::fromUtf8(value));
    };
    for (const auto& expected : {
             annotation("ProgId", "vxTRXVer.Version"),
             annotation("ClassId", "{F1EC2A12-F8A1-4962-9CBD-0DF1A4DBDB1A}"),
             annotation("TypeLibrary.Name", "vxTRXVer"),
             annotation("TypeLibrary.Version", "4.1"),
             annotation("TypeLibrary.Id", "{9FDBB5CA-AFBF-4A0F-999A-84B122B8D68B}"),
             annotation("TypeLibrary.HelpText", "Velmora TRX Versionsinfo"),
             annotation("VersionResource.CompanyName", "Velmora"),
             annotation("VersionResource.ProductName", "vxTRXVer"),
             annotation("VersionResource.InternalName", "vxTRXVer"),
             annotation("VersionResource.OriginalFilename", "vxTRXVer.exe"),
             annotation("VersionResource.FileVersion", "1.00"),
             annotation("VersionResource.ProductVersion", "1.00"),
             annotation("VersionResource.Language", "0407"),
         }) {
        EXPECT_TRUE(root.out.contains(expected)) << expected.toStdString();
    }
    for (const auto& expected : {
             annotation("InterfaceId", "{B952A911-6470-4DC8-8511-C2469B7BBE71}"),
             annotation("Alias", "Version___v0"),
             annotation("AliasId", "{0A677E1D-1DB0-47FA-8D0D-AC596884BC57}"),
             annotation("DispId", "0x68030000"),
             annotation("DispId", "0x68030004"),
         }) {
        EXPECT_TRUE(object.out.contains(expected)) << expected.toStdString();
    }
    version.Release();
}

}  // namespace
}  // namespace trx
