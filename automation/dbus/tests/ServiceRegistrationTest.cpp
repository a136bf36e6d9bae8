#include "automation/dbus/ServiceRegistration.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace trx {
namespace {

std::optional<int> Handle(std::vector<const char*> args, std::ostream& out, std::ostream& err) {
    args.insert(args.begin(), "prog");
    return HandleRegistrationSwitches(static_cast<int>(args.size()), args.data(), "TRXTest.Unused",
                                      out, err);
}

TEST(ServiceRegistrationTest, OnlyTheTwoSwitchesInAnyCaseAreHandled) {
    test::TempDir home;
    setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    const auto file = home.Path() / "dbus-1" / "services" / "TRXTest.Unused.service";
    struct Case {
        std::vector<const char*> args;
        std::optional<int> code;
        bool fileAfter;
    } cases[] = {
        {{}, std::nullopt, false},
        {{"entry.cpx", "/q"}, std::nullopt, false},
        {{"regserver"}, std::nullopt, false},
        {{"/RegServerX"}, std::nullopt, false},
        {{"/RegServer"}, 0, true},
        {{"/UnRegServer"}, 0, false},
        {{"-REGSERVER"}, 0, true},
        {{"-unregserver"}, 0, false},
        {{"/unregserver"}, 0, false},  // nothing to remove is no failure
        {{"x", "/regserver"}, 0, true},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(Handle(c.args, out, err), c.code) << (c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(std::filesystem::exists(file), c.fileAfter)
            << (c.args.empty() ? "" : c.args.back());
        if (c.code) {
            const std::string said = out.str();
            EXPECT_NE(said.find(file.string()), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        }
    }
    unsetenv("XDG_DATA_HOME");
}

TEST(ServiceRegistrationTest, ServiceFileNamesTheIdentifierAndStartsTheAbsolutePathWithEmbedding) {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RegisterServer("vxRegCPX.CPXFile", "/opt/trx/bin/vxRegCPX", dir.Path() / "services",
                             out, err),
              0);
    EXPECT_EQ(test::ReadFile(dir.Path() / "services" / "vxRegCPX.CPXFile.service"),
              "[D-BUS Service]\nName=vxRegCPX.CPXFile\nExec=/opt/trx/bin/vxRegCPX -Embedding\n");
}

TEST(ServiceRegistrationTest, PathsWithBlanksOrQuotesAreQuotedForTheBus) {
    struct Case {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/opt/T R X/vxTRXVer", "Exec='/opt/T R X/vxTRXVer' -Embedding"},
        {"/opt/it's/vxTRXVer", "Exec='/opt/it'\\''s/vxTRXVer' -Embedding"},
        {"/opt/a$b/vxTRXVer", "Exec='/opt/a$b/vxTRXVer' -Embedding"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(ServiceFileText("vxTRXVer.Version", c.path).find(c.exec), std::string::npos)
            << c.path;
    }
}

TEST(ServiceRegistrationTest, AFolderThatCannotBeWrittenFailsWithExitCodeOne) {
    test::TempDir dir;
    test::WriteFile(dir.Path() / "blocker", "a file where the folder should be");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RegisterServer("vxRegCPX.CPXFile", "/x/vxRegCPX", dir.Path() / "blocker" / "services",
                             out, err),
              1);
    EXPECT_TRUE(out.str().empty());
    EXPECT_NE(err.str().find("kann nicht geschrieben werden"), std::string::npos);
}

}  // namespace
}  // namespace trx
