#pragma once

#ifdef _WIN32
// Windows's ODBC headers need <windows.h> first.
#include "platform/win32/Win32.h"
#endif
#include <sql.h>

#include <memory>
#include <string>

#include "platform/Database.h"
#include "platform/odbc/OdbcConnectionFactory.h"

namespace trx {

// One ODBC connection. Record sets are fetched whole, in blocks of rows into
// bound column arrays, and come back detached.
class OdbcConnection final : public Connection {
  public:
    static std::unique_ptr<OdbcConnection> Open(SQLHENV environment,
                                                const std::u16string& connectString,
                                                const std::u16string& userId,
                                                const std::u16string& password,
                                                const OdbcSettings& settings);
    ~OdbcConnection() override;
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    std::shared_ptr<const RecordSet> OpenRecordSet(const std::u16string& statement) override;
    void Close() override;

  private:
    OdbcConnection(SQLHDBC connection, bool getDataInBlocks, bool narrow,
                   const OdbcSettings& settings);

    SQLHDBC connection_;
    // Whether the driver lets SQLGetData read a row inside a fetched block;
    // without it, statements that may need it fetch one row at a time.
    bool getDataInBlocks_;
    // Whether texts to and from the driver go through the 8-bit functions as
    // UTF-8. The driver manager narrows wide text for drivers that have only
    // 8-bit functions (the SQLite3 driver) and loses every character it
    // cannot map, so for those we encode the statement ourselves. Values are
    // still fetched as UTF-16, which such drivers convert themselves.
    bool narrow_;
    OdbcSettings settings_;
};

}  // namespace trx
