#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

extern char** environ;

namespace trx {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built vxini with `args`, its output going to files in `dir`.
Outcome RunVxini(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), TRX_VXINI);
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string outPath = (dir / "stdout").string();
    const std::string errPath = (dir / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return outcome;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFile(dir / "stdout");
    outcome.err = ReadFile(dir / "stderr");
    return outcome;
}

class Vxini : public ::testing::Test {
  protected:
    std::string Ini() const { return (dir_ / "vxTRX.ini").string(); }
    TempDir dir_;
};

TEST_F(Vxini, GetPrintsTheValueAsUtf8) {
    WriteFile(Ini(), "[Common]\r\nVersion=\"4.1 \xE4\"\r\n");
    const auto got = RunVxini(dir_, {"get", Ini(), "common", "version"});
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(got.out, "4.1 \xC3\xA4\n");
    EXPECT_EQ(got.err, "");
}

TEST_F(Vxini, GetPrintsTheDefaultForAMissingKey) {
    const auto withDefault = RunVxini(dir_, {"get", Ini(), "Common", "Build", "0"});
    EXPECT_EQ(withDefault.status, 0);
    EXPECT_EQ(withDefault.out, "0\n");
    const auto withoutDefault = RunVxini(dir_, {"get", Ini(), "Common", "Build"});
    EXPECT_EQ(withoutDefault.status, 0);
    EXPECT_EQ(withoutDefault.out, "\n");
}

TEST_F(Vxini, SetWritesTheValueInTheFilesCodePage) {
    WriteFile(Ini(), "[Common]\r\nVersion=4.1\r\n");
    const auto set = RunVxini(dir_, {"set", Ini(), "Common", "RequiredDBVersion", "5.0 \xC3\xA4"});
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(ReadFile(Ini()), "[Common]\r\nVersion=4.1\r\nRequiredDBVersion=5.0 \xE4\r\n");
    const auto get = RunVxini(dir_, {"get", Ini(), "Common", "RequiredDBVersion"});
    EXPECT_EQ(get.out, "5.0 \xC3\xA4\n");
}

TEST_F(Vxini, SetFailsWithAMessageAndLeavesTheFile) {
    WriteFile(Ini(), "[Common]\r\n");
    const auto badKey = RunVxini(dir_, {"set", Ini(), "Common", "a=b", "1"});
    EXPECT_EQ(badKey.status, 1);
    EXPECT_NE(badKey.err.find("\"=\""), std::string::npos) << badKey.err;
    EXPECT_EQ(ReadFile(Ini()), "[Common]\r\n");
    // The folder of the path is a file.
    const auto badPath = RunVxini(dir_, {"set", Ini() + "/x.ini", "Common", "k", "1"});
    EXPECT_EQ(badPath.status, 1);
    EXPECT_NE(badPath.err.find("could not be written"), std::string::npos) << badPath.err;
}

TEST_F(Vxini, RejectsWrongUsageWithStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"get", "file", "section"},
        {"set", "file", "section", "key"},
        {"get", "a", "b", "c", "d", "e"},
        {"remove", "file", "section", "key"},
    };
    for (const auto& args : cases) {
        const auto got = RunVxini(dir_, args);
        EXPECT_EQ(got.status, 2) << args.size() << " arguments";
        EXPECT_NE(got.err.find("Usage:"), std::string::npos);
        EXPECT_EQ(got.out, "");
    }
}

TEST_F(Vxini, HelpExplainsTheCommands) {
    const auto got = RunVxini(dir_, {"--help"});
    EXPECT_EQ(got.status, 0);
    EXPECT_NE(got.out.find("vxini get FILE SECTION KEY [DEFAULT]"), std::string::npos);
    EXPECT_NE(got.out.find("vxini set FILE SECTION KEY VALUE"), std::string::npos);
}

}  // namespace
}  // namespace trx
