#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/AutomationError.h"
#include "common/RecordSet.h"

namespace trx {

// An open database connection. Opening a record set runs the statement and
// fetches every row into memory at once (client-side, static, read-only); the
// result is detached and never reads the database again.
class Connection {
  public:
    virtual ~Connection() = default;
    virtual std::shared_ptr<const RecordSet> OpenRecordSet(const std::u16string& statement) = 0;
    virtual void Close() = 0;
};

// Opens connections. Options -1 leaves every option unspecified.
class ConnectionFactory {
  public:
    virtual ~ConnectionFactory() = default;
    virtual std::unique_ptr<Connection> Open(const std::u16string& connectString,
                                             const std::u16string& userId,
                                             const std::u16string& password,
                                             std::int32_t options) = 0;
    // Asked between blocks of fetched rows whether the load is still wanted
    // (its client may have gone); false stops it with an error. A layer that
    // cannot stop a load ignores it.
    virtual void SetKeepLoading(std::function<bool()> keepLoading) { (void)keepLoading; }
};

// Every failure of the database layer carries the generic failure number that
// data-access layers report for driver errors.
inline constexpr std::int32_t kErrDatabase = static_cast<std::int32_t>(0x80004005u);
inline constexpr char16_t kDatabaseErrorSource[] = u"ODBC";

inline AutomationError DatabaseError(std::u16string description) {
    return AutomationError(kErrDatabase, kDatabaseErrorSource, std::move(description));
}

// Opens a record set on a connection that may be missing (a list whose
// connect string was empty): then the open fails like any database error.
inline std::shared_ptr<const RecordSet> OpenRecordSet(Connection* connection,
                                                      const std::u16string& statement) {
    if (connection == nullptr) {
        throw DatabaseError(
            u"Die Datensatzgruppe kann nicht geöffnet werden: "
            u"keine Verbindung ist geöffnet.");
    }
    return connection->OpenRecordSet(statement);
}

}  // namespace trx
