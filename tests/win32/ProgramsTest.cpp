// vxRegCPX.exe and vxTRXVer.exe run as a person runs them: the command line
// as typed, the registry they write, the boxes they show, the resources they
// carry.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/Text.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32.h"
#include "tests/support/TempDir.h"
#include "tests/win32/ProgramProbe.h"

namespace trx::test {

inline void PrintTo(const ShownBox& box, std::ostream* out) {
    *out << "{\"" << ToUtf8(box.title) << "\", " << BoxIconName(box.icon) << ", \""
         << ToUtf8(box.text) << "\"}";
}

namespace {

constexpr char16_t kControlPanel[] = u"Software\\VB and VBA Program Settings\\vxtControlPanel";
constexpr char kEntryKey[] = "TRXWindowsTest";

std::u16string U(const std::filesystem::path& path) {
    return path.u16string();
}

// A value of the registry below HKEY_CURRENT_USER, or "<absent>".
std::u16string RegistryValue(const std::u16string& key, const std::u16string& name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, win32::Wide(key).c_str(), win32::Wide(name).c_str(),
                     RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
        return u"<absent>";
    }
    return win32::FromWide(value);
}

std::u16string EntryValue(const std::u16string& section, const std::u16string& key) {
    return RegistryValue(std::u16string(kControlPanel) + u"\\" + section, key);
}

void ExpectBox(const ProgramRun& run, const std::u16string& title, BoxIcon icon,
               const std::u16string& text) {
    ASSERT_EQ(run.boxes.size(), 1u) << "exit " << run.exitCode;
    EXPECT_EQ(ToUtf8(run.boxes[0].title), ToUtf8(title));
    EXPECT_STREQ(BoxIconName(run.boxes[0].icon), BoxIconName(icon));
    EXPECT_EQ(ToUtf8(run.boxes[0].text), ToUtf8(text));
}

class Program : public ::testing::Test {
  protected:
    // A copy of the program in a folder of its own, as a user installs it.
    std::u16string Install(const char* built) {
        const std::filesystem::path from(built);
        std::filesystem::copy_file(from, dir_.Path() / from.filename());
        return U(dir_.Path() / from.filename());
    }
    ProgramRun Run(const std::u16string& program, const std::u16string& arguments) {
        ProgramRun run = RunProgram(program, arguments, U(dir_.Path()));
        EXPECT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        return run;
    }
    std::u16string Folder() const { return U(dir_.Path()); }

    TempDir dir_;
};

class Registrar : public Program {
  protected:
    void SetUp() override {
        program_ = Install(TRX_VXREGCPX_EXE);
        WriteFile(dir_ / "tool.exe", "x");
        WriteFile(dir_ / "tool.ico", "x");
        WriteFile(dir_ / "entry.cpx", std::string("[Reginfo]\r\nKey=") + kEntryKey +
                                          "\r\nName=Test-Modul\r\nTarget=tool.exe\r\n"
                                          "Icon=tool.ico\r\nDescription=Ein Test\r\n");
        WriteFile(dir_ / "noicon.cpx", std::string("[Reginfo]\r\nKey=") + kEntryKey +
                                           "\r\nName=N\r\nTarget=tool.exe\r\nIcon=gone.ico\r\n");
        RemoveEntry();
    }
    void TearDown() override { RemoveEntry(); }

    static void RemoveEntry() {
        const std::wstring panel = win32::Wide(kControlPanel);
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       (panel + L"\\" + win32::Wide(FromUtf8(kEntryKey))).c_str());
        HKEY entries = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (panel + L"\\Entries").c_str(), 0, KEY_SET_VALUE,
                          &entries) == ERROR_SUCCESS) {
            RegDeleteValueW(entries, win32::Wide(FromUtf8(kEntryKey)).c_str());
            RegCloseKey(entries);
        }
    }

    std::u16string program_;
};

TEST_F(Registrar, RegistersQuietlyAndRemovesWithSwitchesTypedOnTheName) {
    const std::u16string key = FromUtf8(kEntryKey);
    const ProgramRun added = Run(program_, u"entry.cpx /q");
    EXPECT_EQ(added.exitCode, 0u);
    EXPECT_TRUE(added.boxes.empty());
    EXPECT_EQ(EntryValue(u"Entries", key), u"Test-Modul");
    EXPECT_EQ(EntryValue(key, u"Description"), u"Ein Test");
    EXPECT_EQ(EntryValue(key, u"Icon"), Folder() + u"\\tool.ico");
    EXPECT_EQ(EntryValue(key, u"Target"), Folder() + u"\\tool.exe");
    EXPECT_EQ(EntryValue(key, u"StartType"), u"1");

    // The switches follow the file name without a blank.
    const ProgramRun removed = Run(program_, u"entry.cpx/u/q");
    EXPECT_EQ(removed.exitCode, 0u);
    EXPECT_TRUE(removed.boxes.empty());
    EXPECT_EQ(EntryValue(u"Entries", key), u"<absent>");
    for (const char16_t* name : {u"Description", u"Icon", u"Target", u"StartType"}) {
        EXPECT_EQ(EntryValue(key, name), u"<absent>") << ToUtf8(name);
    }
}

TEST_F(Registrar, ShowsEachBoxWithItsTitleIconAndText) {
    struct Case {
        const char16_t* arguments;
        const char16_t* title;
        BoxIcon icon;
        std::u16string text;
        unsigned long exitCode;
    };
    const Case cases[] = {
        {u"missing.cpx", u"Fehler", BoxIcon::Warning,
         u"'missing.cpx' nicht gefunden oder ungültiges Dateiformat.", 1},
        {u"noicon.cpx", u"Fehler", BoxIcon::Warning,
         u"'" + Folder() + u"\\gone.ico' nicht vorhanden oder ungültig!", 1},
        {u"entry.cpx", u"vxRegCPX", BoxIcon::Information,
         u"'entry.cpx' wurde erfolgreich registriert.", 0},
        {u"entry.cpx /U", u"vxRegCPX", BoxIcon::Information,
         u"'entry.cpx' wurde erfolgreich aus der Registry entfernt.", 0},
        // A path with forward slashes is cut at its first slash.
        {u"C:/trx/entry.cpx /qe", u"Fehler", BoxIcon::Warning,
         u"'C:' nicht gefunden oder ungültiges Dateiformat.", 1},
        {u"", u"vxRegCPX", BoxIcon::Information,
         u"Syntax: vxRegCPX CPX-File [/p1/p2.../pn]\r\n\r\n/u = Unregister\r\n/q = Quiet\r\n"
         u"/qe = Quiet/Errors\r\n/h = Help",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.arguments));
        const ProgramRun run = Run(program_, c.arguments);
        ExpectBox(run, c.title, c.icon, c.text);
        EXPECT_EQ(run.exitCode, c.exitCode);
    }
}

TEST_F(Program, VersionBoxShowsTheRecordWithTheUsersMonthName) {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    ASSERT_STREQ(locale, L"de-DE") << "run under a German user locale (LANG=de_DE.UTF-8)";
    const std::u16string program = Install(TRX_VXTRXVER_EXE);
    std::filesystem::copy_file(std::filesystem::path(TRX_EXAMPLES_DIR) / "vxTRX.ini",
                               dir_ / "vxTRX.ini");

    const ProgramRun run = Run(program, u"");

    ExpectBox(run, u"vxTRXVer", BoxIcon::None,
              u"Version: 4.1 - Build: 7743.2 (12. Dezember 2019)\r\n\r\n"
              u"Erforderliche Datenbankversion: 4.010");
    EXPECT_EQ(run.exitCode, 0u);
}

// A server started for a client that went away before it created an object
// ends by itself once its idle time (30 s) is over.
TEST_F(Program, ServerThatNoClientUsesEndsAfterItsIdleTime) {
    const ProgramRun run = RunProgram(Install(TRX_VXREGCPX_EXE), u"-Embedding", Folder(), 45);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
}

// A default or named value below HKEY_CURRENT_USER\Software\Classes.
std::u16string ClassesValue(const std::u16string& key, const std::u16string& name = u"") {
    return RegistryValue(u"Software\\Classes\\" + key, name);
}

TEST_F(Program, PerUserSwitchesWriteAndRemoveTheirKeys) {
    struct Case {
        const char* built;
        const char16_t* progId;
        const char16_t* classId;
        const char16_t* interfaceId;
        const char16_t* typeLibrary;
    };
    for (const Case c :
         {Case{TRX_VXREGCPX_EXE, u"vxRegCPX.CPXFile", u"{2235ACEE-A7D0-4B3B-973E-97C06FE89071}",
               u"{185AF639-42EA-411C-A691-2098DAFE8210}",
               u"{62627623-FC03-4686-874C-849063275185}\\2.1"},
          Case{TRX_VXTRXVER_EXE, u"vxTRXVer.Version", u"{F1EC2A12-F8A1-4962-9CBD-0DF1A4DBDB1A}",
               u"{B952A911-6470-4DC8-8511-C2469B7BBE71}",
               u"{9FDBB5CA-AFBF-4A0F-999A-84B122B8D68B}\\4.1"}}) {
        const std::u16string program = Install(c.built);
        SCOPED_TRACE(ToUtf8(program));
        const std::u16string clsid = std::u16string(u"CLSID\\") + c.classId;

        const ProgramRun added = Run(program, u"/RegServerPerUser");
        EXPECT_EQ(added.exitCode, 0u) << added.err;
        EXPECT_TRUE(added.boxes.empty());
        EXPECT_NE(added.out.find("HKEY_CURRENT_USER\\Software\\Classes"), std::string::npos)
            << added.out;
        EXPECT_EQ(ClassesValue(std::u16string(c.progId) + u"\\CLSID"), c.classId);
        EXPECT_EQ(ClassesValue(clsid + u"\\LocalServer32"), u"\"" + program + u"\"");
        EXPECT_EQ(
            ClassesValue(std::u16string(u"Interface\\") + c.interfaceId + u"\\ProxyStubClsid32"),
            u"{00020424-0000-0000-C000-000000000046}");
        EXPECT_EQ(ClassesValue(std::u16string(u"TypeLib\\") + c.typeLibrary + u"\\0\\win64"),
                  program);

        const ProgramRun removed = Run(program, u"-unregserverperuser");
        EXPECT_EQ(removed.exitCode, 0u) << removed.err;
        EXPECT_EQ(ClassesValue(std::u16string(c.progId) + u"\\CLSID"), u"<absent>");
        EXPECT_EQ(ClassesValue(clsid + u"\\LocalServer32"), u"<absent>");
        EXPECT_EQ(ClassesValue(std::u16string(u"TypeLib\\") + c.typeLibrary + u"\\0\\win64"),
                  u"<absent>");
        // Nothing left to remove is no failure.
        EXPECT_EQ(Run(program, u"/UnRegServerPerUser").exitCode, 0u);
    }
}

// One string of a program's version resource, or "<absent>".
std::string VersionString(const std::vector<char>& info, const char* name) {
    void* value = nullptr;
    UINT chars = 0;
    const std::wstring path = L"\\StringFileInfo\\040704B0\\" + win32::Wide(FromUtf8(name));
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &chars)) {
        return "<absent>";
    }
    std::wstring text(static_cast<const wchar_t*>(value), chars);
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return ToUtf8(win32::FromWide(text));
}

TEST(VersionResource, ReadsBackAsListed) {
    struct Case {
        const char* program;
        const char* name;
    };
    for (const Case c : {Case{TRX_VXREGCPX_EXE, "vxRegCPX"}, Case{TRX_VXTRXVER_EXE, "vxTRXVer"}}) {
        SCOPED_TRACE(c.name);
        const std::wstring file = std::filesystem::path(c.program).wstring();
        const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
        ASSERT_GT(size, 0u);
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, info.data()));

        void* translation = nullptr;
        UINT bytes = 0;
        ASSERT_TRUE(
            VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translation, &bytes));
        ASSERT_GE(bytes, 4u);
        EXPECT_EQ(static_cast<const WORD*>(translation)[0], 0x0407);  // German
        EXPECT_EQ(static_cast<const WORD*>(translation)[1], 1200);    // Unicode

        EXPECT_EQ(VersionString(info, "CompanyName"), "Velmora");
        EXPECT_EQ(VersionString(info, "ProductName"), c.name);
        EXPECT_EQ(VersionString(info, "InternalName"), c.name);
        EXPECT_EQ(VersionString(info, "OriginalFilename"), std::string(c.name) + ".exe");
        EXPECT_EQ(VersionString(info, "FileVersion"), "1.00");
        EXPECT_EQ(VersionString(info, "ProductVersion"), "1.00");
        EXPECT_EQ(VersionString(info, "OLESelfRegister"), "");
    }
}

}  // namespace
}  // namespace trx::test
