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

    friend bool operator==(const CalendarDateTime&, const CalendarDateTime&) = default;
};

inline constexpr double kMinAutomationDate = -657434.0;         // 01.01.100
inline constexpr double kMaxAutomationDate = 2958465.99998843;  // 31.12.9999 23:59:59

// Whether the day exists in the (proleptic Gregorian) calendar and lies
// within 01.01.100 to 31.12.9999.
bool IsValidCalendarDate(int year, int month, int day);

// Empty when the date does not exist, lies outside 01.01.100 to 31.12.9999,
// or the time of day is not one (hours 0-23, minutes and seconds 0-59).
std::optional<double> ToAutomationDate(const CalendarDateTime& value);

// Empty outside the valid range and for NaN. The time is rounded to the
// nearest second; a time that rounds up to midnight gives the next day.
// Below day 0 the day lasts from the whole part to the next lower whole
// number: -1.25 and -1.75 both lie on 29.12.1899.
std::optional<CalendarDateTime> FromAutomationDate(double value);

// The calendar arithmetic of automation dates, for every proleptic Gregorian
// date of the years -32767 to 32767 (outside 100 to 9999 too, for the dates
// that a database holds): the days from 30.12.1899 to a date, and back.
long long AutomationDayOf(int year, unsigned month, unsigned day);
struct CivilDate {
    int year;
    unsigned month;
    unsigned day;
};
CivilDate CivilDateOf(long long automationDay);

// The midnight of the day that an automation date lies in (the date part):
// 2.75 gives 2, -1.25 gives -1.
double DatePart(double value);

}  // namespace trx
