#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/AutomationError.h"
#include "common/FileFailure.h"
#include "platform/Clock.h"

namespace trx {

// The file name of the suite's version record beside the program.
inline constexpr std::u16string_view kVersionIniName = u"vxTRX.ini";

// The path of vxTRX.ini in the given program directory.
std::u16string VersionIniPath(std::u16string_view programDirectory);

// An integer as plain decimal text: a minus sign when negative, no grouping.
std::u16string Decimal(std::int32_t value);

// The warning shown when the record cannot be loaded: it names the file and
// the error.
std::u16string LoadFailureText(std::u16string_view iniPath, const AutomationError& error);

// The build number counts days from this date (30.09.1998), which is build 0.
inline constexpr double kBuildBaseDate = 36068.0;

// The suite's version record, loaded from section "Common" of vxTRX.ini when
// the object is created. Build and BuildDate are two forms of one datum:
// setting either recomputes the other.
class Version {
  public:
    // Loads the record. Throws the overflow error (number 6) when the "Build"
    // value holds a build number or index outside the 32-bit range.
    Version(std::u16string iniPath, const Clock& clock);

    void PutVersion(std::u16string vData) { version_ = std::move(vData); }
    const std::u16string& GetVersion() const { return version_; }

    void PutBuild(std::int32_t vData);
    std::int32_t GetBuild() const { return build_; }

    void PutBuildIndex(std::int32_t vData) { buildIndex_ = vData; }
    std::int32_t GetBuildIndex() const { return buildIndex_; }

    void PutBuildDate(double vData);
    double GetBuildDate() const { return buildDate_; }

    void PutRequiredDBVersion(std::u16string vData) { requiredDBVersion_ = std::move(vData); }
    const std::u16string& GetRequiredDBVersion() const { return requiredDBVersion_; }

    const std::u16string& IniPath() const { return iniPath_; }

    // Writes "Version" and then "Build" (as build.index) into the file; the
    // second write is tried even when the first failed. True when both
    // succeeded. RequiredDBVersion and BuildDate are never written. A failure
    // tells in `failure` which file it could not write, and why.
    bool Save(FileFailure* failure = nullptr);

  private:
    void Load(const Clock& clock);
    // Both recomputations keep their target as it was when the result would
    // lie outside its range.
    void BuildFromDate();
    void DateFromBuild();

    std::u16string iniPath_;
    std::u16string version_;
    std::int32_t build_ = 0;
    std::int32_t buildIndex_ = 0;
    double buildDate_ = 0.0;
    std::u16string requiredDBVersion_;
};

}  // namespace trx
