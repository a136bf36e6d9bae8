#include "version/Version.h"

#include <exception>

#include "common/AutomationDate.h"
#include "common/AutomationError.h"
#include "common/Number.h"
#include "common/Path.h"
#include "common/Text.h"
#include "platform/Profile.h"

namespace trx {

namespace {

constexpr std::u16string_view kSection = u"Common";
constexpr std::u16string_view kKeyVersion = u"Version";
constexpr std::u16string_view kKeyRequiredDBVersion = u"RequiredDBVersion";
constexpr std::u16string_view kKeyBuild = u"Build";

// The last day whose midnight is a valid automation date (31.12.9999).
constexpr double kLastMidnight = 2958465.0;

// A failed write and a write that throws (for instance in the text
// conversion) both count as not saved.
bool TryWrite(const std::u16string& path, std::u16string_view key, std::u16string_view value,
              FileFailure& failure) {
    try {
        return WriteINIValue(path, kSection, key, value, failure);
    } catch (const std::exception&) {
        failure = FailureOf(path);
        return false;
    }
}

}  // namespace

std::u16string VersionIniPath(std::u16string_view programDirectory) {
    return JoinPath(programDirectory, kVersionIniName);
}

std::u16string Decimal(std::int32_t value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

std::u16string LoadFailureText(std::u16string_view iniPath, const AutomationError& error) {
    // Appended piece by piece: GCC 12 misreads `u"'" + std::u16string&&` (an
    // insert at the front) as an overlapping copy and warns with -Wrestrict.
    std::u16string text = u"'";
    text += iniPath;
    text += u"' konnte nicht gelesen werden: ";
    text += error.Description();
    text += u" (Fehler ";
    text += Decimal(error.Number());
    text += u").";
    return text;
}

Version::Version(std::u16string iniPath, const Clock& clock) : iniPath_(std::move(iniPath)) {
    Load(clock);
}

void Version::Load(const Clock& clock) {
    version_ = ReadINIValue(iniPath_, kSection, kKeyVersion, u"");
    requiredDBVersion_ = ReadINIValue(iniPath_, kSection, kKeyRequiredDBVersion, u"");
    const std::u16string build = ReadINIValue(iniPath_, kSection, kKeyBuild, u"");

    // Everything after the first point belongs to the index; without a point
    // the index is 1. ToInt32 throws the overflow error, ending the creation.
    const std::size_t point = build.find(u'.');
    if (point != std::u16string::npos) {
        build_ = ToInt32(ReadNumber(std::u16string_view(build).substr(0, point)));
        buildIndex_ = ToInt32(ReadNumber(std::u16string_view(build).substr(point + 1)));
    } else {
        build_ = ToInt32(ReadNumber(build));
        buildIndex_ = 1;
    }

    // An empty record starts a build for today.
    if (TrimBlanks(version_).empty() && build_ == 0) {
        buildDate_ = clock.Today();
        BuildFromDate();
    } else {
        DateFromBuild();
    }
}

void Version::PutBuild(std::int32_t vData) {
    build_ = vData;
    DateFromBuild();
}

void Version::PutBuildDate(double vData) {
    buildDate_ = vData;
    BuildFromDate();
}

void Version::BuildFromDate() {
    try {
        build_ = ToInt32(buildDate_ - kBuildBaseDate);
    } catch (const AutomationError&) {
    }
}

void Version::DateFromBuild() {
    const double date = kBuildBaseDate + static_cast<double>(build_);
    if (date >= kMinAutomationDate && date <= kLastMidnight) {
        buildDate_ = date;
    }
}

bool Version::Save(FileFailure* failure) {
    FileFailure first;
    FileFailure second;
    const bool versionWritten = TryWrite(iniPath_, kKeyVersion, version_, first);
    const bool buildWritten =
        TryWrite(iniPath_, kKeyBuild, Decimal(build_) + u"." + Decimal(buildIndex_), second);
    if (failure != nullptr) {
        *failure = versionWritten ? second : first;
    }
    return versionWritten && buildWritten;
}

}  // namespace trx
