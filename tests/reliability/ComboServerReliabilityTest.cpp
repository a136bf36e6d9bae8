// VXBCboSv with many clients, a client that is killed, and a database server
// that goes away and comes back; on a private bus, through its /RegServer.

#include "automation/dbus/AutomationClient.h"
#include "automation/dbus/RecordSetWire.h"
#include "common/AutomationError.h"
#include "platform/qt/QtText.h"
#include "tests/reliability/Child.h"
#include "tests/support/PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QProcess>

#include "tests/support/RecordSetRows.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trx {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const QString kProgId = QStringLiteral("VXBComboServer.VXComboDB");

using trx::test::Rows;

std::shared_ptr<const RecordSet> List(const AutomationObject& object, const QString& name) {
    const QVariantList results = object.CallForResults(QStringLiteral("ComboList"), {name});
    return DecodeRecordSet(results.value(0), results.value(1));
}

class ComboServerReliabilityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterRecordSetWireTypes();
        const auto program = test::CopyProgram(TRX_VXBCBOSV, bus_.Root() / "bin");
        const auto registered = test::RunProgram(QString::fromStdString(program.string()),
                                                 {QStringLiteral("/RegServer")});
        ASSERT_EQ(registered.exitCode, 0) << registered.err.toStdString();
        db_ = QString::fromStdString((bus_.Root() / "combolists.db").string());
        const auto made = test::RunProgram(QStringLiteral(TRX_MAKE_EXAMPLE_DB), {db_});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        connect_ = QStringLiteral("Driver=SQLite3;Database=") + db_;
    }

    unsigned ServerPid(const QString& name) const {
        const auto reply = bus_.Connection().interface()->servicePid(name);
        return reply.isValid() ? reply.value() : 0;
    }

    test::PrivateBus bus_;
    QString db_;
    QString connect_;
};

TEST_F(ComboServerReliabilityTest, TenClientsForThirtySecondsGetTheirOwnListsOnly) {
    constexpr int kClients = 10;
    const auto runFor = std::chrono::seconds(30);
    // Client c sees the customers with Nr % 5 == c % 5 and the articles above
    // a price of its own; both lists are named alike in every client.
    const std::vector<std::string> customers[5] = {{"Café Åkesson|1005"},
                                                   {"Bäckerei Öztürk|1001"},
                                                   {"Müller & Söhne|1002"},
                                                   {"Weingut Straßer|1003"},
                                                   {"Zahnarztpraxis Dr. Łukasz|1004"}};
    // Connections made on this thread, used by one worker each.
    std::vector<QDBusConnection> connections;
    for (int c = 0; c < kClients; ++c) {
        connections.push_back(bus_.NewConnection());
    }
    std::atomic<long> replies{0};
    std::atomic<int> wrong{0};
    std::vector<std::string> failures(kClients);
    QString server;
    std::vector<std::thread> workers;
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> created{0};
    std::mutex serverLock;
    for (int c = 0; c < kClients; ++c) {
        workers.emplace_back([&, c] {
            try {
                AutomationObject db = AutomationClient(connections[c]).Create(kProgId);
                {
                    std::lock_guard lock(serverLock);
                    server = db.Server();
                }
                ++created;
                db.Call(QStringLiteral("Init"), {0});
                db.Call(QStringLiteral("AddComboList"),
                        {connect_, QStringLiteral("Kunden"), QStringLiteral("Name"),
                         QStringLiteral("Nr"), QStringLiteral("Nr % 5 = %1").arg(c % 5)});
                db.Call(QStringLiteral("AddComboList"),
                        {connect_, QStringLiteral("Artikel"), QStringLiteral("Bezeichnung"),
                         QStringLiteral("ArtNr"), QStringLiteral("ArtNr = %1").arg(501 + c % 2)});
                const std::vector<std::string> article = {c % 2 == 0 ? "Lizenz TRX Basis|501"
                                                                     : "Lizenz TRX Lager|502"};
                int round = 0;
                while (std::chrono::steady_clock::now() - start < runFor) {
                    const bool okKunden =
                        Rows(List(db, QStringLiteral("Kunden"))) == customers[c % 5];
                    const bool okArtikel = Rows(List(db, QStringLiteral("Artikel"))) == article;
                    replies += 2;
                    if (!okKunden || !okArtikel) {
                        ++wrong;
                    }
                    db.Call(QStringLiteral("Refresh"),
                            {round % 2 == 0 ? QString() : QStringLiteral("Kunden")});
                    ++round;
                }
                db.Release();
            } catch (const AutomationError& error) {
                failures[c] = ToQString(error.Description()).toStdString();
            } catch (const std::exception& error) {
                failures[c] = error.what();
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int c = 0; c < kClients; ++c) {
        EXPECT_EQ(failures[c], "") << "client " << c;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(replies, 100);
    std::printf("10 clients: %ld correct list replies in 30 s\n", replies.load());
    RecordProperty("list_replies", std::to_string(replies.load()));
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(server); }, 20s))
        << "the server did not end after the last client released its object";
}

TEST_F(ComboServerReliabilityTest, MemoryStaysFlatOverAThousandCyclesAndTheServerEnds) {
    const AutomationClient client(bus_.Connection());
    QString server;
    long after100 = 0;
    unsigned pid = 0;
    for (int cycle = 1; cycle <= 1000; ++cycle) {
        AutomationObject db = client.Create(kProgId);
        db.Call(QStringLiteral("Init"), {0});
        db.Call(QStringLiteral("AddComboList"),
                {connect_, QStringLiteral("Zahlungsarten"), QStringLiteral("Bezeichnung"),
                 QStringLiteral("Kuerzel"), QString()});
        ASSERT_EQ(Rows(List(db, QStringLiteral("Zahlungsarten"))).size(), 4u) << cycle;
        db.Release();
        if (cycle == 1) {
            server = db.Server();
        }
        ASSERT_EQ(db.Server(), server) << "cycle " << cycle;
        if (cycle == 100) {
            pid = ServerPid(server);
            after100 = test::ResidentKiB(static_cast<int>(pid));
        }
    }
    const long atEnd = test::ResidentKiB(static_cast<int>(pid));
    std::printf("VXBCboSv resident memory: %ld KiB after 100 cycles, %ld KiB after 1000\n",
                after100, atEnd);
    RecordProperty("rss_after_100_kib", std::to_string(after100));
    RecordProperty("rss_after_1000_kib", std::to_string(atEnd));
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LE(static_cast<double>(atEnd), 1.10 * static_cast<double>(after100));
#endif
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(server); }, 20s));
}

TEST_F(ComboServerReliabilityTest, AKilledClientsObjectsAreReleasedAndTheServerEnds) {
    QProcess holder;
    holder.start(QStringLiteral(TRX_HOLDING_CLIENT), {kProgId});
    ASSERT_TRUE(holder.waitForStarted(10000));
    ASSERT_TRUE(test::WaitUntil([&] { return holder.canReadLine(); }, 20s))
        << holder.readAllStandardError().toStdString();
    const auto line = QString::fromUtf8(holder.readLine()).trimmed().split(u' ');
    ASSERT_EQ(line.size(), 2);
    const QString server = line[0];
    holder.kill();
    holder.waitForFinished(10000);
    // Kept for the grace after its owner went, then the server ends.
    EXPECT_TRUE(test::WaitUntil([&] { return !bus_.HasOwner(server); }, 40s));
    EXPECT_FALSE(bus_.HasOwner(kProgId));
}

// A PostgreSQL server of the test's own, stopped and started under a client.
class PostgresFaultTest : public ComboServerReliabilityTest {
  protected:
    void SetUp() override {
        ComboServerReliabilityTest::SetUp();
        pgDir_ = bus_.Root() / "pg";
        const auto started = test::RunProgram(QStringLiteral(TRX_PG_FIXTURE),
                                              {QStringLiteral("start"), Path(pgDir_)}, 180s);
        if (started.exitCode != 0) {
            GTEST_SKIP() << "no PostgreSQL server: " << started.err.toStdString();
        }
        std::ifstream in(pgDir_ / "connect.txt");
        std::string line;
        std::getline(in, line);
        pgConnect_ = QString::fromStdString(line);
        std::ifstream serverDir(pgDir_ / "server-dir");
        std::string sdir;
        data_ =
            std::getline(serverDir, sdir) ? fs::path(sdir) / "data" : pgDir_ / "server" / "data";
        const auto port = pgConnect_.section(QStringLiteral("Port="), 1).section(u';', 0, 0);
        options_ =
            QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 -c unix_socket_directories=''")
                .arg(port);
        Psql(
            "CREATE TABLE farben (nr integer, name text); "
            "INSERT INTO farben VALUES (1, 'rot'), (2, 'grün');");
    }

    void TearDown() override {
        test::RunProgram(QStringLiteral(TRX_PG_FIXTURE), {QStringLiteral("stop"), Path(pgDir_)});
    }

    static QString Path(const fs::path& path) { return QString::fromStdString(path.string()); }

    void Psql(const char* sql) {
        auto part = [&](const char* key) {
            return pgConnect_.section(QString::fromLatin1(key), 1).section(u';', 0, 0);
        };
        QProcess psql;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), part("Pwd="));
        psql.setProcessEnvironment(env);
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                    QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), part("Server="),
                    QStringLiteral("-p"), part("Port="), QStringLiteral("-U"), part("Uid="),
                    QStringLiteral("-d"), part("Database="), QStringLiteral("-c"),
                    QString::fromUtf8(sql)});
        ASSERT_TRUE(psql.waitForFinished(60000));
        ASSERT_EQ(psql.exitCode(), 0) << psql.readAllStandardError().toStdString();
    }

    // pg_ctl on the fixture's data folder, as the server's own user.
    void PgCtl(const QStringList& args) {
        QStringList command;
        if (geteuid() == 0) {
            command << QStringLiteral("runuser") << QStringLiteral("-u")
                    << QStringLiteral("postgres") << QStringLiteral("--");
        }
        QString pgCtl;
        for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql")) {
            if (fs::exists(entry.path() / "bin" / "pg_ctl")) {
                pgCtl = Path(entry.path() / "bin" / "pg_ctl");
            }
        }
        command << pgCtl << QStringLiteral("-D") << Path(data_) << args;
        const auto done = test::RunProgram(command.front(), command.mid(1), 120s);
        ASSERT_EQ(done.exitCode, 0) << done.err.toStdString() << done.out.toStdString();
    }

    fs::path pgDir_;
    fs::path data_;
    QString pgConnect_;
    QString options_;
};

TEST_F(PostgresFaultTest, AStoppedDatabaseFailsTheLoadAndAStartedOneLoadsAgain) {
    const AutomationClient client(bus_.Connection());
    AutomationObject db = client.Create(kProgId);
    AutomationObject other = client.Create(kProgId);
    db.Call(QStringLiteral("Init"), {0});
    db.Call(QStringLiteral("AddComboList"),
            {pgConnect_, QStringLiteral("farben"), QStringLiteral("name"), QStringLiteral("nr"),
             QString()});
    other.Call(QStringLiteral("Init"), {0});
    other.Call(QStringLiteral("AddComboList"),
               {connect_, QStringLiteral("Zahlungsarten"), QStringLiteral("Bezeichnung"),
                QStringLiteral("Kuerzel"), QStringLiteral("Kuerzel = 'BAR'")});
    const std::vector<std::string> colours = {"rot|1", "grün|2"};
    ASSERT_EQ(Rows(List(db, QStringLiteral("farben"))), colours);
    ASSERT_EQ(Rows(List(other, QStringLiteral("Zahlungsarten"))),
              std::vector<std::string>{"Barzahlung|BAR"});

    PgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
           QStringLiteral("stop")});
    // Marked for reloading, the list still delivers what it has until the
    // load run, which the timer starts and which fails.
    db.Call(QStringLiteral("Refresh"), {QString()});
    EXPECT_EQ(Rows(List(db, QStringLiteral("farben"))), colours);
    // A new list makes the next ComboList run the load itself: it fails with
    // the database's error.
    db.Call(QStringLiteral("AddComboList"),
            {pgConnect_, QStringLiteral("farben f"), QStringLiteral("f.name"),
             QStringLiteral("f.nr"), QStringLiteral("f.nr > 1")});
    try {
        List(db, QStringLiteral("farben f"));
        ADD_FAILURE() << "ComboList delivered while the database was down";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80004005));
        EXPECT_EQ(ToQString(error.Source()), QStringLiteral("ODBC"));
        EXPECT_FALSE(error.Description().empty());
    }
    // The server serves on: another client's list loaded before still delivers.
    EXPECT_EQ(Rows(List(other, QStringLiteral("Zahlungsarten"))),
              std::vector<std::string>{"Barzahlung|BAR"});

    PgCtl({QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-l"),
           Path(data_.parent_path() / "restart.log"), QStringLiteral("-o"), options_,
           QStringLiteral("start")});
    db.Call(QStringLiteral("Refresh"), {QString()});
    EXPECT_EQ(Rows(List(db, QStringLiteral("farben f"))), std::vector<std::string>{"grün|2"});
    EXPECT_EQ(Rows(List(db, QStringLiteral("farben"))), colours);
    db.Release();
    other.Release();
}

}  // namespace
}  // namespace trx
