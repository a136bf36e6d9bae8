// VXBCboSv on a bus of the benchmark's own:
// - delivery: ComboList of a loaded list of 10,000 rows, from the call to the
//   decoded record set in the client, against a minimal QtDBus server that
//   answers with a payload of the same size and shape;
// - memory: the server's resident memory growth while it holds 100 lists of
//   1,000 rows, against the raw size of the data (the texts as UTF-16 and
//   8 bytes for each integer).
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "automation/dbus/AutomationClient.h"
#include "automation/dbus/RecordSetWire.h"
#include "bench/BenchSupport.h"
#include "tests/support/PrivateBus.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using trx::bench::Clock;

const QString kProgId = QStringLiteral("VXBComboServer.VXComboDB");
const QString kPayload = QStringLiteral("TRXBench.Payload");

// The resident memory of a process in bytes, from /proc.
double ResidentBytes(const QDBusConnection& connection, const QString& name) {
    const auto pid = connection.interface()->servicePid(name);
    trx::bench::Require(pid.isValid(), "no process for " + name.toStdString());
    QFile status(QStringLiteral("/proc/%1/status").arg(pid.value()));
    trx::bench::Require(status.open(QIODevice::ReadOnly), "cannot read the server's status");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toDouble() * 1024.0;
        }
    }
    trx::bench::Fail("no VmRSS in the server's status");
}

// sqlite3 as a program fills the database, so the benchmark needs no driver
// of its own for it.
void MakeDatabase(const fs::path& file, int bigRows, int lists, int listRows) {
    std::ostringstream sql;
    sql << "CREATE TABLE Liste (tx VARCHAR(30), n INTEGER);"
        << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" << bigRows
        << ") INSERT INTO Liste SELECT printf('Eintrag Nummer %06d', x), x FROM c;";
    for (int k = 0; k < lists; ++k) {
        sql << "CREATE TABLE M" << k << " (tx VARCHAR(30), n INTEGER);INSERT INTO M" << k
            << " SELECT printf('Liste %03d Eintrag %05d', " << k
            << ", n), n FROM Liste WHERE n<=" << listRows << ";";
    }
    const fs::path script = file.string() + ".sql";
    std::ofstream(script) << sql.str();
    std::ostringstream command;
    command << "sqlite3 '" << file.string() << "' < '" << script.string() << "'";
    trx::bench::Require(std::system(command.str().c_str()) == 0, "sqlite3 failed");
}

int Run(int argc, char** argv, const trx::bench::ScratchDir& dir);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    trx::bench::ScratchDir dir;
    try {
        return Run(argc, argv, dir);
    } catch (const std::exception& error) {
        // What the servers said goes to the bus's log.
        std::ifstream log(dir.Path() / "bus.log");
        std::cerr << log.rdbuf() << "\nbenchmark failed: " << error.what() << "\n";
        return 1;
    }
}

namespace {

int Run(int argc, char** argv, const trx::bench::ScratchDir& dir) {
    const bool smoke = trx::bench::SmokeRun(argc, argv);
    const int rounds = smoke ? 1 : trx::bench::RoundCount(15);
    const int rows = smoke ? 100 : 10000;
    const int lists = smoke ? 3 : 100;
    const int listRows = smoke ? 50 : 1000;
    trx::RegisterRecordSetWireTypes();

    const fs::path database = dir.Path() / "listen.db";
    MakeDatabase(database, std::max(rows, listRows), lists, listRows);
    const QString connect =
        QStringLiteral("Driver=SQLite3;Database=") + QString::fromStdString(database.string());

    trx::test::PrivateBus bus(dir.Path() / "bus.log");
    bus.WriteService(kProgId, {QStringLiteral(TRX_VXBCBOSV), QStringLiteral("-Embedding")});
    bus.WriteService(kPayload, {QStringLiteral(TRX_PAYLOAD_SERVER), kPayload});
    const QDBusConnection connection = bus.Connection();
    trx::AutomationClient client(connection);

    // Delivery.
    {
        trx::AutomationObject db = client.Create(kProgId);
        db.Call(QStringLiteral("Init"), {0});
        db.Call(QStringLiteral("AddComboList"),
                {connect, QStringLiteral("Liste"), QStringLiteral("tx"), QStringLiteral("n"),
                 QStringLiteral("n<=%1").arg(rows)});
        const auto comboList =
            QDBusMessage::createMethodCall(db.Server(), db.Path(), db.Interface(),
                                           QStringLiteral("ComboList"))
            << QStringLiteral("Liste");
        const auto payload = QDBusMessage::createMethodCall(kPayload, QStringLiteral("/"), kPayload,
                                                            QStringLiteral("Payload"))
                             << rows;
        auto fetch = [&](const QDBusMessage& call) {
            const auto start = Clock::now();
            const QVariantList results = trx::CallWithoutTimeout(connection, call);
            const auto set = trx::DecodeRecordSet(results.value(0), results.value(1));
            const double ms = trx::bench::MsSince(start);
            trx::bench::Require(set && set->RecordCount() == static_cast<std::size_t>(rows) &&
                                    set->FieldCount() == 2,
                                "the record set came back wrong");
            return ms;
        };
        // The first ComboList loads the list; the warm-up of Alternate does it.
        const auto result = trx::bench::Alternate(
            rounds, [&] { return fetch(comboList); }, [&] { return fetch(payload); });
        const double a = trx::bench::Fastest(result.ours);
        const double b = trx::bench::Fastest(result.baseline);
        std::printf(
            "ComboList of %d rows: %.2f ms (median %.2f, %.0f rows/s), minimal server "
            "%.2f ms (median %.2f)\n",
            rows, a, trx::bench::Median(result.ours), rows / a * 1000.0, b,
            trx::bench::Median(result.baseline));
        char rate[64];
        std::snprintf(rate, sizeof rate, "%s (%.0fk rows/s)", trx::bench::Millis(a).c_str(),
                      rows / a);
        trx::bench::Row("ComboList of " + std::to_string(rows) +
                            " rows through the bus, decoded (vs minimal QtDBus server)",
                        rate, trx::bench::Millis(b), a / b, 1.05);
        db.Release();
    }
    trx::bench::Require(bus.EndOwner(kProgId, 10s), "VXBCboSv does not end");
    trx::bench::Require(bus.EndOwner(kPayload, 10s), "the payload server does not end");

    // Memory: a fresh server, its resident memory before the lists and after.
    {
        trx::AutomationObject db = client.Create(kProgId);
        db.Call(QStringLiteral("Init"), {0});
        // One list through first, so that the driver and its libraries are
        // loaded before the measurement starts: they are not the lists' data.
        db.Call(QStringLiteral("AddComboList"),
                {connect, QStringLiteral("Liste"), QStringLiteral("tx"), QStringLiteral("n"),
                 QStringLiteral("n<=1")});
        db.CallForResults(QStringLiteral("ComboList"), {QStringLiteral("Liste")});
        const double before = ResidentBytes(connection, kProgId);
        double raw = 0;
        for (int k = 0; k < lists; ++k) {
            db.Call(QStringLiteral("AddComboList"),
                    {connect, QStringLiteral("M%1").arg(k), QStringLiteral("tx"),
                     QStringLiteral("n"), QString()});
        }
        // A pending list: this call loads all of them.
        for (int k = 0; k < lists; ++k) {
            const QVariantList results =
                db.CallForResults(QStringLiteral("ComboList"), {QStringLiteral("M%1").arg(k)});
            const auto set = trx::DecodeRecordSet(results.value(0), results.value(1));
            trx::bench::Require(set && set->RecordCount() == static_cast<std::size_t>(listRows),
                                "a list came back wrong");
            for (std::size_t r = 0; r < set->RecordCount(); ++r) {
                raw += static_cast<double>(set->TextView(r, 0).size() * 2 + 8);
            }
        }
        const double after = ResidentBytes(connection, kProgId);
        const double growth = after - before;
        std::printf(
            "VXBCboSv with %d lists of %d rows: resident %.1f MB -> %.1f MB, growth "
            "%.2f MB, raw data %.2f MB\n",
            lists, listRows, before / 1e6, after / 1e6, growth / 1e6, raw / 1e6);
        char ours[64];
        char base[64];
        std::snprintf(ours, sizeof ours, "%.2f MB", growth / 1e6);
        std::snprintf(base, sizeof base, "%.2f MB", raw / 1e6);
        trx::bench::Row("VXBCboSv holding " + std::to_string(lists) + " lists of " +
                            std::to_string(listRows) +
                            " rows: resident growth (vs raw size of the data)",
                        ours, base, growth / raw, 2.5);
        db.Release();
    }
    trx::bench::Require(bus.EndOwner(kProgId, 10s), "VXBCboSv does not end");
    return 0;
}

}  // namespace
