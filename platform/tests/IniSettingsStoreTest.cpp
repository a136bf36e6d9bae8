#include "platform/IniSettingsStore.h"

#include "common/Text.h"
#include "platform/qt/QtText.h"
#include "tests/support/TempDir.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace trx {
namespace {

namespace fs = std::filesystem;

// The names as they stand in the file, decoded as the control panel must.
std::u16string DecodeName(const QString& stored) {
    const std::u16string text = FromQString(stored);
    if (text == u"%") {
        return {};
    }
    std::u16string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::u16string_view rest = std::u16string_view(text).substr(i);
        if (rest.starts_with(u"%25")) {
            name += u'%';
        } else if (rest.starts_with(u"%2F")) {
            name += u'/';
        } else if (rest.starts_with(u"%5C")) {
            name += u'\\';
        } else {
            name += text[i];
            continue;
        }
        i += 2;
    }
    return name;
}

using Contents = std::map<std::pair<std::u16string, std::u16string>, std::u16string>;

// Everything in an application's file as it stands on disk. QSettings shares
// what it has read among its objects in a process, so a copy of the file under
// a name of its own is read.
Contents ReadAll(const fs::path& file) {
    static int copies = 0;
    const fs::path copy = file.parent_path() / ("copy" + std::to_string(++copies) + ".ini");
    fs::copy_file(file, copy);
    QSettings settings(QString::fromStdString(copy.string()), QSettings::IniFormat);
    Contents contents;
    for (const QString& group : settings.childGroups()) {
        settings.beginGroup(group);
        for (const QString& key : settings.childKeys()) {
            contents[{DecodeName(group), DecodeName(key)}] =
                FromQString(settings.value(key).toString());
        }
        settings.endGroup();
    }
    return contents;
}

class IniSettingsStoreTest : public ::testing::Test {
  protected:
    fs::path File(const std::string& application = "App") const {
        return dir_ / "Velmora" / (application + ".ini");
    }

    test::TempDir dir_;
    IniSettingsStore store_{dir_.Path().string()};
};

TEST_F(IniSettingsStoreTest, OddNamesKeepTheirExactNameAndNeverCollide) {
    const std::vector<std::u16string> names = {
        u"plain", u"a/b",   u"a\\b",   u"a%2Fb",   u"a%5Cb",    u"%",    u"",
        u"%25",   u"a b",   u" lead",  u"trail ",  u"=",        u"a=b",  u";c",
        u"[x]",   u"Grüße", u"日本語", u"General", u"%General", u"a//b", u"/a",
        u"a/",    u"A",     u"a",      u"\"q\"",   u"#",        u"@x",   u"a,b",
    };
    Contents expected;
    int n = 0;
    for (const std::u16string& name : names) {
        const std::u16string asSection = u"section " + FromUtf8(std::to_string(++n));
        const std::u16string asKey = u"key " + FromUtf8(std::to_string(n));
        ASSERT_TRUE(store_.Save(u"App", name, u"k", asSection));
        ASSERT_TRUE(store_.Save(u"App", u"s", name, asKey));
        expected[{name, u"k"}] = asSection;
        expected[{u"s", name}] = asKey;
    }

    EXPECT_EQ(ReadAll(File()), expected);

    for (const std::u16string& name : names) {
        SCOPED_TRACE(ToUtf8(name));
        EXPECT_EQ(store_.Delete(u"App", name, u"k"), DeleteResult::Deleted);
        EXPECT_EQ(store_.Delete(u"App", u"s", name), DeleteResult::Deleted);
        expected.erase({name, u"k"});
        expected.erase({u"s", name});
        EXPECT_EQ(ReadAll(File()), expected) << "deleting one name touches no other";
    }
}

TEST_F(IniSettingsStoreTest, ValuesComeBackExactly) {
    const std::vector<std::u16string> values = {
        u"",
        u"Ein, Beispiel; mit Satzzeichen",
        u"  blanks  ",
        u"@Variant(x)",
        u"\"quoted\"",
        u"a=b",
        u"Grüße",
        u"back\\slash",
        u"/opt/trx/demo-tool",
        u"line\nfeed",
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(store_.Save(u"App", u"Values", FromUtf8(std::to_string(i)), values[i]));
    }
    const Contents contents = ReadAll(File());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(ToUtf8(contents.at({u"Values", FromUtf8(std::to_string(i))})), ToUtf8(values[i]));
    }
}

TEST_F(IniSettingsStoreTest, TheFileHoldsTheBytesQSettingsWouldWrite) {
    const std::vector<std::u16string> texts = {
        u"plain",
        u"a/b",
        u"General",
        u"Grüße 日本語 😀",
        u"@at",
        u" blanks ",
        u"a,b;c=d",
        u"tab\t\"q\"\\",
        u"line\nfeed\r",
        u"\x01"
        u"bf",
        u"\x7f\x1f",
        u"",
        u"%",
        std::u16string(u"nul\0"
                       u"1a",
                       6),
    };
    const fs::path reference = dir_.Path() / "reference.ini";
    {
        QSettings settings(QString::fromStdString(reference.string()), QSettings::IniFormat);
        for (const std::u16string& text : texts) {
            const QString encoded = ToQString(IniSettingsStore::EncodeName(text));
            settings.setValue(encoded + QStringLiteral("/k"), ToQString(text));
            settings.setValue(QStringLiteral("Entries/") + encoded, ToQString(text));
            ASSERT_TRUE(store_.Save(u"App", text, u"k", text));
            ASSERT_TRUE(store_.Save(u"App", u"Entries", text, text));
        }
        settings.remove(QStringLiteral("plain/k"));
        ASSERT_EQ(store_.Delete(u"App", u"plain", u"k"), DeleteResult::Deleted);
    }
    EXPECT_EQ(test::ReadFile(File()), test::ReadFile(reference));
}

TEST_F(IniSettingsStoreTest, SaveReplacesAndKeepsApplicationsApart) {
    ASSERT_TRUE(store_.Save(u"App", u"S", u"K", u"first"));
    ASSERT_TRUE(store_.Save(u"App", u"S", u"K", u"second"));
    ASSERT_TRUE(store_.Save(u"Other", u"S", u"K", u"other"));
    EXPECT_EQ(ReadAll(File()), (Contents{{{u"S", u"K"}, u"second"}}));
    EXPECT_EQ(ReadAll(File("Other")), (Contents{{{u"S", u"K"}, u"other"}}));
}

TEST_F(IniSettingsStoreTest, DeleteOfAnAbsentValueIsAbsent) {
    EXPECT_EQ(store_.Delete(u"App", u"S", u"K"), DeleteResult::Absent);
    EXPECT_FALSE(fs::exists(File())) << "nothing to delete, nothing written";

    ASSERT_TRUE(store_.Save(u"App", u"S", u"Other", u"v"));
    EXPECT_EQ(store_.Delete(u"App", u"S", u"K"), DeleteResult::Absent);
    EXPECT_EQ(store_.Delete(u"App", u"T", u"Other"), DeleteResult::Absent);
    EXPECT_EQ(store_.Delete(u"App", u"S", u"Other"), DeleteResult::Deleted);
    EXPECT_EQ(store_.Delete(u"App", u"S", u"Other"), DeleteResult::Absent);
}

TEST_F(IniSettingsStoreTest, AFolderWhereTheFileBelongsFailsEveryWrite) {
    fs::create_directories(File());

    EXPECT_FALSE(store_.Save(u"App", u"S", u"K", u"v"));
    EXPECT_NE(store_.Delete(u"App", u"S", u"K"), DeleteResult::Deleted);

    EXPECT_TRUE(fs::is_directory(File()));
    EXPECT_TRUE(fs::is_empty(File())) << "the write really failed";
}

// While it lives, no file of this process may grow beyond 0 bytes. The limit
// holds for root too, unlike file permissions.
class NoFileWrites {
  public:
    NoFileWrites() {
        previousSignal_ = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit none = previous_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoFileWrites() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousSignal_);
    }
    NoFileWrites(const NoFileWrites&) = delete;
    NoFileWrites& operator=(const NoFileWrites&) = delete;

  private:
    rlimit previous_{};
    sighandler_t previousSignal_;
};

TEST_F(IniSettingsStoreTest, AStoreThatCannotBeWrittenIsToldApartFromAnAbsentValue) {
    ASSERT_TRUE(store_.Save(u"App", u"S", u"K", u"v"));
    // Another value, so that deleting K still has bytes to write.
    ASSERT_TRUE(store_.Save(u"App", u"S", u"Keep", u"k"));
    const std::string before = test::ReadFile(File());

    bool saved = true;
    DeleteResult present = DeleteResult::Deleted;
    DeleteResult absent = DeleteResult::Deleted;
    {
        const NoFileWrites guard;
        saved = store_.Save(u"App", u"S", u"New", u"w");
        present = store_.Delete(u"App", u"S", u"K");
        absent = store_.Delete(u"App", u"S", u"Never");
    }

    EXPECT_FALSE(saved);
    EXPECT_EQ(present, DeleteResult::Failed);
    EXPECT_EQ(absent, DeleteResult::Absent);
    EXPECT_EQ(test::ReadFile(File()), before) << "the writes really failed";
    EXPECT_TRUE(store_.Save(u"App", u"S", u"Later", u"x")) << "writable again";
    EXPECT_EQ(ReadAll(File()).at({u"S", u"Later"}), u"x");
}

TEST_F(IniSettingsStoreTest, ProcessesSavingAtTheSameTimeLoseNothing) {
    constexpr int kProcesses = 4;
    constexpr int kKeys = 10;
    int start[2];
    int done[2];
    ASSERT_EQ(pipe(start), 0);
    ASSERT_EQ(pipe(done), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            close(done[0]);
            char go;
            // Every child starts when the parent closes the start pipe.
            if (read(start[0], &go, 1) < 0) {
                _exit(2);
            }
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) {
                const std::u16string key =
                    FromUtf8("p" + std::to_string(p) + "k" + std::to_string(k));
                ok = store_.Save(u"App", u"Entries", key, key) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(done[1]);
    close(start[1]);

    // The done pipe reaches its end when the last child has gone.
    pollfd finished{done[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char byte;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        ASSERT_GT(left.count(), 0) << "the savers did not finish in time";
        if (poll(&finished, 1, static_cast<int>(left.count())) > 0 &&
            read(done[0], &byte, 1) <= 0) {
            break;
        }
    }
    close(done[0]);
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const Contents contents = ReadAll(File());
    EXPECT_EQ(contents.size(), static_cast<std::size_t>(kProcesses * kKeys));
}

}  // namespace
}  // namespace trx
