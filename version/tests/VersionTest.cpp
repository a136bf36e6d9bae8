#include "version/Version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/AutomationError.h"
#include "common/Text.h"
#include "tests/support/TempDir.h"
#include "version/tests/Fakes.h"

namespace trx::test {
namespace {

constexpr double kBase = 36068.0;  // 30.09.1998, build 0

class VersionTest : public ::testing::Test {
  protected:
    std::u16string IniPath() const { return FromUtf8((dir_ / "vxTRX.ini").string()); }
    void WriteIni(const std::string& contents) { WriteFile(dir_ / "vxTRX.ini", contents); }
    std::string ReadIni() const { return LfLineEnds(ReadFile(dir_ / "vxTRX.ini")); }
    Version Load() const { return Version(IniPath(), clock_); }

    TempDir dir_;
    FixedClock clock_{kDec12th2019};
};

TEST(VersionIniPathTest, JoinsTheProgramDirectoryWithTheSeparator) {
#ifdef _WIN32
    EXPECT_EQ(VersionIniPath(u"C:\\TRX"), u"C:\\TRX\\vxTRX.ini");
#else
    EXPECT_EQ(VersionIniPath(u"/opt/trx"), u"/opt/trx/vxTRX.ini");
#endif
}

TEST_F(VersionTest, ReadsEveryFormOfTheBuildValue) {
    struct Case {
        const char* build;
        std::int32_t number;
        std::int32_t index;
        double date;
    };
    const Case cases[] = {
        {"7743.2", 7743, 2, kDec12th2019},
        {"458", 458, 1, Date(2000, 1, 1)},
        {"458.", 458, 0, Date(2000, 1, 1)},
        {".7", 0, 7, kBase},
        {"12abc.x", 12, 0, kBase + 12},
        {"1234.1.5", 1234, 2, kBase + 1234},  // the index reads 1.5, rounded to even
        {"1234.3.5", 1234, 4, kBase + 1234},
        {"2.5", 2, 5, kBase + 2},
        {"-5.1", -5, 1, Date(1998, 9, 25)},
        {" 7 7 . 3", 77, 3, kBase + 77},  // blanks count nowhere in a number
        {"&H10.2", 16, 2, kBase + 16},
        {"abc", 0, 1, kBase},
        {"", 0, 1, kBase},
        {"2147483647.-2147483648", 2147483647, -2147483647 - 1, 0.0},  // date out of range
        {"5000000", 5000000, 1, 0.0},  // the date keeps its value before loading
        {"2922397", 2922397, 1, Date(9999, 12, 31)},
        {"-693502", -693502, 1, Date(100, 1, 1)},
    };
    for (const Case& c : cases) {
        WriteIni(std::string("[Common]\nVersion=4.1\nBuild=") + c.build + "\n");
        const Version version = Load();
        EXPECT_EQ(version.GetBuild(), c.number) << c.build;
        EXPECT_EQ(version.GetBuildIndex(), c.index) << c.build;
        EXPECT_EQ(version.GetBuildDate(), c.date) << c.build;
    }
}

TEST_F(VersionTest, ReadsVersionAndRequiredDBVersionAsTheyStand) {
    WriteIni("[Common]\nVersion=4.1 beta\nRequiredDBVersion=4010\nBuild=7743.2\n");
    const Version version = Load();
    EXPECT_EQ(version.GetVersion(), u"4.1 beta");
    EXPECT_EQ(version.GetRequiredDBVersion(), u"4010");
}

TEST_F(VersionTest, WithoutAFileStartsABuildForToday) {
    const Version version = Load();
    EXPECT_EQ(version.GetVersion(), u"");
    EXPECT_EQ(version.GetRequiredDBVersion(), u"");
    EXPECT_EQ(version.GetBuild(), 7743);
    EXPECT_EQ(version.GetBuildIndex(), 1);
    EXPECT_EQ(version.GetBuildDate(), kDec12th2019);
}

TEST_F(VersionTest, ABlankVersionWithBuildZeroTakesToday) {
    struct Case {
        const char* contents;
        std::int32_t number;
        std::int32_t index;
        double date;
    };
    const Case cases[] = {
        {"[Common]\nVersion=   \nBuild=0.3\n", 7743, 3, kDec12th2019},
        {"[Common]\n", 7743, 1, kDec12th2019},
        {"[Common]\nVersion=4.1\n", 0, 1, kBase},       // a version keeps build 0
        {"[Common]\nBuild=12.3\n", 12, 3, kBase + 12},  // a build keeps its date
    };
    for (const Case& c : cases) {
        WriteIni(c.contents);
        const Version version = Load();
        EXPECT_EQ(version.GetBuild(), c.number) << c.contents;
        EXPECT_EQ(version.GetBuildIndex(), c.index) << c.contents;
        EXPECT_EQ(version.GetBuildDate(), c.date) << c.contents;
    }
}

TEST_F(VersionTest, ABuildOutsideTheIntegerRangeFailsTheCreation) {
    for (const char* build :
         {"3000000000", "2147483648", "-2147483649", "1.3000000000", "7.5e10"}) {
        WriteIni(std::string("[Common]\nVersion=4.1\nBuild=") + build + "\n");
        try {
            Load();
            ADD_FAILURE() << build << " was loaded";
        } catch (const AutomationError& error) {
            EXPECT_EQ(error.Number(), kErrOverflow) << build;
        }
    }
}

TEST_F(VersionTest, PuttingBuildOrDateMovesTheOther) {
    WriteIni("[Common]\nVersion=4.1\nBuild=7743.2\n");
    Version version = Load();

    version.PutBuild(1);
    EXPECT_EQ(version.GetBuildDate(), Date(1998, 10, 1));
    version.PutBuildDate(Date(2000, 1, 1));
    EXPECT_EQ(version.GetBuild(), 458);
    version.PutBuild(7000);
    EXPECT_EQ(version.GetBuildDate(), Date(2017, 11, 29));
    version.PutBuildDate(Date(2019, 2, 1));
    EXPECT_EQ(version.GetBuild(), 7429);

    version.PutBuildIndex(9);
    EXPECT_EQ(version.GetBuild(), 7429);
    EXPECT_EQ(version.GetBuildDate(), Date(2019, 2, 1));
}

TEST_F(VersionTest, ADateWithATimeRoundsTheBuildHalfToEven) {
    Version version = Load();
    struct Case {
        double date;
        std::int32_t build;
    };
    const Case cases[] = {
        {Date(1998, 10, 1) + 0.5, 2},  // 1.5 days
        {Date(1998, 10, 2) + 0.5, 2},  // 2.5 days
        {Date(1998, 10, 2) + 0.75, 3},
        {Date(1998, 9, 29) + 0.5, 0},  // -0.5 days
    };
    for (const Case& c : cases) {
        version.PutBuildDate(c.date);
        EXPECT_EQ(version.GetBuild(), c.build) << c.date;
        EXPECT_EQ(version.GetBuildDate(), c.date) << "the date keeps its time";
    }
}

TEST_F(VersionTest, RecomputationsOutOfRangeKeepTheTarget) {
    Version version = Load();

    version.PutBuild(2922397);
    EXPECT_EQ(version.GetBuildDate(), Date(9999, 12, 31));
    version.PutBuild(2922398);
    EXPECT_EQ(version.GetBuild(), 2922398);
    EXPECT_EQ(version.GetBuildDate(), Date(9999, 12, 31));

    version.PutBuild(-693502);
    EXPECT_EQ(version.GetBuildDate(), Date(100, 1, 1));
    version.PutBuild(-693503);
    EXPECT_EQ(version.GetBuildDate(), Date(100, 1, 1));

    version.PutBuild(5);
    version.PutBuildDate(1e12);  // more days than a build number can count
    EXPECT_EQ(version.GetBuild(), 5);
}

TEST_F(VersionTest, SaveWritesVersionThenBuildAndLeavesTheRestAlone) {
    WriteIni(
        "; suite settings\n[Common]\nRequiredDBVersion=4010\nBuild=1.1\nOther=x\n[Db]\nName=t\n");
    Version version = Load();
    version.PutVersion(u"4.2");
    version.PutBuild(-5);
    version.PutBuildIndex(1);
    version.PutRequiredDBVersion(u"9999");

    ASSERT_TRUE(version.Save());

    const std::string ini = ReadIni();
    EXPECT_NE(ini.find("Version=4.2\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Build=-5.1\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("RequiredDBVersion=4010\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("9999"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("BuildDate"), std::string::npos) << ini;
    EXPECT_NE(ini.find("; suite settings\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Other=x\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[Db]\nName=t\n"), std::string::npos) << ini;
}

TEST_F(VersionTest, SaveCreatesTheFileWithVersionBeforeBuild) {
    Version version = Load();
    version.PutVersion(u"4.1");
    version.PutBuildIndex(2);

    ASSERT_TRUE(version.Save());

    const std::string ini = ReadIni();
    const std::size_t versionAt = ini.find("Version=4.1");
    const std::size_t buildAt = ini.find("Build=7743.2");
    ASSERT_NE(versionAt, std::string::npos) << ini;
    ASSERT_NE(buildAt, std::string::npos) << ini;
    EXPECT_LT(versionAt, buildAt);
}

TEST_F(VersionTest, ASavedRecordReadsBackAtMidnight) {
    Version version = Load();
    version.PutVersion(u"4.1");
    version.PutBuildDate(Date(2019, 12, 12) + 0.25);
    version.PutBuildIndex(2);
    ASSERT_TRUE(version.Save());

    clock_.Set(Date(2024, 5, 5));
    const Version readBack = Load();
    EXPECT_EQ(readBack.GetVersion(), u"4.1");
    EXPECT_EQ(readBack.GetBuild(), 7743);
    EXPECT_EQ(readBack.GetBuildIndex(), 2);
    EXPECT_EQ(readBack.GetBuildDate(), kDec12th2019);
}

TEST_F(VersionTest, ABlankRecordSavedReadsBackAsToday) {
    Version version = Load();
    version.PutBuild(0);
    ASSERT_TRUE(version.Save());

    clock_.Set(Date(2024, 5, 5));
    EXPECT_EQ(Load().GetBuildDate(), Date(2024, 5, 5));
}

// Root passes every permission check, so the failing saves below make the
// file's place impossible to write: the folder is a link to nowhere, or the
// file's name is taken by a folder.
TEST(VersionSaveFailureTest, AFolderThatIsADanglingLinkReportsTheFailure) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows programs make no symbolic links";
#endif
    TempDir dir;
    std::filesystem::create_directory_symlink(dir / "missing", dir / "program");
    const FixedClock clock(kDec12th2019);
    Version version(FromUtf8((dir / "program" / "vxTRX.ini").string()), clock);
    version.PutVersion(u"4.1");

    EXPECT_FALSE(version.Save());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(VersionSaveFailureTest, AFolderInPlaceOfTheFileReportsTheFailure) {
    TempDir dir;
    std::filesystem::create_directory(dir / "vxTRX.ini");
    const FixedClock clock(kDec12th2019);
    Version version(FromUtf8((dir / "vxTRX.ini").string()), clock);
    version.PutVersion(u"4.1");

    EXPECT_FALSE(version.Save());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "vxTRX.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "vxTRX.ini"));
}

}  // namespace
}  // namespace trx::test
