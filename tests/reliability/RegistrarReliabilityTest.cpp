// vxRegCPX under load and faults, run as the built program: many registrars
// at once, a store it may not write, and CPX files and command lines that no
// one would write by hand.

#include "platform/posix/ProfileLock.h"
#include "tests/reliability/Child.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace trx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// The store file as sections of keys, and whether every line is a header,
// a key line or empty (a torn or mixed-up file is not).
struct StoreFile {
    Sections sections;
    bool whole = true;
};

StoreFile ParseStore(const std::string& text) {
    StoreFile store;
    std::istringstream lines(text);
    std::string line;
    std::string section;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            store.whole = store.whole && store.sections.count(section) == 0;
            store.sections[section];
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
            store.sections[section][line.substr(0, equals)] = line.substr(equals + 1);
        } else {
            store.whole = false;
        }
    }
    return store;
}

// The id of a process that has ended (and been reaped).
pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

// A lock file as a holder leaves it that is killed while it holds the lock.
void LeaveStaleLock(const fs::path& lock) {
    const pid_t child = fork();
    if (child == 0) {
        const profile::LockFile held(lock.string(), std::chrono::milliseconds(0));
        _exit(held.Held() ? 0 : 1);  // no unlock: the process just ends
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(fs::exists(lock));
}

class RegistrarReliabilityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenForEveryone(dir_.Path());
        fs::create_directories(bin_);
        fs::copy_file(TRX_VXREGCPX, program_);
        WriteFile(bin_ / "tool", "");
        WriteFile(bin_ / "icon.svg", "");
        fs::create_directories(config_);
    }

    fs::path WriteCpx(const std::string& name, const std::string& key, int startType = 1) const {
        const fs::path path = dir_ / name;
        WriteFile(path, "[Reginfo]\r\nKey=" + key + "\r\nName=Eintrag " + key +
                            "\r\nTarget=tool\r\nIcon=icon.svg\r\nDescription=Beschreibung " + key +
                            "\r\nStartType=" + std::to_string(startType) + "\r\n");
        return path;
    }

    ChildResult Registrar(const std::vector<std::string>& arguments, bool unprivileged = false,
                          std::chrono::milliseconds deadline = std::chrono::seconds(120)) const {
        std::vector<std::string> argv{program_.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildOptions options;
        options.folder = dir_.Path();
        options.environment = {{"XDG_CONFIG_HOME", config_.string()}};
        options.unprivileged = unprivileged;
        options.deadline = deadline;
        return RunChild(argv, options);
    }

    fs::path StorePath() const { return config_ / "Velmora" / "vxtControlPanel.ini"; }

    TempDir dir_;
    fs::path bin_ = dir_ / "bin";
    fs::path program_ = bin_ / "vxRegCPX";
    fs::path config_ = dir_ / "config";
};

TEST_F(RegistrarReliabilityTest, EightRegistrarsAtOnceKeepAllFourHundredEntries) {
    constexpr int kProcesses = 8;
    constexpr int kFilesEach = 50;
    auto key = [](int p, int f) { return "P" + std::to_string(p) + "F" + std::to_string(f); };
    for (int p = 0; p < kProcesses; ++p) {
        for (int f = 0; f < kFilesEach; ++f) {
            WriteCpx(key(p, f) + ".cpx", key(p, f), p * 100 + f);
        }
    }
    // Eight workers, each running its fifty registrations one after another,
    // so that eight registrars write the store at every moment.
    std::vector<std::vector<ChildResult>> results(kProcesses);
    std::vector<std::thread> workers;
    for (int p = 0; p < kProcesses; ++p) {
        workers.emplace_back([&, p] {
            for (int f = 0; f < kFilesEach; ++f) {
                results[p].push_back(Registrar({(dir_ / (key(p, f) + ".cpx")).string(), "/q"}));
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int f = 0; f < kFilesEach; ++f) {
            const ChildResult& run = results[p][f];
            EXPECT_EQ(run.status, 0) << key(p, f) << ": " << run.err;
        }
    }

    const StoreFile store = ParseStore(ReadFile(StorePath()));
    EXPECT_TRUE(store.whole);
    ASSERT_EQ(store.sections.count("Entries"), 1u);
    EXPECT_EQ(store.sections.at("Entries").size(), 400u);
    int complete = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int f = 0; f < kFilesEach; ++f) {
            const std::string k = key(p, f);
            const auto entries = store.sections.at("Entries");
            EXPECT_EQ(entries.count(k) ? entries.at(k) : "", "Eintrag " + k);
            const std::map<std::string, std::string> expected = {
                {"Description", "Beschreibung " + k},
                {"Icon", (bin_ / "icon.svg").string()},
                {"StartType", std::to_string(p * 100 + f)},
                {"Target", (bin_ / "tool").string()}};
            const auto section = store.sections.find(k);
            if (section != store.sections.end() && section->second == expected) {
                ++complete;
            } else {
                std::string found;
                if (section != store.sections.end()) {
                    for (const auto& [name, value] : section->second) {
                        found += " " + name + "=" + value;
                    }
                }
                ADD_FAILURE() << "the four values of " << k << " are missing or wrong:" << found;
            }
        }
    }
    EXPECT_EQ(complete, 400);
}

// The unprivileged user may read the store but not write it: its file is
// read-only, or its folder is missing and cannot be made.
class StoreFaultTest : public RegistrarReliabilityTest {
  protected:
    void SetUp() override {
        RegistrarReliabilityTest::SetUp();
        // The store as a first run left it, with another entry in it.
        cpx_ = WriteCpx("new.cpx", "Neu");
        ASSERT_EQ(Registrar({WriteCpx("other.cpx", "Anderer").string(), "/q"}).status, 0);
        before_ = ReadFile(StorePath());
        GiveToUnprivilegedUser(config_);
    }

    void ExpectFailureAndStoreUnchanged(const ChildResult& run, const std::string& message) {
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_EQ(run.err, "Fehler: '" + cpx_.string() + "' " + message + "\n");
        EXPECT_EQ(ReadFile(StorePath()), before_);
    }

    fs::path cpx_;
    std::string before_;
};

TEST_F(StoreFaultTest, AReadOnlyStoreFileFailsRegistrationAndRemovalAndKeepsEveryEntry) {
    fs::permissions(StorePath(),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ExpectFailureAndStoreUnchanged(Registrar({cpx_.string(), "/qe"}, true),
                                   "konnte nicht in die Registry eingetragen werden.");
    ASSERT_EQ(Registrar({WriteCpx("again.cpx", "Anderer").string(), "/u", "/qe"}, true).status, 1);
    EXPECT_EQ(ReadFile(StorePath()), before_);
}

TEST_F(StoreFaultTest, AStoreFolderThatCannotBeMadeFailsForRootToo) {
    // A file where the folder should be stops every user, root included.
    fs::rename(config_ / "Velmora", dir_ / "kept");
    WriteFile(config_ / "Velmora", "");
    const ChildResult run = Registrar({cpx_.string(), "/qe"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Fehler: '" + cpx_.string() + "' konnte nicht in die Registry eingetragen werden.\n");
    EXPECT_EQ(ReadFile(dir_ / "kept" / "vxtControlPanel.ini"), before_);
}

TEST_F(StoreFaultTest, AMissingStoreFolderInAFolderOfSomeoneElseFails) {
    fs::rename(config_ / "Velmora", dir_ / "kept");
    fs::remove(config_);
    fs::create_directory(config_);  // root's, closed to the unprivileged user
    fs::permissions(config_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    if (geteuid() != 0) {
        fs::permissions(config_, fs::perms::owner_write, fs::perm_options::remove);
    }
    const ChildResult run = Registrar({cpx_.string(), "/qe"}, true);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Fehler: '" + cpx_.string() + "' konnte nicht in die Registry eingetragen werden.\n");
    EXPECT_FALSE(fs::exists(config_ / "Velmora"));
}

TEST_F(StoreFaultTest, AnUnreadableStoreFailsRemovalAndRegistration) {
    fs::permissions(StorePath(), fs::perms::none);
    const ChildResult removal =
        Registrar({WriteCpx("again.cpx", "Anderer").string(), "/u", "/qe"}, true);
    EXPECT_EQ(removal.status, 1);
    EXPECT_EQ(removal.err, "Fehler: '" + (dir_ / "again.cpx").string() +
                               "' konnte nicht aus der Registry entfernt werden.\n");
    const ChildResult registration = Registrar({cpx_.string(), "/qe"}, true);
    fs::permissions(StorePath(), fs::perms::owner_read | fs::perms::owner_write);
    ExpectFailureAndStoreUnchanged(registration,
                                   "konnte nicht in die Registry eingetragen werden.");
}

TEST_F(StoreFaultTest, ARootRunKeepsTheStoresOwnerAndMode) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can write a store file of another user";
    }
    fs::permissions(StorePath(),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(Registrar({cpx_.string(), "/q"}).status, 0);
    struct stat st {};
    ASSERT_EQ(stat(StorePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, UnprivilegedUser().first);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Registrar({WriteCpx("third.cpx", "Dritter").string(), "/q"}, true).status, 0)
        << "the user may still write the store";
}

TEST_F(StoreFaultTest, AFullDiskNeverEmptiesTheStore) {
    const fs::path folder = config_ / "Velmora";
    fs::rename(folder, dir_ / "kept");
    fs::create_directory(folder);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no small tmpfs can be mounted here (" << std::strerror(errno)
                     << "); run as root with CAP_SYS_ADMIN to test a full file system";
    }
    struct Unmount {
        fs::path point;
        ~Unmount() { umount2(point.c_str(), MNT_DETACH); }
    } unmount{folder};
    // From a full disk to one with room for a few pages: the change lands
    // whole or the store stays as it was and the run says so.
    for (int freePages = 0; freePages <= 3; ++freePages) {
        SCOPED_TRACE(std::to_string(freePages) + " pages free");
        fs::remove(folder / "filler");
        WriteFile(StorePath(), before_);
        {
            std::ofstream filler(folder / "filler", std::ios::binary);
            const std::string block(4096, 'f');
            for (int i = 0; i < 64 && filler.write(block.data(), 4096); ++i) {
                filler.flush();
            }
        }
        const auto full = fs::file_size(folder / "filler") / 4096 * 4096;
        fs::resize_file(folder / "filler", full - static_cast<std::uintmax_t>(freePages) * 4096);

        const ChildResult run = Registrar({cpx_.string(), "/qe"});
        const StoreFile store = ParseStore(ReadFile(StorePath()));
        if (run.status == 0) {
            EXPECT_EQ(store.sections.at("Entries").size(), 2u) << ReadFile(StorePath());
            EXPECT_EQ(store.sections.at("Anderer").size(), 4u);
            EXPECT_EQ(store.sections.at("Neu").size(), 4u);
        } else {
            ExpectFailureAndStoreUnchanged(run, "konnte nicht in die Registry eingetragen werden.");
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2)
            << "no hidden file is left";
    }
}

TEST_F(RegistrarReliabilityTest, ASymlinkedStoreIsFollowedAndStaysALink) {
    fs::create_directories(StorePath().parent_path());
    WriteFile(dir_ / "real.ini", "");
    fs::create_symlink(dir_ / "real.ini", StorePath());
    ASSERT_EQ(Registrar({WriteCpx("a.cpx", "A").string(), "/q"}).status, 0);
    EXPECT_TRUE(fs::is_symlink(StorePath()));
    EXPECT_EQ(ParseStore(ReadFile(dir_ / "real.ini")).sections["Entries"]["A"], "Eintrag A");
}

// A symbolic link at the store, at vxTRX.ini or given to vxini is followed
// only when it belongs to root or to the owner of its target, so that a
// user's link cannot steer root's write onto root's files; a failed save
// names the file it could not write, the link's target where it followed one.
TEST_F(RegistrarReliabilityTest, ALinkIsFollowedOnlyWhenItBelongsToRootOrToItsTargetsOwner) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give links and files to other users";
    }
    const auto [uid, gid] = UnprivilegedUser();
    const fs::path secret = dir_ / "secret";  // root's, for root alone
    const std::string secretText = "root:x:0:0:root:/root:/bin/bash\n";
    WriteFile(secret, secretText);
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    const auto userLink = [&](const fs::path& link, const fs::path& target) {
        fs::create_directories(link.parent_path());
        fs::create_symlink(target, link);
        ASSERT_EQ(lchown(link.c_str(), uid, gid), 0);
    };
    const std::string refused =
        "' ist ein symbolischer Link, der weder root noch dem Eigentümer "
        "seines Ziels gehört; ihm wird nicht gefolgt.\n";

    // The user's store is a link to root's file; root registers (sudo -E).
    userLink(StorePath(), secret);
    const ChildResult registration = Registrar({WriteCpx("a.cpx", "A").string(), "/qe"});
    EXPECT_EQ(registration.status, 1);
    EXPECT_EQ(registration.err, "Fehler: '" + (dir_ / "a.cpx").string() +
                                    "' konnte nicht in die Registry eingetragen werden.\n'" +
                                    StorePath().string() + refused);
    EXPECT_EQ(ReadFile(secret), secretText);
    EXPECT_TRUE(fs::is_symlink(StorePath()));

    // vxini on a user's link to root's file.
    const fs::path userIni = dir_ / "home" / "user.ini";
    userLink(userIni, secret);
    const ChildResult set =
        RunChild({TRX_VXINI, "set", userIni.string(), "Common", "Version", "9"});
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.err.find(userIni.string() + " is a symbolic link that belongs neither to root"),
              std::string::npos)
        << set.err;
    EXPECT_EQ(ReadFile(secret), secretText);

    // vxTRX.ini beside the program as the package lays it out: root's link
    // to root's file in etc/. The dialog's Save follows it as root; as a
    // user it fails and names the file it could not write.
    const fs::path etc = dir_ / "etc";
    fs::create_directories(etc);
    WriteFile(etc / "vxTRX.ini", "[Common]\nVersion=1\n");
    fs::create_symlink(etc / "vxTRX.ini", bin_ / "vxTRX.ini");
    const ChildResult asRoot = RunChild({TRX_SAVE_PROBE, (bin_ / "vxTRX.ini").string(), "2"});
    EXPECT_EQ(asRoot.status, 0) << asRoot.out;
    EXPECT_NE(ReadFile(etc / "vxTRX.ini").find("Version=2"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(bin_ / "vxTRX.ini"));
    ChildOptions asUser;
    asUser.unprivileged = true;
    const ChildResult userSave =
        RunChild({TRX_SAVE_PROBE, (bin_ / "vxTRX.ini").string(), "3"}, asUser);
    EXPECT_EQ(userSave.status, 3);
    EXPECT_EQ(userSave.out,
              "Fehler: '" + (etc / "vxTRX.ini").string() + "' konnte nicht gespeichert werden.\n");

    // The same place, but the user's link to root's file: root's Save refuses it.
    fs::remove(bin_ / "vxTRX.ini");
    userLink(bin_ / "vxTRX.ini", secret);
    const ChildResult planted = RunChild({TRX_SAVE_PROBE, (bin_ / "vxTRX.ini").string(), "4"});
    EXPECT_EQ(planted.status, 3);
    EXPECT_EQ(planted.out, "Fehler: '" + (bin_ / "vxTRX.ini").string() +
                               "' konnte nicht gespeichert werden.\n'" +
                               (bin_ / "vxTRX.ini").string() + refused);
    EXPECT_EQ(ReadFile(secret), secretText);

    // A user's link to the user's own file is followed, for the user and for root.
    fs::remove(StorePath());
    const fs::path own = config_ / "own.ini";
    WriteFile(own, "");
    GiveToUnprivilegedUser(config_);
    userLink(StorePath(), own);
    EXPECT_EQ(Registrar({WriteCpx("b.cpx", "B").string(), "/qe"}, true).status, 0);
    EXPECT_EQ(Registrar({WriteCpx("c.cpx", "C").string(), "/qe"}).status, 0);
    const StoreFile store = ParseStore(ReadFile(own));
    EXPECT_EQ(store.sections.count("B") + store.sections.count("C"), 2u);
    EXPECT_TRUE(fs::is_symlink(StorePath()));
}

TEST_F(RegistrarReliabilityTest, ARegistrationIsOneRewriteAndClearsAKilledRunsLeftovers) {
    const fs::path folder = config_ / "Velmora";
    fs::create_directories(folder);
    // A killed registrar's new file is removed; files of other tools (an
    // editor's swap file, rsync's temporary file), of a registrar still at
    // work and of the previous version's naming stay.
    const std::string gone = std::to_string(GonePid());
    const std::string live = std::to_string(getpid());
    const std::vector<std::string> leftovers = {".vxtControlPanel.ini.trxtmp-" + gone + "-1234"};
    const std::vector<std::string> others = {
        ".vxtControlPanel.ini.swp", ".vxtControlPanel.ini.Ab12Cd", ".vxtControlPanel.ini.tmp12345",
        ".vxtControlPanel.ini.trxtmp-" + live + "-1234",
        ".vxtControlPanel.ini.trxtmp-" + gone + "-x"};
    for (const auto* names : {&leftovers, &others}) {
        for (const std::string& name : *names) {
            WriteFile(folder / name, "[Entries]\n");
        }
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO), 0);

    ASSERT_EQ(Registrar({WriteCpx("a.cpx", "A").string(), "/q"}).status, 0);

    int replacements = 0;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            replacements += event->len > 0 && std::string(event->name) == "vxtControlPanel.ini";
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(watch);
    EXPECT_EQ(replacements, 1) << "the line and the four values land in one rewrite";
    for (const std::string& name : leftovers) {
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    }
    for (const std::string& name : others) {
        EXPECT_TRUE(fs::exists(folder / name)) << name << " is not the registrar's to remove";
    }
    EXPECT_EQ(ParseStore(ReadFile(StorePath())).sections["A"].size(), 4u);
}

// Holds flock on a folder from a process of the unprivileged user, as any
// user who may read the folder can, until destruction.
class FlockAsUnprivilegedUser {
  public:
    explicit FlockAsUnprivilegedUser(const fs::path& folder) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0) {
            return;
        }
        const auto [uid, gid] = UnprivilegedUser();
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release_[1]);
            const int fd = setgid(gid) == 0 && setuid(uid) == 0
                               ? open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                               : -1;
            const char held = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 1 : 0;
            if (write(ready[1], &held, 1) != 1 || held == 0) {
                _exit(1);
            }
            char byte;
            (void)read(release_[0], &byte, 1);  // returns when the parent closes its end
            _exit(0);
        }
        close(ready[1]);
        close(release_[0]);
        char held = 0;
        held_ = pid_ > 0 && read(ready[0], &held, 1) == 1 && held == 1;
        close(ready[0]);
    }
    ~FlockAsUnprivilegedUser() {
        close(release_[1]);
        if (pid_ > 0) {
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Held() const { return held_; }

  private:
    int release_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool held_ = false;
};

// The store's lock is the one QSettings takes (its lock file beside the
// store), so that registrars and QSettings programs exclude each other; a
// lock file left by a killed holder is taken over at once; another user
// cannot block a writer; and a writer waits at most its 5 seconds for a lock
// that is held, then says who holds it.
TEST_F(RegistrarReliabilityTest, TheStoreLockIsQSettingsOwnAndEveryWaitIsBounded) {
    const fs::path lock = StorePath().string() + ".lock";
    // The crowd writes its store on a memory file system where there is one,
    // so that the seconds a busy disk may take to sync do not decide the run;
    // the exclusion is the same on any local file system.
    struct MemoryFolder {
        fs::path path = fs::path("/dev/shm") / ("trx-lock-test-" + std::to_string(getpid()));
        ~MemoryFolder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } memory;
    std::error_code noMemory;
    fs::create_directory(memory.path, noMemory);
    if (noMemory) {
        fs::create_directories(StorePath().parent_path());
    } else {
        fs::create_directory_symlink(memory.path, StorePath().parent_path());
    }
    {
        SCOPED_TRACE("twenty registrars of fifteen entries each and a QSettings program at once");
        constexpr int kRegistrars = 20;
        constexpr int kEntriesEach = 15;
        constexpr int kQtKeys = 300;
        auto key = [](int r, int e) { return "R" + std::to_string(r) + "E" + std::to_string(e); };
        for (int r = 0; r < kRegistrars; ++r) {
            for (int e = 0; e < kEntriesEach; ++e) {
                WriteCpx(key(r, e) + ".cpx", key(r, e));
            }
        }
        ChildResult qt;
        std::thread qtWriter([&] {
            ChildOptions options;
            options.deadline = std::chrono::seconds(200);
            qt = RunChild(
                {TRX_QSETTINGS_WRITER, StorePath().string(), std::to_string(kQtKeys), "QtWriter"},
                options);
        });
        std::vector<std::vector<ChildResult>> runs(kRegistrars);
        std::vector<std::thread> registrars;
        for (int r = 0; r < kRegistrars; ++r) {
            registrars.emplace_back([&, r] {
                for (int e = 0; e < kEntriesEach; ++e) {
                    runs[r].push_back(Registrar({(dir_ / (key(r, e) + ".cpx")).string(), "/qe"}));
                }
            });
        }
        for (auto& registrar : registrars) {
            registrar.join();
        }
        qtWriter.join();

        EXPECT_EQ(qt.status, 0) << qt.out << qt.err;
        EXPECT_EQ(qt.out, "0 failed\n");
        const StoreFile store = ParseStore(ReadFile(StorePath()));
        EXPECT_TRUE(store.whole);
        int registered = 0;
        int kept = 0;
        for (int r = 0; r < kRegistrars; ++r) {
            for (int e = 0; e < kEntriesEach; ++e) {
                EXPECT_EQ(runs[r][e].status, 0) << runs[r][e].err;
                const auto entries = store.sections.find("Entries");
                const auto section = store.sections.find(key(r, e));
                registered += entries != store.sections.end() &&
                              entries->second.count(key(r, e)) == 1 &&
                              section != store.sections.end() && section->second.size() == 4;
            }
        }
        const auto written = store.sections.find("QtWriter");
        for (int i = 0; i < kQtKeys && written != store.sections.end(); ++i) {
            const auto value = written->second.find("k" + std::to_string(i));
            kept += value != written->second.end() && value->second == "v" + std::to_string(i);
        }
        EXPECT_EQ(registered, kRegistrars * kEntriesEach) << "registrations lost";
        EXPECT_EQ(kept, kQtKeys) << "QSettings' keys lost";
        EXPECT_FALSE(fs::exists(lock));
    }
    if (fs::is_symlink(StorePath().parent_path())) {
        // The rest on the disk again.
        fs::remove(StorePath().parent_path());
        fs::create_directory(StorePath().parent_path());
        fs::copy_file(memory.path / StorePath().filename(), StorePath());
    }
    {
        SCOPED_TRACE("a lock file left by a killed holder");
        ChildOptions options;
        options.deadline = std::chrono::seconds(20);  // QSettings would wait 30 s for an old lock
        LeaveStaleLock(lock);
        const ChildResult qt =
            RunChild({TRX_QSETTINGS_WRITER, StorePath().string(), "1", "Stale"}, options);
        EXPECT_EQ(qt.status, 0) << "QSettings takes over the registrar's stale lock: " << qt.err;
        LeaveStaleLock(lock);
        const ChildResult run = Registrar({WriteCpx("stale.cpx", "Stale").string(), "/qe"});
        EXPECT_EQ(run.status, 0) << run.err;
    }
    {
        SCOPED_TRACE("another user's flock on the folder");
        GiveToUnprivilegedUser(config_);
        const int folder = open((config_ / "Velmora").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(folder, 0);
        ASSERT_EQ(flock(folder, LOCK_EX), 0);
        const ChildResult run = Registrar({WriteCpx("b.cpx", "B").string(), "/qe"}, true);
        close(folder);
        EXPECT_EQ(run.status, 0) << "the registrar waited for a lock of another user: " << run.err;

        if (geteuid() == 0) {
            const fs::path etc = dir_ / "etc";
            fs::create_directory(etc);
            WriteFile(etc / "vxTRX.ini", "[Common]\nVersion=1\n");
            const FlockAsUnprivilegedUser holder(etc);
            ASSERT_TRUE(holder.Held());
            ChildOptions options;
            options.deadline = std::chrono::seconds(20);
            const ChildResult set =
                RunChild({TRX_VXINI, "set", (etc / "vxTRX.ini").string(), "Common", "Version", "2"},
                         options);
            EXPECT_FALSE(set.timedOut) << "vxini waited for another user's lock";
            EXPECT_EQ(set.status, 0) << set.err;
        }
    }
    {
        SCOPED_TRACE("a lock held by a live process");
        const fs::path ini = dir_ / "vxTRX.ini";
        WriteFile(ini, "[Common]\nVersion=1\n");
        const std::string storeBefore = ReadFile(StorePath());
        const profile::LockFile storeLock(lock.string(), std::chrono::milliseconds(0));
        const profile::LockFile iniLock(ini.string() + ".lock", std::chrono::milliseconds(0));
        ASSERT_TRUE(storeLock.Held() && iniLock.Held());
        ChildOptions options;
        options.deadline = std::chrono::seconds(60);
        ChildResult runs[3];
        std::thread writers[3] = {
            std::thread([&] {
                runs[0] = Registrar({WriteCpx("c.cpx", "C").string(), "/qe"});
            }),
            std::thread([&] {
                runs[1] =
                    RunChild({TRX_VXINI, "set", ini.string(), "Common", "Version", "2"}, options);
            }),
            std::thread([&] {
                runs[2] = RunChild({TRX_SAVE_PROBE, ini.string(), "2"}, options);
            })};
        for (auto& writer : writers) {
            writer.join();
        }
        const std::string holder = "(Prozess " + std::to_string(getpid()) + ", ";
        EXPECT_EQ(runs[0].status, 1);
        EXPECT_EQ(runs[0].err.rfind("Fehler: '" + (dir_ / "c.cpx").string() +
                                        "' konnte nicht in die Registry eingetragen werden.\n'" +
                                        lock.string() + "' sperrt die Datei " + holder,
                                    0),
                  0u)
            << runs[0].err;
        EXPECT_NE(runs[0].err.find("wurde nicht rechtzeitig freigegeben."), std::string::npos);
        EXPECT_EQ(runs[1].status, 1);
        EXPECT_NE(runs[1].err.find(ini.string() + ".lock locks the file (process " +
                                   std::to_string(getpid())),
                  std::string::npos)
            << runs[1].err;
        EXPECT_EQ(runs[2].status, 3) << runs[2].err;
        EXPECT_EQ(
            runs[2].out.rfind("Fehler: '" + ini.string() + "' konnte nicht gespeichert werden.\n'" +
                                  ini.string() + ".lock' sperrt die Datei " + holder,
                              0),
            0u)
            << runs[2].out;
        for (const ChildResult& run : runs) {
            EXPECT_FALSE(run.timedOut);
            EXPECT_LT(run.seconds, 50) << "the wait is bounded";
        }
        EXPECT_EQ(ReadFile(StorePath()), storeBefore);
        EXPECT_EQ(ReadFile(ini), "[Common]\nVersion=1\n");
    }
}

// File names are bytes: a CPX file whose name is not UTF-8 is found; a
// program folder whose name is not UTF-8 cannot stand in the store whole, so
// its entry is refused rather than stored with a path that leads nowhere.
TEST_F(RegistrarReliabilityTest, NamesThatAreNotUtf8AreFoundOrRefusedNeverShortened) {
    const fs::path cpx = WriteCpx("d\xe4mo.cpx", "Demo");
    const ChildResult run = Registrar({cpx.string(), "/qe"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ParseStore(ReadFile(StorePath())).sections["Entries"]["Demo"], "Eintrag Demo");

    const fs::path folder = dir_ / "d\xe4";
    fs::create_directories(folder);
    for (const char* file : {"vxRegCPX", "tool", "icon.svg"}) {
        fs::copy_file(bin_ / file, folder / file);
    }
    ChildOptions options;
    options.folder = dir_.Path();
    options.environment = {{"XDG_CONFIG_HOME", config_.string()}};
    const ChildResult refused =
        RunChild({(folder / "vxRegCPX").string(), WriteCpx("b.cpx", "B").string(), "/qe"}, options);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Fehler: '" + (dir_ / "d\xef\xbf\xbd/tool").string() +
                               "' kann nicht in die Registry eingetragen werden: der Pfad ist "
                               "kein gültiges UTF-8.\n");
    EXPECT_EQ(ParseStore(ReadFile(StorePath())).sections["Entries"].count("B"), 0u);
}

// Without /proc a program cannot find its own folder, nor the files it
// keeps there: both programs say so and fail, in a mount namespace whose
// /proc is an empty file system.
TEST_F(RegistrarReliabilityTest, WithoutProcBothProgramsFailWithAClearMessage) {
    const std::string withoutProc = "mount -t tmpfs none /proc && exec \"$0\" \"$@\"";
    if (RunChild({"/usr/bin/unshare", "-m", "sh", "-c", withoutProc, "/bin/true"}).status != 0) {
        GTEST_SKIP() << "no mount namespace here (unshare -m needs CAP_SYS_ADMIN)";
    }
    ChildOptions options;
    options.folder = dir_.Path();
    options.environment = {{"XDG_CONFIG_HOME", config_.string()}};
    for (const auto& [program, arguments] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{
             {program_.string(), {WriteCpx("a.cpx", "A").string(), "/qe"}}, {TRX_VXTRXVER, {}}}) {
        std::vector<std::string> argv = {"/usr/bin/unshare", "-m",   "sh", "-c",
                                         withoutProc,        program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const ChildResult run = RunChild(argv, options);
        const std::string name = fs::path(program).filename().string();
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_EQ(run.out, "") << name;
        EXPECT_EQ(run.err, name +
                               ": Der Ordner des Programms ist nicht zu ermitteln "
                               "(/proc/self/exe fehlt).\n");
    }
    EXPECT_FALSE(fs::exists(StorePath()));
}

// A display server of the test's own on a local socket (abstract when the
// name starts with NUL), answering every connection in one way.
class FakeDisplay {
  public:
    enum class Answer { Close, Junk, Silence, SetupOnceThenSilence };

    FakeDisplay(const std::string& name, Answer answer) : name_(name), answer_(answer) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                                   (name.front() == '\0' ? 0 : 1));
        listening_ = bind(listener_, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                     listen(listener_, 16) == 0;
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeDisplay() {
        shutdown(listener_, SHUT_RDWR);  // ends the accept
        thread_.join();
        close(listener_);
        for (const int fd : held_) {
            close(fd);
        }
        if (name_.front() != '\0') {
            unlink(name_.c_str());
        }
    }
    FakeDisplay(const FakeDisplay&) = delete;
    FakeDisplay& operator=(const FakeDisplay&) = delete;
    bool Listening() const { return listening_; }

  private:
    void Serve() {
        for (int fd; (fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            if (answer_ == Answer::Junk) {
                const std::string junk = "HTTP/1.0 400 Bad Request\r\n\r\n";
                (void)!send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
            } else if (answer_ == Answer::SetupOnceThenSilence && !setupSent_) {
                // The setup request's fixed part, then an accepted setup
                // with 8 units of server fields, all zero.
                char request[12];
                (void)!read(fd, request, sizeof request);
                const char reply[40] = {1, 0, 11, 0, 0, 0, 8, 0};
                (void)!send(fd, reply, sizeof reply, MSG_NOSIGNAL);
                setupSent_ = true;
            }
            if (answer_ == Answer::Close || answer_ == Answer::Junk) {
                close(fd);
            } else {
                held_.push_back(fd);
            }
        }
    }

    std::string name_;
    Answer answer_;
    int listener_ = -1;
    bool listening_ = false;
    bool setupSent_ = false;
    std::vector<int> held_;
    std::thread thread_;
};

// The output of a shell command.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        pclose(pipe);
    }
    return text;
}

// A real X server that admits only clients with its cookie.
class Xvfb {
  public:
    Xvfb(const std::string& number, const fs::path& authority) {
        Output("xauth -q -f " + authority.string() + " add :" + number +
               " MIT-MAGIC-COOKIE-1 0123456789abcdef0123456789abcdef 2>&1");
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            // -noreset: the test's own probe for its start is its last
            // client for a moment, and a reset then refuses the next one.
            execlp("Xvfb", "Xvfb", (":" + number).c_str(), "-auth", authority.c_str(), "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string probe = "XAUTHORITY=" + authority.string() +
                                  " xwininfo -root -display :" + number +
                                  " >/dev/null 2>&1 && echo up";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!up_ && std::chrono::steady_clock::now() < deadline) {
            up_ = Output(probe) == "up\n";
            if (!up_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));  // polling its start
            }
        }
    }
    ~Xvfb() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    bool Up() const { return up_; }

  private:
    pid_t pid_ = -1;
    bool up_ = false;
};

// Waits for a window of that title on the display and ends the process that
// shows it; false when none appears within the deadline.
bool EndTheWindowsProcess(const std::string& display, const fs::path& authority,
                          const std::string& title) {
    const std::string x = "XAUTHORITY=" + authority.string() + " DISPLAY=" + display + " ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string info = Output(x + "xwininfo -name '" + title + "' 2>/dev/null");
        const auto at = info.find("Window id: ");
        if (at != std::string::npos) {
            const std::string id = info.substr(at + 11, info.find(' ', at + 11) - at - 11);
            const std::string pid = Output(x + "xprop -id " + id + " _NET_WM_PID");
            const auto equals = pid.find("= ");
            if (equals != std::string::npos) {
                return kill(std::stoi(pid.substr(equals + 2)), SIGKILL) == 0;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // polling for the window
    }
    return false;
}

// The programs decide between the box and the console by a real connection
// to the display: the X connection setup with the user's cookie, a Wayland
// compositor only where Qt can talk to one. A display that refuses, closes,
// answers junk or stays silent means the console form (for /CREATE exit 1
// with its message); never an abort or a hang. The box itself is shown by a
// child process whose start is bounded, so a display that passes the probe
// and then falls silent costs that bound and then the console.
TEST_F(RegistrarReliabilityTest, ADisplayThatRefusesOrFallsSilentMeansTheConsole) {
    fs::copy_file(fs::path(TRX_VXTRXVER).parent_path() / "trx-gui.so", bin_ / "trx-gui.so");
    // A display number that no X server on this machine uses.
    int number = 5000 + getpid() % 900;
    while (fs::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
           fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
        ++number;
    }
    const std::string base = std::to_string(number);
    const fs::path authority = dir_ / "xauthority";
    const fs::path wayland = dir_ / "wayland-0";
    const fs::path socketPath = dir_ / "x-socket";
    using Answer = FakeDisplay::Answer;
    // A box from a program whose folder is no UTF-8: the registration is
    // refused, in a box, since the module is found at the folder's bytes.
    enum class Shown { Console, Box, ConsoleAfterTheBound, BoxFromAFolderNotUtf8 };
    const fs::path byteFolder = dir_ / "d\xe4";
    fs::create_directories(byteFolder);
    for (const fs::path& file : {bin_ / "vxRegCPX", bin_ / "tool", bin_ / "icon.svg",
                                 bin_ / "trx-gui.so", fs::path(TRX_VXTRXVER)}) {
        fs::copy_file(file, byteFolder / file.filename());
    }
    const struct Case {
        const char* what;
        std::optional<Answer> fake;  // else the real Xvfb
        std::string display;
        std::string waylandDisplay;
        std::string xauthority;
        Shown shown;
    } cases[] = {
        {"accepts and closes", Answer::Close, ":" + base, "", "", Shown::Console},
        {"sends junk", Answer::Junk, ":" + base, "", "", Shown::Console},
        {"never answers", Answer::Silence, ":" + base, "", "", Shown::Console},
        {"a socket path that closes", Answer::Close, socketPath.string(), "", "", Shown::Console},
        {"Wayland without Qt's plugin", Answer::Silence, "", wayland.string(), "", Shown::Console},
        {"accepts the setup, then silence", Answer::SetupOnceThenSilence, ":" + base, "", "",
         Shown::ConsoleAfterTheBound},
        {"Xvfb with -auth, no cookie", std::nullopt, ":" + base, "", "/nonexistent",
         Shown::Console},
        {"Xvfb with -auth and its cookie", std::nullopt, ":" + base, "", authority.string(),
         Shown::Box},
        {"the same, programs in a folder not UTF-8", std::nullopt, ":" + base, "",
         authority.string(), Shown::BoxFromAFolderNotUtf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ChildOptions options;
        options.folder = dir_.Path();
        options.deadline = std::chrono::seconds(30);
        options.environment = {{"XDG_CONFIG_HOME", config_.string()},
                               {"QT_QPA_PLATFORM", ""},
                               {"DISPLAY", c.display},
                               {"WAYLAND_DISPLAY", c.waylandDisplay},
                               {"XDG_RUNTIME_DIR", dir_.Path().string()},
                               {"XAUTHORITY", c.xauthority}};
        const fs::path cpx = WriteCpx("a.cpx", "A");
        const bool fromByteFolder = c.shown == Shown::BoxFromAFolderNotUtf8;
        const bool box = c.shown == Shown::Box || fromByteFolder;
        const std::string registrar =
            fromByteFolder ? (byteFolder / "vxRegCPX").string() : program_.string();
        const std::string version =
            fromByteFolder ? (byteFolder / "vxTRXVer").string() : TRX_VXTRXVER;
        const struct Program {
            std::vector<std::string> argv;
            std::string title;
        } programs[] = {{{registrar, cpx.string()}, fromByteFolder ? "Fehler" : "vxRegCPX"},
                        {{version}, "vxTRXVer"},
                        {{version, "/CREATE"}, "Create Version"}};
        for (const Program& program : programs) {
            SCOPED_TRACE(program.title);
            std::optional<FakeDisplay> fake;
            std::optional<Xvfb> xvfb;
            if (c.fake) {
                const std::string name = !c.waylandDisplay.empty() ? wayland.string()
                                         : c.display.front() == '/'
                                             ? socketPath.string()
                                             : std::string(1, '\0') + "/tmp/.X11-unix/X" + base;
                fake.emplace(name, *c.fake);
                ASSERT_TRUE(fake->Listening());
            } else {
                xvfb.emplace(base, authority);
                ASSERT_TRUE(xvfb->Up());
            }
            fs::remove(StorePath());
            auto running =
                std::async(std::launch::async, [&] { return RunChild(program.argv, options); });
            if (box) {
                EXPECT_TRUE(EndTheWindowsProcess(c.display, authority, program.title));
            }
            const ChildResult run = running.get();
            EXPECT_FALSE(run.timedOut);
            const bool create = program.title == "Create Version";
            if (box) {
                EXPECT_EQ(run.out, "");
                EXPECT_EQ(run.status, create                      ? 128 + SIGKILL
                                      : program.title == "Fehler" ? 1
                                                                  : 0)
                    << run.err;
            } else if (create) {
                EXPECT_EQ(run.status, 1);
                EXPECT_NE(run.err.find("braucht eine grafische Anzeige"), std::string::npos)
                    << run.err;
            } else {
                EXPECT_EQ(run.status, 0) << run.err;
                const std::string start = program.title + ": ";
                EXPECT_EQ(run.out.substr(0, start.size()), start) << run.out;
            }
            if (c.shown == Shown::ConsoleAfterTheBound) {
                EXPECT_NE(run.err.find("Grafische Anzeige nicht verfügbar (keine Antwort binnen"),
                          std::string::npos)
                    << run.err;
            }
            if (program.title == "vxRegCPX") {
                EXPECT_EQ(ParseStore(ReadFile(StorePath())).sections["Entries"]["A"], "Eintrag A");
            } else if (program.title == "Fehler") {
                EXPECT_FALSE(fs::exists(StorePath()));
            }
            std::cout << "[ timing   ] " << c.what << ", " << program.title << ": " << run.seconds
                      << " s\n";
        }
    }
}

// CPX files that are no CPX files: the registrar says so, in bounded time and
// memory, and a key line after binary junk or a huge line is still found.
TEST_F(RegistrarReliabilityTest, BadCpxFilesGetAClearMessageInBoundedMemory) {
    std::mt19937 random(9);
    auto bytes = [&](std::size_t n) {
        std::string text(n, '\0');
        for (char& ch : text) {
            ch = static_cast<char>(random());
        }
        return text;
    };
    const std::string valid =
        "[Reginfo]\r\nKey=Gut\r\nName=Gut\r\nTarget=tool\r\nIcon=icon.svg\r\n";
    struct Case {
        std::string name;
        std::string contents;
        bool registers;  // else the file format message
    };
    const std::vector<Case> cases = {
        {"random.cpx", bytes(1 << 20), false},
        {"nul.cpx",
         "[Reginfo]\r\nKey=\0Gut\r\nName=Gut\r\nTarget=tool\r\nIcon=icon.svg\r\n"
         "\0\0\0"s,
         false},
        {"nul-after.cpx", valid + std::string(100000, '\0'), true},
        {"junk-before.cpx", bytes(300000) + "\r\n" + valid, true},
        {"long-line.cpx",
         "[Reginfo]\r\nDescription=" + std::string(8 << 20, 'x') + "\r\n" + valid.substr(11), true},
        {"invalid-utf8.cpx",
         "\xEF\xBB\xBF[Reginfo]\r\nKey=\xC3\x28\xFF\xFE\r\nName=\x80\x80"
         "\r\nTarget=tool\r\nIcon=icon.svg\r\n",
         true},
        {"utf16-odd.cpx", "\xFF\xFE[\0R\0"s + bytes(10001), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir_ / c.name, c.contents);
        const ChildResult run = Registrar({(dir_ / c.name).string(), "/qe"});
        if (c.registers) {
            EXPECT_EQ(run.status, 0) << run.err;
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "Fehler: '" + (dir_ / c.name).string() +
                                   "' nicht gefunden oder ungültiges Dateiformat.\n");
        }
        EXPECT_LT(run.maxRssKiB, 200 * 1024) << "memory grows with the file";
    }
}

TEST_F(RegistrarReliabilityTest, AHundredMegabyteCpxFileCostsTimeButNoMemory) {
    const fs::path big = dir_ / "big.cpx";
    {
        std::string block;
        for (int i = 0; i < 1000; ++i) {
            block += "Zeile" + std::to_string(i) + "=" + std::string(94, 'v') + "\r\n";
        }
        std::ofstream out(big, std::ios::binary);
        while (static_cast<std::size_t>(out.tellp()) < 100u * 1024 * 1024) {
            out << block;
        }
        out << "[Reginfo]\r\nKey=Gross\r\nName=Gross\r\nTarget=tool\r\nIcon=icon.svg\r\n";
    }
    const ChildResult run = Registrar({big.string(), "/q"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_LT(run.maxRssKiB, 200 * 1024);
    StoreFile store = ParseStore(ReadFile(StorePath()));
    EXPECT_EQ(store.sections["Entries"]["Gross"], "Gross");
}

TEST_F(RegistrarReliabilityTest, CommandLinesOfHundredsOfKilobytes) {
    // One argument may hold at most 128 KiB, so the long lines are several.
    const std::string part(120 * 1024, 'a');
    const ChildResult longPath = Registrar({part, part, part, "/qe"});
    EXPECT_EQ(longPath.status, 1);
    EXPECT_EQ(longPath.err, "Fehler: '" + part + " " + part + " " + part +
                                "' nicht gefunden oder ungültiges Dateiformat.\n");

    std::string switches;
    while (switches.size() < 120 * 1024) {
        switches += "/x/q";
    }
    const fs::path cpx = WriteCpx("many.cpx", "Viele");
    const ChildResult manySwitches = Registrar({cpx.string(), switches, switches, switches});
    EXPECT_EQ(manySwitches.status, 0) << manySwitches.err;
    EXPECT_EQ(manySwitches.out, "") << "/q is among the switches";
    EXPECT_EQ(ParseStore(ReadFile(StorePath())).sections["Entries"]["Viele"], "Eintrag Viele");
}

}  // namespace
}  // namespace trx::test
