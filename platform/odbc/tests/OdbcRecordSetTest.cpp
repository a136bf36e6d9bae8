#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/Text.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "platform/odbc/tests/SqliteFile.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

using test::SqliteFile;
using test::TempDir;

class OdbcRecordSet : public ::testing::Test {
  protected:
    OdbcRecordSet() : db(dir / "lists.db") {}

    std::shared_ptr<const RecordSet> Query(const std::u16string& sql) {
        auto connection = factory.Open(db.ConnectString(), u"", u"", -1);
        return connection->OpenRecordSet(sql);
    }

    TempDir dir;
    SqliteFile db;
    OdbcConnectionFactory factory;
};

TEST_F(OdbcRecordSet, EveryFieldTypeArrivesWithItsTypeAndValue) {
    db.Exec(
        "CREATE TABLE t (i INTEGER, b BIGINT, r DOUBLE, f BIT, dt DATE, tm TIME,"
        " ts TIMESTAMP, \"Größe\" VARCHAR(40), bl BLOB)");
    db.Exec(
        "INSERT INTO t VALUES (-7, 9000000000, 2.5, 1, '2024-02-29', '12:34:56',"
        " '2023-12-31 23:59:58', 'Kunde', X'00FF10')");
    db.Done();
    // SQLite has no exact decimals; the PostgreSQL test covers them.
    auto rs = Query(u"SELECT i, b, r, f, dt, tm, ts, \"Größe\", bl FROM t");
    ASSERT_EQ(rs->RecordCount(), 1u);
    struct Case {
        const char16_t* name;
        FieldType type;
        FieldValue value;
    };
    const std::vector<Case> cases = {
        {u"i", FieldType::Integer, std::int64_t{-7}},
        {u"b", FieldType::Integer, std::int64_t{9000000000}},
        {u"r", FieldType::Double, 2.5},
        {u"f", FieldType::Boolean, true},
        {u"dt", FieldType::Date, DateTime{2024, 2, 29, 0, 0, 0, 0}},
        {u"tm", FieldType::Date, DateTime{1899, 12, 30, 12, 34, 56, 0}},
        {u"ts", FieldType::Date, DateTime{2023, 12, 31, 23, 59, 58, 0}},
        {u"Größe", FieldType::Text, std::u16string(u"Kunde")},
        {u"bl", FieldType::Binary, std::vector<std::uint8_t>{0x00, 0xFF, 0x10}},
    };
    ASSERT_EQ(rs->FieldCount(), cases.size());
    for (std::size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(ToUtf8(cases[c].name));
        EXPECT_EQ(rs->FieldAt(c).name, cases[c].name);
        EXPECT_EQ(rs->FieldAt(c).type, cases[c].type);
        EXPECT_EQ(rs->Value(0, c), cases[c].value);
    }
}

TEST_F(OdbcRecordSet, NullStaysDistinctFromEmptyTextAndZero) {
    db.Exec("CREATE TABLE t (tx VARCHAR(10), n INTEGER)");
    db.Exec("INSERT INTO t VALUES (NULL, NULL)");
    db.Exec("INSERT INTO t VALUES ('', 0)");
    db.Done();
    auto rs = Query(u"SELECT tx, n FROM t ORDER BY rowid");
    ASSERT_EQ(rs->RecordCount(), 2u);
    EXPECT_EQ(rs->Value(0, 0), FieldValue(Null{}));
    EXPECT_EQ(rs->Value(0, 1), FieldValue(Null{}));
    EXPECT_TRUE(rs->IsNull(0, 0));
    EXPECT_EQ(rs->Value(1, 0), FieldValue(std::u16string()));
    EXPECT_EQ(rs->Value(1, 1), FieldValue(std::int64_t{0}));
    EXPECT_FALSE(rs->IsNull(1, 0));
}

TEST_F(OdbcRecordSet, NonAsciiTextSurvivesBothWays) {
    const std::u16string texts[] = {u"Grüße aus Köln", u"Ελληνικά", u"日本語", u"€ \U0001F600 ß"};
    db.Exec("CREATE TABLE t (n INTEGER, tx VARCHAR(40))");
    for (int i = 0; i < 4; ++i) {
        db.Exec(u"INSERT INTO t VALUES (" + FromUtf8(std::to_string(i)) + u", '" + texts[i] +
                u"')");
    }
    db.Done();
    auto rs = Query(u"SELECT tx, n FROM t ORDER BY n");
    ASSERT_EQ(rs->RecordCount(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rs->TextView(i, 0), texts[i]) << i;
    }
    // And in the statement: a filter on a non-ASCII value finds its row.
    auto found = Query(u"SELECT n FROM t WHERE tx = 'Grüße aus Köln'");
    ASSERT_EQ(found->RecordCount(), 1u);
    EXPECT_EQ(found->Value(0, 0), FieldValue(std::int64_t{0}));
}

TEST_F(OdbcRecordSet, TextLongerThanTheReportedColumnSizeArrivesWhole) {
    // The driver reports 255 for any text, so these overflow the bound buffer.
    std::u16string big;
    for (std::size_t i = 0; big.size() < 100000; ++i) {
        big += static_cast<char16_t>(u'a' + i % 26);
        if (i % 1000 == 999) {
            big += u'ä';
        }
    }
    big.resize(100000);
    db.Exec("CREATE TABLE t (n INTEGER, tx VARCHAR(20))");
    db.Exec(u"INSERT INTO t VALUES (1, 'kurz')");
    db.Exec(u"INSERT INTO t VALUES (2, '" + big + u"')");
    db.Exec(u"INSERT INTO t VALUES (3, NULL)");
    db.Exec(u"INSERT INTO t VALUES (4, '" + std::u16string(300, u'x') + u"')");
    db.Done();
    auto rs = Query(u"SELECT n, tx FROM t ORDER BY n");
    ASSERT_EQ(rs->RecordCount(), 4u);
    EXPECT_EQ(rs->TextView(0, 1), u"kurz");
    EXPECT_EQ(rs->TextView(1, 1).size(), 100000u);
    EXPECT_EQ(rs->TextView(1, 1), big);
    EXPECT_TRUE(rs->IsNull(2, 1));
    EXPECT_EQ(rs->TextView(3, 1), std::u16string(300, u'x'));
    EXPECT_EQ(rs->Value(3, 0), FieldValue(std::int64_t{4}));
}

TEST_F(OdbcRecordSet, ManyRowsKeepTheDatabaseOrderAcrossBlocks) {
    db.Exec("CREATE TABLE t (n INTEGER, tx VARCHAR(20))");
    db.Exec(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<5000)"
        " INSERT INTO t SELECT 5001-x, 'Zeile ' || x FROM c");
    db.Done();
    auto rs = Query(u"SELECT tx, n FROM t");
    ASSERT_EQ(rs->RecordCount(), 5000u);
    for (std::size_t r = 0; r < 5000; r += 997) {
        EXPECT_EQ(rs->TextView(r, 0), u"Zeile " + FromUtf8(std::to_string(r + 1)));
        EXPECT_EQ(rs->Value(r, 1), FieldValue(static_cast<std::int64_t>(5000 - r)));
    }
}

TEST_F(OdbcRecordSet, EmptyResultHasItsFieldsAndNoRecords) {
    db.Exec("CREATE TABLE t (Name VARCHAR(20), Nr INTEGER)");
    db.Done();
    auto rs = Query(u"SELECT Name,Nr FROM t");
    EXPECT_EQ(rs->RecordCount(), 0u);
    ASSERT_EQ(rs->FieldCount(), 2u);
    EXPECT_EQ(rs->FieldAt(0).name, u"Name");
    EXPECT_EQ(rs->FieldAt(1).name, u"Nr");
}

TEST_F(OdbcRecordSet, RecordSetOutlivesItsConnection) {
    db.Exec("CREATE TABLE t (tx VARCHAR(20))");
    db.Exec("INSERT INTO t VALUES ('bleibt')");
    db.Done();
    auto connection = factory.Open(db.ConnectString(), u"", u"", -1);
    auto rs = connection->OpenRecordSet(u"SELECT tx FROM t");
    connection->Close();
    connection.reset();
    EXPECT_EQ(rs->TextView(0, 0), u"bleibt");
}

void ExpectDatabaseError(const AutomationError& e, const std::u16string& part) {
    EXPECT_EQ(e.Number(), -2147467259);
    EXPECT_EQ(e.Source(), u"ODBC");
    EXPECT_NE(e.Description().find(part), std::u16string::npos) << ToUtf8(e.Description());
}

TEST_F(OdbcRecordSet, StatementErrorCarriesStateAndDriverText) {
    db.Exec("CREATE TABLE t (tx VARCHAR(20))");
    db.Done();
    try {
        Query(u"SELECT nosuchcolumn FROM t");
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"no such column: nosuchcolumn");
        EXPECT_EQ(e.Description().front(), u'[');
        EXPECT_EQ(e.Description()[6], u']');
    }
}

TEST_F(OdbcRecordSet, ConnectErrorCarriesTheDriverManagersDiagnostics) {
    try {
        factory.Open(u"Driver=NoSuchDriverAnywhere;Database=x", u"", u"", -1);
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"[01000]");
    }
    try {
        factory.Open(u"", u"", u"", -1);
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"[IM002]");
    }
}

TEST_F(OdbcRecordSet, ClosedOrMissingConnectionFailsAsDatabaseError) {
    db.Exec("CREATE TABLE t (a INTEGER)");
    db.Done();
    auto connection = factory.Open(db.ConnectString(), u"", u"", -1);
    connection->Close();
    try {
        connection->OpenRecordSet(u"SELECT 1");
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"Verbindung");
    }
    try {
        OpenRecordSet(nullptr, u"SELECT 1");
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"Verbindung");
    }
}

OdbcSettings Limits(std::chrono::seconds connect, std::chrono::seconds command) {
    OdbcSettings settings;
    settings.connectTimeout = connect;
    settings.commandTimeout = command;
    return settings;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(OdbcRecordSet, AMissingSqliteFileIsAnErrorAndIsNotMade) {
    const auto missing = dir / "fehlt.db";
    try {
        factory.Open(u"Driver=SQLite3;Database=" + FromUtf8(missing.string()), u"", u"", -1);
        FAIL() << "connected";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"gibt es nicht");
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(OdbcRecordSet, NothingIsWrittenThroughAReadingConnection) {
    db.Exec("CREATE TABLE t (a INTEGER)");
    db.Exec("INSERT INTO t VALUES (1)");
    db.Done();
    for (const char16_t* sql : {
             u"SELECT a FROM t WHERE 1=1; INSERT INTO t VALUES (2)",
             u"SELECT a FROM t; CREATE TABLE u (b INTEGER)",
             u"INSERT INTO t VALUES (3)",  // one statement: the session refuses it
         }) {
        SCOPED_TRACE(ToUtf8(sql));
        EXPECT_THROW(Query(sql), AutomationError);
    }
    EXPECT_EQ(Query(u"SELECT a FROM t;")->RecordCount(), 1u);
    EXPECT_THROW(Query(u"SELECT b FROM u"), AutomationError);
}

TEST_F(OdbcRecordSet, ALoadNoLongerWantedStopsAtTheNextBlockOfRows) {
    db.Exec("CREATE TABLE t (a INTEGER)");
    db.Exec(
        "INSERT INTO t WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
        "5000) SELECT i FROM n");
    db.Done();
    int asked = 0;
    OdbcSettings settings;
    settings.keepLoading = [&asked] { return ++asked < 2; };
    OdbcConnectionFactory stopping(settings);
    try {
        stopping.Open(db.ConnectString(), u"", u"", -1)->OpenRecordSet(u"SELECT a FROM t");
        ADD_FAILURE() << "loaded to the end";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"nicht mehr verbunden");
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(OdbcRecordSet, ALockedSqliteFileFailsAfterTheCommandTimeOut) {
    db.Exec("CREATE TABLE t (a INTEGER)");
    db.Done();
    // A writer of its own holds the file locked until its input ends; it
    // makes the marker file once it holds the lock.
    const auto marker = dir / "locked";
    const std::string command =
        "sqlite3 " + SqliteFile::Quoted((dir / "lists.db").string()) + " >/dev/null";
    FILE* writer = popen(command.c_str(), "w");
    ASSERT_NE(writer, nullptr);
    const std::string script = "BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);\n.system touch " +
                               SqliteFile::Quoted(marker.string()) + "\n";
    std::fputs(script.c_str(), writer);
    std::fflush(writer);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(std::filesystem::exists(marker)) << "the writer never took the lock";
    OdbcConnectionFactory quick(Limits(std::chrono::seconds(15), std::chrono::seconds(1)));
    const auto start = std::chrono::steady_clock::now();
    try {
        quick.Open(db.ConnectString(), u"", u"", -1)->OpenRecordSet(u"SELECT a FROM t");
        ADD_FAILURE() << "read through the lock";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"nach 1 s");
    }
    EXPECT_LT(SecondsSince(start), 5.0);
    pclose(writer);
}

TEST_F(OdbcRecordSet, AHostThatNeverAnswersFailsAfterTheConnectTimeOut) {
    // A socket that listens and never accepts: the kernel completes the
    // handshake, and nothing ever answers.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::u16string connect = u"Driver=PostgreSQL Unicode;Server=127.0.0.1;Port=" +
                                   FromUtf8(std::to_string(ntohs(address.sin_port))) +
                                   u";Database=x;Uid=x;Pwd=x";
    OdbcConnectionFactory quick(Limits(std::chrono::seconds(2), std::chrono::seconds(30)));
    const auto start = std::chrono::steady_clock::now();
    try {
        quick.Open(connect, u"", u"", -1);
        ADD_FAILURE() << "connected";
    } catch (const AutomationError& e) {
        ExpectDatabaseError(e, u"nach 2 s");
    }
    EXPECT_LT(SecondsSince(start), 8.0);
    close(listener);
}

}  // namespace
}  // namespace trx
