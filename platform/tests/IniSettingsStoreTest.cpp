#include "platform/posix/IniSettingsStore.h"

#include "common/SettingsIni.h"
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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
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

// Every key of a file and its value, as a QSettings program reads them.
std::map<QString, QVariant> ReadAsQSettings(const fs::path& file) {
    static int copies = 0;
    const fs::path copy = file.parent_path() / ("qs" + std::to_string(++copies) + ".ini");
    fs::copy_file(file, copy);
    QSettings settings(QString::fromStdString(copy.string()), QSettings::IniFormat);
    std::map<QString, QVariant> read;
    // allKeys() first: it reads every section, as a program that lists them does.
    for (const QString& key : settings.allKeys()) {
        // A key of slashes alone is no key to look up (QSettings warns).
        const bool lookedUp =
            std::any_of(key.begin(), key.end(), [](QChar ch) { return ch != u'/'; });
        read[key] = lookedUp ? settings.value(key) : QVariant();
    }
    return read;
}

std::string Describe(const std::map<QString, QVariant>& read) {
    std::string text;
    for (const auto& [key, value] : read) {
        text += "  " + key.toStdString() + " = " + (value.typeName() ? value.typeName() : "-") +
                " " + value.toString().toStdString() + "\n";
    }
    return text;
}

// Stores written by hand, generated from pieces that QSettings reads in
// its own way: escapes in names, "[General]" in all its forms, quotes that
// run over lines, comments, line continuations, broken UTF-8, a last line
// without its line end. What our reading finds must be what QSettings finds,
// and after one unrelated change through the store QSettings must read
// every other value as before.
TEST_F(IniSettingsStoreTest, ReadsAndRewritesHandWrittenStoresAsQSettingsDoes) {
    const std::vector<std::string> sections = {"General",   "general",
                                               "GENERAL",   "%General",
                                               "%general",  "%gEneral",
                                               " Tools ",   "",
                                               "%U0x41",    "%41",
                                               "%U0041",    "%4",
                                               "%U00e9",    "a\\b",
                                               "a%2Fb",     "Gr\xc3\xbc\xc3\x9f",
                                               "\xff",      "S",
                                               "Entries",   "%",
                                               "%25",       "x y",
                                               "%47eneral", "%+4",
                                               "%U 041",    "\xef\xbb\xbfS",
                                               "a\"b",      "S;c"};
    const std::vector<std::string> keys = {
        "k",       "Rack", "%U0x41", "a\\b", "\\x",    "x\\", "%2F",
        "general", " sp ", "\"q\"",  "%",    "%U+041", "%20", "\xc3\xa9",
        "a/b",     "",     "x%2F",   "%5C",  "K",      "k ",  "\xe2\x80\x41"};
    const std::vector<std::string> values = {"plain",
                                             "19\" Rack",
                                             "\"quoted, with comma\"",
                                             "a,b , c",
                                             "\\x41\\101\\u",
                                             "v ; comment",
                                             "  spaced  ",
                                             "@Variant(x)",
                                             "@String(a)",
                                             "\\",
                                             "trail \\",
                                             "\"open",
                                             "x\\\r",
                                             "\xc3\xa9",
                                             "\xff\xfe",
                                             "\xe2\x80",
                                             "\"multi\nline\"",
                                             "@@at",
                                             "@Rect(1 2 3 4)",
                                             "@ByteArray(ab)",
                                             "\\0",
                                             "a=b",
                                             "x\\\nnext",
                                             "\"a\" , \"b\"",
                                             "\\x20",
                                             "t\\t ",
                                             ""};
    const std::vector<std::string> lineEnds = {"\n", "\r\n", "\r"};
    const std::vector<std::u16string> newSections = {u"Neu", u"general", u"GENERAL", u"General",
                                                     u"gEneral"};

    std::mt19937 random(23);
    const auto pick = [&](const auto& pool) { return pool[random() % pool.size()]; };
    constexpr int kRounds = 400;
    int differences = 0;
    std::size_t compared = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::string file;
        const int lines = 1 + static_cast<int>(random() % 12);
        for (int line = 0; line < lines; ++line) {
            switch (random() % 10) {
                case 0:
                case 1:
                    file += "[" + pick(sections) + "]";
                    break;
                case 2:
                    file += "; note " + pick(values);
                    break;
                case 3:
                    file += pick(keys);  // a line without "="
                    break;
                default:
                    file += pick(keys) + (random() % 2 ? "=" : " = ") + pick(values);
            }
            if (line + 1 < lines || random() % 3 != 0) {
                file += pick(lineEnds);
            }
        }
        fs::create_directories(File().parent_path());
        test::WriteFile(File(), file);
        fs::remove(File().string() + ".lock");
        const std::map<QString, QVariant> before = ReadAsQSettings(File());

        // Our reading: the keys that QSettings lists.
        std::set<QString> ours;
        for (const auto& [name, value] : settings_ini::Parse(file)) {
            ours.insert(
                ToQString(name.first.empty() ? name.second : name.first + u'/' + name.second));
        }
        std::set<QString> theirs;
        for (const auto& entry : before) {
            theirs.insert(entry.first);
        }

        // One unrelated change, then QSettings reads everything else as before.
        const std::u16string section = pick(newSections);
        ASSERT_TRUE(store_.Save(u"App", section, u"neu", u"neu"));
        std::map<QString, QVariant> after = ReadAsQSettings(File());
        const QString added =
            ToQString(IniSettingsStore::EncodeName(section)) + QStringLiteral("/neu");
        const bool addedRight =
            after.count(added) == 1 && after[added] == QVariant(QStringLiteral("neu"));
        after.erase(added);

        compared += before.size();
        if (ours != theirs || after != before || !addedRight) {
            if (++differences <= 5) {
                ADD_FAILURE() << "round " << round << ", file:\n"
                              << file << "\nQSettings read:\n"
                              << Describe(before) << "our reading found " << ours.size()
                              << " keys; after saving " << added.toStdString()
                              << (addedRight ? "" : " (not read back)") << ", QSettings read:\n"
                              << Describe(after) << "file now:\n"
                              << test::ReadFile(File());
            }
        }
        fs::remove(File());
    }
    std::printf("%d rounds, %zu values compared, %d rounds with differences\n", kRounds, compared,
                differences);
    EXPECT_EQ(differences, 0);
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
