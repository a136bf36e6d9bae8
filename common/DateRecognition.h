#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trx {

// The order in which a locale writes day, month and year in its short dates.
enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// What date recognition needs to know of a locale.
struct DateLocale {
    DateOrder order = DateOrder::DayMonthYear;
    // Whether "." separates the parts of a date (it does where the short
    // date format uses it, as 1.2.2019 does). "/", "-", "," and blanks
    // always separate.
    bool dotSeparates = true;
    // Every spelling of each month (long and abbreviated, format and
    // standalone forms), January first. An abbreviation written with a
    // final "." matches with or without it.
    std::array<std::vector<std::u16string>, 12> monthNames;
    // Every spelling of the weekdays, in any order; only their presence counts.
    std::vector<std::u16string> weekdayNames;
};

// Recognises a date, with or without a time of day, in a whole text:
//  - Blanks and tabs around the text are ignored; anything else before or
//    after the date makes it no date. Parts are separated by one separator
//    ("/", "-", ",", "." where the locale uses it) or blanks, and blanks may
//    stand around a separator.
//  - Three numbers are day, month and year in the locale's order; a first
//    number of three or four digits makes the order year, month, day. Two
//    numbers are day and month of the current year, or month and year when
//    the second has four digits. When the month would exceed 12 and the day
//    would not, the two swap. One number alone is no date.
//  - Years of one or two digits are 2000 + y below 50 and 1900 + y from 50;
//    three or four digits stand as written; more digits are no year.
//  - A month name (any letter case) goes with a day, a year or both, in any
//    order; with two numbers the one of three or four digits is the year,
//    else the first is the day. A number after a month name alone is the
//    year when it has three or four digits or exceeds 31, else the day.
//    A weekday name may stand first and is ignored.
//  - A time h:mm or h:mm:ss (0-23, 0-59, 0-59), or an hour alone with AM or
//    PM, may stand before or after the date, separated from it by blanks.
//    AM and PM (any case, blank optional) change hours 1 to 12 only: 12 AM
//    is midnight, 12 PM noon. A time alone is that time on 30.12.1899.
//  - The date must exist and lie within 01.01.100 to 31.12.9999.
// Returns the automation date, or empty when the text is no date. Any input,
// however malformed or long, is safe to pass.
std::optional<double> RecognizeDate(std::u16string_view text, const DateLocale& locale,
                                    int currentYear);

// A date picture (the "dd.MM.yy" of a short date format, in the letters
// that Qt and Windows share) whose year of fewer than four digits is widened
// to four ("yyyy"), so that a date written with it reads back in its own
// century; quoted literal text stays as it is.
std::u16string WithFourDigitYear(std::u16string_view picture);

}  // namespace trx
