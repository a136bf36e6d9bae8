#include <gtest/gtest.h>

#include <string>

#include "common/AutomationDate.h"
#include "common/Text.h"
#include "common/tests/DateVectors.h"
#include "platform/Profile.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32.h"
#include "platform/win32/WindowsLocale.h"
#include "platform/win32/WindowsProcess.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

TEST(WindowsCommandLine, TakesTheTextAfterTheProgramsNameAsTyped) {
    struct Case {
        const char16_t* commandLine;
        const char16_t* argumentText;
        StartMode mode;
    };
    const Case cases[] = {
        {u"vxRegCPX.exe entry.cpx/u/q", u"entry.cpx/u/q", StartMode::Program},
        {u"\"C:\\Program Files\\TRX\\vxRegCPX.exe\"  \"C:\\a b\\e.cpx\" /q ",
         u"\"C:\\a b\\e.cpx\" /q ", StartMode::Program},
        // After the closing quote the name goes on up to a blank, as the C runtime reads it.
        {u"\"C:\\TRX\\vxRegCPX.exe\"entry.cpx /q", u"/q", StartMode::Program},
        {u"C:/TRX/vxRegCPX.exe C:/x/e.cpx", u"C:/x/e.cpx", StartMode::Program},
        {u"vxRegCPX.exe", u"", StartMode::Program},
        {u"\"vxRegCPX.exe", u"", StartMode::Program},  // an unclosed quote takes it all
        {u"vxTRXVer.exe -Embedding", u"", StartMode::Automation},
        {u"vxTRXVer.exe /embedding /CREATE", u"/CREATE", StartMode::Automation},
        {u"vxTRXVer.exe /CREATE -Embedding", u"/CREATE -Embedding", StartMode::Program},
        {u"vxTRXVer.exe -Embeddings", u"-Embeddings", StartMode::Program},
    };
    for (const Case& c : cases) {
        const ProcessInfo info = ProcessInfoFromCommandLine(c.commandLine, u"C:\\TRX");
        EXPECT_EQ(ToUtf8(info.argumentText), ToUtf8(c.argumentText)) << ToUtf8(c.commandLine);
        EXPECT_EQ(info.mode, c.mode) << ToUtf8(c.commandLine);
        EXPECT_TRUE(info.argumentsAsTyped);
        EXPECT_TRUE(info.arguments.empty());
    }
}

class RegistryStore : public ::testing::Test {
  protected:
    static constexpr char16_t kRoot[] = u"Software\\TRX Test Settings";
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, win32::Wide(kRoot).c_str()); }

    static std::u16string Read(const std::u16string& key, const std::u16string& name,
                               DWORD* type = nullptr) {
        wchar_t value[256] = {};
        DWORD bytes = sizeof(value);
        if (RegGetValueW(HKEY_CURRENT_USER, win32::Wide(key).c_str(), win32::Wide(name).c_str(),
                         RRF_RT_ANY, type, value, &bytes) != ERROR_SUCCESS) {
            return u"<absent>";
        }
        return win32::FromWide(value);
    }

    RegistrySettingsStore store_{kRoot};
};

TEST_F(RegistryStore, SavesTextValuesAndTellsADeletedOneFromAnAbsentOne) {
    const std::u16string section = store_.SectionKey(u"vxtControlPanel", u"Entries");
    EXPECT_EQ(ToUtf8(section), "Software\\TRX Test Settings\\vxtControlPanel\\Entries");

    ASSERT_TRUE(store_.Save(u"vxtControlPanel", u"Entries", u"Demo", u"Erster"));
    ASSERT_TRUE(store_.Save(u"vxtControlPanel", u"Entries", u"Demo", u"Zweiter Ü"));
    DWORD type = 0;
    EXPECT_EQ(ToUtf8(Read(section, u"Demo", &type)), ToUtf8(u"Zweiter Ü"));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    EXPECT_EQ(store_.Delete(u"vxtControlPanel", u"Entries", u"Demo"), DeleteResult::Deleted);
    EXPECT_EQ(Read(section, u"Demo"), u"<absent>");
    EXPECT_EQ(store_.Delete(u"vxtControlPanel", u"Entries", u"Demo"), DeleteResult::Absent);
    EXPECT_EQ(store_.Delete(u"vxtControlPanel", u"Nowhere", u"Demo"), DeleteResult::Absent);

    // A key cannot be nameless, and a NUL would address another one.
    EXPECT_FALSE(store_.Save(u"vxtControlPanel", u"", u"Demo", u"x"));
    EXPECT_FALSE(store_.Save(u"vxtControlPanel", std::u16string(u"A\0B", 3), u"Demo", u"x"));
    EXPECT_EQ(Read(store_.SectionKey(u"vxtControlPanel", u"A"), u"Demo"), u"<absent>");
}

// The version box's month names and the dialog's dates, in the user's locale.
TEST(WindowsLocaleTest, WritesAndReadsDatesAsAGermanUserSeesThem) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    ASSERT_STREQ(name, L"de-DE") << "run under a German user locale (LANG=de_DE.UTF-8)";
    const WindowsLocale locale;
    EXPECT_EQ(ToUtf8(locale.LongMonthName(3)), "März");
    EXPECT_EQ(ToUtf8(locale.LongMonthName(12)), "Dezember");
    EXPECT_EQ(locale.LongMonthName(13), u"");
    EXPECT_EQ(ToUtf8(locale.FormatShortDate(43811.0)), "12.12.2019");
    EXPECT_EQ(locale.ParseDate(u"12.12.2019"), 43811.0);
    EXPECT_EQ(locale.ParseDate(u"kein Datum"), std::nullopt);
}

// A short format with a two-digit year would write dates that read back in
// another century; the dates keep four digits.
TEST(WindowsLocaleTest, WritesFourDigitYearsWhateverTheShortFormat) {
    const WindowsLocale locale(u"dd.MM.yy");
    const double first1930 = ToAutomationDate({1930, 1, 1, 0, 0, 0}).value();
    const double first2030 = ToAutomationDate({2030, 1, 1, 0, 0, 0}).value();
    EXPECT_EQ(ToUtf8(locale.FormatShortDate(first1930)), "01.01.1930");
    EXPECT_EQ(ToUtf8(locale.FormatShortDate(first2030)), "01.01.2030");
    EXPECT_EQ(locale.ParseDate(locale.FormatShortDate(first1930)), first1930);
    EXPECT_EQ(locale.ParseDate(locale.FormatShortDate(first2030)), first2030);
    EXPECT_EQ(ToUtf8(locale.FormatShortDate(43811.0 + 0.5)), "12.12.2019 12:00:00");
}

// The shared date vectors against the platform's own recognition, under the
// user locale the run was started with.
void ExpectVectorsPass(const wchar_t* localeName, const std::string& fileName) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    ASSERT_STREQ(name, localeName) << "run " << fileName << " under that user locale (LC_ALL)";
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const WindowsLocale locale;
    for (const test::DateVector& c : test::LoadDateVectors(fileName, now.wYear)) {
        // To the second, as the vectors are written: the platform computes a
        // time of day's fraction in its own order of operations.
        const std::optional<double> got = locale.ParseDate(c.text);
        EXPECT_EQ(got.has_value(), c.expected.has_value())
            << fileName << " line " << c.line << ": \"" << ToUtf8(c.text) << "\"";
        if (got && c.expected) {
            EXPECT_EQ(FromAutomationDate(*got), FromAutomationDate(*c.expected))
                << fileName << " line " << c.line << ": \"" << ToUtf8(c.text) << "\" is " << *got
                << ", not " << c.readable;
        }
    }
}

TEST(WindowsLocaleVectors, German) {
    ExpectVectorsPass(L"de-DE", "date_de.tsv");
}

TEST(WindowsLocaleVectors, English) {
    ExpectVectorsPass(L"en-US", "date_en.tsv");
}

// What the kernel's profile functions leave to the routines around them.
TEST(KernelProfile, ReadsBareNamesHereAndRefusesWhatWouldCorruptTheFile) {
    test::TempDir dir;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().wstring().c_str()));
    test::WriteFile(dir / "entry.cpx", "[Reginfo]\r\nKey=Hier\r\n");
    const std::u16string bareRead = ReadINIValue(u"entry.cpx", u"Reginfo", u"Key", u"");
    const bool bareWritten = WriteINIValue(u"new.ini", u"S", u"k", u"v");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(bareRead, u"Hier");  // the kernel alone would look in the Windows folder
    EXPECT_TRUE(bareWritten);
    EXPECT_EQ(test::ReadFile(dir / "new.ini"), "[S]\r\nk=v\r\n");

    const std::u16string file = (dir / "v.ini").u16string();
    ASSERT_TRUE(WriteINIValue(file, u"S", u"a", u"1"));
    ASSERT_TRUE(WriteINIValue(file, u"S", u"b", u"2"));
    EXPECT_FALSE(WriteINIValue(file, u"S", u"a", u"x\r\nb=injected"));
    EXPECT_FALSE(WriteINIValue(file, u"S", u"a=b", u"x"));
    EXPECT_EQ(test::ReadFile(dir / "v.ini"), "[S]\r\na=1\r\nb=2\r\n");

    ASSERT_TRUE(WriteINIValue(file, u"S", u"long", std::u16string(3000, u'x')));
    EXPECT_EQ(ReadINIValue(file, u"S", u"long", u""), std::u16string(2047, u'x'));
    // A NUL would cut the name short and read another file.
    EXPECT_EQ(ReadINIValue(file + std::u16string(1, u'\0') + u"x", u"S", u"a", u"\"d\"  "), u"d");
}

}  // namespace
}  // namespace trx
