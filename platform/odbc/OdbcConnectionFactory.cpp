#include "platform/odbc/OdbcConnectionFactory.h"

#ifdef _WIN32
// Windows's ODBC headers need <windows.h> first.
#include "platform/win32/Win32.h"
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "platform/odbc/OdbcConnection.h"
#include "platform/odbc/OdbcDiagnostics.h"

namespace trx {

OdbcConnectionFactory::OdbcConnectionFactory(OdbcSettings settings)
    : settings_(std::move(settings)) {
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        throw DatabaseError(u"Die ODBC-Umgebung kann nicht angelegt werden.");
    }
    const SQLRETURN rc =
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(rc)) {
        AutomationError error = odbc::Error(SQL_HANDLE_ENV, env);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        throw error;
    }
    environment_ = env;
}

OdbcConnectionFactory::~OdbcConnectionFactory() {
    SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(environment_));
}

std::unique_ptr<Connection> OdbcConnectionFactory::Open(const std::u16string& connectString,
                                                        const std::u16string& userId,
                                                        const std::u16string& password,
                                                        std::int32_t /*options*/) {
    return OdbcConnection::Open(static_cast<SQLHENV>(environment_), connectString, userId, password,
                                settings_);
}

void OdbcConnectionFactory::SetKeepLoading(std::function<bool()> keepLoading) {
    settings_.keepLoading = std::move(keepLoading);
}

}  // namespace trx
