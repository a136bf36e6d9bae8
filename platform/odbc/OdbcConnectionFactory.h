#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "platform/Database.h"

namespace trx {

// How connections are opened. They only read: the database is
// opened read-only (a SQLite file must exist), a statement is one statement,
// and waits are bounded: connecting by connectTimeout, each statement (a
// lock held by another session included) by commandTimeout.
struct OdbcSettings {
    std::chrono::seconds connectTimeout{15};
    std::chrono::seconds commandTimeout{30};
    // Asked between two blocks of fetched rows; false stops the load with an
    // error (its client has gone). Empty: every load runs to its end.
    std::function<bool()> keepLoading;
};

// The database layer on ODBC (unixODBC, wide functions): connect strings are
// ODBC connect strings ("Driver=SQLite3;Database=/path/lists.db", "DSN=...").
// The factory owns the ODBC environment; its connections must not outlive it.
class OdbcConnectionFactory final : public ConnectionFactory {
  public:
    explicit OdbcConnectionFactory(OdbcSettings settings = {});
    ~OdbcConnectionFactory() override;
    OdbcConnectionFactory(const OdbcConnectionFactory&) = delete;
    OdbcConnectionFactory& operator=(const OdbcConnectionFactory&) = delete;

    std::unique_ptr<Connection> Open(const std::u16string& connectString,
                                     const std::u16string& userId, const std::u16string& password,
                                     std::int32_t options) override;

    // Replaces the test asked between blocks of rows (see OdbcSettings).
    void SetKeepLoading(std::function<bool()> keepLoading) override;

  private:
    OdbcSettings settings_;
    void* environment_ = nullptr;  // SQLHENV, kept opaque so users need no ODBC headers
};

}  // namespace trx
