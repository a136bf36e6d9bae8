#include "common/Profile.h"

#include <algorithm>
#include <optional>

#include "common/CodePage.h"
#include "common/ProfileEntry.h"
#include "common/ProfileFile.h"
#include "common/ProfileLine.h"
#include "common/ProfileScanner.h"
#include "common/Text.h"

namespace trx {

namespace {

using profile::FileEncoding;
using profile::LineBounds;
using profile::LineBreak;
using profile::LineClassifier;
using profile::LineFacts;
using profile::LineKind;

// Text crosses the file in the 8-bit code page: what it cannot represent
// does not survive, whatever the file's own encoding.
std::u16string ThroughCodePage(std::u16string_view text) {
    return DecodeWindows1252(EncodeWindows1252(text));
}

std::u16string Capped(std::u16string_view text) {
    return std::u16string(text.substr(0, std::min(text.size(), profile::kMaxValueLength)));
}

// Empty when the name cannot be a path (a NUL would cut it short).
std::string PathOf(std::u16string_view fileName) {
    if (fileName.empty() || fileName.find(u'\0') != std::u16string_view::npos) {
        return {};
    }
    return ToUtf8(fileName);
}

// Looks for the key in the first section of the name; the nameless section
// of the lines before the first header always comes first.
class ValueFinder final : public profile::LineHandler {
  public:
    ValueFinder(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key), nameless_(section.empty()), inSection_(nameless_) {
        classifier_.WantValue(inSection_);
    }

    void Text(std::u16string_view piece) override { classifier_.Feed(piece); }
    bool WantsRestOfLine() const override { return !classifier_.Settled(); }

    bool EndLine(const LineBounds&) override {
        const LineFacts facts = classifier_.Facts();
        bool more = true;
        if (facts.kind == LineKind::Header) {
            if (inSection_) {
                more = false;  // later sections of the same name are not searched
            } else if (!nameless_ && facts.sectionMatches) {
                inSection_ = true;
            }
        } else if (inSection_ && facts.kind == LineKind::Key && facts.keyMatches) {
            value_ = std::u16string(facts.value);
            more = false;
        }
        classifier_.Reset();
        classifier_.WantValue(inSection_);
        return more;
    }

    const std::optional<std::u16string>& Value() const { return value_; }

  private:
    LineClassifier classifier_;
    bool nameless_;
    bool inSection_;
    std::optional<std::u16string> value_;
};

// Finds where a write goes: the line of the key, or the last line of its
// section that holds anything.
class WriteLocator final : public profile::LineHandler {
  public:
    WriteLocator(std::u16string_view section, std::u16string_view key)
        : classifier_(section, key) {}

    void Text(std::u16string_view piece) override { classifier_.Feed(piece); }
    bool WantsRestOfLine() const override { return !classifier_.Settled(); }

    bool EndLine(const LineBounds& bounds) override {
        const LineFacts facts = classifier_.Facts();
        bool more = true;
        if (facts.kind == LineKind::Header) {
            if (inSection_) {
                more = false;
            } else if (facts.sectionMatches) {
                inSection_ = true;
                sectionFound_ = true;
                lastFilled_ = bounds;
            }
        } else if (inSection_) {
            if (facts.kind == LineKind::Key && facts.keyMatches) {
                keyLine_ = bounds;
                fileKey_ = std::u16string(facts.fileKey);
                more = false;
            } else if (!facts.blank) {
                lastFilled_ = bounds;
            }
        }
        classifier_.Reset();
        return more;
    }

    bool SectionFound() const { return sectionFound_; }
    const std::optional<LineBounds>& KeyLine() const { return keyLine_; }
    const std::u16string& FileKey() const { return fileKey_; }
    const LineBounds& LastFilled() const { return lastFilled_; }

  private:
    LineClassifier classifier_;
    bool inSection_ = false;
    bool sectionFound_ = false;
    std::optional<LineBounds> keyLine_;
    std::u16string fileKey_;
    LineBounds lastFilled_;
};

// An edit of the file: the bytes from `begin` to `end` give way to `text`.
struct Edit {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::u16string text;
};

std::u16string_view LineBreakText(LineBreak lineBreak) {
    switch (lineBreak) {
        case LineBreak::Lf:
            return u"\n";
        case LineBreak::Cr:
            return u"\r";
        case LineBreak::CrLf:
        case LineBreak::None:
            break;
    }
    return u"\r\n";
}

std::string Encode(std::u16string_view text, FileEncoding encoding) {
    switch (encoding) {
        case FileEncoding::Utf8:
            return ToUtf8(text);
        case FileEncoding::Utf16Le: {
            std::string bytes;
            bytes.reserve(text.size() * 2);
            for (const char16_t c : text) {
                bytes.push_back(static_cast<char>(c & 0xFF));
                bytes.push_back(static_cast<char>(c >> 8));
            }
            return bytes;
        }
        case FileEncoding::Windows1252:
            break;
    }
    return EncodeWindows1252(text);
}

std::u16string HeaderLine(std::u16string_view section) {
    return u"[" + std::u16string(section) + u"]";
}

std::u16string KeyLine(std::u16string_view key, std::u16string_view value) {
    return std::u16string(key) + u"=" + std::u16string(value);
}

}  // namespace

std::u16string ReadINIValue(std::u16string_view fileName, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue) {
    const std::string path = PathOf(fileName);
    if (!path.empty()) {
        profile::InputFile file(path);
        if (file.IsOpen()) {
            const std::u16string wantedSection = ThroughCodePage(section);
            const std::u16string wantedKey = ThroughCodePage(key);
            ValueFinder finder(profile::TrimBlanksAndTabs(wantedSection),
                               profile::TrimBlanksAndTabs(wantedKey));
            profile::ScanLines(file, finder);
            if (finder.Value()) {
                return Capped(ThroughCodePage(*finder.Value()));
            }
        }
    }
    // The default loses trailing blanks (tabs stay) and one pair of quotes.
    std::u16string fallback = ThroughCodePage(defaultValue);
    fallback.erase(fallback.find_last_not_of(u' ') + 1);
    return Capped(profile::StripQuotePair(fallback));
}

bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value) {
    if (profile::CheckEntry(section, key, value) != profile::EntryProblem::None) {
        return false;
    }
    const std::string given = PathOf(fileName);
    const std::string path = given.empty() ? given : profile::FollowLinks(given);
    if (path.empty()) {
        return false;
    }
    const std::u16string sectionText = ThroughCodePage(section);
    const std::u16string keyText = ThroughCodePage(key);
    const std::u16string valueText = ThroughCodePage(value);
    const auto sectionName = profile::TrimBlanksAndTabs(sectionText);
    const auto keyName = profile::TrimBlanksAndTabs(keyText);

    profile::InputFile old(path);
    if (!old.IsOpen() && !old.Missing()) {
        return false;  // a directory, or a file we cannot read and so cannot keep
    }
    FileEncoding encoding = FileEncoding::Windows1252;
    Edit edit;
    if (!old.IsOpen()) {
        edit.text = HeaderLine(sectionName) + u"\r\n" + KeyLine(keyName, valueText) + u"\r\n";
    } else {
        WriteLocator locator(sectionName, keyName);
        const profile::ScanSummary scan = profile::ScanLines(old, locator);
        if (scan.readFailed) {
            return false;
        }
        encoding = scan.encoding;
        // A lone last byte would shift everything written after it.
        if (encoding == FileEncoding::Utf16Le && old.Size() % 2 != 0) {
            return false;
        }
        const std::u16string_view lineBreak = LineBreakText(scan.firstBreak);
        if (locator.KeyLine()) {
            edit.begin = locator.KeyLine()->begin;
            edit.end = locator.KeyLine()->breakAt;
            edit.text = KeyLine(locator.FileKey(), valueText);
        } else if (locator.SectionFound()) {
            const LineBounds& last = locator.LastFilled();
            edit.begin = edit.end = last.next;
            if (last.lineBreak == LineBreak::None) {
                edit.text = lineBreak;
            }
            edit.text += KeyLine(keyName, valueText) + std::u16string(lineBreak);
        } else {
            // The scan went through to the end, so it knows how the file ends.
            edit.begin = edit.end = scan.size;
            if (scan.size > scan.textStart && !scan.endsWithBreak) {
                edit.text = lineBreak;
            }
            edit.text += HeaderLine(sectionName) + std::u16string(lineBreak) +
                         KeyLine(keyName, valueText) + std::u16string(lineBreak);
        }
    }
    const std::string bytes = Encode(edit.text, encoding);
    return profile::ReplaceFile(path, old, [&](profile::OutputFile& out) {
        if (!old.IsOpen()) {
            return out.Write(bytes);
        }
        return out.CopyRange(old, 0, edit.begin) && out.Write(bytes) &&
               out.CopyRange(old, edit.end, profile::kToEnd);
    });
}

bool FileExists(std::u16string_view fileName) {
    const std::string path = PathOf(fileName);
    return !path.empty() && profile::CanOpenForReading(path);
}

}  // namespace trx
