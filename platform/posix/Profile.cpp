#include "platform/Profile.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "common/CodePage.h"
#include "common/ProfileEntry.h"
#include "common/ProfileLine.h"
#include "common/ProfileLookup.h"
#include "common/Text.h"
#include "platform/posix/ProfileFile.h"
#include "platform/posix/ProfileLock.h"

namespace trx {

namespace {

// How long a write waits for another writer of the same file.
constexpr std::chrono::milliseconds kLockWait{5000};

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
    return ToFileName(fileName);
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
    FileFailure ignored;
    return WriteINIValue(fileName, section, key, value, ignored);
}

bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value, FileFailure& failure) {
    failure = FailureOf(std::u16string(fileName));
    if (profile::CheckEntry(section, key, value) != profile::EntryProblem::None) {
        return false;
    }
    const std::string given = PathOf(fileName);
    if (given.empty()) {
        return false;
    }
    const profile::LinkTarget target = profile::FollowLinks(given);
    if (!target.refusedLink.empty()) {
        failure.cause = FileFailure::Cause::LinkNotFollowed;
        failure.file = FromFileName(target.refusedLink);
        return false;
    }
    const std::string& path = target.file;
    if (path.empty()) {
        return false;
    }
    failure.file = FromFileName(path);
    const std::u16string sectionText = ThroughCodePage(section);
    const std::u16string keyText = ThroughCodePage(key);
    const std::u16string valueText = ThroughCodePage(value);
    const auto sectionName = profile::TrimBlanksAndTabs(sectionText);
    const auto keyName = profile::TrimBlanksAndTabs(keyText);

    // The lock beside the file itself, whichever link led to it, so that
    // every writer of this file takes the same one.
    profile::LockFile lock(path + ".lock", kLockWait);
    if (!lock.Held()) {
        if (lock.GetState() == profile::LockFile::State::Busy) {
            profile::NoteBusy(lock, failure);
        }
        return false;
    }
    profile::InputFile old(path);
    if (!old.IsOpen() && !old.Missing()) {
        return false;  // a directory, or a file we cannot read and so cannot keep
    }
    const auto edit = profile::PlanWrite(old, old.Size(), sectionName, keyName, valueText);
    if (!edit) {
        return false;
    }
    const bool replaced = profile::ReplaceFile(path, old, [&](profile::OutputFile& out) {
        return out.CopyRange(old, 0, edit->begin) && out.Write(edit->bytes) &&
               out.CopyRange(old, edit->end, profile::kToEnd);
    });
    lock.Release();
    if (replaced) {
        profile::SyncFolderOf(path);
    }
    return replaced;
}

bool FileExists(std::u16string_view fileName) {
    const std::string path = PathOf(fileName);
    return !path.empty() && profile::CanOpenForReading(path);
}

}  // namespace trx
