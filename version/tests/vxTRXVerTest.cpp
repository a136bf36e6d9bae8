// Runs the built program the way a person does: copied with its graphical
// module into a folder of its own beside a vxTRX.ini, started from elsewhere,
// without a display.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

namespace trx::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir_ / "bin");
        std::filesystem::copy_file(TRX_VXTRXVER, Program());
        std::filesystem::permissions(Program(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        std::filesystem::copy_file(TRX_GUI, Module());
    }

    std::filesystem::path Module() const {
        return dir_ / "bin" / std::filesystem::path(TRX_GUI).filename();
    }

    std::filesystem::path Program() const { return dir_ / "bin" / "vxTRXVer"; }
    std::filesystem::path Ini() const { return dir_ / "bin" / "vxTRX.ini"; }

    // Runs from the root folder, so that only the program's own folder can
    // supply the file; timeout keeps a hanging program from hanging the test.
    Outcome Start(const std::string& environment, const std::string& arguments = "") const {
        const std::string command =
            "cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + environment +
            " timeout 60 '" + Program().string() + "' " + arguments + " >'" +
            (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "'";
        const int result = std::system(command.c_str());
        Outcome run;
        run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        run.out = ReadFile(dir_ / "out");
        run.err = ReadFile(dir_ / "err");
        return run;
    }

    TempDir dir_;
};

const std::string kRecord = "[Common]\nVersion=4.1\nRequiredDBVersion=4010\nBuild=7743.2\n";

TEST_F(ProgramTest, PrintsTheVersionBoxInTheUsersLanguage) {
    WriteFile(Ini(), kRecord);
    struct Case {
        const char* locale;
        const char* month;
    };
    const Case cases[] = {{"de_DE.UTF-8", "Dezember"}, {"en_US.UTF-8", "December"}};
    for (const Case& c : cases) {
        const Outcome run = Start(std::string("LC_ALL=") + c.locale);
        EXPECT_EQ(run.status, 0) << c.locale << run.err;
        EXPECT_EQ(run.out, std::string("vxTRXVer: Version: 4.1 - Build: 7743.2 (12. ") + c.month +
                               " 2019)\n\nErforderliche Datenbankversion: 4.010\n");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(ReadFile(Ini()), kRecord);
}

TEST_F(ProgramTest, AnOverflowingBuildWarnsAndEndsWithStatusOne) {
    WriteFile(Ini(), "[Common]\nVersion=4.1\nBuild=3000000000.2\n");
    for (const char* arguments : {"", "/CREATE"}) {
        // With a Qt platform chosen the form's load is reached; it fails before any window.
        const Outcome run = Start("LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen", arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        // Qt may add diagnostics of its own before the warning.
        const std::string warning =
            "Fehler: '" + Ini().string() + "' konnte nicht gelesen werden: Überlauf (Fehler 6).\n";
        EXPECT_TRUE(run.err.ends_with(warning)) << arguments << ": " << run.err;
    }
}

TEST_F(ProgramTest, TheDialogWithoutADisplayWarnsAndEndsWithStatusOne) {
    WriteFile(Ini(), kRecord);
    const Outcome run = Start("LC_ALL=de_DE.UTF-8", "/create");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Fehler: "), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Ini()), kRecord);
}

// Copied without its module, the program still shows its record in the
// console, and the dialog is refused with a line that names the module.
TEST_F(ProgramTest, WithoutItsModuleTheDialogWarnsAndTheBoxStillPrints) {
    WriteFile(Ini(), kRecord);
    std::filesystem::remove(Module());
    const Outcome dialog = Start("LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen", "/CREATE");
    EXPECT_EQ(dialog.status, 1);
    EXPECT_EQ(dialog.out, "");
    EXPECT_NE(dialog.err.find("Fehler: Der Dialog \"Create Version\" braucht das Modul " +
                              Module().filename().string()),
              std::string::npos)
        << dialog.err;
    const Outcome box = Start("LC_ALL=de_DE.UTF-8");
    EXPECT_EQ(box.status, 0) << box.err;
    EXPECT_TRUE(box.out.starts_with("vxTRXVer: Version: 4.1")) << box.out;
    EXPECT_EQ(ReadFile(Ini()), kRecord);
}

// What the bus server does with the start is its own affair (it needs a
// session bus); neither the version box nor the dialog may appear. The bus
// address leads nowhere, so that the run never serves on the user's own bus.
TEST_F(ProgramTest, StartedByTheAutomationSystemShowsNeitherBoxNorDialog) {
    WriteFile(Ini(), kRecord);
    const Outcome run = Start("LC_ALL=de_DE.UTF-8 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
                              "-Embedding /CREATE");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find("Erforderliche Datenbankversion"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Create Version"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(Ini()), kRecord);
}

}  // namespace
}  // namespace trx::test
