#include "version/basVersion.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/Text.h"
#include "tests/support/TempDir.h"
#include "version/tests/Fakes.h"

namespace trx::test {
namespace {

TEST(CreateSwitchTest, IsASubstringInAnyCase) {
    struct Case {
        const char16_t* arguments;
        bool found;
    };
    const Case cases[] = {
        {u"", false},        {u"/create", true},  {u"/Create", true},        {u"/CREATE", true},
        {u"/CREATED", true}, {u"x/CREATE", true}, {u"/CREATE /other", true}, {u"\"/create\"", true},
        {u"-CREATE", false}, {u"CREATE", false},  {u"/ CREATE", false},      {u"/CREAT", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasCreateSwitch(c.arguments), c.found) << ToUtf8(c.arguments);
    }
}

TEST(RequiredDBVersionTextTest, PadsToFiveAndSplitsTwoAndThree) {
    struct Case {
        const char16_t* stored;
        const char16_t* shown;
    };
    const Case cases[] = {
        {u"4010", u"4.010"},    {u"30100", u"30.100"}, {u"7", u"0.007"},     {u"", u"0.000"},
        {u"123456", u"23.456"}, {u"ab123", u"0.123"},  {u"4.010", u"4.010"},  // "4." reads as 4
        {u"1 234", u"1.234"},  // blanks count nowhere in a number
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RequiredDBVersionText(c.stored), c.shown) << ToUtf8(c.stored);
    }
}

TEST(LongDateTextTest, WritesDayMonthNameAndYearInTheUsersLanguage) {
    const FakeLocale german(FakeLocale::Language::German);
    const FakeLocale english(FakeLocale::Language::English);
    EXPECT_EQ(LongDateText(Date(2020, 3, 1), german), u"1. März 2020");
    EXPECT_EQ(LongDateText(Date(2020, 3, 1), english), u"1. March 2020");
    EXPECT_EQ(LongDateText(kDec12th2019, german), u"12. Dezember 2019");
    EXPECT_EQ(LongDateText(Date(1998, 9, 30) + 0.75, german), u"30. September 1998");
    EXPECT_EQ(LongDateText(Date(100, 1, 1), english), u"1. January 0100");
}

class MainTest : public ::testing::Test {
  protected:
    class RecordingOpener : public CreateVersionFormOpener {
      public:
        bool OpenModal(const std::u16string& iniPath) override {
            opened.push_back(iniPath);
            return result;
        }
        std::vector<std::u16string> opened;
        bool result = true;
    };

    ProcessInfo Started(const char16_t* arguments, StartMode mode = StartMode::Program) const {
        ProcessInfo process;
        process.mode = mode;
        process.argumentText = arguments;
        process.programDirectory = FromUtf8(dir_.Path().string());
        return process;
    }
    std::u16string IniPath() const { return FromUtf8((dir_ / "vxTRX.ini").string()); }
    void WriteIni(const std::string& contents) const { WriteFile(dir_ / "vxTRX.ini", contents); }

    TempDir dir_;
    FixedClock clock_{kDec12th2019};
    FakeLocale locale_{FakeLocale::Language::German};
    RecordingMessageBox box_;
    RecordingOpener opener_;
};

TEST_F(MainTest, ShowsTheVersionBoxWithoutTheSwitch) {
    WriteIni("[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");
    EXPECT_EQ(Main(Started(u"-CREATE"), clock_, locale_, box_, opener_), 0);
    EXPECT_TRUE(opener_.opened.empty());
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text,
              u"Version: 4.1 - Build: 7743.2 (12. Dezember 2019)\r\n\r\n"
              u"Erforderliche Datenbankversion: 4.010");
    EXPECT_EQ(box_.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(box_.shown[0].title, u"vxTRXVer");
    EXPECT_EQ(ReadFile(dir_ / "vxTRX.ini"),
              "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n");
}

TEST_F(MainTest, TheVersionBoxIsInTheUsersLanguage) {
    WriteIni("[Common]\nVersion=4.1\nRequiredDBVersion=30100\nBuild=-5.1\n");
    const FakeLocale english(FakeLocale::Language::English);
    Main(Started(u""), clock_, english, box_, opener_);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text,
              u"Version: 4.1 - Build: -5.1 (25. September 1998)\r\n\r\n"
              u"Erforderliche Datenbankversion: 30.100");
}

TEST_F(MainTest, AMissingFileShowsTheValuesOfAnEmptyRecord) {
    Main(Started(u""), clock_, locale_, box_, opener_);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text,
              u"Version:  - Build: 7743.1 (12. Dezember 2019)\r\n\r\n"
              u"Erforderliche Datenbankversion: 0.000");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "vxTRX.ini"));
}

TEST_F(MainTest, BuildZeroIndexZeroShowsTheBaseDate) {
    WriteIni("[Common]\nVersion=4.1\nBuild=0.0\n");
    Main(Started(u""), clock_, locale_, box_, opener_);
    ASSERT_EQ(box_.shown.size(), 1u);
    const std::u16string& text = box_.shown[0].text;
    EXPECT_EQ(text.substr(0, text.find(u'\r')), u"Version: 4.1 - Build: 0.0 (30. September 1998)");
}

TEST_F(MainTest, TheSwitchOpensTheFormOnTheFileBesideTheProgram) {
    for (const char16_t* arguments : {u"/create", u"x/CREATE", u"/CREATE /other"}) {
        opener_.opened.clear();
        EXPECT_EQ(Main(Started(arguments), clock_, locale_, box_, opener_), 0);
        ASSERT_EQ(opener_.opened.size(), 1u) << ToUtf8(arguments);
        EXPECT_EQ(opener_.opened[0], IniPath());
    }
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(MainTest, AFormThatCouldNotLoadEndsWithStatusOne) {
    opener_.result = false;
    EXPECT_EQ(Main(Started(u"/CREATE"), clock_, locale_, box_, opener_), 1);
}

TEST_F(MainTest, StartedByTheAutomationSystemShowsNothing) {
    EXPECT_EQ(Main(Started(u"/CREATE", StartMode::Automation), clock_, locale_, box_, opener_), 0);
    EXPECT_EQ(Main(Started(u"", StartMode::Automation), clock_, locale_, box_, opener_), 0);
    EXPECT_TRUE(opener_.opened.empty());
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(MainTest, AnOverflowingBuildWarnsAndEndsWithStatusOne) {
    WriteIni("[Common]\nVersion=4.1\nBuild=3000000000.2\n");
    EXPECT_EQ(Main(Started(u""), clock_, locale_, box_, opener_), 1);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text,
              u"'" + IniPath() + u"' konnte nicht gelesen werden: Überlauf (Fehler 6).");
    EXPECT_EQ(box_.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(box_.shown[0].title, u"Fehler");
}

}  // namespace
}  // namespace trx::test
