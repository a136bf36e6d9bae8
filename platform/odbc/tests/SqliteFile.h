#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/Text.h"

namespace trx::test {

// A SQLite database file reached through the SQLite3 ODBC driver. Tests fill
// it with the sqlite3 tool, since the layer under test only reads.
class SqliteFile {
  public:
    explicit SqliteFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~SqliteFile() { Done(); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    std::u16string ConnectString() const {
        return u"Driver=SQLite3;Database=" + FromUtf8(path_.string());
    }

    // Statements are gathered and run together by Done().
    void Exec(const std::u16string& statement) { Exec(ToUtf8(statement)); }
    void Exec(const std::string& statement) { script_ += statement + ";\n"; }

    // Runs the gathered statements in one sqlite3 process, which stops at the
    // first failing one; the file is then left as written.
    void Done() {
        if (script_.empty()) {
            return;
        }
        const std::string command = "sqlite3 -bail " + Quoted(path_.string()) + " >/dev/null";
        FILE* tool = popen(command.c_str(), "w");
        ASSERT_NE(tool, nullptr) << command;
        std::fwrite(script_.data(), 1, script_.size(), tool);
        const int status = pclose(tool);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "sqlite3 failed on:\n"
                                                                   << script_;
        script_.clear();
    }

    // `text` in single quotes for the shell.
    static std::string Quoted(const std::string& text) {
        std::string quoted = "'";
        for (char c : text) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }

  private:
    std::filesystem::path path_;
    std::string script_;
};

}  // namespace trx::test
