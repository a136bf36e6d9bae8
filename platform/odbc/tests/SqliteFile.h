#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "common/Text.h"
#include "platform/odbc/OdbcConnectionFactory.h"

namespace trx::test {

// A SQLite database file reached through the SQLite3 ODBC driver; tests fill
// it with statements run through the same layer they test.
class SqliteFile {
  public:
    explicit SqliteFile(std::filesystem::path path) : path_(std::move(path)) {}

    std::u16string ConnectString() const {
        return u"Driver=SQLite3;Database=" + FromUtf8(path_.string());
    }

    void Exec(const std::u16string& statement) {
        if (!connection_) {
            connection_ = factory_.Open(ConnectString(), u"", u"", -1);
        }
        connection_->OpenRecordSet(statement);
    }
    void Exec(const std::string& statement) { Exec(FromUtf8(statement)); }

    // Closes the filling connection, so that the file is left as written.
    void Done() { connection_.reset(); }

  private:
    static OdbcSettings ForWriting() {
        OdbcSettings settings;
        settings.forWriting = true;
        return settings;
    }

    std::filesystem::path path_;
    OdbcConnectionFactory factory_{ForWriting()};
    std::unique_ptr<Connection> connection_;
};

}  // namespace trx::test
