#include "common/AutomationDate.h"

#include <cmath>

namespace trx {

namespace {

constexpr long long kSecondsPerDay = 86400;
constexpr long long kMinDay = -657434;  // 01.01.100
constexpr long long kMaxDay = 2958465;  // 31.12.9999

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 01.01.1970 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), exact for every year of the valid range.
constexpr long long DaysFromCivil(long long year, long long month, long long day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// Constant, so that dates computed during static initialisation elsewhere
// see it already.
constexpr long long kEpochDay = DaysFromCivil(1899, 12, 30);
static_assert(kEpochDay == -25569);

}  // namespace

bool IsValidCalendarDate(int year, int month, int day) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    return day <= DaysInMonth(year, month);
}

std::optional<double> ToAutomationDate(const CalendarDateTime& value) {
    if (!IsValidCalendarDate(value.year, value.month, value.day)) {
        return std::nullopt;
    }
    if (value.hour < 0 || value.hour > 23 || value.minute < 0 || value.minute > 59 ||
        value.second < 0 || value.second > 59) {
        return std::nullopt;
    }
    const long long days = DaysFromCivil(value.year, value.month, value.day) - kEpochDay;
    const double time = static_cast<double>(value.hour * 3600 + value.minute * 60 + value.second) /
                        static_cast<double>(kSecondsPerDay);
    // Below day 0 the time still runs forward from midnight, away from zero.
    const double whole = static_cast<double>(days);
    return days < 0 ? whole - time : whole + time;
}

std::optional<CalendarDateTime> FromAutomationDate(double value) {
    // Checked before any conversion to an integer, which NaN or a huge value
    // would make undefined.
    if (!(value > static_cast<double>(kMinDay - 1) && value < static_cast<double>(kMaxDay + 1))) {
        return std::nullopt;
    }
    const double whole = std::trunc(value);
    long long day = static_cast<long long>(whole);
    long long seconds =
        std::llround(std::fabs(value - whole) * static_cast<double>(kSecondsPerDay));
    if (seconds >= kSecondsPerDay) {
        // Rounded up to the next midnight, which is later in time whichever
        // side of day 0 the value lies.
        seconds -= kSecondsPerDay;
        day += 1;
    }
    if (day < kMinDay || day > kMaxDay) {
        return std::nullopt;
    }
    CalendarDateTime result;
    CivilFromDays(day + kEpochDay, result.year, result.month, result.day);
    result.hour = static_cast<int>(seconds / 3600);
    result.minute = static_cast<int>(seconds / 60 % 60);
    result.second = static_cast<int>(seconds % 60);
    return result;
}

double DatePart(double value) {
    const double whole = std::trunc(value);
    return whole == 0.0 ? 0.0 : whole;  // no negative zero
}

}  // namespace trx
