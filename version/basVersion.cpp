#include "version/basVersion.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "common/AutomationDate.h"
#include "common/AutomationError.h"
#include "common/Number.h"
#include "common/Text.h"

namespace trx {

namespace {

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

// A number read from text, written back without leading zeros.
std::u16string NumberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return Widen(std::to_string(static_cast<long long>(value)));
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Widen(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

std::u16string FourDigits(int year) {
    std::u16string text = Widen(std::to_string(year));
    if (text.size() < 4) {
        text.insert(0, 4 - text.size(), u'0');
    }
    return text;
}

}  // namespace

bool HasCreateSwitch(std::u16string_view argumentText) {
    return ToUpper(argumentText).find(u"/CREATE") != std::u16string::npos;
}

std::u16string RequiredDBVersionText(std::u16string_view requiredDBVersion) {
    std::u16string padded = u"00000" + std::u16string(requiredDBVersion);
    padded.erase(0, padded.size() - 5);
    return NumberText(ReadNumber(std::u16string_view(padded).substr(0, 2))) + u"." +
           padded.substr(2);
}

std::u16string LongDateText(double date, const Locale& locale) {
    const std::optional<CalendarDateTime> value = FromAutomationDate(date);
    if (!value) {
        return u"";
    }
    return Widen(std::to_string(value->day)) + u". " + locale.LongMonthName(value->month) + u" " +
           FourDigits(value->year);
}

std::u16string VersionMessageText(const Version& version, const Locale& locale) {
    const std::u16string requiredDBVersion = RequiredDBVersionText(version.GetRequiredDBVersion());
    std::u16string text = u"Version: " + version.GetVersion();
    // Appended piece by piece: GCC 12 misreads `u"." + std::u16string&&` (an
    // insert at the front) as an overlapping copy and warns with -Wrestrict.
    text += u" - Build: ";
    text += Decimal(version.GetBuild());
    text += u'.';
    text += Decimal(version.GetBuildIndex());
    text += u" (";
    text += LongDateText(version.GetBuildDate(), locale);
    text += u")\r\n\r\nErforderliche Datenbankversion: ";
    text += requiredDBVersion;
    return text;
}

int Main(const ProcessInfo& process, const Clock& clock, const Locale& locale,
         MessageBox& messageBox, CreateVersionFormOpener& formOpener) {
    if (process.mode == StartMode::Automation) {
        return 0;
    }
    const std::u16string iniPath = VersionIniPath(process.programDirectory);
    if (HasCreateSwitch(process.argumentText)) {
        return formOpener.OpenModal(iniPath) ? 0 : 1;
    }
    try {
        const Version version(iniPath, clock);
        messageBox.Show(VersionMessageText(version, locale), MessageIcon::None, kProgramTitle);
    } catch (const AutomationError& error) {
        messageBox.Show(LoadFailureText(iniPath, error), MessageIcon::Warning, u"Fehler");
        return 1;
    }
    return 0;
}

}  // namespace trx
