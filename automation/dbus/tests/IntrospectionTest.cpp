#include "tests/support/PrivateBus.h"

#include <QDBusMessage>

#include <gtest/gtest.h>

namespace trx {
namespace {

using namespace std::chrono_literals;

const QString kProbe = QStringLiteral("TRXTest.Probe");

QString Introspect(test::PrivateBus& bus, const QString& path) {
    auto call = QDBusMessage::createMethodCall(
        kProbe, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const auto reply = bus.Connection().call(call);
    return reply.arguments().value(0).toString();
}

QString Annotation(const QString& name, const QString& value) {
    return QStringLiteral("<annotation name=\"TRX.Automation.%1\" value=\"%2\"/>").arg(name, value);
}

TEST(IntrospectionTest, ClassObjectAndServedObjectsCarryTheAutomationIdentity) {
    test::PrivateBus bus;
    bus.WriteService(kProbe, {QStringLiteral(TRX_PROBE_SERVER), QStringLiteral("-Embedding"),
                              QStringLiteral("--linger=200")});
    auto create = QDBusMessage::createMethodCall(kProbe, QStringLiteral("/"),
                                                 QStringLiteral("TRX.Automation.ClassFactory"),
                                                 QStringLiteral("CreateInstance"));
    ASSERT_EQ(bus.Connection().call(create).type(), QDBusMessage::ReplyMessage);

    const QString root = Introspect(bus, QStringLiteral("/"));
    for (const auto& expected : {
             QStringLiteral("<interface name=\"TRX.Automation.ClassFactory\">"),
             Annotation(QStringLiteral("ProgId"), kProbe),
             Annotation(QStringLiteral("ClassId"),
                        QStringLiteral("{00000000-0000-4000-8000-000000000001}")),
             Annotation(QStringLiteral("TypeLibrary.Name"), QStringLiteral("TRXTest")),
             Annotation(QStringLiteral("TypeLibrary.Version"), QStringLiteral("1.2")),
             Annotation(QStringLiteral("TypeLibrary.HelpText"), QStringLiteral("Prüfklasse")),
             Annotation(QStringLiteral("VersionResource.CompanyName"), QStringLiteral("Velmora")),
             Annotation(QStringLiteral("VersionResource.FileVersion"), QStringLiteral("1.00")),
             Annotation(QStringLiteral("VersionResource.Language"), QStringLiteral("0407")),
             QStringLiteral("<node name=\"Probe\"/>"),
         }) {
        EXPECT_TRUE(root.contains(expected)) << expected.toStdString();
    }
    EXPECT_TRUE(
        Introspect(bus, QStringLiteral("/Probe")).contains(QStringLiteral("<node name=\"1\"/>")));

    const QString object = Introspect(bus, QStringLiteral("/Probe/1"));
    for (const auto& expected : {
             QStringLiteral("<interface name=\"TRXTest._Probe\">"),
             QStringLiteral("<interface name=\"TRX.Automation.Object\">"),
             QStringLiteral("<interface name=\"TRXTest.__Probe\">"),
             Annotation(QStringLiteral("InterfaceId"),
                        QStringLiteral("{00000000-0000-4000-8000-000000000002}")),
             Annotation(QStringLiteral("Alias"), QStringLiteral("Probe___v0")),
             Annotation(QStringLiteral("AliasId"),
                        QStringLiteral("{00000000-0000-4000-8000-000000000003}")),
             Annotation(QStringLiteral("DispId"), QStringLiteral("0x60030000")),
             Annotation(QStringLiteral("DispId"), QStringLiteral("0x68030002")),
             Annotation(QStringLiteral("DispId"), QStringLiteral("1")),
             QStringLiteral("<property name=\"Label\" type=\"s\" access=\"read\">"),
             QStringLiteral("<property name=\"Value\" type=\"i\" access=\"readwrite\">"),
             QStringLiteral("<arg name=\"First\" type=\"n\" direction=\"in\"><annotation "
                            "name=\"TRX.Automation.Optional\" "
                            "value=\"0\"/></arg>"),
         }) {
        EXPECT_TRUE(object.contains(expected)) << expected.toStdString();
    }

    // busctl parses the data as a standard client does. It reads the
    // property values too, so it gets an object that a gdbus run created and
    // left behind for the next connection to adopt.
    const auto created = test::GdbusCall(
        kProbe, QStringLiteral("/"), QStringLiteral("TRX.Automation.ClassFactory.CreateInstance"));
    ASSERT_EQ(created.out.trimmed(), QStringLiteral("(objectpath '/Probe/2',)"));
    const auto listed = test::RunProgram(
        QStringLiteral("busctl"), {QStringLiteral("--user"), QStringLiteral("introspect"), kProbe,
                                   QStringLiteral("/Probe/2"), QStringLiteral("TRXTest._Probe")});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral(".Echo"))) << listed.out.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral(".Value"))) << listed.out.toStdString();
}

}  // namespace
}  // namespace trx
