#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "common/CodePage.h"
#include "common/ProfileLookup.h"
#include "common/Text.h"
#include "platform/Profile.h"
#include "platform/posix/tests/ProfileTestSupport.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class ProfileWrite : public ::testing::Test {
  protected:
    fs::path Path() const { return dir_ / "test.ini"; }
    bool Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
        return WriteINIValue(Path().u16string(), section, key, value);
    }
    // Only the file itself may be in the folder: no temporary file stays behind.
    void ExpectNoLeftovers() const {
        for (const auto& entry : fs::directory_iterator(dir_.Path())) {
            EXPECT_TRUE(entry.path().filename() == "test.ini" || entry.path().filename() == "keep")
                << "left behind: " << entry.path();
        }
    }
    TempDir dir_;
};

TEST_F(ProfileWrite, ChangesOnlyWhatTheWriteNeeds) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // nullopt: no file yet
        const char16_t* section;
        const char16_t* key;
        const char16_t* value;
        std::string after;
    };
    const Case cases[] = {
        {"new_file", std::nullopt, u"S", u"k", u"v", "[S]\r\nk=v\r\n"},
        {"empty_file", "", u"S", u"k", u"v", "[S]\r\nk=v\r\n"},
        {"replaces_value_keeps_the_rest", "; c\r\n[S]\r\nk=old\r\nx=1\r\n", u"S", u"k", u"new",
         "; c\r\n[S]\r\nk=new\r\nx=1\r\n"},
        {"keeps_the_files_spelling_of_the_key", "[S]\r\n  Key = old ; c\r\nx=1\r\n", u"s", u"KEY",
         u"new", "[S]\r\nKey=new\r\nx=1\r\n"},
        {"first_key_of_first_section", "[S]\nk=1\nk=2\n[S]\nk=3\n", u"S", u"k", u"new",
         "[S]\nk=new\nk=2\n[S]\nk=3\n"},
        {"replaces_bytes_after_nul", Bytes("[S]\r\nk=a\0junk\r\nx=1"), u"S", u"k", u"b",
         "[S]\r\nk=b\r\nx=1"},
        {"new_key_before_blank_lines", "[S]\r\na=1\r\n\r\n \t\r\n[T]\r\nb=2\r\n", u"S", u"k", u"v",
         "[S]\r\na=1\r\nk=v\r\n\r\n \t\r\n[T]\r\nb=2\r\n"},
        {"new_key_after_comment", "[S]\r\na=1\r\n;c\r\n\r\n", u"S", u"k", u"v",
         "[S]\r\na=1\r\n;c\r\nk=v\r\n\r\n"},
        {"new_key_under_bare_header", "[S]\r\n[T]\r\n", u"S", u"k", u"v", "[S]\r\nk=v\r\n[T]\r\n"},
        {"new_key_at_end_without_line_end", "[S]\r\na=1", u"S", u"k", u"v",
         "[S]\r\na=1\r\nk=v\r\n"},
        {"nameless_section_is_not_the_section", "k=1\r\n[S]\r\n", u"S", u"k", u"v",
         "k=1\r\n[S]\r\nk=v\r\n"},
        {"new_section_at_end", "[T]\r\nb=2\r\n", u"S", u"k", u"v", "[T]\r\nb=2\r\n[S]\r\nk=v\r\n"},
        {"new_section_after_missing_line_end", "[T]\nb=2", u"S", u"k", u"v",
         "[T]\nb=2\n[S]\nk=v\n"},
        {"line_ends_like_the_first_cr", "[T]\rb=2\r\n", u"S", u"k", u"v", "[T]\rb=2\r\n[S]\rk=v\r"},
        {"line_ends_like_the_first_lf", "[T]\nb=2\r\n", u"S", u"k", u"v", "[T]\nb=2\r\n[S]\nk=v\n"},
        // A CR before the LF of an empty line would join the two into one line end.
        {"cr_line_end_before_empty_lf_line", "[S]\rx=1\n\n[T]\r", u"S", u"k", u"v",
         "[S]\rx=1\nk=v\r\n\n[T]\r"},
        {"no_line_end_gives_cr_lf", "; only", u"S", u"k", u"v", "; only\r\n[S]\r\nk=v\r\n"},
        {"names_without_blanks_around", "", u" S\t", u" k ", u" v ", "[S]\r\nk= v \r\n"},
        {"code_page_text", "[S]\r\n", u"S", u"k", u"\u00E4\u20AC\u0141", "[S]\r\nk=\xE4\x80?\r\n"},
        {"other_bytes_stay", Bytes("\xFF\x00\x01\r\n[S]\r\nk=1\r\n\x80\x81"), u"S", u"k", u"2",
         Bytes("\xFF\x00\x01\r\n[S]\r\nk=2\r\n\x80\x81")},
        {"utf8_stays_utf8", "\xEF\xBB\xBF[S]\r\nk=a\r\n", u"S", u"k", u"\u00E4\u20AC\u0141",
         "\xEF\xBB\xBF[S]\r\nk=\xC3\xA4\xE2\x82\xAC?\r\n"},
        {"utf8_bom_only", "\xEF\xBB\xBF", u"S", u"k", u"v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
        {"utf16_stays_utf16", Bytes("\xFF\xFE[\0S\0]\0\n\0"), u"S", u"k", u"\u00E4",
         Bytes("\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE4\0\n\0")},
    };
    for (const auto& c : cases) {
        fs::remove(Path());
        if (c.before) {
            WriteFile(Path(), *c.before);
        }
        EXPECT_TRUE(Write(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(ReadFile(Path()), c.after) << c.name;
    }
}

TEST_F(ProfileWrite, ReadsBackWhatItWrote) {
    ASSERT_TRUE(Write(u"Common", u"Version", u"1.0"));
    ASSERT_TRUE(Write(u"Common", u"Build", u"12"));
    ASSERT_TRUE(Write(u"common", u"VERSION", u"2.0"));
    EXPECT_EQ(ReadINIValue(Path().u16string(), u"Common", u"Version", u""), u"2.0");
    EXPECT_EQ(ReadINIValue(Path().u16string(), u"Common", u"Build", u""), u"12");
    EXPECT_EQ(ReadFile(Path()), "[Common]\r\nVersion=2.0\r\nBuild=12\r\n");
}

TEST_F(ProfileWrite, RefusesWhatAProfileLineCannotHold) {
    struct Case {
        const char* name;
        std::u16string section;
        std::u16string key;
        std::u16string value;
    };
    const Case cases[] = {
        {"cr_in_section", u"S\r", u"k", u"v"},
        {"lf_in_key", u"S", u"a\nb", u"v"},
        {"lf_in_value", u"S", u"k", u"x\ny"},
        {"nul_in_value", u"S", u"k", std::u16string(u"x\0y", 3)},
        {"equals_in_key", u"S", u"a=b", u"v"},
        {"bracket_in_section", u"a]b", u"k", u"v"},
        {"empty_section", u"", u"k", u"v"},
        {"blank_section", u" \t", u"k", u"v"},
        {"empty_key", u"S", u"", u"v"},
        {"blank_key", u"S", u" \t ", u"v"},
        {"key_that_reads_as_header", u"S", u"[a]", u"v"},
        {"line_that_reads_as_header", u"S", u"[a", u"b]"},
        {"key_ending_in_vertical_tab", u"S", u"k\v", u"v"},
    };
    const std::string before = "[S]\r\nk=old\r\n";
    for (const auto& c : cases) {
        WriteFile(Path(), before);
        EXPECT_FALSE(Write(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(ReadFile(Path()), before) << c.name;
    }
    fs::remove(Path());
    EXPECT_FALSE(Write(u"", u"k", u"v"));
    EXPECT_FALSE(fs::exists(Path()));
}

TEST_F(ProfileWrite, FailsWhereNoFileCanBeWritten) {
    WriteFile(dir_ / "keep", "old");
    fs::create_directory(Path());
    EXPECT_FALSE(Write(u"S", u"k", u"v"));  // the path is a folder
    EXPECT_TRUE(fs::is_directory(Path()));
    fs::remove(Path());
    // The folder in the path is a file: no new file can go beside the target.
    EXPECT_FALSE(WriteINIValue((dir_ / "keep" / "x.ini").u16string(), u"S", u"k", u"v"));
    EXPECT_FALSE(WriteINIValue((dir_ / "none" / "x.ini").u16string(), u"S", u"k", u"v"));
    EXPECT_FALSE(WriteINIValue(u"", u"S", u"k", u"v"));
    EXPECT_EQ(ReadFile(dir_ / "keep"), "old");
    ExpectNoLeftovers();
}

TEST_F(ProfileWrite, ReplacesTheFileAsAWhole) {
    WriteFile(Path(), "[S]\r\nk=old\r\n");
    // A reader that has the old file open keeps seeing it whole.
    std::ifstream reader(Path(), std::ios::binary);
    ASSERT_TRUE(Write(u"S", u"k", u"new"));
    const std::string seen{std::istreambuf_iterator<char>(reader), {}};
    EXPECT_EQ(seen, "[S]\r\nk=old\r\n");
    EXPECT_EQ(ReadFile(Path()), "[S]\r\nk=new\r\n");
    ExpectNoLeftovers();
}

TEST_F(ProfileWrite, AFailedWriteLeavesTheOldFileIntact) {
    const std::string before = "[S]\r\nk=old\r\n" + std::string(64 * 1024, ';') + "\r\n";
    WriteFile(Path(), before);
    // A limit on file sizes makes the write fail half-way, even for root.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = Write(u"S", u"k", u"new");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(Path()), before);
    ExpectNoLeftovers();
}

TEST_F(ProfileWrite, LosesNoneOfTwoWritesAtTheSameTime) {
    constexpr int kWrites = 20;
    auto writer = [this](char16_t prefix) {
        for (int i = 0; i < kWrites; ++i) {
            const std::u16string key = prefix + FromUtf8(std::to_string(i));
            EXPECT_TRUE(Write(u"S", key, u"v"));
        }
    };
    std::thread first(writer, u'a');
    std::thread second(writer, u'b');
    first.join();
    second.join();
    for (const char16_t prefix : {u'a', u'b'}) {
        for (int i = 0; i < kWrites; ++i) {
            const std::u16string key = prefix + FromUtf8(std::to_string(i));
            EXPECT_EQ(ReadINIValue(Path().u16string(), u"S", key, u"lost"), u"v") << ToUtf8(key);
        }
    }
}

TEST_F(ProfileWrite, KeepsTheFilesPermissions) {
    WriteFile(Path(), "[S]\r\nk=1\r\n");
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(Write(u"S", u"k", u"2"));
    EXPECT_EQ(fs::status(Path()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ProfileWrite, LeavesAFileTheUserMayNotWrite) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write every file";
    }
    WriteFile(Path(), "[S]\r\nk=1\r\n");
    fs::permissions(Path(), fs::perms::owner_read);
    EXPECT_FALSE(Write(u"S", u"k", u"2"));
    EXPECT_EQ(ReadFile(Path()), "[S]\r\nk=1\r\n");
}

TEST_F(ProfileWrite, GivesANewFileTheUsualPermissions) {
    const mode_t mask = umask(022);
    const bool written = Write(u"S", u"k", u"v");
    umask(mask);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(Path()).permissions(), fs::perms(0644));
}

TEST_F(ProfileWrite, WritesThroughASymbolicLink) {
    fs::create_directory(dir_ / "real");
    WriteFile(dir_ / "real" / "target.ini", "[S]\r\nk=1\r\n");
    fs::create_symlink("real/target.ini", dir_ / "link.ini");
    ASSERT_TRUE(WriteINIValue((dir_ / "link.ini").u16string(), u"S", u"k", u"2"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
    EXPECT_EQ(ReadFile(dir_ / "real" / "target.ini"), "[S]\r\nk=2\r\n");
}

TEST_F(ProfileWrite, CreatesTheTargetOfADanglingLink) {
    fs::create_symlink("target.ini", dir_ / "link.ini");
    ASSERT_TRUE(WriteINIValue((dir_ / "link.ini").u16string(), u"S", u"k", u"v"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
    EXPECT_EQ(ReadFile(dir_ / "target.ini"), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileWrite, FailsOnALoopOfLinks) {
    fs::create_symlink("b.ini", dir_ / "a.ini");
    fs::create_symlink("a.ini", dir_ / "b.ini");
    EXPECT_FALSE(WriteINIValue((dir_ / "a.ini").u16string(), u"S", u"k", u"v"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "a.ini"));
}

TEST_F(ProfileWrite, RefusesAUtf16FileWithALoneLastByte) {
    const std::string before("\xFF\xFE[\0S\0]\0\n\0x", 11);
    WriteFile(Path(), before);
    EXPECT_FALSE(Write(u"T", u"k", u"v"));
    EXPECT_EQ(ReadFile(Path()), before);
}

std::optional<std::u16string> Lookup(const std::string& file, const std::u16string& section,
                                     const std::u16string& key) {
    test::ChunkSource source(file, 4096);
    return profile::FindValue(source, section, key);
}

std::string Apply(const std::string& file, const std::u16string& section, const std::u16string& key,
                  const std::u16string& value, std::size_t chunk) {
    test::ChunkSource source(file, chunk);
    const auto edit = profile::PlanWrite(source, file.size(), section, key, value);
    if (!edit) {
        ADD_FAILURE() << "no edit";
        return file;
    }
    return file.substr(0, edit->begin) + edit->bytes + file.substr(edit->end);
}

// Blank lines are never added or taken away by a write.
int BlankLines(const std::string& file) {
    class Counter final : public profile::LineHandler {
      public:
        void Text(std::u16string_view piece) override {
            blank_ = blank_ && piece.find_first_not_of(u" \t\v\f") == std::u16string_view::npos;
        }
        bool EndLine(const profile::LineBounds&) override {
            count += blank_ ? 1 : 0;
            blank_ = true;
            return true;
        }
        int count = 0;

      private:
        bool blank_ = true;
    } counter;
    test::ChunkSource source(file, 4096);
    profile::ScanLines(source, counter);
    return counter.count;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    return EncodeWindows1252(ToUpper(a)) == EncodeWindows1252(ToUpper(b));
}

// On many small random files: the value reads back, no other lookup and no
// blank line changes, and writing it again changes nothing.
TEST(ProfileWritePlan, ChangesOnlyTheValueWrittenOnRandomFiles) {
    const std::string alphabet = Bytes("[]= \t\v\"';\r\n\0aAbB");
    const std::u16string sections[] = {u"", u"a", u"A", u"a b", u"b"};
    const std::u16string keys[] = {u"a", u"A", u"b", u"[a", u";b"};
    test::Dice next(7);
    for (int round = 0; round < 6000; ++round) {
        std::string file;
        const unsigned length = next(40);
        for (unsigned i = 0; i < length; ++i) {
            file.push_back(alphabet[next(static_cast<unsigned>(alphabet.size()))]);
        }
        const std::u16string& section = sections[1 + next(4)];
        const std::u16string& key = keys[next(5)];
        std::u16string value;
        for (unsigned i = next(4); i > 0; --i) {
            value.push_back(u"xy1"[next(3)]);
        }
        const std::string after = Apply(file, section, key, value, 1 + next(8));
        ASSERT_EQ(Lookup(after, section, key), value) << "round " << round;
        for (const auto& s : sections) {
            for (const auto& k : keys) {
                if (!(SameName(s, section) && SameName(k, key))) {
                    ASSERT_EQ(Lookup(after, s, k), Lookup(file, s, k)) << "round " << round;
                }
            }
        }
        ASSERT_EQ(BlankLines(after), BlankLines(file)) << "round " << round;
        ASSERT_EQ(Apply(after, section, key, value, 4096), after) << "round " << round;
    }
}

}  // namespace
}  // namespace trx
