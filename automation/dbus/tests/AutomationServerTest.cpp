#include "automation/dbus/AutomationClient.h"
#include "automation/dbus/BusServer.h"
#include "common/AutomationError.h"
#include "platform/qt/QtText.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QSet>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace trx {
namespace {

using namespace std::chrono_literals;
using test::PrivateBus;
using test::RunProgram;
using test::WaitUntil;

const QString kProbe = QStringLiteral("TRXTest.Probe");
const QString kProbeInterface = QStringLiteral("TRXTest._Probe");

class AutomationServerTest : public ::testing::Test {
  protected:
    // The bus starts the probe server on demand, with the given lifetimes.
    void ServeProbe(const QStringList& options = {QStringLiteral("--linger=200")}) {
        bus_.WriteService(
            kProbe,
            QStringList{QStringLiteral(TRX_PROBE_SERVER), QStringLiteral("-Embedding")} + options);
    }

    AutomationObject Create() { return AutomationClient(bus_.Connection()).Create(kProbe); }

    bool ServerEnds(const QString& unique, std::chrono::milliseconds deadline = 10s) {
        return WaitUntil([&] { return !bus_.HasOwner(kProbe) && !bus_.HasOwner(unique); },
                         deadline);
    }

    PrivateBus bus_;
};

TEST_F(AutomationServerTest, CreateInstanceNumbersObjectsFromOneAndOwnsThemByCaller) {
    ServeProbe();
    auto first = Create();
    auto second = Create();
    EXPECT_EQ(first.Path(), QStringLiteral("/Probe/1"));
    EXPECT_EQ(second.Path(), QStringLiteral("/Probe/2"));
    EXPECT_EQ(first.Server(), bus_.Owner(kProbe));
    EXPECT_EQ(first.Interface(), kProbeInterface);
}

TEST_F(AutomationServerTest, TrailingOptionalParametersTakeTheirDefaults) {
    ServeProbe();
    auto probe = Create();
    struct Case {
        QVariantList args;
        QString expected;
    } cases[] = {
        {{QStringLiteral("x")}, QStringLiteral("x|0|0")},
        {{QStringLiteral("x"), QVariant::fromValue<short>(-1)}, QStringLiteral("x|-1|0")},
        {{QStringLiteral("x"), QVariant::fromValue<short>(-1), QVariant::fromValue<short>(-1)},
         QStringLiteral("x|-1|-1")},
        // Booleans other than -1 and 0 reach the class as they are.
        {{QStringLiteral("x"), QVariant::fromValue<short>(5), QVariant::fromValue<short>(1)},
         QStringLiteral("x|5|1")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(probe.Call(QStringLiteral("Echo"), c.args).toString(), c.expected)
            << c.expected.toStdString();
    }
}

TEST_F(AutomationServerTest, BadCallsGetTheBusErrorsAndTheServerServesOn) {
    ServeProbe();
    auto probe = Create();
    const QString unknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
    const QString invalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    struct Case {
        QString path;
        QString interface;
        QString member;
        QVariantList args;
        QString error;
    } cases[] = {
        {probe.Path(), kProbeInterface, QStringLiteral("Echo"), {42}, invalidArgs},
        {probe.Path(), kProbeInterface, QStringLiteral("Echo"), {}, invalidArgs},
        {probe.Path(),
         kProbeInterface,
         QStringLiteral("Echo"),
         {QStringLiteral("x"), QVariant::fromValue<short>(0), QVariant::fromValue<short>(0),
          QStringLiteral("y")},
         invalidArgs},
        {probe.Path(), kProbeInterface, QStringLiteral("Save"), {}, unknownMethod},
        {probe.Path(),
         QStringLiteral("TRXTest._Other"),
         QStringLiteral("Echo"),
         {QStringLiteral("x")},
         QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface")},
        {QStringLiteral("/Probe/9"),
         kProbeInterface,
         QStringLiteral("Echo"),
         {QStringLiteral("x")},
         QStringLiteral("org.freedesktop.DBus.Error.UnknownObject")},
        {QStringLiteral("/"),
         QStringLiteral("TRX.Automation.ClassFactory"),
         QStringLiteral("CreateInstance"),
         {1},
         invalidArgs},
    };
    for (const auto& c : cases) {
        auto call = QDBusMessage::createMethodCall(probe.Server(), c.path, c.interface, c.member);
        call.setArguments(c.args);
        const auto reply = bus_.Connection().call(call);
        EXPECT_EQ(reply.errorName(), c.error)
            << c.member.toStdString() << " " << c.path.toStdString();
    }
    EXPECT_EQ(probe.Call(QStringLiteral("Echo"), {QStringLiteral("still")}).toString(),
              QStringLiteral("still|0|0"));
}

TEST_F(AutomationServerTest, AutomationErrorCarriesNumberSourceAndDescription) {
    ServeProbe();
    auto probe = Create();
    try {
        probe.Call(QStringLiteral("Fail"),
                   {static_cast<int>(0x80040000U + 5000U), QStringLiteral("TRXTest"),
                    QStringLiteral("Zeitüberschreitung")});
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80040000U + 5000U));
        EXPECT_EQ(error.Source(), u"TRXTest");
        EXPECT_EQ(error.Description(), u"Zeitüberschreitung");
    }
    // The wire form: the name, the description as the message, then i and s.
    auto call = QDBusMessage::createMethodCall(probe.Server(), probe.Path(), kProbeInterface,
                                               QStringLiteral("Fail"));
    call << 6 << QStringLiteral("src") << QStringLiteral("desc");
    const auto reply = bus_.Connection().call(call);
    EXPECT_EQ(reply.errorName(), QStringLiteral("TRX.Automation.Error"));
    ASSERT_EQ(reply.arguments().size(), 3);
    EXPECT_EQ(reply.signature(), QStringLiteral("sis"));
    EXPECT_EQ(reply.arguments()[0].toString(), QStringLiteral("desc"));
    EXPECT_EQ(reply.arguments()[1].toInt(), 6);
    EXPECT_EQ(reply.arguments()[2].toString(), QStringLiteral("src"));
}

TEST_F(AutomationServerTest, FailedCreationReachesTheCreateInstanceCaller) {
    ServeProbe({QStringLiteral("--linger=200"), QStringLiteral("--refuse-create")});
    try {
        Create();
        FAIL() << "created";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.Number(), kErrOverflow);
    }
}

TEST_F(AutomationServerTest, PropertiesAreReadAndWrittenThroughTheStandardInterface) {
    ServeProbe();
    auto probe = Create();
    probe.Set(QStringLiteral("Value"), 41);
    probe.Set(QStringLiteral("Stamp"), 36068.5);
    EXPECT_EQ(probe.Get(QStringLiteral("Value")).toInt(), 41);
    EXPECT_EQ(probe.Get(QStringLiteral("Stamp")).toDouble(), 36068.5);
    EXPECT_EQ(probe.Get(QStringLiteral("Label")).toString(), QStringLiteral("probe"));

    auto getAll = QDBusMessage::createMethodCall(probe.Server(), probe.Path(),
                                                 QStringLiteral("org.freedesktop.DBus.Properties"),
                                                 QStringLiteral("GetAll"));
    getAll << kProbeInterface;
    const auto all = bus_.Connection().call(getAll);
    ASSERT_EQ(all.type(), QDBusMessage::ReplyMessage) << all.errorMessage().toStdString();

    struct Case {
        QString property;
        QVariant value;
        QString error;
    } cases[] = {
        {QStringLiteral("Label"), QStringLiteral("x"),
         QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly")},
        {QStringLiteral("Value"), QStringLiteral("x"),
         QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs")},
        {QStringLiteral("Nothing"), 1,
         QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty")},
    };
    for (const auto& c : cases) {
        try {
            probe.Set(c.property, c.value);
            ADD_FAILURE() << c.property.toStdString();
        } catch (const BusError& error) {
            EXPECT_EQ(error.Name(), c.error) << c.property.toStdString();
        }
    }
    EXPECT_EQ(probe.Get(QStringLiteral("Value")).toInt(), 41);
}

TEST_F(AutomationServerTest, ACallArrivingDuringANestedEventLoopWaitsForTheRunningCall) {
    ServeProbe();
    auto probe = Create();
    auto connection = bus_.Connection();
    auto nest = QDBusMessage::createMethodCall(probe.Server(), probe.Path(), kProbeInterface,
                                               QStringLiteral("Nest"));
    nest << 400;
    auto mark = QDBusMessage::createMethodCall(probe.Server(), probe.Path(), kProbeInterface,
                                               QStringLiteral("Mark"));
    mark << QStringLiteral("mark");
    QDBusPendingCall first = connection.asyncCall(nest, AutomationClient::kNoTimeout);
    QDBusPendingCall second = connection.asyncCall(mark, AutomationClient::kNoTimeout);
    second.waitForFinished();
    first.waitForFinished();
    EXPECT_FALSE(first.isError());
    EXPECT_FALSE(second.isError());
    EXPECT_EQ(probe.Call(QStringLiteral("Log")).toString(),
              QStringLiteral("nest-begin,nest-end,mark"));
}

TEST_F(AutomationServerTest, ACallLongerThanTheBusDefaultTimeoutIsWaitedFor) {
    ServeProbe();
    auto probe = Create();
    // A person may take minutes over a message box; 26 s is past the 25 s
    // that D-Bus clients wait by default.
    EXPECT_NO_THROW(probe.Call(QStringLiteral("Nest"), {26000}));
    EXPECT_EQ(probe.Call(QStringLiteral("Log")).toString(), QStringLiteral("nest-begin,nest-end"));
}

TEST_F(AutomationServerTest, EventsReachTheClientsAsSignals) {
    ServeProbe();
    auto probe = Create();
    QVariantList received;
    probe.OnEvent(QStringLiteral("Pinged"), [&](const QVariantList& args) { received = args; });
    probe.Call(QStringLiteral("Ping"), {QStringLiteral("hallo")});
    ASSERT_TRUE(WaitUntil([&] { return !received.isEmpty(); }, 10s));
    EXPECT_EQ(received.front().toString(), QStringLiteral("hallo"));
}

TEST_F(AutomationServerTest, ServerGivesUpItsNameAndEndsAfterTheLastRelease) {
    ServeProbe();
    auto first = Create();
    auto second = Create();
    const QString unique = first.Server();
    first.Release();
    EXPECT_THROW(first.Call(QStringLiteral("Log")), BusError);
    EXPECT_TRUE(bus_.HasOwner(kProbe));
    second.Release();
    EXPECT_TRUE(ServerEnds(unique));
    // A client that calls again starts a new server, whose numbering starts anew.
    auto again = Create();
    EXPECT_NE(again.Server(), unique);
    EXPECT_EQ(again.Path(), QStringLiteral("/Probe/1"));
}

TEST_F(AutomationServerTest, CallsThatMeetAnEndingServerAreAnsweredAndTheNextStartsANewOne) {
    // Without a linger the server ends right after each Release, so the next
    // CreateInstance often reaches it while it ends.
    ServeProbe({QStringLiteral("--linger=0")});
    QSet<QString> servers;
    for (int round = 0; round < 15; ++round) {
        auto probe = Create();
        servers.insert(probe.Server());
        EXPECT_EQ(probe.Call(QStringLiteral("Echo"), {QStringLiteral("r")}).toString(),
                  QStringLiteral("r|0|0"));
        probe.Release();
    }
    EXPECT_GT(servers.size(), 1);  // servers did end between the rounds
}

TEST_F(AutomationServerTest, ObjectsOfAClientWhoseConnectionGoesAreDropped) {
    ServeProbe({QStringLiteral("--linger=200"), QStringLiteral("--orphan=0")});
    QString unique;
    QString other;
    {
        // The connection closes only when no copy of it is left.
        auto connection = bus_.NewConnection();
        other = connection.name();
        unique = AutomationClient(connection).Create(kProbe).Server();
    }
    bus_.Disconnect(other);
    EXPECT_TRUE(ServerEnds(unique));
}

TEST_F(AutomationServerTest, AnOrphanIsAdoptedByTheNextConnectionThatCallsIt) {
    ServeProbe({QStringLiteral("--linger=200"), QStringLiteral("--orphan=20000")});
    // Each gdbus run is a connection of its own, as a person at a shell has.
    const auto created = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), kProbe,
         QStringLiteral("--object-path"), QStringLiteral("/"), QStringLiteral("--method"),
         QStringLiteral("TRX.Automation.ClassFactory.CreateInstance")});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_EQ(created.out.trimmed(), QStringLiteral("(objectpath '/Probe/1',)"));
    const QString unique = bus_.Owner(kProbe);
    auto echo = RunProgram(
        QStringLiteral("gdbus"),
        {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), kProbe,
         QStringLiteral("--object-path"), QStringLiteral("/Probe/1"), QStringLiteral("--method"),
         kProbeInterface + QStringLiteral(".Echo"), QStringLiteral("hi")});
    ASSERT_EQ(echo.exitCode, 0) << echo.err.toStdString();
    EXPECT_EQ(echo.out.trimmed(), QStringLiteral("('hi|0|0',)"));
    auto release =
        RunProgram(QStringLiteral("gdbus"),
                   {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                    kProbe, QStringLiteral("--object-path"), QStringLiteral("/Probe/1"),
                    QStringLiteral("--method"), QStringLiteral("TRX.Automation.Object.Release")});
    ASSERT_EQ(release.exitCode, 0) << release.err.toStdString();
    EXPECT_TRUE(ServerEnds(unique));
}

TEST_F(AutomationServerTest, BusStartedServerWithoutCreateInstanceEnds) {
    ServeProbe({QStringLiteral("--idle=300")});
    // Introspection starts the server but creates nothing.
    auto call = QDBusMessage::createMethodCall(
        kProbe, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const auto reply = bus_.Connection().call(call);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_TRUE(ServerEnds(reply.service()));
}

TEST_F(AutomationServerTest, RegServerWritesTheServiceFileThatTheBusStartsTheServerWith) {
    const auto registered =
        RunProgram(QStringLiteral(TRX_PROBE_SERVER), {QStringLiteral("-regserver")});
    ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
    EXPECT_TRUE(std::filesystem::exists(bus_.ServiceFolder() / "TRXTest.Probe.service"));
    auto probe = Create();
    EXPECT_EQ(probe.Call(QStringLiteral("Echo"), {QStringLiteral("a")}).toString(),
              QStringLiteral("a|0|0"));
    probe.Release();

    const auto unregistered =
        RunProgram(QStringLiteral(TRX_PROBE_SERVER), {QStringLiteral("/UnRegServer")});
    ASSERT_EQ(unregistered.exitCode, 0) << unregistered.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(bus_.ServiceFolder() / "TRXTest.Probe.service"));
}

}  // namespace
}  // namespace trx

namespace trx {
namespace {

std::int32_t ErrorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AutomationError& error) {
        return error.Number();
    }
    return 0;
}

TEST_F(AutomationServerTest, AReplyTooLargeForTheBusFailsItsCallAndNoClientLosesItsObjects) {
    ServeProbe();
    auto probe = Create();
    auto other = AutomationClient(bus_.NewConnection()).Create(kProbe);
    // The private bus keeps dbus-daemon's default limit of 32 MiB a message.
    constexpr int kLimit = 32 * 1024 * 1024;
    EXPECT_EQ(ErrorNumberOf([&] { probe.Call(QStringLiteral("Fill"), {kLimit}); }),
              kErrReplyTooLarge);
    // Just below the limit the reply travels.
    EXPECT_EQ(probe.Call(QStringLiteral("Fill"), {kLimit - 8192}).toString().size(), kLimit - 8192);
    EXPECT_EQ(probe.Call(QStringLiteral("Echo"), {QStringLiteral("a")}).toString(),
              QStringLiteral("a|0|0"));
    EXPECT_EQ(other.Call(QStringLiteral("Echo"), {QStringLiteral("b")}).toString(),
              QStringLiteral("b|0|0"));
}

TEST_F(AutomationServerTest, OnlyTheOwningConnectionMayUseAnObject) {
    ServeProbe();
    auto mine = Create();
    mine.Set(QStringLiteral("Value"), 7);
    const AutomationObject theirs(bus_.NewConnection(), mine.Server(), mine.Path(),
                                  mine.Interface());
    const std::function<void()> attempts[] = {
        [&] { theirs.Call(QStringLiteral("Echo"), {QStringLiteral("x")}); },
        [&] { theirs.Get(QStringLiteral("Value")); },
        [&] { theirs.Set(QStringLiteral("Value"), 8); },
        [&] { theirs.Release(); },
    };
    for (const auto& attempt : attempts) {
        EXPECT_EQ(ErrorNumberOf(attempt), kErrNotOwner);
    }
    EXPECT_EQ(mine.Get(QStringLiteral("Value")).toInt(), 7);
    // Introspection of /Probe shows each connection its own objects only.
    auto introspect = [&](QDBusConnection connection) {
        auto call = QDBusMessage::createMethodCall(
            mine.Server(), QStringLiteral("/Probe"),
            QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        return connection.call(call).arguments().value(0).toString();
    };
    EXPECT_TRUE(introspect(bus_.Connection()).contains(QStringLiteral("<node name=\"1\"/>")));
    EXPECT_FALSE(introspect(bus_.NewConnection()).contains(QStringLiteral("<node name=\"1\"")));
    mine.Release();
}

TEST_F(AutomationServerTest, AConnectionMayHoldOnlySoManyObjects) {
    ServeProbe({QStringLiteral("--linger=200"), QStringLiteral("--max-objects=2")});
    auto first = Create();
    auto second = Create();
    EXPECT_EQ(ErrorNumberOf([&] { Create(); }), kErrTooManyObjects);
    // Another connection has its own count, and a release makes room.
    auto elsewhere = AutomationClient(bus_.NewConnection()).Create(kProbe);
    first.Release();
    auto third = Create();
    EXPECT_EQ(third.Server(), elsewhere.Server());
}

TEST_F(AutomationServerTest, SweepingAHundredThousandOrphansHoldsOtherClientsUpBriefly) {
    constexpr int kOrphans = 100000;
    ServeProbe({QStringLiteral("--linger=200"), QStringLiteral("--orphan=1000"),
                QStringLiteral("--max-objects=100000")});
    auto probe = Create();
    {
        QDBusConnection leaving = bus_.NewConnection();
        const auto create = QDBusMessage::createMethodCall(
            probe.Server(), QStringLiteral("/"), QStringLiteral("TRX.Automation.ClassFactory"),
            QStringLiteral("CreateInstance"));
        for (int done = 0; done < kOrphans;) {
            std::vector<QDBusPendingCall> batch;
            for (int i = 0; i < 100; ++i, ++done) {  // the bus allows 128 pending
                batch.push_back(leaving.asyncCall(create));
            }
            for (auto& call : batch) {
                call.waitForFinished();
                ASSERT_FALSE(call.isError()) << call.error().message().toStdString();
            }
        }
        bus_.Disconnect(leaving.name());
    }
    // The orphans fall due a second later; meanwhile and after, another
    // client's calls go on being answered.
    std::chrono::steady_clock::duration longest{};
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 4s) {
        const auto before = std::chrono::steady_clock::now();
        probe.Call(QStringLiteral("Echo"), {QStringLiteral("x")});
        longest = std::max(longest, std::chrono::steady_clock::now() - before);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(longest).count();
    std::printf("longest call while 100,000 orphans were swept: %lld ms\n",
                static_cast<long long>(ms));
    // Alone on the machine the longest call takes well under 100 ms; the
    // bound leaves room for a machine busy with other work. One timer per
    // orphan took 17 s here.
    EXPECT_LT(ms, 2000);
    // All of them are gone: the server ends after the last release.
    const QString unique = probe.Server();
    probe.Release();
    EXPECT_TRUE(ServerEnds(unique));
}

}  // namespace
}  // namespace trx
