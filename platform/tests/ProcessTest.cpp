#include "platform/Process.h"

#include "common/Text.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace trx {
namespace {

ProcessInfo Read(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "program");
    return ReadProcessInfo(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ReadProcessInfo, TellsTheAutomationStartAndJoinsTheRest) {
    struct Case {
        std::vector<const char*> arguments;
        StartMode mode;
        std::string argumentText;
    };
    const std::vector<Case> cases = {
        {{}, StartMode::Program, ""},
        {{"entry.cpx"}, StartMode::Program, "entry.cpx"},
        {{"/home/a b/entry.cpx", "/u", "/q"}, StartMode::Program, "/home/a b/entry.cpx /u /q"},
        {{"-Embedding"}, StartMode::Automation, ""},
        {{"/Embedding"}, StartMode::Automation, ""},
        {{"-EMBEDDING", "x"}, StartMode::Automation, "x"},
        {{"/embedding"}, StartMode::Automation, ""},
        {{"entry.cpx", "-Embedding"}, StartMode::Program, "entry.cpx -Embedding"},  // first only
        {{"--Embedding"}, StartMode::Program, "--Embedding"},
        {{"-Embeddingx"}, StartMode::Program, "-Embeddingx"},
        {{"Embedding"}, StartMode::Program, "Embedding"},
        {{"", "a"}, StartMode::Program, " a"},
        {{"Grüße"}, StartMode::Program, "Grüße"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argumentText);
        const ProcessInfo info = Read(c.arguments);
        EXPECT_EQ(info.mode, c.mode);
        EXPECT_EQ(ToUtf8(info.argumentText), c.argumentText);
        const std::size_t skipped = c.mode == StartMode::Automation ? 1 : 0;
        ASSERT_EQ(info.arguments.size(), c.arguments.size() - skipped);
        for (std::size_t i = 0; i < info.arguments.size(); ++i) {
            EXPECT_EQ(ToUtf8(info.arguments[i]), c.arguments[i + skipped]);
        }
    }
}

TEST(ProgramDirectory, IsTheExecutablesFolderWhateverTheCurrentFolder) {
    test::TempDir elsewhere;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.Path());
    const std::u16string folder = ProgramDirectory();
    std::filesystem::current_path(before);

    EXPECT_EQ(ToUtf8(folder), std::filesystem::canonical(TRX_TEST_BINARY_DIR).string());
    EXPECT_EQ(ReadProcessInfo(0, nullptr).programDirectory, folder);
}

}  // namespace
}  // namespace trx
