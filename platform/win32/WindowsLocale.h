#pragma once

#include "platform/Locale.h"

namespace trx {

// The user's locale through the platform's own functions: month names from
// GetLocaleInfoEx, dates written by VarBstrFromDate and recognised by
// VarDateFromStr, as automation clients of the suite see them.
class WindowsLocale final : public Locale {
  public:
    std::u16string FormatShortDate(double date) const override;
    std::u16string LongMonthName(int month) const override;
    std::optional<double> ParseDate(std::u16string_view text) const override;
};

}  // namespace trx
