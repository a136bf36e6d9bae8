// Loads a list of 100,000 rows (an integer and a text of about 20 characters)
// from a SQLite file through the ODBC driver, once through the combo-list
// server's load run, once through a bare ODBC loop over the same statement
// and once through the sqlite3 C library (the limit of the data source). Then
// loads 10 lists of 1,000 rows with one connect string and counts the
// connections the run opens. Prints the figures and the rows for bench/run.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <sqlite3.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "combolist/VXComboDB.h"
#include "common/Text.h"
#include "platform/odbc/OdbcConnectionFactory.h"
#include "tests/support/ManualTimer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kRows = 100000;
constexpr SQLULEN kBlockRows = 1024;
constexpr SQLLEN kTextChars = 256;  // what the driver's reported size of 255 gives, plus the end

class NoSleep final : public trx::Sleeper {
  public:
    void Sleep(std::int32_t) override {}
};

void Check(SQLRETURN rc, const char* what) {
    if (!SQL_SUCCEEDED(rc)) {
        std::cerr << "bare loop: " << what << " failed\n";
        std::exit(1);
    }
}

// Counts the connections that the server opens.
class CountingFactory final : public trx::ConnectionFactory {
  public:
    explicit CountingFactory(trx::ConnectionFactory& inner) : inner_(inner) {}
    std::unique_ptr<trx::Connection> Open(const std::u16string& connectString,
                                          const std::u16string& userId,
                                          const std::u16string& password,
                                          std::int32_t options) override {
        ++opened;
        return inner_.Open(connectString, userId, password, options);
    }
    int opened = 0;

  private:
    trx::ConnectionFactory& inner_;
};

SQLHDBC Connect(SQLHENV env, std::u16string connect) {
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "SQLAllocHandle");
    Check(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                            static_cast<SQLSMALLINT>(connect.size()), nullptr, 0, nullptr,
                            SQL_DRIVER_NOPROMPT),
          "SQLDriverConnectW");
    return dbc;
}

void Disconnect(SQLHDBC dbc) {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}

// Execute, bind, fetch blocks into plain arrays: the least any ODBC client
// must do to read a list.
std::size_t ReadStatement(SQLHDBC dbc, std::u16string statement) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), "SQLAllocHandle");
    Check(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(statement.data()),
                         static_cast<SQLINTEGER>(statement.size())),
          "SQLExecDirectW");
    std::vector<SQLWCHAR> texts(kBlockRows * kTextChars);
    std::vector<SQLBIGINT> numbers(kBlockRows);
    std::vector<SQLLEN> textLengths(kBlockRows);
    std::vector<SQLLEN> numberLengths(kBlockRows);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    Check(SQLBindCol(stmt, 1, SQL_C_WCHAR, texts.data(), kTextChars * sizeof(SQLWCHAR),
                     textLengths.data()),
          "SQLBindCol");
    Check(
        SQLBindCol(stmt, 2, SQL_C_SBIGINT, numbers.data(), sizeof(SQLBIGINT), numberLengths.data()),
        "SQLBindCol");
    std::size_t rows = 0;
    while (SQL_SUCCEEDED(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0))) {
        rows += fetched;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rows;
}

// Connect, read, disconnect.
std::size_t BareLoop(SQLHENV env, const std::u16string& connect, const std::u16string& statement) {
    SQLHDBC dbc = Connect(env, connect);
    const std::size_t rows = ReadStatement(dbc, statement);
    Disconnect(dbc);
    return rows;
}

// The rows straight from the sqlite3 C library, texts as UTF-16 into a block
// of plain arrays as the ODBC loop gets them.
std::size_t Sqlite3Loop(const std::string& file, const char* statement) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::cerr << "sqlite3: cannot open " << file << "\n";
        std::exit(1);
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, statement, -1, &stmt, nullptr) != SQLITE_OK) {
        std::cerr << "sqlite3: " << sqlite3_errmsg(db) << "\n";
        std::exit(1);
    }
    std::vector<char16_t> texts(kBlockRows * kTextChars);
    std::vector<std::int64_t> numbers(kBlockRows);
    std::size_t rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const std::size_t slot = rows % kBlockRows;
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(stmt, 0));
        const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes16(stmt, 0));
        std::copy_n(text, std::min<std::size_t>(bytes / 2, kTextChars - 1),
                    texts.data() + slot * kTextChars);
        numbers[slot] = sqlite3_column_int64(stmt, 1);
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const bool smoke = trx::bench::SmokeRun(argc, argv);
    // "ours", "bare" or "sqlite3" as first argument runs one side alone, for
    // profiling; a number after it gives the rounds.
    const std::string only = argc > 1 && !smoke ? argv[1] : "";
    const int rounds =
        smoke ? 1 : trx::bench::RoundCount(argc > 2 ? std::max(1, std::atoi(argv[2])) : 9);
    const std::size_t rowCount = smoke ? 500 : kRows;
    const std::size_t smallRows = smoke ? 50 : 1000;
    constexpr int kSmallLists = 10;

    trx::bench::ScratchDir dir;
    const std::filesystem::path file = dir.Path() / "listen.db";
    const std::u16string connect = u"Driver=SQLite3;Database=" + trx::FromUtf8(file.string());
    const std::u16string statement = u"SELECT tx,n FROM Liste";

    trx::OdbcConnectionFactory odbc;
    {
        // Filled through the sqlite3 C library; the ODBC layer only reads.
        sqlite3* db = nullptr;
        trx::bench::Require(sqlite3_open(file.c_str(), &db) == SQLITE_OK, "cannot create the file");
        std::string sql =
            "CREATE TABLE Liste (tx VARCHAR(30), n INTEGER);"
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" +
            std::to_string(rowCount) +
            ") INSERT INTO Liste SELECT printf('Eintrag Nummer %06d', x), x FROM c;";
        for (int k = 0; k < kSmallLists; ++k) {
            const auto table = "Klein" + std::to_string(k);
            sql += "CREATE TABLE " + table + " (tx VARCHAR(30), n INTEGER);INSERT INTO " + table +
                   " SELECT tx, n FROM Liste WHERE n<=" + std::to_string(smallRows) + ";";
        }
        const bool filled = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        trx::bench::Require(filled, "cannot fill the file");
    }

    trx::ManualTimerFactory timers;
    NoSleep sleeper;
    CountingFactory counting(odbc);
    trx::VXComboDB server(counting, timers, sleeper, std::cerr);
    auto loadRun = [&] {
        server.Init(0);
        server.AddComboList(connect, u"Liste", u"tx", u"n");
        const auto start = Clock::now();
        auto rs = server.ComboList(u"Liste");  // a pending list: the load run happens here
        const double ms = trx::bench::MsSince(start);
        trx::bench::Require(rs && rs->RecordCount() == rowCount, "load run: wrong row count");
        return ms;
    };

    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    auto bare = [&] {
        const auto start = Clock::now();
        const std::size_t rows = BareLoop(env, connect, statement);
        const double ms = trx::bench::MsSince(start);
        trx::bench::Require(rows == rowCount, "bare loop: wrong row count");
        return ms;
    };
    auto direct = [&] {
        const auto start = Clock::now();
        const std::size_t rows = Sqlite3Loop(file.string(), "SELECT tx,n FROM Liste");
        const double ms = trx::bench::MsSince(start);
        trx::bench::Require(rows == rowCount, "sqlite3 loop: wrong row count");
        return ms;
    };

    if (!only.empty()) {
        double total = 0;
        for (int i = 0; i < rounds; ++i) {
            total += only == "bare" ? bare() : only == "sqlite3" ? direct() : loadRun();
        }
        std::printf("%s alone: %.2f ms a round\n", only.c_str(), total / rounds);
        return 0;
    }

    const auto odbcRounds = trx::bench::Alternate(rounds, loadRun, bare);
    const auto sqliteRounds = trx::bench::Alternate(rounds, bare, direct);
    const double a = trx::bench::Fastest(odbcRounds.ours);
    const double b = trx::bench::Fastest(odbcRounds.baseline);
    const double c = trx::bench::Fastest(sqliteRounds.baseline);
    std::printf("rows: %zu, rounds: %d\n", rowCount, rounds);
    std::printf("load run (VXComboDB::ComboList): fastest %8.2f ms, median %8.2f ms\n", a,
                trx::bench::Median(odbcRounds.ours));
    std::printf("bare ODBC loop:                  fastest %8.2f ms, median %8.2f ms\n", b,
                trx::bench::Median(odbcRounds.baseline));
    std::printf("sqlite3 C library:               fastest %8.2f ms, median %8.2f ms\n", c,
                trx::bench::Median(sqliteRounds.baseline));
    const std::string rows = std::to_string(rowCount);
    trx::bench::Row("load run of " + rows + " rows (vs bare ODBC loop)", trx::bench::Millis(a),
                    trx::bench::Millis(b), a / b, 1.15);
    trx::bench::Row("load run of " + rows + " rows (vs sqlite3 C library)", trx::bench::Millis(a),
                    trx::bench::Millis(c), a / c, 0);

    // Ten lists with one connect string: one load run, one connection.
    auto smallRun = [&] {
        server.Init(0);
        for (int k = 0; k < kSmallLists; ++k) {
            server.AddComboList(connect, u"Klein" + trx::FromUtf8(std::to_string(k)), u"tx", u"n");
        }
        const int before = counting.opened;
        const auto start = Clock::now();
        auto first = server.ComboList(u"Klein0");  // loads all ten
        const double ms = trx::bench::MsSince(start);
        trx::bench::Require(
            counting.opened - before == 1,
            "the ten lists took " + std::to_string(counting.opened - before) + " connections");
        for (int k = 0; k < kSmallLists; ++k) {
            auto rs = server.ComboList(u"Klein" + trx::FromUtf8(std::to_string(k)));
            trx::bench::Require(rs && rs->RecordCount() == smallRows,
                                "small list: wrong row count");
        }
        return ms;
    };
    auto smallBare = [&] {
        const auto start = Clock::now();
        SQLHDBC dbc = Connect(env, connect);
        for (int k = 0; k < kSmallLists; ++k) {
            const auto rowsRead =
                ReadStatement(dbc, u"SELECT tx,n FROM Klein" + trx::FromUtf8(std::to_string(k)));
            trx::bench::Require(rowsRead == smallRows, "bare loop: wrong row count");
        }
        Disconnect(dbc);
        return trx::bench::MsSince(start);
    };
    const int opened = counting.opened;
    const auto smallRounds = trx::bench::Alternate(rounds, smallRun, smallBare);
    // Alternate runs each side once more to warm up.
    const int perRun = (counting.opened - opened) / (rounds + 1);
    const double sa = trx::bench::Fastest(smallRounds.ours);
    const double sb = trx::bench::Fastest(smallRounds.baseline);
    std::printf(
        "10 lists of %zu rows: load run %.2f ms, bare ODBC on one connection %.2f ms, "
        "%d connection(s) a run\n",
        smallRows, sa, sb, perRun);
    const std::string small =
        "10 lists of " + std::to_string(smallRows) + " rows, one connect string";
    trx::bench::Row(small + " (vs bare ODBC, one connection)", trx::bench::Millis(sa),
                    trx::bench::Millis(sb), sa / sb, 1.15);
    trx::bench::TextRow(small + ": connections a load run opens", std::to_string(perRun), "1", "-",
                        "1", perRun == 1 ? "met" : "missed");
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
