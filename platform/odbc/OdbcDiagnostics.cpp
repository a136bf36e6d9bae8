#include "platform/odbc/OdbcDiagnostics.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <vector>

#include "common/Text.h"
#include "platform/Database.h"

#ifdef _WIN32
// With UNICODE the plain names stand for the wide functions; where this
// code calls a plain name, it means the 8-bit function.
#undef SQLDescribeCol
#undef SQLExecDirect
#undef SQLGetDiagRec
#endif

namespace trx::odbc {

namespace {

// One record through the 8-bit function, its text taken as UTF-8.
bool NarrowRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record,
                  std::u16string& state, std::u16string& text) {
    SQLCHAR narrowState[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLCHAR> message(2048);
    const SQLRETURN rc =
        SQLGetDiagRec(handleType, handle, record, narrowState, &native, message.data(),
                      static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) {
        return false;
    }
    state = FromUtf8(std::string_view(reinterpret_cast<const char*>(narrowState), 5));
    text = FromUtf8(std::string_view(
        reinterpret_cast<const char*>(message.data()),
        std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1)));
    return true;
}

}  // namespace

std::u16string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow) {
    std::u16string joined;
    for (SQLSMALLINT record = 1; narrow; ++record) {
        std::u16string state;
        std::u16string text;
        if (!NarrowRecord(handleType, handle, record, state, text)) {
            return joined;
        }
        while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) {
            text.pop_back();
        }
        if (!joined.empty()) {
            joined += u"; ";
        }
        joined += u"[" + state + u"] " + text;
    }
    for (SQLSMALLINT record = 1;; ++record) {
        char16_t state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::vector<char16_t> message(512);
        SQLRETURN rc =
            SQLGetDiagRecW(handleType, handle, record, reinterpret_cast<SQLWCHAR*>(state), &native,
                           reinterpret_cast<SQLWCHAR*>(message.data()),
                           static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, record, reinterpret_cast<SQLWCHAR*>(state),
                                &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) {
            break;  // SQL_NO_DATA after the last record
        }
        std::u16string text(message.data(), std::min<std::size_t>(static_cast<std::size_t>(length),
                                                                  message.size() - 1));
        while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) {
            text.pop_back();
        }
        if (!joined.empty()) {
            joined += u"; ";
        }
        // Appended piece by piece: GCC 12 misreads `u"[" + std::u16string&&` (an
        // insert at the front) as an overlapping copy and warns with -Wrestrict.
        joined += u'[';
        joined.append(state, 5);
        joined += u"] ";
        joined += text;
    }
    return joined;
}

AutomationError Error(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow) {
    std::u16string description =
        handle == SQL_NULL_HANDLE ? std::u16string() : Diagnostics(handleType, handle, narrow);
    return DatabaseError(description.empty() ? u"Unbekannter ODBC-Fehler." : description);
}

}  // namespace trx::odbc
