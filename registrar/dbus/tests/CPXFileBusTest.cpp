#include "automation/dbus/AutomationClient.h"
#include "tests/support/PrivateBus.h"

#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

namespace trx {
namespace {

using namespace std::chrono_literals;
using test::GdbusCall;
using test::RunProgram;

const QString kProgId = QStringLiteral("vxRegCPX.CPXFile");
const QString kInterface = QStringLiteral("vxRegCPX._CPXFile");

// vxRegCPX copied into a folder of its own with a target and an icon file,
// registered with /RegServer on a private bus; CPX files beside the folder.
class CPXFileBusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto bin = bus_.Root() / "bin";
        const auto program = test::CopyProgram(TRX_VXREGCPX, bin);
        test::WriteFile(bin / "tool", "");
        test::WriteFile(bin / "tool.svg", "");
        const auto registered =
            RunProgram(QString::fromStdString(program.string()), {QStringLiteral("-REGSERVER")});
        ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
        ASSERT_TRUE(std::filesystem::exists(bus_.ServiceFolder() / "vxRegCPX.CPXFile.service"));
    }

    QString WriteCpx(const std::string& name, const std::string& key) const {
        const auto path = bus_.Root() / name;
        test::WriteFile(path, "[Reginfo]\r\nKey=" + key + "\r\nName=Eintrag " + key +
                                  "\r\nTarget=tool\r\nIcon=tool.svg\r\nDescription=Beispiel\r\n");
        return QString::fromStdString(path.string());
    }

    // The name stored under Entries for key, or empty.
    QString StoredName(const QString& key) const {
        QSettings store(QString::fromStdString(
                            (bus_.Root() / "config" / "Velmora" / "vxtControlPanel.ini").string()),
                        QSettings::IniFormat);
        return store.value(QStringLiteral("Entries/") + key).toString();
    }

    test::PrivateBus bus_;
};

TEST_F(CPXFileBusTest, RegisterAnswersOneTwoAndThreeArgumentsFromRealClients) {
    const auto created = GdbusCall(kProgId, QStringLiteral("/"),
                                   QStringLiteral("TRX.Automation.ClassFactory.CreateInstance"));
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    ASSERT_EQ(created.out.trimmed(), QStringLiteral("(objectpath '/CPXFile/1',)"));
    const QString path = QStringLiteral("/CPXFile/1");
    const QString unique = bus_.Owner(kProgId);
    const QString registerMethod = kInterface + QStringLiteral(".Register");

    // One argument: Quiet and ShowErrors are false, so the server shows its
    // success message (in the console form, since it has no display).
    const auto one = GdbusCall(kProgId, path, registerMethod, {WriteCpx("one.cpx", "One")});
    EXPECT_EQ(one.out.trimmed(), QStringLiteral("(int16 -1,)")) << one.err.toStdString();
    EXPECT_EQ(StoredName(QStringLiteral("One")), QStringLiteral("Eintrag One"));

    // "--" ends the options, so that -1 is an argument.
    const auto two =
        RunProgram(QStringLiteral("busctl"),
                   {QStringLiteral("--user"), QStringLiteral("--"), QStringLiteral("call"), kProgId,
                    path, kInterface, QStringLiteral("Register"), QStringLiteral("sn"),
                    WriteCpx("two.cpx", "Two"), QStringLiteral("-1")});
    EXPECT_EQ(two.out.trimmed(), QStringLiteral("n -1")) << two.err.toStdString();
    EXPECT_EQ(StoredName(QStringLiteral("Two")), QStringLiteral("Eintrag Two"));

    const auto three = RunProgram(QStringLiteral("dbus-send"),
                                  {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                   QStringLiteral("--dest=") + kProgId, path, registerMethod,
                                   QStringLiteral("string:") + WriteCpx("three.cpx", "Three"),
                                   QStringLiteral("int16:-1"), QStringLiteral("int16:-1")});
    EXPECT_TRUE(three.out.contains(QStringLiteral("int16 -1")))
        << three.out.toStdString() << three.err.toStdString();
    EXPECT_EQ(StoredName(QStringLiteral("Three")), QStringLiteral("Eintrag Three"));

    // A rejected file is the result false, quietly.
    const auto missing = GdbusCall(
        kProgId, path, registerMethod,
        {QString::fromStdString((bus_.Root() / "none.cpx").string()), QStringLiteral("-1")});
    EXPECT_EQ(missing.out.trimmed(), QStringLiteral("(int16 0,)")) << missing.err.toStdString();

    // A wrong signature gets the bus's error, and the server serves on.
    const auto wrong =
        RunProgram(QStringLiteral("busctl"),
                   {QStringLiteral("--user"), QStringLiteral("call"), kProgId, path, kInterface,
                    QStringLiteral("Register"), QStringLiteral("i"), QStringLiteral("5")});
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("Register takes the signature")))
        << wrong.err.toStdString();

    const auto removed = GdbusCall(kProgId, path, kInterface + QStringLiteral(".UnRegister"),
                                   {QStringLiteral("One"), QStringLiteral("-1")});
    EXPECT_EQ(removed.out.trimmed(), QStringLiteral("(int16 -1,)")) << removed.err.toStdString();
    EXPECT_TRUE(StoredName(QStringLiteral("One")).isEmpty());

    const auto released = GdbusCall(kProgId, path, QStringLiteral("TRX.Automation.Object.Release"));
    EXPECT_EQ(released.exitCode, 0) << released.err.toStdString();
    EXPECT_TRUE(
        test::WaitUntil([&] { return !bus_.HasOwner(kProgId) && !bus_.HasOwner(unique); }, 10s));
}

TEST_F(CPXFileBusTest, TheProjectsClientRegistersAndTheServerEndsAfterRelease) {
    auto file = AutomationClient(bus_.Connection()).Create(kProgId);
    const QString unique = file.Server();
    EXPECT_EQ(file.Call(QStringLiteral("Register"),
                        {WriteCpx("client.cpx", "Client"), QVariant::fromValue<short>(-1)})
                  .value<short>(),
              -1);
    EXPECT_EQ(StoredName(QStringLiteral("Client")), QStringLiteral("Eintrag Client"));
    EXPECT_EQ(file.Call(QStringLiteral("UnRegisterFile"),
                        {WriteCpx("client.cpx", "Client"), QVariant::fromValue<short>(-1),
                         QVariant::fromValue<short>(0)})
                  .value<short>(),
              -1);
    EXPECT_TRUE(StoredName(QStringLiteral("Client")).isEmpty());
    file.Release();
    EXPECT_TRUE(
        test::WaitUntil([&] { return !bus_.HasOwner(kProgId) && !bus_.HasOwner(unique); }, 10s));
}

TEST_F(CPXFileBusTest, TheServerEndsAfterItsClientIsKilled) {
    QProcess client;
    client.start(QStringLiteral(TRX_HOLDING_CLIENT), {kProgId});
    ASSERT_TRUE(client.waitForStarted(10000));
    ASSERT_TRUE(test::WaitUntil([&] { return client.canReadLine(); }, 20s))
        << client.readAllStandardError().toStdString();
    const auto line = QString::fromUtf8(client.readLine()).trimmed().split(u' ');
    ASSERT_EQ(line.size(), 2);
    const QString unique = line[0];
    EXPECT_EQ(line[1], QStringLiteral("/CPXFile/1"));
    client.kill();
    client.waitForFinished(10000);
    // The object outlives its owner for a grace, then the server lingers.
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(unique); }, 40s));
    EXPECT_FALSE(bus_.HasOwner(kProgId));
}

TEST_F(CPXFileBusTest, StartedAsAProgramItDoesNotTakeTheBusName) {
    const auto program = bus_.Root() / "bin" / "vxRegCPX";
    const auto run = RunProgram(QString::fromStdString(program.string()),
                                {WriteCpx("plain.cpx", "Plain"), QStringLiteral("/q")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(StoredName(QStringLiteral("Plain")), QStringLiteral("Eintrag Plain"));
    EXPECT_FALSE(bus_.HasOwner(kProgId));
}

}  // namespace
}  // namespace trx
