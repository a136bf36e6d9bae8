#pragma once

#include <optional>

namespace trx {

// An automation date is a count of days from 30.12.1899 whose fraction is the
// time of day. Below day 0 the fraction still counts forward from the
// midnight of its day: -1.25 is 29.12.1899 06:00.
struct CalendarDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

inline constexpr double kMinAutomationDate = -657434.0;         // 01.01.100
inline constexpr double kMaxAutomationDate = 2958465.99998843;  // 31.12.9999 23:59:59

bool IsValidCalendarDate(int year, int month, int day);

// Empty when the date does not exist or lies outside 01.01.100 to 31.12.9999.
std::optional<double> ToAutomationDate(const CalendarDateTime& value);

// Empty outside the valid range. The time is rounded to the nearest second.
std::optional<CalendarDateTime> FromAutomationDate(double value);

// The midnight of the day that an automation date lies in (the date part).
double DatePart(double value);

}  // namespace trx
