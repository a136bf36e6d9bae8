#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trx {

// The user's locale as the version server needs it.
class Locale {
  public:
    virtual ~Locale() = default;
    // The short date format with a four-digit year (12.12.2019, 12/12/2019);
    // a time of day is added only when the value has one.
    virtual std::u16string FormatShortDate(double date) const = 0;
    // The full name of a month, 1 to 12, in the user's language.
    virtual std::u16string LongMonthName(int month) const = 0;
    // The automation date that a text denotes by this locale, with or without
    // a time of day; empty when the text is no date.
    virtual std::optional<double> ParseDate(std::u16string_view text) const = 0;
};

}  // namespace trx
