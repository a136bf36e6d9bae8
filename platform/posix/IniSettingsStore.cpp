#include "platform/posix/IniSettingsStore.h"

#include "common/SettingsIni.h"
#include "common/Text.h"
#include "platform/posix/ProfileFile.h"
#include "platform/posix/ProfileLock.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace trx {

namespace {

namespace fs = std::filesystem;

// Where QSettings keeps a user's files: $XDG_CONFIG_HOME when it is an
// absolute path, otherwise ~/.config.
std::string UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config";
    }
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr && user->pw_dir != nullptr ? std::string(user->pw_dir) + "/.config"
                                                      : std::string();
}

// A process killed while it changed the store leaves its new file behind.
// Only such files are removed: of our own name, of a process that is gone.
// Other tools' files beside the store (an editor's swap file, a copy
// program's temporary file) are theirs.
void RemoveLeftovers(const std::string& fileName) {
    const fs::path file(fileName);
    std::error_code ec;
    for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (profile::IsLeftoverOfGoneProcess(fileName, it->path().filename().string())) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

bool ReadWhole(profile::InputFile& file, std::string& bytes) {
    char buffer[64 * 1024];
    std::size_t got = 0;
    do {
        if (!file.Read(buffer, sizeof buffer, got)) {
            return false;
        }
        bytes.append(buffer, got);
    } while (got != 0);
    return true;
}

}  // namespace

IniSettingsStore::IniSettingsStore() : IniSettingsStore(UserConfigFolder()) {}

IniSettingsStore::IniSettingsStore(std::string configFolder, std::chrono::milliseconds lockWait)
    : configFolder_(std::move(configFolder)), lockWait_(lockWait) {}

std::u16string IniSettingsStore::EncodeName(std::u16string_view name) {
    if (name.empty()) {
        return u"%";
    }
    std::u16string encoded;
    encoded.reserve(name.size());
    for (const char16_t ch : name) {
        switch (ch) {
            case u'%':
                encoded += u"%25";
                break;
            case u'/':
                encoded += u"%2F";
                break;
            case u'\\':
                encoded += u"%5C";
                break;
            default:
                encoded += ch;
        }
    }
    return encoded;
}

std::string IniSettingsStore::FileName(std::u16string_view application) const {
    if (configFolder_.empty()) {
        return {};
    }
    return configFolder_ + "/Velmora/" + ToFileName(application) + ".ini";
}

bool IniSettingsStore::Save(std::u16string_view application, std::u16string_view section,
                            std::u16string_view key, std::u16string_view value) {
    SettingsBatch batch;
    batch.Save(section, key, value);
    return Apply(application, batch);
}

DeleteResult IniSettingsStore::Delete(std::u16string_view application, std::u16string_view section,
                                      std::u16string_view key) {
    SettingsBatch batch;
    batch.Delete(section, key);
    return Change(application, batch);
}

bool IniSettingsStore::Apply(std::u16string_view application, const SettingsBatch& batch) {
    return Change(application, batch) != DeleteResult::Failed;
}

// Deleted: the file was rewritten; Absent: nothing to change (only deletes
// of values that are not there); Failed: the file could not be read, locked
// or written, and it is as it was.
DeleteResult IniSettingsStore::Change(std::u16string_view application, const SettingsBatch& batch) {
    const std::string fileName = FileName(application);
    lastFailure_ = FailureOf(FromFileName(fileName));
    if (fileName.empty()) {
        return DeleteResult::Failed;
    }
    const bool onlyDeletes =
        std::none_of(batch.Steps().begin(), batch.Steps().end(),
                     [](const SettingsBatch::Step& step) { return step.value.has_value(); });
    const fs::path folder = fs::path(fileName).parent_path();
    std::error_code ec;
    if (onlyDeletes && !fs::exists(folder, ec) && !ec) {
        return DeleteResult::Absent;  // no folder, no file, nothing to delete
    }
    fs::create_directories(folder, ec);
    // QSettings locks "<file>.lock" of the path it was given, links or not.
    profile::LockFile lock(fileName + ".lock", lockWait_);
    if (lock.GetState() == profile::LockFile::State::Busy) {
        profile::NoteBusy(lock, lastFailure_);
        return DeleteResult::Failed;
    }
    // Without the lock (a folder we may not write) nothing can be written
    // here; a change that changes nothing still succeeds.
    const bool mayWrite = lock.Held();

    const profile::LinkTarget target = profile::FollowLinks(fileName);
    if (!target.refusedLink.empty()) {
        lastFailure_.cause = FileFailure::Cause::LinkNotFollowed;
        lastFailure_.file = FromFileName(target.refusedLink);
        return DeleteResult::Failed;
    }
    if (target.file.empty()) {
        return DeleteResult::Failed;
    }
    lastFailure_.file = FromFileName(target.file);
    if (mayWrite) {
        RemoveLeftovers(target.file);
    }
    profile::InputFile old(target.file);
    std::string bytes;
    if ((!old.IsOpen() && !old.Missing()) || !ReadWhole(old, bytes)) {
        return DeleteResult::Failed;
    }

    settings_ini::Entries entries = settings_ini::Parse(bytes);
    bool changed = false;
    for (const SettingsBatch::Step& step : batch.Steps()) {
        settings_ini::Name name{EncodeName(step.section), EncodeName(step.key)};
        if (step.value) {
            entries[std::move(name)] = settings_ini::EscapeValue(*step.value);
            changed = true;
        } else {
            changed = entries.erase(name) != 0 || changed;
        }
    }
    if (!changed) {
        return DeleteResult::Absent;
    }
    if (!mayWrite) {
        return DeleteResult::Failed;
    }
    const std::string contents = settings_ini::Format(entries);
    const bool replaced = profile::ReplaceFile(
        target.file, old, [&](profile::OutputFile& out) { return out.Write(contents); });
    lock.Release();
    if (!replaced) {
        return DeleteResult::Failed;
    }
    profile::SyncFolderOf(target.file);
    return DeleteResult::Deleted;
}

}  // namespace trx
