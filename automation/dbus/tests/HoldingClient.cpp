// A client that creates one object of the class named on its command line,
// prints the object's path and holds it until it is killed: the tests kill it
// to see that the server lets go of a vanished client's objects.
#include "automation/dbus/AutomationClient.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trx_holding_client PROGID\n");
        return 2;
    }
    try {
        const auto object =
            trx::AutomationClient(QDBusConnection::sessionBus()).Create(QString::fromUtf8(argv[1]));
        std::printf("%s %s\n", qPrintable(object.Server()), qPrintable(object.Path()));
        std::fflush(stdout);
        return app.exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
