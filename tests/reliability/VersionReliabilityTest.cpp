// vxTRX.ini under concurrent writes and failing saves, through the built
// programs: vxini writes as the form's Save does (through WriteINIValue),
// vxTRXVer reads as it does at every start.

#include "common/Text.h"
#include "platform/Profile.h"
#include "tests/reliability/Child.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace trx::test {
namespace {

namespace fs = std::filesystem;

const std::string kRecord =
    "[Common]\r\nVersion=4.1\r\nRequiredDBVersion=4010\r\nBuild=7743.2\r\n[Zeta]\r\nEnd=ja\r\n";

TEST(VersionFileConcurrencyTest, ReadersSeeTheOldOrTheNewRecordWhileAWriterSaves) {
    TempDir dir;
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    const fs::path program = bin / "vxTRXVer";
    fs::copy_file(TRX_VXTRXVER, program);
    const fs::path ini = bin / "vxTRX.ini";
    WriteFile(ini, kRecord);
    // The two versions differ in length, so a torn file cannot pass for either.
    const std::string versions[2] = {"4.1", "5.0-" + std::string(1000, 'x')};

    constexpr int kWrites = 100;
    std::atomic<bool> writing{true};
    std::vector<std::string> writeFailures;
    std::thread writer([&] {
        for (int i = 1; i <= kWrites; ++i) {
            const ChildResult run =
                RunChild({TRX_VXINI, "set", ini.string(), "Common", "Version", versions[i % 2]});
            if (run.status != 0) {
                writeFailures.push_back(run.err);
            }
        }
        writing = false;
    });

    std::atomic<int> programReads{0};
    std::atomic<int> torn{0};
    auto programReader = [&] {
        while (writing) {
            ChildOptions options;
            options.environment = {{"LANG", "C"}, {"LC_ALL", "C"}};
            const ChildResult run = RunChild({program.string()}, options);
            const bool whole = run.status == 0 &&
                               (run.out.find("Version: " + versions[0] + " - Build: 7743.2 (") !=
                                    std::string::npos ||
                                run.out.find("Version: " + versions[1] + " - Build: 7743.2 (") !=
                                    std::string::npos) &&
                               run.out.find("4.010") != std::string::npos;
            if (!whole) {
                ++torn;
                ADD_FAILURE() << "vxTRXVer read a torn record: " << run.status
                              << run.out.substr(0, 200) << run.err;
            }
            ++programReads;
        }
    };
    std::atomic<int> directReads{0};
    auto directReader = [&] {
        const std::u16string file = FromUtf8(ini.string());
        while (writing) {
            const std::u16string version = ReadINIValue(file, u"Common", u"Version", u"-");
            const bool whole =
                (version == FromUtf8(versions[0]) || version == FromUtf8(versions[1])) &&
                ReadINIValue(file, u"Common", u"Build", u"-") == u"7743.2" &&
                ReadINIValue(file, u"Zeta", u"End", u"-") == u"ja";
            if (!whole) {
                ++torn;
            }
            ++directReads;
        }
    };
    std::thread readers[3] = {std::thread(programReader), std::thread(programReader),
                              std::thread(directReader)};
    writer.join();
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_TRUE(writeFailures.empty()) << writeFailures.front();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(programReads, 0);
    EXPECT_GT(directReads, 0);
    EXPECT_EQ(ReadFile(ini),
              "[Common]\r\nVersion=" + versions[0] +
                  "\r\nRequiredDBVersion=4010\r\nBuild=7743.2\r\n[Zeta]\r\nEnd=ja\r\n");
}

// A checkout inside a folder that only root may enter (a clone in a
// `mktemp -d` folder): a child run as the unprivileged user still starts,
// although neither its program nor the test's folder is open to that user.
TEST(ChildTest, RunsAProgramOfAClosedFolderAsTheUnprivilegedUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root runs a child as another user";
    }
    const TempDir closed;  // root's, mode 0700
    const fs::path program = closed / "trx_save_probe";
    fs::copy_file(TRX_SAVE_PROBE, program);
    const fs::path testFolder = fs::current_path();
    fs::current_path(closed.Path());
    ChildOptions options;
    options.unprivileged = true;
    const ChildResult run = RunChild({program.string()}, options);
    fs::current_path(testFolder);
    EXPECT_EQ(run.status, 64) << run.err;  // its usage message: the program ran
    EXPECT_NE(run.err.find("usage: trx_save_probe"), std::string::npos) << run.err;
}

// The form's Save on a vxTRX.ini that cannot be written: the warning, the
// form stays open, the file keeps every byte.
class SaveFaultTest : public ::testing::Test {
  protected:
    ChildResult Save(const fs::path& ini, bool unprivileged) const {
        ChildOptions options;
        options.unprivileged = unprivileged;
        return RunChild({TRX_SAVE_PROBE, ini.string(), "9.9"}, options);
    }

    void ExpectWarningAndFileIntact(const ChildResult& run, const fs::path& ini) const {
        EXPECT_EQ(run.status, 3) << run.err;
        EXPECT_EQ(run.out, "Fehler: '" + ini.string() + "' konnte nicht gespeichert werden.\n");
        EXPECT_EQ(ReadFile(ini), kRecord);
    }

    TempDir dir_;
};

TEST_F(SaveFaultTest, AFileItsUserMayNotWriteShowsTheSaveError) {
    OpenForEveryone(dir_.Path());
    const fs::path bin = dir_ / "bin";
    fs::create_directory(bin);
    const fs::path ini = bin / "vxTRX.ini";
    WriteFile(ini, kRecord);
    // Root's file in root's folder: the unprivileged user may read, not write.
    // (Run without root, the test's own user is stopped by read-only modes.)
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(bin, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    ExpectWarningAndFileIntact(Save(ini, true), ini);

    if (geteuid() == 0) {
        // The same save as root lands: it was the permission that stopped it.
        const ChildResult asRoot = Save(ini, false);
        EXPECT_EQ(asRoot.status, 0) << asRoot.out << asRoot.err;
        EXPECT_EQ(ReadINIValue(FromUtf8(ini.string()), u"Common", u"Version", u""), u"9.9");
    }
    fs::permissions(bin, fs::perms::owner_all, fs::perm_options::add);
}

TEST_F(SaveFaultTest, AFullFileSystemShowsTheSaveError) {
    const fs::path mountPoint = dir_ / "small";
    fs::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no small tmpfs can be mounted here (" << std::strerror(errno)
                     << "); run as root with CAP_SYS_ADMIN to test a full file system";
    }
    struct Unmount {
        fs::path point;
        ~Unmount() { umount2(point.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    const fs::path ini = mountPoint / "vxTRX.ini";
    WriteFile(ini, kRecord);
    {
        std::ofstream filler(mountPoint / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler.write(block.data(), 4096); ++i) {
            filler.flush();
        }
    }
    // It really is full: not one more byte fits.
    {
        std::ofstream probe(mountPoint / "probe", std::ios::binary);
        probe << std::string(4096, 'p');
        probe.flush();
        ASSERT_TRUE(!probe || fs::file_size(mountPoint / "probe") < 4096)
            << "the tmpfs is not full";
    }
    fs::remove(mountPoint / "probe");
    ExpectWarningAndFileIntact(Save(ini, false), ini);
    // The failed save leaves no hidden file behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(mountPoint)) {
        ++files;
    }
    EXPECT_EQ(files, 2);
}

}  // namespace
}  // namespace trx::test
