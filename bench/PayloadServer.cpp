// The least a QtDBus server does to hand out a list: answer Payload(rows)
// with a record set of that many rows (a text of about 20 characters and an
// integer) in the same two out arguments as ComboList, encoded once and kept.
// The delivery benchmark measures VXBCboSv against it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>

#include <cstdio>
#include <map>
#include <string>

#include "automation/dbus/RecordSetWire.h"
#include "common/RecordSet.h"

class Payloads : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "TRXBench.Payload")

  public slots:
    void Payload(int rows) {
        auto& reply = cache_[rows];
        if (reply.isEmpty()) {
            trx::RecordSetBuilder builder;
            const auto text = builder.AddField(u"tx", trx::FieldType::Text);
            const auto number = builder.AddField(u"n", trx::FieldType::Integer);
            char buffer[32];
            for (int i = 1; i <= rows; ++i) {
                std::snprintf(buffer, sizeof buffer, "Eintrag Nummer %06d", i);
                const std::string ascii(buffer);
                builder.AppendText(text, std::u16string(ascii.begin(), ascii.end()));
                builder.AppendInteger(number, i);
            }
            reply = trx::EncodeRecordSet(builder.Build().get());
        }
        setDelayedReply(true);
        connection().send(message().createReply(reply));
    }

  private:
    std::map<int, QVariantList> cache_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trx_bench_payload_server BUSNAME\n");
        return 2;
    }
    trx::RegisterRecordSetWireTypes();
    auto bus = QDBusConnection::sessionBus();
    Payloads payloads;
    if (!bus.registerObject(QStringLiteral("/"), &payloads, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "trx_bench_payload_server: cannot serve on the bus\n");
        return 1;
    }
    // Ends with its bus, so that no server outlives a benchmark that failed.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
                SLOT(quit()));
    return app.exec();
}

#include "PayloadServer.moc"
