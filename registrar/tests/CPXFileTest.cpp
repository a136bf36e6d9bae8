#include "registrar/CPXFile.h"

#include "common/Path.h"
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

std::u16string U(const std::filesystem::path& path) {
    return FromUtf8(path.string());
}

ShownMessage FormatError(std::u16string_view path) {
    return {u"'" + std::u16string(path) + u"' nicht gefunden oder ungültiges Dateiformat.",
            MessageIcon::Warning, u"Fehler"};
}
ShownMessage AbsentFile(std::u16string_view path) {
    return {u"'" + std::u16string(path) + u"' nicht vorhanden oder ungültig!", MessageIcon::Warning,
            u"Fehler"};
}
ShownMessage Registered(std::u16string_view path) {
    return {u"'" + std::u16string(path) + u"' wurde erfolgreich registriert.",
            MessageIcon::Information, u"vxRegCPX"};
}
ShownMessage NotStored(std::u16string_view path) {
    return {u"'" + std::u16string(path) + u"' konnte nicht in die Registry eingetragen werden.",
            MessageIcon::Warning, u"Fehler"};
}
ShownMessage Removed(std::u16string_view subject) {
    return {u"'" + std::u16string(subject) + u"' wurde erfolgreich aus der Registry entfernt.",
            MessageIcon::Information, u"vxRegCPX"};
}
ShownMessage NotRemoved(std::u16string_view subject) {
    return {u"'" + std::u16string(subject) + u"' konnte nicht aus der Registry entfernt werden.",
            MessageIcon::Warning, u"Fehler"};
}

const std::string kGoodEntry =
    "Key=Demo\r\nName=Demo-Eintrag\r\nTarget=tool\r\nIcon=tool.svg\r\n"
    "Description=Ein Beispiel\r\nStartType=2\r\n";

class CPXFileTest : public ::testing::Test {
  protected:
    CPXFileTest() {
        std::filesystem::create_directory(programDir_);
        test::WriteFile(programDir_ / "tool", "#!/bin/sh\n");
        test::WriteFile(programDir_ / "tool.svg", "<svg/>\n");
    }

    // Writes a CPX file with these lines in its Reginfo section.
    std::u16string Cpx(const std::string& reginfo, const std::string& name = "entry.cpx") {
        const std::filesystem::path path = dir_ / name;
        test::WriteFile(path, "[Other]\r\nKey=Wrong\r\n[Reginfo]\r\n" + reginfo);
        return U(path);
    }

    std::u16string ProgramPath(const std::string& name) const { return U(programDir_ / name); }

    test::TempDir dir_;
    std::filesystem::path programDir_ = dir_ / "program";
    FakeStore store_;
    RecordingMessageBox box_;
    CPXFile registrar_{store_, box_, U(programDir_)};
};

TEST_F(CPXFileTest, RegisterStoresTheEntryLineThenItsFourValues) {
    const std::u16string cpx = Cpx(kGoodEntry);

    EXPECT_EQ(registrar_.Register(cpx), kTrue);

    EXPECT_EQ(store_.calls, (std::vector<std::u16string>{
                                u"save Entries|Demo", u"save Demo|Description", u"save Demo|Icon",
                                u"save Demo|Target", u"save Demo|StartType"}));
    EXPECT_EQ(store_.Value(u"Entries", u"Demo"), u"Demo-Eintrag");
    EXPECT_EQ(store_.Value(u"Demo", u"Description"), u"Ein Beispiel");
    EXPECT_EQ(store_.Value(u"Demo", u"Icon"), ProgramPath("tool.svg"));
    EXPECT_EQ(store_.Value(u"Demo", u"Target"), ProgramPath("tool"));
    EXPECT_EQ(store_.Value(u"Demo", u"StartType"), u"2");
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{Registered(cpx)});
}

TEST_F(CPXFileTest, RegisterRejectsIncompleteFilesAndAbsentTargets) {
    struct Case {
        const char* name;
        std::string reginfo;  // empty: no file at all
        std::string
            namedFile;  // the message names the CPX file, or the program folder + "/" + this
        bool formatError;
    };
    const std::vector<Case> cases = {
        {"missing file", "", "cpx", true},
        {"blank Key", "Key=   \r\nName=N\r\nTarget=tool\r\nIcon=tool.svg\r\n", "cpx", true},
        {"no Name", "Key=K\r\nTarget=tool\r\nIcon=tool.svg\r\n", "cpx", true},
        {"no Target", "Key=K\r\nName=N\r\nIcon=tool.svg\r\n", "cpx", true},
        {"empty Icon", "Key=K\r\nName=N\r\nTarget=tool\r\nIcon=\r\n", "cpx", true},
        {"target absent", "Key=K\r\nName=N\r\nTarget=gone\r\nIcon=tool.svg\r\n", "gone", false},
        {"absolute target is still joined",
         "Key=K\r\nName=N\r\nTarget=" + (programDir_ / "tool").string() + "\r\nIcon=tool.svg\r\n",
         (programDir_ / "tool").string(), false},
        {"icon absent", "Key=K\r\nName=N\r\nTarget=tool\r\nIcon=gone.svg\r\n", "gone.svg", false},
        {"target is a folder", "Key=K\r\nName=N\r\nTarget=.\r\nIcon=tool.svg\r\n", ".", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeStore store;
        RecordingMessageBox box;
        CPXFile registrar(store, box, U(programDir_));
        const std::u16string cpx =
            c.reginfo.empty() ? U(dir_ / "does-not-exist.cpx") : Cpx(c.reginfo);

        EXPECT_EQ(registrar.Register(cpx), kFalse);

        const ShownMessage expected =
            c.formatError ? FormatError(cpx)
                          : AbsentFile(JoinPath(U(programDir_), FromUtf8(c.namedFile)));
        EXPECT_EQ(box.shown, std::vector<ShownMessage>{expected});
        EXPECT_TRUE(store.calls.empty()) << "nothing is stored, not even the Entries line";
    }
}

TEST_F(CPXFileTest, RegisterConvertsStartTypeToDecimalText) {
    struct Case {
        const char* line;  // nullptr: no StartType line
        const char16_t* stored;
    };
    const Case cases[] = {
        {nullptr, u"1"},
        {"StartType=", u"0"},
        {"StartType=2.5", u"2"},
        {"StartType=3.5", u"4"},
        {"StartType=abc", u"0"},
        {"StartType=12abc", u"12"},
        {"StartType=-7", u"-7"},
        {"StartType=&H10", u"16"},
        {"StartType=1 2", u"12"},
        {"StartType=2147483647", u"2147483647"},
        {"StartType=2147483648", u"0"},
        {"StartType=-2147483648", u"-2147483648"},
        {"StartType=1e20", u"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line == nullptr ? "no line" : c.line);
        std::string reginfo = "Key=K\r\nName=N\r\nTarget=tool\r\nIcon=tool.svg\r\n";
        if (c.line != nullptr) {
            reginfo += std::string(c.line) + "\r\n";
        }
        EXPECT_EQ(registrar_.Register(Cpx(reginfo), kTrue), kTrue);
        EXPECT_EQ(store_.Value(u"K", u"StartType"), c.stored);
    }
}

TEST_F(CPXFileTest, RegisterStoresAMissingDescriptionAsEmptyText) {
    EXPECT_EQ(registrar_.Register(Cpx("Key=K\r\nName=N\r\nTarget=tool\r\nIcon=tool.svg\r\n")),
              kTrue);
    EXPECT_EQ(store_.Value(u"K", u"Description"), u"");
}

TEST_F(CPXFileTest, RegisterOfASecondFileWithTheSameKeyReplacesTheFirst) {
    registrar_.Register(Cpx(kGoodEntry, "first.cpx"), kTrue);
    registrar_.Register(
        Cpx("Key=Demo\r\nName=Zweiter\r\nTarget=tool.svg\r\nIcon=tool\r\nStartType=5\r\n",
            "second.cpx"),
        kTrue);

    EXPECT_EQ(store_.Value(u"Entries", u"Demo"), u"Zweiter");
    EXPECT_EQ(store_.Value(u"Demo", u"Description"), u"");
    EXPECT_EQ(store_.Value(u"Demo", u"Icon"), ProgramPath("tool"));
    EXPECT_EQ(store_.Value(u"Demo", u"Target"), ProgramPath("tool.svg"));
    EXPECT_EQ(store_.Value(u"Demo", u"StartType"), u"5");
}

TEST_F(CPXFileTest, FlagsDecideWhichMessagesAreShown) {
    struct Case {
        AutoBool quiet;
        AutoBool showErrors;
        bool successShown;
        bool errorShown;
    };
    const Case cases[] = {
        {kFalse, kFalse, true, true},   // every message
        {kFalse, kTrue, true, true},    // ShowErrors without Quiet changes nothing
        {kTrue, kFalse, false, false},  // no message at all
        {kTrue, kTrue, false, true},    // error messages only
        {1, kFalse, false, false},      // Quiet is true when it is not 0
        {kTrue, 1, false, false},       // ShowErrors is true only when it is -1
    };
    const std::u16string good = Cpx(kGoodEntry, "good.cpx");
    const std::u16string bad = Cpx("Key=K\r\n", "bad.cpx");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Quiet " << c.quiet << ", ShowErrors " << c.showErrors);
        struct Call {
            AutoBool (CPXFile::*method)(std::u16string_view, AutoBool, AutoBool);
            std::u16string argument;
            bool success;
        };
        const Call calls[] = {
            {&CPXFile::Register, good, true},       {&CPXFile::Register, bad, false},
            {&CPXFile::UnRegisterFile, good, true}, {&CPXFile::UnRegisterFile, bad, false},
            {&CPXFile::UnRegister, u"Demo", true},
        };
        for (const Call& call : calls) {
            box_.shown.clear();
            const AutoBool result = (registrar_.*call.method)(call.argument, c.quiet, c.showErrors);
            EXPECT_EQ(result, ToAutoBool(call.success));
            const bool expectShown = call.success ? c.successShown : c.errorShown;
            EXPECT_EQ(box_.shown.size(), expectShown ? 1U : 0U) << ToUtf8(call.argument);
        }
    }
}

TEST_F(CPXFileTest, RegisterReportsAFailedSaveButStillSavesTheOthers) {
    const std::u16string cpx = Cpx(kGoodEntry);
    store_.failingKeys = {u"Icon"};

    EXPECT_EQ(registrar_.Register(cpx), kFalse);

    EXPECT_EQ(store_.calls.size(), 5U);
    EXPECT_EQ(store_.Value(u"Entries", u"Demo"), u"Demo-Eintrag");
    EXPECT_EQ(store_.Value(u"Demo", u"Icon"), u"<absent>");
    EXPECT_EQ(store_.Value(u"Demo", u"StartType"), u"2");
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{NotStored(cpx)});

    box_.shown.clear();
    EXPECT_EQ(registrar_.Register(cpx, kTrue, kTrue), kFalse);
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{NotStored(cpx)});

    box_.shown.clear();
    EXPECT_EQ(registrar_.Register(cpx, kTrue, kFalse), kFalse);
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CPXFileTest, UnRegisterDeletesTheEntryLineThenTheFourValues) {
    registrar_.Register(Cpx(kGoodEntry), kTrue);
    store_.calls.clear();

    EXPECT_EQ(registrar_.UnRegister(u"Demo"), kTrue);

    EXPECT_EQ(store_.calls,
              (std::vector<std::u16string>{u"delete Entries|Demo", u"delete Demo|Description",
                                           u"delete Demo|Icon", u"delete Demo|Target",
                                           u"delete Demo|StartType"}));
    EXPECT_TRUE(store_.values.empty());
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{Removed(u"Demo")});
}

TEST_F(CPXFileTest, UnRegisterOfAnUnknownKeyIsNoFailure) {
    store_.readOnly = true;  // nothing to delete, so nothing needs writing
    EXPECT_EQ(registrar_.UnRegister(u"Nie registriert"), kTrue);
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{Removed(u"Nie registriert")});
}

TEST_F(CPXFileTest, UnRegisterReportsAStoreThatCannotBeWritten) {
    registrar_.Register(Cpx(kGoodEntry), kTrue);
    store_.readOnly = true;
    store_.calls.clear();

    EXPECT_EQ(registrar_.UnRegister(u"Demo"), kFalse);

    EXPECT_EQ(store_.calls.size(), 5U) << "every deletion is still tried";
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{NotRemoved(u"Demo")});
    box_.shown.clear();
    EXPECT_EQ(registrar_.UnRegister(u"Demo", kTrue, kTrue), kFalse);
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{NotRemoved(u"Demo")});
    box_.shown.clear();
    EXPECT_EQ(registrar_.UnRegister(u"Demo", kTrue), kFalse);
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(CPXFileTest, UnRegisterFileRemovesTheEntryWithOneMessageNamingTheFile) {
    const std::u16string cpx = Cpx(kGoodEntry);
    registrar_.Register(cpx, kTrue);
    // The program may already be gone from disk.
    std::filesystem::remove(programDir_ / "tool");

    EXPECT_EQ(registrar_.UnRegisterFile(cpx), kTrue);

    EXPECT_TRUE(store_.values.empty());
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{Removed(cpx)});
}

TEST_F(CPXFileTest, UnRegisterFileRejectsAFileWithoutIconAndDeletesNothing) {
    registrar_.Register(Cpx(kGoodEntry), kTrue);
    store_.calls.clear();
    const std::u16string cpx = Cpx("Key=Demo\r\nName=N\r\nTarget=tool\r\n", "noicon.cpx");

    EXPECT_EQ(registrar_.UnRegisterFile(cpx, kTrue, kTrue), kFalse);

    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{FormatError(cpx)});
    EXPECT_TRUE(store_.calls.empty());
}

TEST_F(CPXFileTest, UnRegisterFilePassesOnAStoreThatCannotBeWritten) {
    const std::u16string cpx = Cpx(kGoodEntry);
    registrar_.Register(cpx, kTrue);
    store_.readOnly = true;

    EXPECT_EQ(registrar_.UnRegisterFile(cpx), kFalse);
    EXPECT_EQ(box_.shown, std::vector<ShownMessage>{NotRemoved(cpx)});

    box_.shown.clear();
    EXPECT_EQ(registrar_.UnRegisterFile(cpx, kTrue), kFalse);
    EXPECT_TRUE(box_.shown.empty());
}

}  // namespace
}  // namespace trx
