#include "platform/odbc/OdbcConnection.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/Text.h"
#include "platform/odbc/OdbcDiagnostics.h"

#ifdef _WIN32
// With UNICODE the plain names stand for the wide functions; where this
// code calls a plain name, it means the 8-bit function.
#undef SQLDescribeCol
#undef SQLExecDirect
#undef SQLGetDiagRec
#endif

namespace trx {

namespace {

// Values in a connect string go in braces; a closing brace is doubled.
std::u16string Braced(const std::u16string& value) {
    std::u16string out = u"{";
    for (char16_t c : value) {
        out += c;
        if (c == u'}') {
            out += u'}';
        }
    }
    return out + u"}";
}

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return text;
}

using Clock = std::chrono::steady_clock;

// Whether the driver's diagnostics report a time-out of their own: ODBC's
// time-out states, or on a failed connect the driver's words for it. libpq
// counts its connect time-out in whole seconds and may give up up to a second
// early, with "timeout expired".
bool DriverReportsTimeout(const std::u16string& diagnostics, bool connecting) {
    if (diagnostics.find(u"[HYT00]") != std::u16string::npos ||
        diagnostics.find(u"[HYT01]") != std::u16string::npos) {
        return true;
    }
    if (!connecting) {
        return false;
    }
    const std::u16string lower = Lower(diagnostics);
    return lower.find(u"timeout expired") != std::u16string::npos ||
           lower.find(u"timed out") != std::u16string::npos;
}

// A failure that the driver reports as a time-out, or that came when the
// time-out ran out, says so before the driver's own words, which often do not
// ("canceling statement", "database is locked").
AutomationError AfterTimeout(const AutomationError& error, Clock::time_point start,
                             std::chrono::seconds limit, bool connecting, const char16_t* what) {
    if (limit.count() <= 0 || (!DriverReportsTimeout(error.Description(), connecting) &&
                               Clock::now() - start < limit - std::chrono::milliseconds(500))) {
        return error;
    }
    return AutomationError(
        error.Number(), error.Source(),
        what + FromUtf8(std::to_string(limit.count())) + u" s: " + error.Description());
}

// Whether statement holds one SQL statement: nothing but blanks may follow a
// semicolon. Quotes are not looked into, so a ';' inside a text value counts
// too; drivers differ in how they quote, and a statement that a driver splits
// differently from us must not get through.
bool IsOneStatement(std::u16string_view statement) {
    const auto semicolon = statement.find(u';');
    if (semicolon == std::u16string_view::npos) {
        return true;
    }
    return statement.find_first_not_of(u" \t\r\n;", semicolon) == std::u16string_view::npos;
}

// Driver keywords put in front of the client's connect string, where they win
// over the same keyword later on. The SQLite3 driver waits for a locked
// database as long as Timeout (in ms) and with NoCreat does not make a
// missing file; other drivers ignore both.
std::u16string DriverLimits(const OdbcSettings& settings) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(settings.commandTimeout);
    return u"Timeout=" + FromUtf8(std::to_string(ms.count())) + u";NoCreat=1;";
}

// The value of a keyword in an ODBC connect string (the first one, as drivers
// take it), without braces; empty when it is not there.
std::u16string ConnectValue(const std::u16string& connectString, std::u16string_view keyword) {
    std::size_t at = 0;
    while (at < connectString.size()) {
        const std::size_t equals = connectString.find(u'=', at);
        if (equals == std::u16string::npos) {
            break;
        }
        std::u16string key = connectString.substr(at, equals - at);
        key.erase(0, key.find_first_not_of(u' '));
        key.erase(key.find_last_not_of(u' ') + 1);
        std::u16string value;
        std::size_t next = equals + 1;
        if (next < connectString.size() && connectString[next] == u'{') {
            for (++next; next < connectString.size(); ++next) {
                if (connectString[next] == u'}') {
                    if (next + 1 < connectString.size() && connectString[next + 1] == u'}') {
                        ++next;
                    } else {
                        ++next;
                        break;
                    }
                }
                value += connectString[next];
            }
            next = connectString.find(u';', next);
        } else {
            const std::size_t end = connectString.find(u';', next);
            value = connectString.substr(next, end == std::u16string::npos ? end : end - next);
            next = end;
        }
        if (Lower(key) == keyword) {
            return value;
        }
        if (next == std::u16string::npos) {
            break;
        }
        at = next + 1;
    }
    return {};
}

// A SQLite file that is not there would be made empty by the driver, and the
// list then fails with "no such table"; say what is wrong instead.
void RequireSqliteFile(const std::u16string& connectString) {
    if (Lower(ConnectValue(connectString, u"driver")).find(u"sqlite") == std::u16string::npos) {
        return;
    }
    const std::u16string file = ConnectValue(connectString, u"database");
    if (file.empty() || file == u":memory:") {
        return;
    }
#ifdef _WIN32
    // A path rooted without a drive is, under Wine, the host's own path for
    // the host's driver; Windows cannot look at it. The driver's NoCreat
    // keeps it from making the file.
    if (file.front() == u'/') {
        return;
    }
#endif
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(file), error)) {
        throw DatabaseError(u"Die SQLite-Datenbank '" + file + u"' gibt es nicht.");
    }
}

class Statement {
  public:
    Statement(SQLHDBC connection, bool narrow) : narrow_(narrow) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) {
            throw odbc::Error(SQL_HANDLE_DBC, connection, narrow);
        }
    }
    ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT Get() const { return handle_; }
    bool Narrow() const { return narrow_; }

    void Check(SQLRETURN rc) const {
        if (!SQL_SUCCEEDED(rc)) {
            throw odbc::Error(SQL_HANDLE_STMT, handle_, narrow_);
        }
    }

  private:
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
    bool narrow_;
};

// Whether wide text loses characters on its way to the driver: the driver
// manager narrows it for 8-bit drivers, so a probe with characters outside
// Latin-1 and outside the basic plane comes back changed.
bool NarrowsLossily(SQLHDBC connection) {
    std::u16string probe = u"SELECT '\u00E4\u20AC\u65E5\U0001F600'";
    std::u16string back(64, u'\0');
    SQLINTEGER length = 0;
    const SQLRETURN rc =
        SQLNativeSqlW(connection, odbc::Wide(probe), static_cast<SQLINTEGER>(probe.size()),
                      odbc::Wide(back), static_cast<SQLINTEGER>(back.size()), &length);
    if (!SQL_SUCCEEDED(rc) || length < 0) {
        return false;
    }
    back.resize(std::min<std::size_t>(static_cast<std::size_t>(length), back.size()));
    return back != probe;
}

// How one result column is bound and stored.
struct Binding {
    FieldType type = FieldType::Text;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN elementBytes = 0;  // size of one row's buffer
    bool isTime = false;      // a pure time of day
    std::vector<unsigned char> buffer;
    std::vector<SQLLEN> indicators;
};

constexpr SQLULEN kMaxBlockRows = 1024;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr SQLULEN kMaxTextChars = 4096;  // longer texts are read on in pieces
constexpr SQLLEN kPieceBytes = 64 * 1024;
constexpr SQLULEN kUnknownSize = 255;  // for drivers that report a size of 0

Binding Plan(SQLSMALLINT sqlType, SQLULEN columnSize) {
    Binding b;
    auto text = [&](FieldType type, SQLULEN chars) {
        b.type = type;
        b.cType = SQL_C_WCHAR;
        chars = std::clamp<SQLULEN>(chars == 0 ? kUnknownSize : chars, 1, kMaxTextChars);
        b.elementBytes = static_cast<SQLLEN>((chars + 1) * sizeof(SQLWCHAR));
    };
    switch (sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            b.type = FieldType::Integer;
            b.cType = SQL_C_SBIGINT;
            b.elementBytes = sizeof(SQLBIGINT);
            break;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            b.type = FieldType::Double;
            b.cType = SQL_C_DOUBLE;
            b.elementBytes = sizeof(SQLDOUBLE);
            break;
        case SQL_BIT:
            b.type = FieldType::Boolean;
            b.cType = SQL_C_BIT;
            b.elementBytes = sizeof(unsigned char);
            break;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            // As text, so that no digit is lost to a binary number.
            text(FieldType::Decimal, columnSize == 0 ? 0 : columnSize + 3);  // sign, point
            break;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            b.type = FieldType::Date;
            b.cType = SQL_C_TYPE_TIMESTAMP;
            b.elementBytes = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case SQL_TYPE_TIME:
        case SQL_TIME:
            b.type = FieldType::Date;
            b.cType = SQL_C_TYPE_TIME;
            b.elementBytes = sizeof(SQL_TIME_STRUCT);
            b.isTime = true;
            break;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            b.type = FieldType::Binary;
            b.cType = SQL_C_BINARY;
            b.elementBytes = static_cast<SQLLEN>(
                std::clamp<SQLULEN>(columnSize == 0 ? kUnknownSize : columnSize, 1, kMaxTextChars));
            break;
        default:
            // Character types and whatever else the driver can render as text.
            text(FieldType::Text, columnSize);
            break;
    }
    return b;
}

bool Truncated(const Binding& b, SQLLEN indicator) {
    if (b.cType == SQL_C_WCHAR) {
        return indicator == SQL_NO_TOTAL ||
               indicator > b.elementBytes - static_cast<SQLLEN>(sizeof(SQLWCHAR));
    }
    if (b.cType == SQL_C_BINARY) {
        return indicator == SQL_NO_TOTAL || indicator > b.elementBytes;
    }
    return false;
}

// Reads a whole text or binary value of the positioned row with SQLGetData,
// piece by piece; drivers misreport column sizes, so the bound buffer may
// have held only its start.
void ReadWhole(const Statement& stmt, SQLUSMALLINT column, const Binding& b, RecordSetBuilder& out,
               std::size_t outColumn) {
    std::vector<unsigned char> piece(static_cast<std::size_t>(kPieceBytes));
    const bool wide = b.cType == SQL_C_WCHAR;
    const SQLLEN usable = wide ? kPieceBytes - static_cast<SQLLEN>(sizeof(SQLWCHAR)) : kPieceBytes;
    bool first = true;
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt.Get(), column, b.cType, piece.data(), kPieceBytes, &indicator);
        if (rc == SQL_NO_DATA) {
            break;
        }
        stmt.Check(rc);
        if (indicator == SQL_NULL_DATA) {
            out.AppendNull(outColumn);
            return;
        }
        const bool more = indicator == SQL_NO_TOTAL || indicator > usable;
        const std::size_t bytes = static_cast<std::size_t>(more ? usable : indicator);
        if (wide) {
            std::u16string_view chars(reinterpret_cast<const char16_t*>(piece.data()),
                                      bytes / sizeof(char16_t));
            first ? out.AppendText(outColumn, chars) : out.ExtendText(outColumn, chars);
        } else {
            first ? out.AppendBinary(outColumn, piece.data(), bytes)
                  : out.ExtendBinary(outColumn, piece.data(), bytes);
        }
        first = false;
        if (!more) {
            break;
        }
    }
    if (first) {
        wide ? out.AppendText(outColumn, u"") : out.AppendBinary(outColumn, nullptr, 0);
    }
}

void Store(const Binding& b, std::size_t row, RecordSetBuilder& out, std::size_t column) {
    const SQLLEN indicator = b.indicators[row];
    if (indicator == SQL_NULL_DATA) {
        out.AppendNull(column);
        return;
    }
    const unsigned char* cell = b.buffer.data() + row * static_cast<std::size_t>(b.elementBytes);
    switch (b.cType) {
        case SQL_C_WCHAR:
            out.AppendText(column, std::u16string_view(
                                       reinterpret_cast<const char16_t*>(cell),
                                       static_cast<std::size_t>(indicator) / sizeof(char16_t)));
            break;
        case SQL_C_BINARY:
            out.AppendBinary(column, cell, static_cast<std::size_t>(indicator));
            break;
        case SQL_C_SBIGINT: {
            SQLBIGINT v;
            std::memcpy(&v, cell, sizeof v);
            out.AppendInteger(column, v);
            break;
        }
        case SQL_C_DOUBLE: {
            SQLDOUBLE v;
            std::memcpy(&v, cell, sizeof v);
            out.AppendDouble(column, v);
            break;
        }
        case SQL_C_BIT:
            out.AppendBoolean(column, *cell != 0);
            break;
        case SQL_C_TYPE_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT t;
            std::memcpy(&t, cell, sizeof t);
            out.AppendDate(
                column, DateTime{t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction});
            break;
        }
        case SQL_C_TYPE_TIME: {
            SQL_TIME_STRUCT t;
            std::memcpy(&t, cell, sizeof t);
            out.AppendDate(column, DateTime{1899, 12, 30, t.hour, t.minute, t.second, 0});
            break;
        }
        default:
            out.AppendNull(column);
            break;
    }
}

std::u16string ColumnName(const Statement& stmt, SQLUSMALLINT column, SQLSMALLINT& sqlType,
                          SQLULEN& columnSize) {
    SQLSMALLINT length = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    if (stmt.Narrow()) {
        std::string narrowName(1024, '\0');
        stmt.Check(SQLDescribeCol(stmt.Get(), column, reinterpret_cast<SQLCHAR*>(narrowName.data()),
                                  static_cast<SQLSMALLINT>(narrowName.size()), &length, &sqlType,
                                  &columnSize, &digits, &nullable));
        narrowName.resize(
            std::min<std::size_t>(static_cast<std::size_t>(length), narrowName.size() - 1));
        return FromUtf8(narrowName);
    }
    std::u16string name(256, u'\0');
    stmt.Check(SQLDescribeColW(stmt.Get(), column, odbc::Wide(name),
                               static_cast<SQLSMALLINT>(name.size()), &length, &sqlType,
                               &columnSize, &digits, &nullable));
    if (static_cast<std::size_t>(length) >= name.size()) {
        name.assign(static_cast<std::size_t>(length) + 1, u'\0');
        stmt.Check(SQLDescribeColW(stmt.Get(), column, odbc::Wide(name),
                                   static_cast<SQLSMALLINT>(name.size()), &length, &sqlType,
                                   &columnSize, &digits, &nullable));
    }
    name.resize(static_cast<std::size_t>(length));
    return name;
}

// The second wall behind the one-statement rule: the session itself refuses
// to write, where the database has a way to say so.
void MakeReadOnly(SQLHDBC dbc) {
    std::u16string name(128, u'\0');
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name.data(),
                                   static_cast<SQLSMALLINT>(name.size() * sizeof(char16_t)),
                                   &length))) {
        return;
    }
    name.resize(
        std::min<std::size_t>(static_cast<std::size_t>(length) / sizeof(char16_t), name.size()));
    std::u16string command;
    if (name.find(u"SQLite") != std::u16string::npos) {
        command = u"PRAGMA query_only = 1";
    } else if (name.find(u"PostgreSQL") != std::u16string::npos) {
        command = u"SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY";
    } else {
        return;
    }
    Statement stmt(dbc, false);
    stmt.Check(
        SQLExecDirectW(stmt.Get(), odbc::Wide(command), static_cast<SQLINTEGER>(command.size())));
}

}  // namespace

OdbcConnection::OdbcConnection(SQLHDBC connection, bool getDataInBlocks, bool narrow,
                               const OdbcSettings& settings)
    : connection_(connection),
      getDataInBlocks_(getDataInBlocks),
      narrow_(narrow),
      settings_(settings) {}

OdbcConnection::~OdbcConnection() {
    Close();
}

std::unique_ptr<OdbcConnection> OdbcConnection::Open(SQLHENV environment,
                                                     const std::u16string& connectString,
                                                     const std::u16string& userId,
                                                     const std::u16string& password,
                                                     const OdbcSettings& settings) {
    RequireSqliteFile(connectString);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &dbc))) {
        throw odbc::Error(SQL_HANDLE_ENV, environment);
    }
    // Drivers that do not know an attribute keep their default; the failure
    // of setting it is no reason to refuse the connection.
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                          std::max<long long>(settings.connectTimeout.count(), 0))),
                      0);
    SQLSetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY),
                      0);
    std::u16string full = DriverLimits(settings) + connectString;
    if (!userId.empty()) {
        full += u";UID=" + Braced(userId);
    }
    if (!password.empty()) {
        full += u";PWD=" + Braced(password);
    }
    std::u16string completed(1024, u'\0');
    SQLSMALLINT completedLength = 0;
    const Clock::time_point start = Clock::now();
    const SQLRETURN rc =
        SQLDriverConnectW(dbc, nullptr, odbc::Wide(full), static_cast<SQLSMALLINT>(full.size()),
                          odbc::Wide(completed), static_cast<SQLSMALLINT>(completed.size()),
                          &completedLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        AutomationError error =
            AfterTimeout(odbc::Error(SQL_HANDLE_DBC, dbc), start, settings.connectTimeout, true,
                         u"Keine Verbindung nach ");
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw error;
    }
    try {
        MakeReadOnly(dbc);
    } catch (const AutomationError&) {
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw;
    }
    SQLUINTEGER extensions = 0;
    if (!SQL_SUCCEEDED(
            SQLGetInfoW(dbc, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr))) {
        extensions = 0;
    }
    const bool inBlocks = (extensions & SQL_GD_BLOCK) != 0 && (extensions & SQL_GD_BOUND) != 0;
    return std::unique_ptr<OdbcConnection>(
        new OdbcConnection(dbc, inBlocks, NarrowsLossily(dbc), settings));
}

void OdbcConnection::Close() {
    if (connection_ != SQL_NULL_HDBC) {
        SQLDisconnect(connection_);
        SQLFreeHandle(SQL_HANDLE_DBC, connection_);
        connection_ = SQL_NULL_HDBC;
    }
}

std::shared_ptr<const RecordSet> OdbcConnection::OpenRecordSet(const std::u16string& statement) {
    if (connection_ == SQL_NULL_HDBC) {
        throw DatabaseError(u"Die Verbindung ist geschlossen.");
    }
    if (!IsOneStatement(statement)) {
        throw DatabaseError(
            u"Es ist nur eine SQL-Anweisung erlaubt, doch nach einem ';' folgt noch Text: " +
            statement);
    }
    Statement stmt(connection_, narrow_);
    SQLSetStmtAttr(stmt.Get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                       std::max<long long>(settings_.commandTimeout.count(), 0))),
                   0);
    const Clock::time_point start = Clock::now();
    SQLRETURN executed;
    if (narrow_) {
        std::string text = ToUtf8(statement);
        executed = SQLExecDirect(stmt.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size()));
    } else {
        std::u16string text = statement;
        executed =
            SQLExecDirectW(stmt.Get(), odbc::Wide(text), static_cast<SQLINTEGER>(text.size()));
    }
    if (executed != SQL_NO_DATA && !SQL_SUCCEEDED(executed)) {
        throw AfterTimeout(odbc::Error(SQL_HANDLE_STMT, stmt.Get(), narrow_), start,
                           settings_.commandTimeout, false,
                           u"Die Anweisung wurde abgebrochen nach ");
    }

    RecordSetBuilder out;
    SQLSMALLINT columns = 0;
    stmt.Check(SQLNumResultCols(stmt.Get(), &columns));
    if (columns <= 0) {
        return out.Build();
    }

    std::vector<Binding> bindings;
    std::size_t rowBytes = 0;
    bool variable = false;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        std::u16string name = ColumnName(stmt, c, sqlType, size);
        Binding b = Plan(sqlType, size);
        out.AddField(std::move(name), b.type);
        rowBytes += static_cast<std::size_t>(b.elementBytes) + sizeof(SQLLEN);
        variable = variable || b.cType == SQL_C_WCHAR || b.cType == SQL_C_BINARY;
        bindings.push_back(std::move(b));
    }

    SQLULEN rows = std::clamp<SQLULEN>(kBlockBytes / rowBytes, 1, kMaxBlockRows);
    if (variable && !getDataInBlocks_) {
        rows = 1;
    }
    stmt.Check(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_BIND_TYPE,
                              reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0));
    const SQLRETURN sized =
        SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
    stmt.Check(sized);
    if (sized == SQL_SUCCESS_WITH_INFO) {
        // The driver chose another block size (01S02); use what it took.
        SQLULEN taken = 0;
        stmt.Check(SQLGetStmtAttr(stmt.Get(), SQL_ATTR_ROW_ARRAY_SIZE, &taken, 0, nullptr));
        rows = std::max<SQLULEN>(taken, 1);
    }
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(rows);
    stmt.Check(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
    stmt.Check(SQLSetStmtAttr(stmt.Get(), SQL_ATTR_ROW_STATUS_PTR, status.data(), 0));

    for (std::size_t i = 0; i < bindings.size(); ++i) {
        Binding& b = bindings[i];
        b.buffer.resize(static_cast<std::size_t>(b.elementBytes) * rows);
        b.indicators.resize(rows);
        stmt.Check(SQLBindCol(stmt.Get(), static_cast<SQLUSMALLINT>(i + 1), b.cType,
                              b.buffer.data(), b.elementBytes, b.indicators.data()));
    }

    for (bool first = true;; first = false) {
        if (!first && settings_.keepLoading && !settings_.keepLoading()) {
            throw DatabaseError(
                u"Das Laden wurde abgebrochen: der Client, für den geladen wurde, ist nicht "
                u"mehr verbunden.");
        }
        const SQLRETURN rc = SQLFetchScroll(stmt.Get(), SQL_FETCH_NEXT, 0);
        if (rc == SQL_NO_DATA) {
            break;
        }
        stmt.Check(rc);
        for (std::size_t r = 0; r < fetched; ++r) {
            if (status[r] == SQL_ROW_ERROR) {
                throw odbc::Error(SQL_HANDLE_STMT, stmt.Get());
            }
            bool positioned = rows == 1;
            for (std::size_t c = 0; c < bindings.size(); ++c) {
                const Binding& b = bindings[c];
                if (!Truncated(b, b.indicators[r])) {
                    Store(b, r, out, c);
                    continue;
                }
                if (!positioned) {
                    stmt.Check(SQLSetPos(stmt.Get(), static_cast<SQLSETPOSIROW>(r + 1),
                                         SQL_POSITION, SQL_LOCK_NO_CHANGE));
                    positioned = true;
                }
                ReadWhole(stmt, static_cast<SQLUSMALLINT>(c + 1), b, out, c);
            }
        }
    }
    return out.Build();
}

}  // namespace trx
