#pragma once

#include <memory>

#include "platform/Database.h"

namespace trx {

// The database layer on ODBC (unixODBC, wide functions): connect strings are
// ODBC connect strings ("Driver=SQLite3;Database=/path/lists.db", "DSN=...").
// The factory owns the ODBC environment; its connections must not outlive it.
class OdbcConnectionFactory final : public ConnectionFactory {
  public:
    OdbcConnectionFactory();
    ~OdbcConnectionFactory() override;
    OdbcConnectionFactory(const OdbcConnectionFactory&) = delete;
    OdbcConnectionFactory& operator=(const OdbcConnectionFactory&) = delete;

    std::unique_ptr<Connection> Open(const std::u16string& connectString,
                                     const std::u16string& userId, const std::u16string& password,
                                     std::int32_t options) override;

  private:
    void* environment_ = nullptr;  // SQLHENV, kept opaque so users need no ODBC headers
};

}  // namespace trx
