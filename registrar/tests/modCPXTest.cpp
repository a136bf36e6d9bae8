#include "registrar/modCPX.h"

#include "common/Text.h"
#include "registrar/tests/Fakes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace trx {
namespace {

using test::FakeStore;
using test::RecordingMessageBox;
using test::ShownMessage;

TEST(SplitCommandLine, OnlySwitchArgumentsEndTheFilePart) {
    struct Case {
        std::vector<std::u16string> arguments;
        std::u16string filePart;
        std::u16string switchPart;
    };
    const std::vector<Case> cases = {
        {{}, u"", u""},
        {{u"entry.cpx"}, u"entry.cpx", u""},
        {{u"entry.cpx", u"/u", u"/q"}, u"entry.cpx", u"/U /Q"},
        {{u"entry.cpx", u"/U/Q"}, u"entry.cpx", u"/U/Q"},
        {{u"/opt/trx/entry.cpx", u"/u", u"/q"}, u"/opt/trx/entry.cpx", u"/U /Q"},
        {{u"/home/a b/entry.cpx", u"/qe"}, u"/home/a b/entry.cpx", u"/QE"},
        {{u"entry.cpx/u/q"}, u"entry.cpx/u/q", u""},  // one argument with a dot: a path
        {{u"/u"}, u"", u"/U"},
        {{u"/q", u"entry.cpx"}, u"", u"/Q ENTRY.CPX"},  // after the first switch all is switches
        {{u"  entry.cpx ", u"/x"}, u"entry.cpx", u"/X"},
        {{u"entry.cpx", u"/HELP"}, u"entry.cpx", u"/HELP"},
        {{u"entry.cpx", u"/"}, u"entry.cpx /", u""},      // a slash without letters
        {{u"entry.cpx", u"/u1"}, u"entry.cpx /u1", u""},  // not letters only
        {{u"entry.cpx", u"//u"}, u"entry.cpx //u", u""},  // an empty group
        {{u"entry.cpx", u"/ü"}, u"entry.cpx /ü", u""},    // ASCII letters only
        {{u"\"C:\\My Dir\\entry.cpx\"", u"/q"}, u"\"C:\\My Dir\\entry.cpx\"", u"/Q"},
        {{u"a", u"b", u"/qe", u"/u"}, u"a b", u"/QE /U"},
        // All switches passed as one argument, blanks between them.
        {{u"entry.cpx", u"/u /q /qe"}, u"entry.cpx", u"/U /Q /QE"},
        {{u"entry.cpx", u" /u  /q "}, u"entry.cpx", u"/U  /Q"},
        {{u"entry.cpx", u"/u q"}, u"entry.cpx /u q", u""},  // "q" is no switch
        {{u"entry.cpx", u" "}, u"entry.cpx", u""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& argument : c.arguments) {
            shown += "[" + ToUtf8(argument) + "]";
        }
        SCOPED_TRACE(shown);
        const CommandLine line = SplitCommandLine(c.arguments);
        EXPECT_EQ(ToUtf8(line.filePart), ToUtf8(c.filePart));
        EXPECT_EQ(ToUtf8(line.switchPart), ToUtf8(c.switchPart));
    }
}

const std::u16string kHelpText =
    u"Syntax: vxRegCPX CPX-File [/p1/p2.../pn]\r\n\r\n/u = Unregister\r\n/q = Quiet\r\n"
    u"/qe = Quiet/Errors\r\n/h = Help";

class MainTest : public ::testing::Test {
  protected:
    MainTest() {
        std::filesystem::create_directories(dir_ / "a b");
        test::WriteFile(dir_ / "tool", "x");
        test::WriteFile(dir_ / "tool.svg", "x");
        const std::string reginfo =
            "[Reginfo]\r\nKey=Demo\r\nName=N\r\nTarget=tool\r\nIcon=tool.svg\r\n";
        test::WriteFile(dir_ / "a b" / "entry.cpx", reginfo);
        test::WriteFile(dir_ / "bad.cpx", "[Reginfo]\r\nKey=Demo\r\n");
    }

    int Run(std::vector<std::u16string> arguments, StartMode mode = StartMode::Program) {
        ProcessInfo process;
        process.mode = mode;
        process.arguments = std::move(arguments);
        process.programDirectory = FromUtf8(dir_.Path().string());
        return Main(process, store_, box_);
    }

    std::u16string Path(const std::string& name) const { return FromUtf8((dir_ / name).string()); }

    test::TempDir dir_;
    FakeStore store_;
    RecordingMessageBox box_;
};

TEST_F(MainTest, ShowsTheHelpAndDoesNothingElse) {
    const ShownMessage help{kHelpText, MessageIcon::Information, u"vxRegCPX"};
    const std::vector<std::vector<std::u16string>> cases = {
        {},
        {Path("a b/entry.cpx"), u"/h"},
        {Path("a b/entry.cpx"), u"/HELP"},
        {Path("a b/entry.cpx"), u"/u/h"},
        {u"/u"},
        {u"/q", Path("a b/entry.cpx")},
        {u"   "},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.empty() ? "no arguments" : ToUtf8(arguments.front()));
        box_.shown.clear();
        EXPECT_EQ(Run(arguments), 0);
        EXPECT_EQ(box_.shown, std::vector<ShownMessage>{help});
        EXPECT_TRUE(store_.calls.empty());
    }
}

TEST_F(MainTest, SwitchesChooseTheMethodAndItsFlags) {
    const std::u16string good = Path("a b/entry.cpx");
    const std::u16string bad = Path("bad.cpx");
    struct Case {
        std::vector<std::u16string> arguments;
        const char* firstCall;  // the first store call: which method ran
        std::size_t messages;
        int status;
    };
    const std::vector<Case> cases = {
        {{good}, "save Entries|Demo", 1, 0},
        {{good, u"/x"}, "save Entries|Demo", 1, 0},
        {{good, u"/q"}, "save Entries|Demo", 0, 0},
        {{good, u"/qe"}, "save Entries|Demo", 0, 0},
        {{bad, u"/qe"}, nullptr, 1, 1},
        {{bad, u"/q"}, nullptr, 0, 1},
        {{bad}, nullptr, 1, 1},
        {{good, u"/U/Q"}, "delete Entries|Demo", 0, 0},
        {{good, u"/q", u"/u"}, "delete Entries|Demo", 0, 0},
        {{good, u"/u"}, "delete Entries|Demo", 1, 0},
        {{bad, u"/u", u"/qe"}, nullptr, 1, 1},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& argument : c.arguments) {
            shown += " " + ToUtf8(argument);
        }
        SCOPED_TRACE(shown);
        store_.calls.clear();
        box_.shown.clear();
        EXPECT_EQ(Run(c.arguments), c.status);
        if (c.firstCall == nullptr) {
            EXPECT_TRUE(store_.calls.empty());
        } else {
            ASSERT_FALSE(store_.calls.empty());
            EXPECT_EQ(ToUtf8(store_.calls.front()), c.firstCall);
        }
        EXPECT_EQ(box_.shown.size(), c.messages);
    }
}

TEST_F(MainTest, HandsTheWholePathToTheMethod) {
    const std::u16string good = Path("a b/entry.cpx");
    EXPECT_EQ(Run({good, u"/u"}), 0);
    ASSERT_EQ(box_.shown.size(), 1U);
    EXPECT_EQ(box_.shown[0].text, u"'" + good + u"' wurde erfolgreich aus der Registry entfernt.");

    // Joined without a blank, the switches are part of the path.
    box_.shown.clear();
    EXPECT_EQ(Run({good + u"/u/q"}), 1);
    ASSERT_EQ(box_.shown.size(), 1U);
    EXPECT_EQ(box_.shown[0].text,
              u"'" + good + u"/u/q' nicht gefunden oder ungültiges Dateiformat.");
}

TEST_F(MainTest, AutomationStartDoesNothing) {
    EXPECT_EQ(Run({Path("a b/entry.cpx")}, StartMode::Automation), 0);
    EXPECT_TRUE(box_.shown.empty());
    EXPECT_TRUE(store_.calls.empty());
}

}  // namespace
}  // namespace trx
