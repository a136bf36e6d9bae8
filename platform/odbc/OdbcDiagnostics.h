#pragma once

#ifdef _WIN32
// Windows's ODBC headers need <windows.h> first.
#include "platform/win32/Win32.h"
#endif
#include <sql.h>

#include <string>

#include "common/AutomationError.h"

namespace trx::odbc {

static_assert(sizeof(SQLWCHAR) == 2, "ODBC text must be UTF-16");

inline SQLWCHAR* Wide(std::u16string& text) {
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

// Every diagnostic record of the handle, each as "[SQLSTATE] message", joined.
// `narrow` reads them through the 8-bit functions as UTF-8 (see OdbcConnection).
std::u16string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow = false);

// The database layer's error for the handle's diagnostics.
AutomationError Error(SQLSMALLINT handleType, SQLHANDLE handle, bool narrow = false);

}  // namespace trx::odbc
