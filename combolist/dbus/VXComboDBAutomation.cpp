#include "combolist/dbus/VXComboDBAutomation.h"

#include "combolist/VXComboDB.h"
#include "combolist/VXComboDBEvents.h"
#include "automation/dbus/AutomationServer.h"
#include "automation/dbus/RecordSetWire.h"
#include "automation/dbus/ServiceRegistration.h"
#include "platform/qt/QtText.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace trx {
namespace {

// Hands the object's in-process events to the bus as signals. A signal does
// not wait for the clients' handlers, so the run goes on at once.
class SignalSink final : public VXComboDBEvents {
  public:
    explicit SignalSink(EventEmitter raise) : raise_(std::move(raise)) {}
    void DataSourceReady(const std::u16string& name) override {
        raise_(QStringLiteral("DataSourceReady"), {ToQString(name)});
    }
    void Ready() override { raise_(QStringLiteral("Ready"), {}); }

  private:
    EventEmitter raise_;
};

std::u16string Text(const QVariant& value) {
    return FromQString(value.toString());
}

}  // namespace

ClassIdentity VXComboDBIdentity() {
    ClassIdentity identity;
    identity.className = QStringLiteral("VXComboDB");
    identity.classId = QStringLiteral("{E30D248C-D6B5-44A0-94B4-33E68C0162C1}");
    identity.interfaceId = QStringLiteral("{E49F6E01-BAB0-410A-AC1B-587F2CF98501}");
    identity.aliasName = QStringLiteral("VXComboDB___v0");
    identity.aliasId = QStringLiteral("{9EA79D08-7C56-4960-B12C-B334D97238B8}");
    identity.eventInterfaceId = QStringLiteral("{01A23D78-91D0-424B-B9C8-0B28B2E1C32B}");
    identity.typeLibrary = {QStringLiteral("VXBComboServer"),
                            2,
                            0,
                            QStringLiteral("{FDBB223C-43A0-4BF3-B0D4-5FA488192DA0}"),
                            QStringLiteral("Velmora Basis Server für Comboboxen"),
                            QStringLiteral("1033")};
    identity.versionResource = {QStringLiteral("Quintaro"), QStringLiteral("VXBComboServer"),
                                QStringLiteral("VXBCboSv"), QStringLiteral("VXBCboSv.exe")};
    return identity;
}

AutomationClass VXComboDBAutomationClass(ConnectionFactory& database, TimerFactory& timers,
                                         Sleeper& sleeper, std::ostream& errors, PostWork post) {
    RegisterRecordSetWireTypes();
    const QString s = QStringLiteral("s");
    auto postedTimers = std::make_shared<PostedTimerFactory>(timers, std::move(post));
    return ClassBuilder<VXComboDB>(VXComboDBIdentity())
        .Create([&database, &sleeper, &errors, postedTimers](const EventEmitter& raise) {
            auto object = std::make_unique<VXComboDB>(database, *postedTimers, sleeper, errors);
            object->Advise(std::make_shared<SignalSink>(raise));
            return object;
        })
        .Method(QStringLiteral("Init"), 0x60030001, {{QStringLiteral("pDmy"), QStringLiteral("i")}},
                {},
                [](VXComboDB& db, const QVariantList& a) {
                    db.Init(a[0].toInt());
                    return QVariant();
                })
        .Method(QStringLiteral("AddComboList"), 0x60030003,
                {{QStringLiteral("connectstring"), s},
                 {QStringLiteral("tableorquery"), s},
                 {QStringLiteral("columnvisible"), s},
                 {QStringLiteral("columnItemData"), s},
                 {QStringLiteral("wherepart"), s, QString()}},
                {},
                [](VXComboDB& db, const QVariantList& a) {
                    db.AddComboList(Text(a[0]), Text(a[1]), Text(a[2]), Text(a[3]), Text(a[4]));
                    return QVariant();
                })
        .Method(QStringLiteral("Refresh"), 0x60030005,
                {{QStringLiteral("tableorquery"), s, QString()}}, {},
                [](VXComboDB& db, const QVariantList& a) {
                    db.Refresh(Text(a[0]));
                    return QVariant();
                })
        .Method(QStringLiteral("ComboList"), 0x68030000, {{QStringLiteral("tableorquery"), s}},
                {QStringLiteral("fields"), QStringLiteral("a(ss)")},
                [](VXComboDB& db, const QVariantList& a) {
                    const std::shared_ptr<const RecordSet> list = db.ComboList(Text(a[0]));
                    return QVariant(EncodeRecordSet(list.get()));
                },
                {{QStringLiteral("rows"), QStringLiteral("aav")}})
        .Event(QStringLiteral("DataSourceReady"), 1, {{QStringLiteral("name"), s}})
        .Event(QStringLiteral("Ready"), 2, {})
        .Build();
}

std::optional<int> HandleVXComboDBRegistration(int argc, const char* const* argv) {
    return HandleRegistrationSwitches(argc, argv, VXComboDBIdentity().ProgId().toStdString(),
                                      std::cout, std::cerr);
}

int ServeVXComboDB(ConnectionFactory& database, TimerFactory& timers, Sleeper& sleeper,
                   std::ostream& errors) {
    // The member table needs the server's Post, and the server needs the
    // table: the objects are made only once the server runs, so the pointer
    // is set by then.
    AutomationServer* server = nullptr;
    AutomationClass served = VXComboDBAutomationClass(
        database, timers, sleeper, errors,
        [&server](std::function<void()> work) { server->Post(std::move(work)); });
    const QString progId = served.identity.ProgId();
    AutomationServer running(QDBusConnection::sessionBus(), std::move(served));
    server = &running;
    // A list loaded for a client that has gone is not worth finishing.
    database.SetKeepLoading([&running] { return running.CallerConnected(); });
    QString error;
    if (!running.Start(error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(progId), qPrintable(error));
        return 1;
    }
    return running.Run();
}

}  // namespace trx
