// Loads a list of 100,000 rows (an integer and a text of about 20 characters)
// from a SQLite file through the ODBC driver, once through the combo-list
// server's load run and once through a bare ODBC loop over the same
// statement, and prints both times and their ratio. The goal is a ratio of
// at most 1.15.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "combolist/VXComboDB.h"
#include "common/Text.h"
#include "platform/ManualTimer.h"
#include "platform/odbc/OdbcConnectionFactory.h"

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

// Connect, execute, bind, fetch blocks into plain arrays, disconnect: the
// least any ODBC client must do to read the list.
std::size_t BareLoop(SQLHENV env, std::u16string connect, std::u16string statement) {
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "SQLAllocHandle");
    Check(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                            static_cast<SQLSMALLINT>(connect.size()), nullptr, 0, nullptr,
                            SQL_DRIVER_NOPROMPT),
          "SQLDriverConnectW");
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
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return rows;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    // "ours" or "bare" as second argument runs one side alone, for profiling.
    const std::string only = argc > 2 ? argv[2] : "";
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("trx-load-bench-" + std::to_string(getpid()) + ".db");
    std::filesystem::remove(file);
    const std::u16string connect = u"Driver=SQLite3;Database=" + trx::FromUtf8(file.string());
    const std::u16string statement = u"SELECT tx,n FROM Liste";

    trx::OdbcConnectionFactory odbc;
    {
        auto c = odbc.Open(connect, u"", u"", -1);
        c->OpenRecordSet(u"CREATE TABLE Liste (tx VARCHAR(30), n INTEGER)");
        c->OpenRecordSet(
            u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<100000)"
            u" INSERT INTO Liste SELECT printf('Eintrag Nummer %06d', x), x FROM c");
    }

    trx::ManualTimerFactory timers;
    NoSleep sleeper;
    trx::VXComboDB server(odbc, timers, sleeper, std::cerr);
    auto loadRun = [&] {
        server.Init(0);
        server.AddComboList(connect, u"Liste", u"tx", u"n");
        const auto start = Clock::now();
        auto rs = server.ComboList(u"Liste");  // a pending list: the load run happens here
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!rs || rs->RecordCount() != kRows) {
            std::cerr << "load run: wrong row count\n";
            std::exit(1);
        }
        return ms;
    };

    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    auto bare = [&] {
        const auto start = Clock::now();
        const std::size_t rows = BareLoop(env, connect, statement);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (rows != kRows) {
            std::cerr << "bare loop: wrong row count\n";
            std::exit(1);
        }
        return ms;
    };

    if (!only.empty()) {
        double total = 0;
        for (int i = 0; i < rounds; ++i) {
            total += only == "bare" ? bare() : loadRun();
        }
        std::printf("%s alone: %.2f ms a round\n", only.c_str(), total / rounds);
        return 0;
    }
    loadRun();  // warm the file cache and the driver
    bare();
    std::vector<double> ours;
    std::vector<double> baseline;
    for (int i = 0; i < rounds; ++i) {
        // Alternating the order keeps either side from always running on
        // the caches and the heap the other one left.
        if (i % 2 == 0) {
            ours.push_back(loadRun());
            baseline.push_back(bare());
        } else {
            baseline.push_back(bare());
            ours.push_back(loadRun());
        }
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    std::filesystem::remove(file);

    // The fastest round is the least disturbed by other work on the machine;
    // the median shows how typical rounds went.
    const double a = *std::min_element(ours.begin(), ours.end());
    const double b = *std::min_element(baseline.begin(), baseline.end());
    std::printf("rows: %zu, rounds: %d\n", kRows, rounds);
    std::printf("load run (VXComboDB::ComboList): fastest %8.2f ms, median %8.2f ms\n", a,
                Median(ours));
    std::printf("bare ODBC loop:                  fastest %8.2f ms, median %8.2f ms\n", b,
                Median(baseline));
    std::printf("ratio (fastest): %.3f, ratio (median): %.3f (goal: at most 1.15)\n", a / b,
                Median(ours) / Median(baseline));
    return 0;
}
