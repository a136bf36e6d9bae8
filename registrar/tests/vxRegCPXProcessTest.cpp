// Runs the built vxRegCPX as a user would, from a folder of its own, without
// a display, and looks at what it prints, its exit status and the store file.

#include "common/Text.h"
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace trx {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// A started vxRegCPX whose output is collected by Finish().
class ProgramRun {
  public:
    ProgramRun(const fs::path& program, const std::vector<std::string>& arguments,
               const fs::path& folder, const fs::path& configHome) {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("DISPLAY=") && !text.starts_with("WAYLAND_DISPLAY=") &&
                !text.starts_with("XDG_CONFIG_HOME=")) {
                environment.emplace_back(text);
            }
        }
        environment.push_back("XDG_CONFIG_HOME=" + configHome.string());
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());

        std::vector<char*> argp;
        std::vector<char*> envp;
        for (auto& a : argv)
            argp.push_back(a.data());
        argp.push_back(nullptr);
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        const std::string where = folder.string();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]);
            close(err[0]);
            close(out[1]);
            close(err[1]);
            if (chdir(where.c_str()) != 0) {
                _exit(126);
            }
            execve(argp[0], argp.data(), envp.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }

    Outcome Finish() {
        Outcome outcome;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        std::string* sinks[2] = {&outcome.out, &outcome.err};
        int open = 2;
        while (open > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(pid_, SIGKILL);
                ADD_FAILURE() << "vxRegCPX did not end in time";
                break;
            }
            if (poll(fds, 2, static_cast<int>(left.count())) < 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                    char buffer[4096];
                    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                    if (n > 0) {
                        sinks[i]->append(buffer, static_cast<std::size_t>(n));
                    } else {
                        close(fds[i].fd);
                        fds[i].fd = -1;
                        --open;
                    }
                }
            }
        }
        for (const pollfd& fd : fds) {
            if (fd.fd >= 0)
                close(fd.fd);
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }

  private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

class VxRegCPXProgram : public ::testing::Test {
  protected:
    VxRegCPXProgram() {
        fs::create_directories(programDir_);
        fs::copy_file(TRX_VXREGCPX, program_);
        test::WriteFile(programDir_ / "demo-tool", "#!/bin/sh\n");
        test::WriteFile(programDir_ / "demo.svg", "<svg/>\n");
        test::WriteFile(programDir_ / "demo.cpx",
                        "[Reginfo]\r\nKey=TRXDemo\r\nName=Demo-Eintrag\r\nTarget=demo-tool\r\n"
                        "Icon=demo.svg\r\nDescription=Ein Beispiel\r\nStartType=1\r\n");
    }

    Outcome RunIn(const fs::path& folder, const std::vector<std::string>& arguments) {
        return ProgramRun(program_, arguments, folder, config_).Finish();
    }
    Outcome RunHere(const std::vector<std::string>& arguments) {
        return RunIn(programDir_, arguments);
    }

    std::string Stored(const char* section, const char* key) const {
        return ToUtf8(ReadINIValue(FromUtf8(storeFile_.string()), FromUtf8(section), FromUtf8(key),
                                   u"<absent>"));
    }

    test::TempDir dir_;
    fs::path programDir_ = dir_ / "program";
    fs::path program_ = programDir_ / "vxRegCPX";
    fs::path config_ = dir_ / "config";
    fs::path storeFile_ = config_ / "Velmora" / "vxtControlPanel.ini";
};

TEST_F(VxRegCPXProgram, RegistersPrintingTheSuccessMessage) {
    const Outcome run = RunHere({"demo.cpx"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "vxRegCPX: 'demo.cpx' wurde erfolgreich registriert.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Stored("Entries", "TRXDemo"), "Demo-Eintrag");
    EXPECT_EQ(Stored("TRXDemo", "Description"), "Ein Beispiel");
    EXPECT_EQ(Stored("TRXDemo", "Icon"), (programDir_ / "demo.svg").string());
    EXPECT_EQ(Stored("TRXDemo", "Target"), (programDir_ / "demo-tool").string());
    EXPECT_EQ(Stored("TRXDemo", "StartType"), "1");
}

TEST_F(VxRegCPXProgram, QuietRegistrationPrintsNothing) {
    const Outcome run = RunHere({"demo.cpx", "/q"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(Stored("Entries", "TRXDemo"), "Demo-Eintrag");
}

TEST_F(VxRegCPXProgram, FindsTargetAndIconBesideTheProgramNotTheCurrentFolder) {
    // Started from elsewhere, through a link in yet another folder.
    fs::create_directories(dir_ / "elsewhere");
    fs::create_directories(dir_ / "links");
    fs::create_symlink(program_, dir_ / "links" / "vxRegCPX");
    const fs::path cpx = programDir_ / "demo.cpx";

    const Outcome run =
        ProgramRun(dir_ / "links" / "vxRegCPX", {cpx.string()}, dir_ / "elsewhere", config_)
            .Finish();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Stored("TRXDemo", "Target"), (programDir_ / "demo-tool").string());
}

TEST_F(VxRegCPXProgram, RejectsAnAbsentIconOnTheErrorStream) {
    test::WriteFile(programDir_ / "broken.cpx",
                    "[Reginfo]\nKey=Broken\nName=B\nTarget=demo-tool\nIcon=gone.svg\n");

    const Outcome run = RunHere({"broken.cpx", "/qe"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Fehler: '" + (programDir_ / "gone.svg").string() +
                           "' nicht vorhanden oder ungültig!\n");
    EXPECT_FALSE(fs::exists(storeFile_));
}

TEST_F(VxRegCPXProgram, RemovesTheEntryAgain) {
    ASSERT_EQ(RunHere({"demo.cpx", "/q"}).status, 0);

    const Outcome run = RunHere({"demo.cpx", "/u"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "vxRegCPX: 'demo.cpx' wurde erfolgreich aus der Registry entfernt.\n");
    EXPECT_EQ(run.err, "");
    for (const char* key : {"Description", "Icon", "Target", "StartType"}) {
        EXPECT_EQ(Stored("TRXDemo", key), "<absent>") << key;
    }
    EXPECT_EQ(Stored("Entries", "TRXDemo"), "<absent>");
}

// How a server on a display shows a box: through the program itself, which
// shows it (here, without a display, in the console form) and does nothing else.
TEST_F(VxRegCPXProgram, TheBoxSwitchShowsOneBoxAndRegistersNothing) {
    const Outcome run = RunHere({"-ShowMessageBox", "2", "Fehler", "'demo.cpx' kaputt\r\nZeile 2"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Fehler: 'demo.cpx' kaputt\nZeile 2\n");
    EXPECT_FALSE(fs::exists(storeFile_));
}

TEST_F(VxRegCPXProgram, ShowsTheHelpWithoutAFile) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"/u"}, {"demo.cpx", "/h"}}) {
        const Outcome run = RunHere(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out,
                  "vxRegCPX: Syntax: vxRegCPX CPX-File [/p1/p2.../pn]\n\n/u = Unregister\n"
                  "/q = Quiet\n/qe = Quiet/Errors\n/h = Help\n");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_FALSE(fs::exists(storeFile_));
}

TEST_F(VxRegCPXProgram, ReportsAStoreThatCannotBeWritten) {
    // A folder where the store file belongs stops root as well.
    fs::create_directories(storeFile_);

    const Outcome run = RunHere({"demo.cpx"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Fehler: 'demo.cpx' konnte nicht in die Registry eingetragen werden.\n");
}

TEST_F(VxRegCPXProgram, SimultaneousRegistrationsLoseNothing) {
    constexpr int kPrograms = 4;
    std::vector<ProgramRun> runs;
    runs.reserve(kPrograms);
    for (int i = 0; i < kPrograms; ++i) {
        const std::string name = "entry" + std::to_string(i) + ".cpx";
        test::WriteFile(programDir_ / name, "[Reginfo]\nKey=Entry" + std::to_string(i) +
                                                "\nName=Name " + std::to_string(i) +
                                                "\nTarget=demo-tool\nIcon=demo.svg\n");
        runs.emplace_back(program_, std::vector<std::string>{name, "/q"}, programDir_, config_);
    }
    for (ProgramRun& run : runs) {
        EXPECT_EQ(run.Finish().status, 0);
    }
    for (int i = 0; i < kPrograms; ++i) {
        const std::string key = "Entry" + std::to_string(i);
        EXPECT_EQ(Stored("Entries", key.c_str()), "Name " + std::to_string(i));
        EXPECT_EQ(Stored(key.c_str(), "StartType"), "1");
    }
}

}  // namespace
}  // namespace trx
