#pragma once

#include <optional>
#include <string>

#include "platform/Locale.h"

namespace trx {

// The user's locale through the platform's own functions: month names from
// GetLocaleInfoEx, dates written by VarBstrFromDate and recognised by
// VarDateFromStr, as automation clients of the suite see them. Where the
// user's short date format writes fewer than four digits of the year, the
// date is written by GetDateFormatEx with four instead, since "01.01.30"
// would read back as 1930 and a date of 2030 would turn into another.
class WindowsLocale final : public Locale {
  public:
    WindowsLocale() = default;
    // Takes this short date format instead of the user's (a test's).
    explicit WindowsLocale(std::u16string shortDateFormat)
        : shortDateFormat_(std::move(shortDateFormat)) {}

    std::u16string FormatShortDate(double date) const override;
    std::u16string LongMonthName(int month) const override;
    std::optional<double> ParseDate(std::u16string_view text) const override;

  private:
    std::u16string ShortDateFormat() const;

    std::optional<std::u16string> shortDateFormat_;
};

}  // namespace trx
