// The bus servers under many cycles and malformed calls, on a private bus,
// through the service files that their own /RegServer writes.

#include "automation/dbus/AutomationClient.h"
#include "tests/reliability/Child.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TempDir.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMap>

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace trx {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const QString kVersion = QStringLiteral("vxTRXVer.Version");
const QString kCPXFile = QStringLiteral("vxRegCPX.CPXFile");

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

class BusReliabilityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path bin = bus_.Root() / "bin";
        for (const char* program : {TRX_VXTRXVER, TRX_VXREGCPX}) {
            const auto copy = test::CopyProgram(program, bin);
            const auto registered = test::RunProgram(QString::fromStdString(copy.string()),
                                                     {QStringLiteral("/RegServer")});
            ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
        }
        test::WriteFile(bin / "vxTRX.ini",
                        "[Common]\r\nVersion=4.1\r\nRequiredDBVersion=4010\r\nBuild=7743.2\r\n");
    }

    // The process id of the server that owns name now, or 0.
    unsigned ServerPid(const QString& name) const {
        const auto reply = bus_.Connection().interface()->servicePid(name);
        return reply.isValid() ? reply.value() : 0;
    }

    // A raw call without a time-out; its reply or error message.
    QDBusMessage Raw(const QString& service, const QString& path, const QString& interface,
                     const QString& method, const QVariantList& args) const {
        auto call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(args);
        return bus_.Connection().call(call, QDBus::Block, AutomationClient::kNoTimeout);
    }

    test::PrivateBus bus_;
};

TEST_F(BusReliabilityTest, AThousandCreateUseReleaseCyclesKeepTheServersMemoryFlat) {
    const AutomationClient client(bus_.Connection());
    QString server;
    unsigned pid = 0;
    long after100 = 0;
    for (int cycle = 1; cycle <= 1000; ++cycle) {
        AutomationObject version = client.Create(kVersion);
        ASSERT_EQ(version.Get(QStringLiteral("Version")).toString(), QStringLiteral("4.1"));
        version.Set(QStringLiteral("Build"), QVariant::fromValue<int>(7000 + cycle % 100));
        ASSERT_EQ(version.Get(QStringLiteral("Build")).toInt(), 7000 + cycle % 100);
        version.Release();
        if (cycle == 1) {
            server = version.Server();
        }
        // One server serves every cycle: none ends while the next one comes.
        ASSERT_EQ(version.Server(), server) << "cycle " << cycle;
        if (cycle == 100) {
            pid = ServerPid(server);
            after100 = test::ResidentKiB(static_cast<int>(pid));
        }
    }
    const long atEnd = test::ResidentKiB(static_cast<int>(pid));
    RecordProperty("rss_after_100_kib", std::to_string(after100));
    RecordProperty("rss_after_1000_kib", std::to_string(atEnd));
    std::printf("vxTRXVer resident memory: %ld KiB after 100 cycles, %ld KiB after 1000\n",
                after100, atEnd);
    ASSERT_GT(after100, 0);
    if (!Sanitized()) {
        // The sanitizer keeps freed memory in quarantine, so only a plain
        // build measures the server's own use.
        EXPECT_LE(static_cast<double>(atEnd), 1.10 * static_cast<double>(after100));
    }
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(server); }, 20s))
        << "the server did not end after the last release";
}

// A server shows nothing on a display of its own, so it must not pay for
// loading the graphical libraries when it starts.
TEST_F(BusReliabilityTest, ServersMapNoGraphicalLibrary) {
    const AutomationClient client(bus_.Connection());
    AutomationObject file = client.Create(kCPXFile);
    AutomationObject version = client.Create(kVersion);
    for (const QString& server : {kCPXFile, kVersion}) {
        const unsigned pid = ServerPid(server);
        ASSERT_NE(pid, 0u) << server.toStdString();
        const std::string maps = test::ReadFile(fs::path("/proc") / std::to_string(pid) / "maps");
        ASSERT_NE(maps.find("libQt6DBus"), std::string::npos) << server.toStdString();
        EXPECT_EQ(maps.find("libQt6Gui"), std::string::npos) << server.toStdString();
        EXPECT_EQ(maps.find("libQt6Widgets"), std::string::npos) << server.toStdString();
    }
}

TEST_F(BusReliabilityTest, TheRegistrarStartsAndServesWithADisplayThatIsGone) {
    // Servers started from now on see a DISPLAY with no X server behind it.
    auto update = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    const QMap<QString, QString> environment = {
        {QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(5000 + getpid() % 1000)},
        {QStringLiteral("QT_QPA_PLATFORM"), QString()}};
    qDBusRegisterMetaType<QMap<QString, QString>>();
    update << QVariant::fromValue(environment);
    ASSERT_NE(bus_.Connection().call(update).type(), QDBusMessage::ErrorMessage);

    const AutomationClient client(bus_.Connection());
    AutomationObject file = client.Create(kCPXFile);
    const QDBusMessage reply =
        Raw(file.Server(), file.Path(), QStringLiteral("vxRegCPX._CPXFile"),
            QStringLiteral("UnRegister"), {QStringLiteral("Nie"), QVariant::fromValue<short>(-1)});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.arguments().value(0).value<short>(), -1);
}

// Wrong types, counts, members and objects are the server skeleton's tests;
// here the servers' own members meet huge and mistyped values.
TEST_F(BusReliabilityTest, MalformedCallsGetBusErrorsAndTheServersServeOn) {
    const AutomationClient client(bus_.Connection());
    AutomationObject file = client.Create(kCPXFile);
    AutomationObject version = client.Create(kVersion);
    const QString cpxInterface = QStringLiteral("vxRegCPX._CPXFile");
    const QString props = QStringLiteral("org.freedesktop.DBus.Properties");
    const QString huge(16 * 1024 * 1024, u'x');
    const QVariant minusOne = QVariant::fromValue<short>(-1);

    struct Case {
        const char* what;
        QDBusMessage reply;
        const char* errorName;  // or nullptr for a reply
    };
    const Case cases[] = {
        {"Register of a 16 MB path, quietly",
         Raw(file.Server(), file.Path(), cpxInterface, QStringLiteral("Register"),
             {huge, minusOne}),
         nullptr},
        {"UnRegister of a 16 MB key, quietly",
         Raw(file.Server(), file.Path(), cpxInterface, QStringLiteral("UnRegister"),
             {huge, minusOne}),
         nullptr},
        {"Set Build to a string",
         Raw(version.Server(), version.Path(), props, QStringLiteral("Set"),
             {QStringLiteral("vxTRXVer._Version"), QStringLiteral("Build"),
              QVariant::fromValue(QDBusVariant(QStringLiteral("sieben")))}),
         "org.freedesktop.DBus.Error.InvalidArgs"},
        {"Set Version to 16 MB",
         Raw(version.Server(), version.Path(), props, QStringLiteral("Set"),
             {QStringLiteral("vxTRXVer._Version"), QStringLiteral("Version"),
              QVariant::fromValue(QDBusVariant(huge))}),
         nullptr},
        {"Get with a wrong signature",
         Raw(version.Server(), version.Path(), props, QStringLiteral("Get"), {1, 2}),
         "org.freedesktop.DBus.Error.InvalidArgs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.errorName == nullptr) {
            EXPECT_EQ(c.reply.type(), QDBusMessage::ReplyMessage)
                << c.reply.errorName().toStdString() << " " << c.reply.errorMessage().toStdString();
        } else {
            EXPECT_EQ(c.reply.type(), QDBusMessage::ErrorMessage);
            EXPECT_EQ(c.reply.errorName().toStdString(), c.errorName);
        }
    }
    EXPECT_EQ(cases[0].reply.arguments().value(0).value<short>(), 0) << "no such file";

    // Both serve on, and the huge text came through whole.
    EXPECT_EQ(version.Get(QStringLiteral("Version")).toString().size(), huge.size());
    version.Set(QStringLiteral("Version"), QStringLiteral("4.2"));
    EXPECT_EQ(version.Get(QStringLiteral("Version")).toString(), QStringLiteral("4.2"));
    EXPECT_EQ(
        file.Call(QStringLiteral("UnRegister"), {QStringLiteral("Nie"), minusOne}).value<short>(),
        -1);
    // Memory stays bounded: the 16 MB texts are not kept.
    for (const QString& server : {file.Server(), version.Server()}) {
        const long rss = test::ResidentKiB(static_cast<int>(ServerPid(server)));
        RecordProperty(("rss_kib_" + server.toStdString()).c_str(), std::to_string(rss));
        EXPECT_LT(rss, (Sanitized() ? 400 : 150) * 1024) << server.toStdString();
    }
    file.Release();
    version.Release();
}

}  // namespace
}  // namespace trx
