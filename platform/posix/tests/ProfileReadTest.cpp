#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/CodePage.h"
#include "common/ProfileLookup.h"
#include "common/ProfileScanner.h"
#include "platform/Profile.h"
#include "platform/posix/tests/ProfileTestSupport.h"
#include "tests/support/TempDir.h"

namespace trx {
namespace {

using profile::LineBounds;
using profile::LineBreak;
using test::Bytes;
using test::ChunkSource;
using test::TempDir;
using test::WriteFile;

struct Line {
    std::u16string text;
    LineBounds bounds;
    bool operator==(const Line& o) const {
        return text == o.text && bounds.begin == o.bounds.begin &&
               bounds.breakAt == o.bounds.breakAt && bounds.next == o.bounds.next &&
               bounds.lineBreak == o.bounds.lineBreak;
    }
};

class Collector final : public profile::LineHandler {
  public:
    void Text(std::u16string_view piece) override { current_ += piece; }
    bool EndLine(const LineBounds& bounds) override {
        lines.push_back({current_, bounds});
        current_.clear();
        return true;
    }
    std::vector<Line> lines;

  private:
    std::u16string current_;
};

std::vector<Line> Scan(const std::string& bytes, std::size_t chunk,
                       profile::ScanSummary* summary = nullptr) {
    ChunkSource source(bytes, chunk);
    Collector collector;
    const auto result = profile::ScanLines(source, collector);
    if (summary != nullptr) {
        *summary = result;
    }
    return collector.lines;
}

TEST(LineScanner, ReportsEachLineWithItsBytesAndLineBreak) {
    profile::ScanSummary summary;
    const auto lines = Scan("[S]\r\nk=v\nx\ry", 4096, &summary);
    const std::vector<Line> expected = {
        {u"[S]", {0, 3, 5, LineBreak::CrLf}},
        {u"k=v", {5, 8, 9, LineBreak::Lf}},
        {u"x", {9, 10, 11, LineBreak::Cr}},
        {u"y", {11, 12, 12, LineBreak::None}},
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(summary.firstBreak, LineBreak::CrLf);
    EXPECT_FALSE(summary.endsWithBreak);
    EXPECT_EQ(summary.size, 12u);
}

TEST(LineScanner, CutsTheTextAtNulButKeepsTheBytesInTheLine) {
    const auto lines = Scan(Bytes("k=a\0b\r\nx"), 4096);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (Line{u"k=a", {0, 5, 7, LineBreak::CrLf}}));
}

TEST(LineScanner, CountsUtf16LinesInBytesAfterTheByteOrderMark) {
    profile::ScanSummary summary;
    const auto lines = Scan(Bytes("\xFF\xFE"
                                  "a\0\r\0\n\0\xE4\0"),
                            4096, &summary);
    EXPECT_EQ(summary.encoding, profile::FileEncoding::Utf16Le);
    const std::vector<Line> expected = {
        {u"a", {2, 4, 8, LineBreak::CrLf}},
        {u"ä", {8, 10, 10, LineBreak::None}},
    };
    EXPECT_EQ(lines, expected);
}

TEST(LineScanner, GivesTheSameLinesWhereverTheReadsAreCut) {
    const std::string inputs[] = {
        "[S]\r\nk=v\r\n\r\n",
        "a\r\rb\n\r\nc\r",
        "\xEF\xBB\xBF[S]\r\nk=\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xC3x\r\n",
        Bytes("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x3D\xD8\x00\xDE\r\0"),
        Bytes("k=a\0\0\r\n\0\n"),
    };
    for (const auto& input : inputs) {
        const auto whole = Scan(input, 1 << 16);
        for (const std::size_t chunk : {1, 2, 3, 5}) {
            EXPECT_EQ(Scan(input, chunk), whole) << "chunks of " << chunk;
        }
    }
}

class ProfileRead : public ::testing::Test {
  protected:
    std::u16string Read(const std::string& bytes, std::u16string_view section,
                        std::u16string_view key, std::u16string_view fallback = u"DEF") {
        const auto path = dir_ / "test.ini";
        WriteFile(path, bytes);
        return ReadINIValue(path.u16string(), section, key, fallback);
    }
    TempDir dir_;
};

TEST_F(ProfileRead, FollowsTheFinerRules) {
    struct Case {
        const char* name;
        std::string file;
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"nul_hides_the_closing_bracket", Bytes("[S]\r\n[T\0]\r\nk=v\r\n"), u"S", u"k", u"v"},
        {"nul_before_equals_is_no_key", Bytes("[S]\r\nk\0=v\r\n"), u"S", u"k", u"DEF"},
        {"asked_section_loses_tabs", "[S]\r\nk=v\r\n", u"\tS\t", u"k", u"v"},
        {"file_key_loses_vt_and_ff", "[S]\r\n\vk\f=v\r\n", u"S", u"k", u"v"},
        {"only_ascii_letters_ignore_case", "[\xC4]\r\nk=v\r\n", u"\u00E4", u"k", u"DEF"},
        {"name_between_first_and_last_bracket", "[[S]]\r\nk=v\r\n", u"[S]", u"k", u"v"},
        {"empty_quote_pair", "[S]\r\nk=\"\"\r\n", u"S", u"k", u""},
        {"lone_quote", "[S]\r\nk=\"\r\n", u"S", u"k", u"\""},
        {"different_quotes_stay", "[S]\r\nk='v\"\r\n", u"S", u"k", u"'v\""},
        {"utf16_character_outside_code_page", Bytes("\xFF\xFE[\0S\0]\0\n\0k\0=\0\x41\x01"), u"S",
         u"k", u"?"},
        {"utf16_cr_only", Bytes("\xFF\xFE[\0S\0]\0\r\0k\0=\0v\0\r\0"), u"S", u"k", u"v"},
        {"utf8_broken_sequence", "\xEF\xBB\xBF[S]\r\nk=\xC3x\r\n", u"S", u"k", u"?x"},
        {"asked_key_passes_the_code_page", "[S]\r\n?=1\r\n", u"S", u"\u0141", u"1"},
        {"empty_file", "", u"S", u"k", u"DEF"},
        {"key_in_nameless_section_only", "k=v\r\n", u"", u"k", u"v"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.file, c.section, c.key), c.expected) << c.name;
    }
}

TEST_F(ProfileRead, DefaultPassesTheCodePage) {
    EXPECT_EQ(Read("", u"S", u"k", u"\u0141x"), u"?x");
}

TEST_F(ProfileRead, GivesTheDefaultForWhatIsNoReadableFile) {
    std::filesystem::create_directory(dir_ / "folder");
    EXPECT_EQ(ReadINIValue((dir_ / "folder").u16string(), u"S", u"k", u"d"), u"d");
    EXPECT_EQ(ReadINIValue((dir_ / "missing.ini").u16string(), u"S", u"k", u"d"), u"d");
    EXPECT_EQ(ReadINIValue(u"", u"S", u"k", u"d"), u"d");
    EXPECT_EQ(ReadINIValue(std::u16string(u"a\0b", 3), u"S", u"k", u"d"), u"d");
}

TEST_F(ProfileRead, KeepsOnlyWhatItNeedsOfMegabyteLines) {
    const std::string mb(1 << 20, 'x');
    const std::string blanks(2 << 20, ' ');
    const std::string file = "[S]\r\njunk=" + mb + mb + "\r\n" + blanks + "k" + blanks + "=" +
                             blanks + "\"" + std::string(3 << 20, 'y') + "\"" + blanks + "\r\n";
    EXPECT_EQ(Read(file, u"S", u"k"), std::u16string(2047, u'y'));
    // The closing quote is far beyond what is kept; without it the quote stays.
    const std::string open = "[S]\r\nk=\"" + mb + "\r\n";
    EXPECT_EQ(Read(open, u"S", u"k"), u"\"" + std::u16string(2046, u'x'));
}

TEST_F(ProfileRead, MatchesHeadersWithMegabytesAroundTheName) {
    const std::string blanks(2 << 20, ' ');
    const std::string tabs(2 << 20, '\t');
    EXPECT_EQ(Read("[" + blanks + "S" + tabs + "] trailing\r\nk=v\r\n", u"S", u"k"), u"v");
    EXPECT_EQ(Read("[S" + blanks + "x]\r\nk=v\r\n", u"S", u"k"), u"DEF");
    EXPECT_EQ(Read("[S" + std::string(2 << 20, ']') + "\r\nk=v\r\n", u"S", u"k"), u"DEF");
}

// Writes `count` copies of `block` without holding them all in memory.
void AppendBlocks(const std::filesystem::path& path, const std::string& block, int count) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    for (int i = 0; i < count; ++i) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    ASSERT_TRUE(out.good());
}

TEST_F(ProfileRead, StreamsAHundredMegabytesOfNulBytes) {
    const auto path = dir_ / "big.ini";
    WriteFile(path, "[A]\r\nk=");
    std::filesystem::resize_file(path, 100u << 20);  // sparse: NUL bytes, quick to make
    AppendBlocks(path, "\r\n[S]\r\nk=found\r\n", 1);
    EXPECT_EQ(ReadINIValue(path.u16string(), u"S", u"k", u"DEF"), u"found");
    EXPECT_EQ(ReadINIValue(path.u16string(), u"A", u"k", u"DEF"), u"");
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(ProfileRead, NeverHoldsALongLineInMemory) {
    const auto path = dir_ / "long.ini";
    WriteFile(path, "[S]\r\nk=");
    AppendBlocks(path, std::string(1 << 20, 'x'), 48);
    AppendBlocks(path, "\r\nlast=1\r\n", 1);
    const long before = PeakResidentKilobytes();
    EXPECT_EQ(ReadINIValue(path.u16string(), u"S", u"last", u"DEF"), u"1");
    EXPECT_EQ(ReadINIValue(path.u16string(), u"S", u"k", u"DEF"), std::u16string(2047, u'x'));
    // A reader that held the line would have grown by at least its 48 MB.
    EXPECT_LT(PeakResidentKilobytes() - before, 16 * 1024);
}

TEST_F(ProfileRead, ReadsBinaryNoiseWithoutHarm) {
    std::string noise;
    unsigned state = 12345;
    for (int i = 0; i < (1 << 20); ++i) {
        state = state * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(state >> 24));
    }
    for (const std::string prefix : {"", "\xEF\xBB\xBF", "\xFF\xFE"}) {
        EXPECT_LE(Read(prefix + noise, u"S", u"k", u"DEF").size(), 2047u);
    }
}

// A plain whole-line reading of the rules, to hold the streaming reader
// against on many small random files.
std::string TrimChars(const std::string& text, const char* chars) {
    const auto first = text.find_first_not_of(chars);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(chars) - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string Unquoted(const std::string& v) {
    const bool quoted = v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
    return quoted ? v.substr(1, v.size() - 2) : v;
}

std::optional<std::string> ReferenceFind(const std::string& file, const std::string& section,
                                         const std::string& key) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i <= file.size(); ++i) {
        if (i == file.size() || file[i] == '\r' || file[i] == '\n') {
            if (i < file.size() || !line.empty()) {
                lines.push_back(line.substr(0, line.find('\0')));
            }
            line.clear();
            if (i + 1 < file.size() && file[i] == '\r' && file[i + 1] == '\n') {
                ++i;
            }
        } else {
            line.push_back(file[i]);
        }
    }
    bool inSection = section.empty();
    for (const auto& l : lines) {
        const auto first = l.find_first_not_of(" \t");
        const auto close = l.rfind(']');
        if (first != std::string::npos && l[first] == '[' && close != std::string::npos) {
            if (inSection) {
                break;
            }
            inSection = !section.empty() &&
                        SameName(TrimChars(l.substr(first + 1, close - first - 1), " \t"), section);
            continue;
        }
        const auto equals = l.find('=');
        if (inSection && equals != std::string::npos &&
            SameName(TrimChars(l.substr(0, equals), " \t\v\f"), key)) {
            return Unquoted(TrimChars(l.substr(equals + 1), " \t\v\f"));
        }
    }
    return std::nullopt;
}

TEST(ProfileLookup, AgreesWithAPlainReadingOnRandomFiles) {
    const std::string alphabet = Bytes("[]= \t\v\"';\r\n\0aAbB");
    const char* sections[] = {"", "a", "A", "a b", "b"};
    const char* keys[] = {"", "a", "A", "b", "[a", ";b"};
    test::Dice next(2024);
    for (int round = 0; round < 50000; ++round) {
        std::string file;
        const unsigned length = next(48);
        for (unsigned i = 0; i < length; ++i) {
            file.push_back(alphabet[next(static_cast<unsigned>(alphabet.size()))]);
        }
        const std::string section = sections[next(5)];
        const std::string key = keys[next(6)];
        const auto expected = ReferenceFind(file, section, key);
        ChunkSource source(file, 1 + next(8));
        const auto got =
            profile::FindValue(source, DecodeWindows1252(section), DecodeWindows1252(key));
        ASSERT_EQ(got.has_value(), expected.has_value()) << "round " << round;
        if (got) {
            ASSERT_EQ(*got, DecodeWindows1252(*expected)) << "round " << round;
        }
    }
}

class FileExistsTest : public ::testing::Test {
  protected:
    TempDir dir_;
};

TEST_F(FileExistsTest, IsTrueOnlyForAReadableFile) {
    WriteFile(dir_ / "a.cpx", "[Reginfo]\r\n");
    std::filesystem::create_directory(dir_ / "folder");
    EXPECT_TRUE(FileExists((dir_ / "a.cpx").u16string()));
    EXPECT_FALSE(FileExists((dir_ / "missing.cpx").u16string()));
    EXPECT_FALSE(FileExists((dir_ / "folder").u16string()));
    EXPECT_FALSE(FileExists(u""));
    EXPECT_FALSE(FileExists((dir_ / "a.cpx" / "x").u16string()));
}

TEST_F(FileExistsTest, LeavesTheFileUnchanged) {
    const auto path = dir_ / "a.cpx";
    WriteFile(path, "content");
    const auto written = std::filesystem::last_write_time(path);
    EXPECT_TRUE(FileExists(path.u16string()));
    EXPECT_EQ(test::ReadFile(path), "content");
    EXPECT_EQ(std::filesystem::last_write_time(path), written);
}

TEST_F(FileExistsTest, IsFalseForAFileTheUserMayNotRead) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    const auto path = dir_ / "secret.cpx";
    WriteFile(path, "x");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_FALSE(FileExists(path.u16string()));
}

}  // namespace
}  // namespace trx
