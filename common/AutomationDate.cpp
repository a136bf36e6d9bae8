#include "common/AutomationDate.h"

#include <chrono>
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

constexpr std::chrono::sys_days kEpoch{std::chrono::year{1899} / 12 / 30};

}  // namespace

long long AutomationDayOf(int year, unsigned month, unsigned day) {
    const std::chrono::sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                                     std::chrono::day{day}};
    return (date - kEpoch).count();
}

CivilDate CivilDateOf(long long automationDay) {
    const std::chrono::year_month_day date{kEpoch + std::chrono::days{automationDay}};
    return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day())};
}

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
    const long long days = AutomationDayOf(value.year, static_cast<unsigned>(value.month),
                                           static_cast<unsigned>(value.day));
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
    const CivilDate date = CivilDateOf(day);
    result.year = date.year;
    result.month = static_cast<int>(date.month);
    result.day = static_cast<int>(date.day);
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
