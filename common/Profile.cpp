#include "common/Profile.h"

#include <algorithm>
#include <optional>

#include "common/CodePage.h"
#include "common/ProfileEntry.h"
#include "common/ProfileFile.h"
#include "common/ProfileLine.h"
#include "common/ProfileLookup.h"
#include "common/Text.h"

namespace trx {

namespace {

using profile::FileEncoding;
using profile::LineBounds;
using profile::LineBreak;

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
            const auto value = profile::FindValue(file, profile::TrimBlanksAndTabs(wantedSection),
                                                  profile::TrimBlanksAndTabs(wantedKey));
            if (value) {
                return Capped(ThroughCodePage(*value));
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
        const profile::WriteSpot spot = profile::LocateWrite(old, sectionName, keyName);
        const profile::ScanSummary& scan = spot.scan;
        if (scan.readFailed) {
            return false;
        }
        encoding = scan.encoding;
        // A lone last byte would shift everything written after it.
        if (encoding == FileEncoding::Utf16Le && old.Size() % 2 != 0) {
            return false;
        }
        const std::u16string_view lineBreak = LineBreakText(scan.firstBreak);
        if (spot.keyLine) {
            edit.begin = spot.keyLine->begin;
            edit.end = spot.keyLine->breakAt;
            edit.text = KeyLine(spot.fileKey, valueText);
        } else if (spot.sectionFound) {
            const LineBounds& last = spot.lastFilled;
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
