#pragma once

#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Locale.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "version/Version.h"

namespace trx {

// Opens the create-version dialog over a new frmCreateVersion, modally, and
// returns when it has been closed; false when the form could not load its
// record (it has then shown its warning and never opened).
class CreateVersionFormOpener {
  public:
    virtual ~CreateVersionFormOpener() = default;
    virtual bool OpenModal(const std::u16string& iniPath) = 0;
};

// The title of the version message box.
inline constexpr std::u16string_view kProgramTitle = u"vxTRXVer";

// True when the argument text holds "/CREATE" in any letter case, anywhere.
bool HasCreateSwitch(std::u16string_view argumentText);

// The required database version as major.minor, from its last five
// characters after padding with zeros: 4010 gives 4.010.
std::u16string RequiredDBVersionText(std::u16string_view requiredDBVersion);

// A date as "d. mmmm yyyy" with the locale's month name: 1. März 2020.
std::u16string LongDateText(double date, const Locale& locale);

// The two lines of the version message box, joined by an empty line.
std::u16string VersionMessageText(const Version& version, const Locale& locale);

// The start-up of vxTRXVer. Started by the automation system it does nothing;
// started as a program it opens the create-version form when the arguments
// hold /CREATE, and shows the version message box otherwise. Returns the exit
// status: 1 when the record could not be loaded, 0 otherwise.
int Main(const ProcessInfo& process, const Clock& clock, const Locale& locale,
         MessageBox& messageBox, CreateVersionFormOpener& formOpener);

}  // namespace trx
