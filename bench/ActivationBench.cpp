// Activation: the first CreateInstance on a server that is not running yet,
// from the call until the reply, for each of our servers against the same for
// a minimal activatable QtDBus server, all on a bus of the benchmark's own.
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/support/PrivateBus.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using trx::bench::Clock;

struct Server {
    QString name;     // the bus name, the class's programmatic identifier
    QString program;  // for the table
};

// Calls CreateInstance on "/" of name, which the bus starts; the milliseconds
// until the reply. The server is ended again afterwards.
double FirstCreate(const trx::test::PrivateBus& bus, const QString& name) {
    trx::bench::Require(!bus.HasOwner(name), name.toStdString() + " is already running");
    const auto call = QDBusMessage::createMethodCall(name, QStringLiteral("/"),
                                                     QStringLiteral("TRX.Automation.ClassFactory"),
                                                     QStringLiteral("CreateInstance"));
    const auto start = Clock::now();
    const QDBusMessage reply = bus.Connection().call(call, QDBus::Block, 30000);
    const double ms = trx::bench::MsSince(start);
    trx::bench::Require(reply.type() == QDBusMessage::ReplyMessage &&
                            !reply.arguments().isEmpty() &&
                            !reply.arguments().front().value<QDBusObjectPath>().path().isEmpty(),
                        "CreateInstance on " + name.toStdString() +
                            " failed: " + reply.errorMessage().toStdString());
    trx::bench::Require(bus.EndOwner(name, 10s), name.toStdString() + " does not end");
    return ms;
}

QString Path(const fs::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool smoke = trx::bench::SmokeRun(argc, argv);
    const int rounds = smoke ? 1 : trx::bench::RoundCount(15);

    trx::bench::ScratchDir dir;
    trx::test::PrivateBus bus(dir.Path() / "bus.log");
    // Each program serves from a folder of its own, where it finds its files.
    const fs::path programs = dir.Path() / "programme";
    fs::create_directories(programs);
    fs::copy_file(TRX_VXREGCPX, programs / "vxRegCPX");
    fs::copy_file(TRX_VXTRXVER, programs / "vxTRXVer");
    fs::copy_file(TRX_VERSION_INI, programs / "vxTRX.ini");
    const QString embedding = QStringLiteral("-Embedding");
    bus.WriteService(QStringLiteral("vxRegCPX.CPXFile"), {Path(programs / "vxRegCPX"), embedding});
    bus.WriteService(QStringLiteral("vxTRXVer.Version"), {Path(programs / "vxTRXVer"), embedding});
    bus.WriteService(QStringLiteral("VXBComboServer.VXComboDB"),
                     {QStringLiteral(TRX_VXBCBOSV), embedding});
    const QString minimal = QStringLiteral("TRXBench.Minimal");
    bus.WriteService(minimal, {QStringLiteral(TRX_MINIMAL_SERVER), minimal});

    const std::vector<Server> servers = {
        {QStringLiteral("vxRegCPX.CPXFile"), QStringLiteral("vxRegCPX")},
        {QStringLiteral("vxTRXVer.Version"), QStringLiteral("vxTRXVer")},
        {QStringLiteral("VXBComboServer.VXComboDB"), QStringLiteral("VXBCboSv")},
    };
    for (const auto& server : servers) {
        const auto result = trx::bench::Alternate(
            rounds, [&] { return FirstCreate(bus, server.name); },
            [&] { return FirstCreate(bus, minimal); });
        const double a = trx::bench::Fastest(result.ours);
        const double b = trx::bench::Fastest(result.baseline);
        std::printf(
            "activation of %s: %.2f ms (median %.2f), minimal server: %.2f ms "
            "(median %.2f)\n",
            server.name.toStdString().c_str(), a, trx::bench::Median(result.ours), b,
            trx::bench::Median(result.baseline));
        trx::bench::Row("first CreateInstance of " + server.name.toStdString() +
                            ", server not running (vs minimal QtDBus server)",
                        trx::bench::Millis(a), trx::bench::Millis(b), a / b,
                        server.name.startsWith(QStringLiteral("VXBComboServer")) ? 1.15 : 1.2);
    }
    return 0;
}
