#include "tests/support/PrivateBus.h"

#include <gtest/gtest.h>

namespace trx {
namespace {

using test::RunProgram;

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// The three servers, each copied into a folder of the test's own beside its
// files and registered on a private bus; vxAutoCall runs against them.
class VxAutoCallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto bin = bus_.Root() / "bin";
        for (const char* program : {TRX_VXREGCPX, TRX_VXTRXVER, TRX_VXBCBOSV}) {
            const auto copy = test::CopyProgram(program, bin);
            const auto done =
                RunProgram(QString::fromStdString(copy.string()), {QStringLiteral("/RegServer")});
            ASSERT_EQ(done.exitCode, 0) << done.err.toStdString();
        }
        for (const char* file : {"demo.cpx", "demo-tool", "demo.svg", "vxTRX.ini"}) {
            std::filesystem::copy_file(std::filesystem::path(TRX_EXAMPLES) / file, bin / file);
        }
        db_ = QString::fromStdString((bus_.Root() / "combolists.db").string());
        const auto made = RunProgram(QStringLiteral(TRX_MAKE_EXAMPLE_DB), {db_});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        connect_ = QStringLiteral("Driver=SQLite3;Database=") + db_;
        cpx_ = QString::fromStdString((bin / "demo.cpx").string());
    }

    static test::ProcessResult Call(const QStringList& args) {
        return RunProgram(QStringLiteral(TRX_VXAUTOCALL), args);
    }

    test::PrivateBus bus_;
    QString db_;
    QString connect_;
    QString cpx_;
};

TEST_F(VxAutoCallTest, ReadsAndWritesTheVersionRecord) {
    struct Case {
        QStringList args;
        QString out;
    } cases[] = {
        {{Q("vxTRXVer.Version"), Q("Version"), Q("/"), Q("Build"), Q("/"), Q("BuildDate")},
         Q("4.1\n7743\n2019-12-12 00:00:00\n")},
        // The date's automation number, for scripts.
        {{Q("--tsv"), Q("vxTRXVer.Version"), Q("BuildDate")}, Q("43811\n")},
        // A put of Build moves BuildDate: build 1 is 01.10.1998.
        {{Q("vxTRXVer.Version"), Q("Build=1"), Q("/"), Q("BuildDate")}, Q("1998-10-01 00:00:00\n")},
    };
    for (const auto& c : cases) {
        const auto run = Call(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out) << c.args.join(u' ').toStdString();
    }
}

TEST_F(VxAutoCallTest, RegistersAndRemovesACpxFile) {
    struct Case {
        QStringList args;
        QString out;
    } cases[] = {
        {{Q("vxRegCPX.CPXFile"), Q("Register"), cpx_, Q("-1")}, Q("-1\n")},
        {{Q("vxRegCPX.CPXFile"), Q("UnRegisterFile"), cpx_, Q("true"), Q("false")}, Q("-1\n")},
        // Quiet, without error messages: a missing file is only a false result.
        {{Q("vxRegCPX.CPXFile"), Q("Register"), cpx_ + Q(".fehlt"), Q("-1"), Q("0")}, Q("0\n")},
    };
    for (const auto& c : cases) {
        const auto run = Call(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out) << c.args.join(u' ').toStdString();
    }
}

TEST_F(VxAutoCallTest, PrintsAComboListAsATableAndAsTabSeparatedLines) {
    const QStringList steps{Q("Init"),
                            Q("0"),
                            Q("/"),
                            Q("AddComboList"),
                            connect_,
                            Q("Zahlungsarten"),
                            Q("Bezeichnung"),
                            Q("Kuerzel"),
                            Q("Kuerzel<>'RCH'"),
                            Q("/"),
                            Q("ComboList"),
                            Q("Zahlungsarten")};
    const auto table = Call(QStringList{Q("--no-events"), Q("VXBComboServer.VXComboDB")} + steps);
    EXPECT_EQ(table.exitCode, 0) << table.err.toStdString();
    EXPECT_EQ(table.out, Q("Bezeichnung  Kuerzel\n"
                           "-----------  -------\n"
                           "Barzahlung   BAR\n"
                           "Überweisung  UEB\n"
                           "Lastschrift  LAS\n"));
    const auto tsv =
        Call(QStringList{Q("--tsv"), Q("--no-events"), Q("VXBComboServer.VXComboDB")} + steps);
    EXPECT_EQ(tsv.out, Q("Bezeichnung\tKuerzel\nBarzahlung\tBAR\nÜberweisung\tUEB\n"
                         "Lastschrift\tLAS\n"));
}

TEST_F(VxAutoCallTest, PrintsEventsAndWaitsForReady) {
    const auto run = Call({Q("VXBComboServer.VXComboDB"), Q("Init"), Q("0"), Q("/"),
                           Q("AddComboList"), connect_, Q("Kunden"), Q("Name"), Q("Nr"), Q("/"),
                           Q("wait"), Q("Ready"), Q("/"), Q("ComboList"), Q("Nie")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, Q("* DataSourceReady(Kunden)\n* Ready()\n(Nothing)\n"));
}

TEST_F(VxAutoCallTest, ExitStatusTellsErrorsUsageAndTimeOutsApart) {
    struct Case {
        const char* what;
        QStringList args;
        int exitCode;
        QString err;  // the start of standard error
    } cases[] = {
        {"automation error of the database",
         {Q("VXBComboServer.VXComboDB"), Q("Init"), Q("0"), Q("/"), Q("AddComboList"), connect_,
          Q("Kunden"), Q("Nummer"), Q("Nr"), Q("/"), Q("ComboList"), Q("Kunden")},
         1,
         Q("vxAutoCall: error 0x80004005 (ODBC): [HY000]")},
        {"automation error of the server",
         {Q("VXBComboServer.VXComboDB"), Q("Refresh")},
         1,
         Q("vxAutoCall: error 0x8004138A (VXBComboServer): Init wurde nicht aufgerufen.")},
        {"no Ready in time",
         {Q("VXBComboServer.VXComboDB"), Q("Init"), Q("0"), Q("/"), Q("wait"), Q("Ready"), Q("0")},
         3,
         Q("vxAutoCall: no Ready within 0 s")},
        {"unknown member", {Q("vxTRXVer.Version"), Q("Versoin")}, 2, Q("vxAutoCall: ")},
        {"too many arguments",
         {Q("vxTRXVer.Version"), Q("Version"), Q("x")},
         2,
         Q("vxAutoCall: the property Version takes no arguments")},
        {"not a number",
         {Q("VXBComboServer.VXComboDB"), Q("Init"), Q("null")},
         2,
         Q("vxAutoCall: 'null' is not a value of type 'i' for Init")},
        {"no such class",
         {Q("vxNix.Nix"), Q("Version")},
         1,
         Q("vxAutoCall: org.freedesktop.DBus.Error.ServiceUnknown")},
        {"no step", {Q("vxTRXVer.Version")}, 2, Q("vxAutoCall: no step given")},
    };
    for (const auto& c : cases) {
        const auto run = Call(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(c.err)) << c.what << ": " << run.err.toStdString();
    }
}

TEST_F(VxAutoCallTest, HelpShowsExamplesForAllThreeClasses) {
    const auto run = Call({Q("--help")});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* progId :
         {"vxTRXVer.Version", "vxRegCPX.CPXFile", "VXBComboServer.VXComboDB"}) {
        EXPECT_TRUE(run.out.contains(Q(progId))) << progId;
    }
}

}  // namespace
}  // namespace trx
