// A small served class for the tests of the automation layer: optional
// parameters, errors, properties, an event, and a call that runs a nested
// event loop as a message box would.
#include "common/AutomationError.h"
#include "automation/dbus/AutomationServer.h"
#include "automation/dbus/ServiceRegistration.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <iostream>
#include <string>

namespace {

class Probe {
  public:
    explicit Probe(trx::EventEmitter raiseEvent) : raise_(std::move(raiseEvent)) {}

    QString Echo(const QString& text, short first, short second) const {
        return QStringLiteral("%1|%2|%3").arg(text).arg(first).arg(second);
    }

    // Holds the call open the way a message box does.
    void Nest(int milliseconds) {
        log_ << QStringLiteral("nest-begin");
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
        log_ << QStringLiteral("nest-end");
    }

    void Mark(const QString& text) { log_ << text; }
    QString Log() const { return log_.join(u','); }
    void Ping(const QString& text) { raise_(QStringLiteral("Pinged"), {text}); }

    int value = 0;
    double stamp = 0.0;

  private:
    trx::EventEmitter raise_;
    QStringList log_;
};

trx::AutomationClass ProbeClass(bool refuseCreate) {
    trx::ClassIdentity identity;
    identity.className = QStringLiteral("Probe");
    identity.classId = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
    identity.interfaceId = QStringLiteral("{00000000-0000-4000-8000-000000000002}");
    identity.aliasName = QStringLiteral("Probe___v0");
    identity.aliasId = QStringLiteral("{00000000-0000-4000-8000-000000000003}");
    identity.eventInterfaceId = QStringLiteral("{00000000-0000-4000-8000-000000000004}");
    identity.typeLibrary = {QStringLiteral("TRXTest"),
                            1,
                            2,
                            QStringLiteral("{00000000-0000-4000-8000-000000000005}"),
                            QStringLiteral("Prüfklasse"),
                            QString()};
    identity.versionResource = {QStringLiteral("Velmora"), QStringLiteral("TRXTest"),
                                QStringLiteral("TRXTest"), QStringLiteral("TRXTest.exe")};
    const auto n = QStringLiteral("n");
    const auto s = QStringLiteral("s");
    return trx::ClassBuilder<Probe>(identity)
        .Create([refuseCreate](const trx::EventEmitter& raiseEvent) {
            if (refuseCreate) {
                throw trx::OverflowError();
            }
            return std::make_unique<Probe>(raiseEvent);
        })
        .Method(
            QStringLiteral("Echo"), 0x60030000,
            {{QStringLiteral("Text"), s},
             {QStringLiteral("First"), n, 0},
             {QStringLiteral("Second"), n, 0}},
            {QStringLiteral("Result"), s},
            [](Probe& p, const QVariantList& a) {
                return QVariant(p.Echo(a[0].toString(), a[1].value<short>(), a[2].value<short>()));
            })
        .Method(QStringLiteral("Fail"), 0x60030001,
                {{QStringLiteral("Number"), QStringLiteral("i")},
                 {QStringLiteral("Source"), s},
                 {QStringLiteral("Description"), s}},
                {},
                [](Probe&, const QVariantList& a) -> QVariant {
                    throw trx::AutomationError(a[0].toInt(), a[1].toString().toStdU16String(),
                                               a[2].toString().toStdU16String());
                })
        .Method(QStringLiteral("Nest"), 0x60030002,
                {{QStringLiteral("Milliseconds"), QStringLiteral("i")}}, {},
                [](Probe& p, const QVariantList& a) {
                    p.Nest(a[0].toInt());
                    return QVariant();
                })
        .Method(QStringLiteral("Mark"), 0x60030003, {{QStringLiteral("Text"), s}}, {},
                [](Probe& p, const QVariantList& a) {
                    p.Mark(a[0].toString());
                    return QVariant();
                })
        .Method(QStringLiteral("Log"), 0x60030004, {}, {QStringLiteral("Result"), s},
                [](Probe& p, const QVariantList&) { return QVariant(p.Log()); })
        .Method(QStringLiteral("Ping"), 0x60030005, {{QStringLiteral("Text"), s}}, {},
                [](Probe& p, const QVariantList& a) {
                    p.Ping(a[0].toString());
                    return QVariant();
                })
        .Method(QStringLiteral("Fill"), 0x60030006,
                {{QStringLiteral("Bytes"), QStringLiteral("i")}}, {QStringLiteral("Result"), s},
                [](Probe&, const QVariantList& a) { return QVariant(QString(a[0].toInt(), u'x')); })
        .Property(
            QStringLiteral("Value"), 0x68030000, QStringLiteral("i"),
            [](Probe& p) { return QVariant(p.value); },
            [](Probe& p, const QVariant& v) { p.value = v.toInt(); })
        .Property(
            QStringLiteral("Stamp"), 0x68030001, QStringLiteral("d"),
            [](Probe& p) { return QVariant(p.stamp); },
            [](Probe& p, const QVariant& v) { p.stamp = v.toDouble(); })
        .Property(QStringLiteral("Label"), 0x68030002, s,
                  [](Probe&) { return QVariant(QStringLiteral("probe")); })
        .Event(QStringLiteral("Pinged"), 1, {{QStringLiteral("Text"), s}})
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
    return trx::ServeOnSessionBus(ProbeClass(args.contains(QStringLiteral("--refuse-create"))),
                                  options);
}
