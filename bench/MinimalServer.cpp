// The least an activatable QtDBus server does: take its name, answer
// CreateInstance on "/" with the path of a new object, and serve it. The
// activation benchmark measures our servers against it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>

#include <cstdio>
#include <memory>
#include <vector>

class ClassObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "TRX.Automation.ClassFactory")

  public:
    explicit ClassObject(QDBusConnection connection) : connection_(std::move(connection)) {}

  public slots:
    QDBusObjectPath CreateInstance() {
        const QString path = QStringLiteral("/Minimal/%1").arg(objects_.size() + 1);
        objects_.push_back(std::make_unique<QObject>());
        connection_.registerObject(path, objects_.back().get());
        return QDBusObjectPath(path);
    }

  private:
    QDBusConnection connection_;
    std::vector<std::unique_ptr<QObject>> objects_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trx_bench_minimal_server BUSNAME\n");
        return 2;
    }
    auto bus = QDBusConnection::sessionBus();
    ClassObject factory(bus);
    // Objects first, then the name, so that no caller finds the name without them.
    if (!bus.registerObject(QStringLiteral("/"), &factory, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "trx_bench_minimal_server: cannot serve on the bus\n");
        return 1;
    }
    // Ends with its bus, so that no server outlives a benchmark that failed.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), &app,
                SLOT(quit()));
    return app.exec();
}

#include "MinimalServer.moc"
