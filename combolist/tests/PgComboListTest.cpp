#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "combolist/VXComboDB.h"
#include "combolist/tests/ComboTestSupport.h"
#include "common/Text.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "tests/support/ManualTimer.h"

// Runs against the private PostgreSQL server that the CTest fixture starts
// (scripts/pg-fixture); the fixture writes the connect string to this file.
#ifndef TRX_PG_CONNECT_FILE
#error "TRX_PG_CONNECT_FILE must name the fixture's connect-string file"
#endif

namespace trx {
namespace {

using test::CountingConnectionFactory;
using test::EventRecorder;
using test::FakeSleeper;

// Runs `sql` with psql against the database of `connect` (the fixture's ODBC
// connect string); the tests fill the database so, as the layer under test
// only reads.
void Psql(const std::u16string& connect, const std::string& sql) {
    std::string command = "PGCLIENTENCODING=UTF8";
    const std::pair<const char*, const char*> keys[] = {{"Pwd", "PGPASSWORD"},
                                                        {"Server", "PGHOST"},
                                                        {"Port", "PGPORT"},
                                                        {"Uid", "PGUSER"},
                                                        {"Database", "PGDATABASE"}};
    std::istringstream fields(ToUtf8(connect));
    for (std::string field; std::getline(fields, field, ';');) {
        const auto equals = field.find('=');
        for (const auto& [key, variable] : keys) {
            if (field.substr(0, equals) == key) {
                command += std::string(" ") + variable + "='" + field.substr(equals + 1) + "'";
            }
        }
    }
    command += " psql -X -q -v ON_ERROR_STOP=1 >/dev/null";
    FILE* psql = popen(command.c_str(), "w");
    ASSERT_NE(psql, nullptr);
    std::fwrite(sql.data(), 1, sql.size(), psql);
    ASSERT_EQ(pclose(psql), 0) << "psql failed on: " << sql;
}

std::u16string FixtureConnectString() {
    std::ifstream in(TRX_PG_CONNECT_FILE);
    std::string line;
    std::getline(in, line);
    return FromUtf8(line);
}

class PostgresComboList : public ::testing::Test {
  protected:
    void SetUp() override {
        connect = FixtureConnectString();
        ASSERT_FALSE(connect.empty())
            << "no connect string in " TRX_PG_CONNECT_FILE
               ": the PostgreSQL fixture did not start (run the tests through ctest)";
        Psql(connect,
             "DROP TABLE IF EXISTS orte;"
             "CREATE TABLE orte (ort VARCHAR(40), plz INTEGER, flaeche NUMERIC(12,4), lang TEXT);"
             "INSERT INTO orte VALUES ('Köln', 50667, 405.1500, NULL),"
             " ('Zürich', 8001, 12345678.1234, repeat('ä', 100000)), ('Aachen', 52062, NULL, '');");
    }

    std::u16string connect;
    OdbcConnectionFactory odbc;
    CountingConnectionFactory counting{odbc};
    ManualTimerFactory timers;
    FakeSleeper sleeper;
    std::ostringstream errors;
    VXComboDB server{counting, timers, sleeper, errors};
};

TEST_F(PostgresComboList, ListLoadsWithTheServersNamesAndOrder) {
    auto recorder = std::make_shared<EventRecorder>();
    server.SetEvents(recorder);
    server.Init(0);
    server.AddComboList(connect, u"orte", u"ort", u"plz", u"plz > 0 ORDER BY ort");
    auto rs = server.ComboList(u"orte");
    ASSERT_NE(rs, nullptr);
    ASSERT_EQ(rs->FieldCount(), 2u);
    EXPECT_EQ(rs->FieldAt(0).name, u"ort");
    EXPECT_EQ(rs->FieldAt(1).type, FieldType::Integer);
    ASSERT_EQ(rs->RecordCount(), 3u);
    EXPECT_EQ(rs->TextView(0, 0), u"Aachen");
    EXPECT_EQ(rs->TextView(1, 0), u"Köln");
    EXPECT_EQ(rs->Value(2, 1), FieldValue(std::int64_t{8001}));
    EXPECT_EQ(recorder->events, (std::vector<std::u16string>{u"DataSourceReady orte", u"Ready"}));
}

TEST_F(PostgresComboList, DecimalsAreExactAndLongTextsArriveWhole) {
    auto c = odbc.Open(connect, u"", u"", -1);
    auto rs = c->OpenRecordSet(u"SELECT flaeche, lang FROM orte ORDER BY plz");
    ASSERT_EQ(rs->RecordCount(), 3u);
    EXPECT_EQ(rs->FieldAt(0).type, FieldType::Decimal);
    EXPECT_EQ(rs->Value(0, 0), FieldValue(std::u16string(u"12345678.1234")));
    EXPECT_EQ(rs->Value(0, 1), FieldValue(std::u16string(100000, u'ä')));
    EXPECT_EQ(rs->Value(1, 0), FieldValue(std::u16string(u"405.1500")));
    EXPECT_EQ(rs->Value(1, 1), FieldValue(Null{}));
    EXPECT_EQ(rs->Value(2, 0), FieldValue(Null{}));
    EXPECT_EQ(rs->Value(2, 1), FieldValue(std::u16string()));
}

TEST_F(PostgresComboList, ConnectStringsThatDifferOnlyInCaseOpenTwoConnections) {
    std::u16string other = connect;
    other.replace(0, 6, u"DRIVER");  // "Driver" -> "DRIVER": the same server
    ASSERT_NE(other, connect);
    server.Init(0);
    server.AddComboList(connect, u"orte", u"ort", u"plz");
    server.AddComboList(other, u"orte o", u"o.plz", u"o.ort");
    EXPECT_NE(server.ComboList(u"orte o"), nullptr);
    EXPECT_NE(server.ComboList(u"orte"), nullptr);
    EXPECT_EQ(counting.opened, (std::vector<std::u16string>{connect, other}));
    EXPECT_EQ(counting.alive, 0);
}

TEST_F(PostgresComboList, WrongColumnFailsWithTheServersErrorText) {
    server.Init(0);
    server.AddComboList(connect, u"orte", u"ort", u"fehlt");
    try {
        server.ComboList(u"orte");
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.Number(), -2147467259);
        EXPECT_EQ(e.Source(), u"ODBC");
        EXPECT_NE(e.Description().find(u"[42703]"), std::u16string::npos)
            << ToUtf8(e.Description());
        EXPECT_NE(e.Description().find(u"column \"fehlt\" does not exist"), std::u16string::npos)
            << ToUtf8(e.Description());
    }
    EXPECT_EQ(counting.alive, 0);
}

TEST_F(PostgresComboList, ASlowStatementStopsAtTheCommandTimeOutAndNothingIsWritten) {
    OdbcSettings quick;
    quick.commandTimeout = std::chrono::seconds(1);
    OdbcConnectionFactory factory(quick);
    VXComboDB slow(factory, timers, sleeper, errors);
    slow.Init(0);
    // A list whose statement sleeps 20 s, and one that would write.
    slow.AddComboList(connect, u"orte", u"ort", u"plz", u"pg_sleep(20) IS NOT NULL");
    const auto start = std::chrono::steady_clock::now();
    try {
        slow.ComboList(u"orte");
        FAIL() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_NE(e.Description().find(u"nach 1 s"), std::u16string::npos)
            << ToUtf8(e.Description());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    auto c = factory.Open(connect, u"", u"", -1);
    EXPECT_THROW(c->OpenRecordSet(u"SELECT ort FROM orte WHERE 1=1; CREATE TABLE geschrieben (a "
                                  u"integer)"),
                 AutomationError);
    EXPECT_THROW(c->OpenRecordSet(u"CREATE TABLE geschrieben (a integer)"), AutomationError);
    EXPECT_THROW(c->OpenRecordSet(u"SELECT 1 FROM geschrieben"), AutomationError);
}

}  // namespace
}  // namespace trx
