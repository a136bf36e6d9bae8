#include "common/StandardOptions.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace trx {
namespace {

struct Case {
    std::vector<const char*> argv;
    std::optional<int> code;
    std::string printed;
};

TEST(StandardOptions, OnlyASoleHelpOrVersionIsTakenAndEverythingElseStaysTheProgramsOwn) {
    const std::string version = "vxRegCPX " + std::string(ProgramVersion()) + "\n";
    const std::vector<Case> cases = {
        {{"vxRegCPX", "--help"}, 0, "HELP"},
        {{"vxRegCPX", "--version"}, 0, version},
        {{"vxRegCPX"}, std::nullopt, ""},
        // A CPX file path, switches, or /h for the message box stay with Main.
        {{"vxRegCPX", "--help", "/q"}, std::nullopt, ""},
        {{"vxRegCPX", "entry.cpx", "--version"}, std::nullopt, ""},
        {{"vxRegCPX", "/h"}, std::nullopt, ""},
        {{"vxRegCPX", "--HELP"}, std::nullopt, ""},
        {{"vxRegCPX", "./--help"}, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        const auto code = HandleStandardOptions(static_cast<int>(c.argv.size()), c.argv.data(),
                                                "vxRegCPX", "HELP", out);
        EXPECT_EQ(code, c.code) << c.argv.back();
        EXPECT_EQ(out.str(), c.printed) << c.argv.back();
    }
}

TEST(StandardOptions, AFailedWriteIsExitStatusOne) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    const char* argv[] = {"vxini", "--version"};
    EXPECT_EQ(HandleStandardOptions(2, argv, "vxini", "HELP", out), 1);
}

}  // namespace
}  // namespace trx
