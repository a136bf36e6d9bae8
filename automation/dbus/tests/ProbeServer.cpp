// A small served class for the tests of the automation layer: optional
// parameters, errors, properties, an event, and a call that runs a nested
// event loop as a message box would.
#include "automation/ClassBuilder.h"
#include "automation/dbus/BusServer.h"
#include "automation/dbus/ServiceRegistration.h"
#include "common/AutomationError.h"
#include "platform/qt/QtText.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <iostream>
#include <string>

namespace {

class Probe {
  public:
    explicit Probe(trx::EventRaiser raiseEvent) : raise_(std::move(raiseEvent)) {}

    std::u16string Echo(const std::u16string& text, trx::AutoBool first,
                        trx::AutoBool second) const {
        return trx::FromQString(
            QStringLiteral("%1|%2|%3").arg(trx::ToQString(text)).arg(first).arg(second));
    }

    void Fail(std::int32_t number, const std::u16string& source,
              const std::u16string& description) {
        throw trx::AutomationError(number, source, description);
    }

    // Holds the call open the way a message box does.
    void Nest(std::int32_t milliseconds) {
        log_ << QStringLiteral("nest-begin");
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
        log_ << QStringLiteral("nest-end");
    }

    void Mark(const std::u16string& text) { log_ << trx::ToQString(text); }
    std::u16string Log() const { return trx::FromQString(log_.join(u',')); }
    void Ping(const std::u16string& text) { trx::Raise(raise_, u"Pinged", text); }
    std::u16string Fill(std::int32_t bytes) const {
        return std::u16string(static_cast<std::size_t>(bytes), u'x');
    }

    std::int32_t GetValue() const { return value_; }
    void PutValue(std::int32_t vData) { value_ = vData; }
    double GetStamp() const { return stamp_; }
    void PutStamp(double vData) { stamp_ = vData; }
    std::u16string GetLabel() const { return u"probe"; }

  private:
    trx::EventRaiser raise_;
    QStringList log_;
    std::int32_t value_ = 0;
    double stamp_ = 0.0;
};

trx::ClassDescription ProbeClass(bool refuseCreate) {
    trx::ClassIdentity identity;
    identity.className = u"Probe";
    identity.classId = u"{00000000-0000-4000-8000-000000000001}";
    identity.interfaceId = u"{00000000-0000-4000-8000-000000000002}";
    identity.aliasName = u"Probe___v0";
    identity.aliasId = u"{00000000-0000-4000-8000-000000000003}";
    identity.eventInterfaceId = u"{00000000-0000-4000-8000-000000000004}";
    identity.typeLibrary = {u"TRXTest",    1, 2, u"{00000000-0000-4000-8000-000000000005}",
                            u"Prüfklasse", {}};
    identity.versionResource = {u"Velmora", u"TRXTest", u"TRXTest", u"TRXTest.exe"};
    return trx::ClassBuilder<Probe>(identity)
        .Create([refuseCreate](const trx::EventRaiser& raiseEvent) {
            if (refuseCreate) {
                throw trx::OverflowError();
            }
            return std::make_unique<Probe>(raiseEvent);
        })
        .Method<&Probe::Echo>(
            u"Echo", 0x60030000,
            {u"Text", trx::Optional(u"First", trx::kFalse), trx::Optional(u"Second", trx::kFalse)})
        .Method<&Probe::Fail>(u"Fail", 0x60030001, {u"Number", u"Source", u"Description"})
        .Method<&Probe::Nest>(u"Nest", 0x60030002, {u"Milliseconds"})
        .Method<&Probe::Mark>(u"Mark", 0x60030003, {u"Text"})
        .Method<&Probe::Log>(u"Log", 0x60030004)
        .Method<&Probe::Ping>(u"Ping", 0x60030005, {u"Text"})
        .Method<&Probe::Fill>(u"Fill", 0x60030006, {u"Bytes"})
        .Property<&Probe::GetValue, &Probe::PutValue>(u"Value", 0x68030000)
        .Property<&Probe::GetStamp, &Probe::PutStamp>(u"Stamp", 0x68030001)
        .Property<&Probe::GetLabel>(u"Label", 0x68030002)
        .Event<std::u16string>(u"Pinged", 1, {u"Text"})
        .Build();
}

std::chrono::milliseconds Option(const QStringList& args, const QString& name,
                                 std::chrono::milliseconds fallback) {
    for (const auto& arg : args) {
        if (arg.startsWith(name + u'=')) {
            return std::chrono::milliseconds(arg.mid(name.size() + 1).toInt());
        }
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (auto code =
            trx::HandleRegistrationSwitches(argc, argv, "TRXTest.Probe", std::cout, std::cerr)) {
        return *code;
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (!args.contains(QStringLiteral("-Embedding"))) {
        std::cerr << "trx_probe_server serves only when started with -Embedding\n";
        return 2;
    }
    trx::ServerOptions options;
    options.linger = Option(args, QStringLiteral("--linger"), options.linger);
    options.startIdle = Option(args, QStringLiteral("--idle"), options.startIdle);
    options.orphanGrace = Option(args, QStringLiteral("--orphan"), options.orphanGrace);
    options.maxObjectsPerConnection =
        static_cast<int>(Option(args, QStringLiteral("--max-objects"),
                                std::chrono::milliseconds(options.maxObjectsPerConnection))
                             .count());
    trx::BusServer server(QDBusConnection::sessionBus(), options);
    return server.Serve(ProbeClass(args.contains(QStringLiteral("--refuse-create"))));
}
