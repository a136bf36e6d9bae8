#include "common/AutomationDate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace trx {
namespace {

CalendarDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return CalendarDateTime{year, month, day, hour, minute, second};
}

struct DateCase {
    CalendarDateTime calendar;
    double serial;
};

// Both directions of the conversion, around day 0 and at both ends.
const DateCase kDates[] = {
    {At(1899, 12, 30), 0.0},       {At(1899, 12, 31), 1.0},
    {At(1899, 12, 29), -1.0},      {At(1899, 12, 30, 12), 0.5},
    {At(1899, 12, 29, 6), -1.25},  {At(1899, 12, 28, 18), -2.75},
    {At(1900, 1, 1), 2.0},         {At(1900, 2, 28), 60.0},
    {At(1900, 3, 1), 61.0},        {At(1998, 9, 30), 36068.0},
    {At(2000, 1, 1), 36526.0},     {At(2019, 12, 12), 43811.0},
    {At(100, 1, 1), -657434.0},    {At(100, 1, 1, 12), -657434.5},
    {At(9999, 12, 31), 2958465.0}, {At(9999, 12, 31, 23, 59, 59), 2958465.0 + 86399.0 / 86400.0},
};

TEST(AutomationDate, CalendarToDayCount) {
    for (const DateCase& c : kDates) {
        const std::optional<double> serial = ToAutomationDate(c.calendar);
        ASSERT_TRUE(serial) << c.serial;
        EXPECT_DOUBLE_EQ(*serial, c.serial);
    }
}

TEST(AutomationDate, DayCountToCalendar) {
    for (const DateCase& c : kDates) {
        const std::optional<CalendarDateTime> calendar = FromAutomationDate(c.serial);
        ASSERT_TRUE(calendar) << c.serial;
        EXPECT_EQ(*calendar, c.calendar) << c.serial;
    }
}

TEST(AutomationDate, NegativeFractionCountsForwardFromMidnight) {
    // -0.25 lies on day 0 like 0.25: the sign belongs to the day.
    EXPECT_EQ(FromAutomationDate(-0.25), At(1899, 12, 30, 6));
    EXPECT_EQ(FromAutomationDate(-1.75), At(1899, 12, 29, 18));
}

TEST(AutomationDate, RoundsTimeToSecondAndCarriesIntoNextDay) {
    EXPECT_EQ(FromAutomationDate(1.0 + 0.4 / 86400.0), At(1899, 12, 31));
    EXPECT_EQ(FromAutomationDate(1.0 + 0.6 / 86400.0), At(1899, 12, 31, 0, 0, 1));
    EXPECT_EQ(FromAutomationDate(1.0 - 0.1 / 86400.0), At(1899, 12, 31));
    // Just before the midnight that ends 29.12.1899.
    EXPECT_EQ(FromAutomationDate(-1.0 - 86399.9 / 86400.0), At(1899, 12, 30));
}

TEST(AutomationDate, OutsideRangeIsEmpty) {
    for (const double value :
         {-657435.0, -657434.0 - 1.0, 2958466.0, 1e300, -1e300,
          std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          2958465.0 + 86399.9 / 86400.0}) {
        EXPECT_FALSE(FromAutomationDate(value)) << value;
    }
    EXPECT_TRUE(FromAutomationDate(-657434.999));  // 01.01.100 near its end
}

TEST(AutomationDate, InvalidCalendarDatesAreRejected) {
    const CalendarDateTime invalid[] = {
        At(2019, 2, 29),    At(1900, 2, 29),       At(2019, 4, 31),          At(2019, 13, 1),
        At(2019, 0, 1),     At(2019, 1, 0),        At(99, 12, 31),           At(10000, 1, 1),
        At(2019, 1, 1, 24), At(2019, 1, 1, 0, 60), At(2019, 1, 1, 0, 0, 60), At(2019, 1, 1, -1),
    };
    for (const CalendarDateTime& c : invalid) {
        EXPECT_FALSE(ToAutomationDate(c)) << c.year << "-" << c.month << "-" << c.day;
    }
    EXPECT_TRUE(IsValidCalendarDate(2000, 2, 29));
    EXPECT_TRUE(IsValidCalendarDate(2020, 2, 29));
    EXPECT_FALSE(IsValidCalendarDate(2100, 2, 29));
}

TEST(AutomationDate, EveryDayOfRangeRoundTrips) {
    // Walks the whole range once; catches slips in the calendar arithmetic
    // that single dates miss.
    CalendarDateTime expected = At(100, 1, 1);
    for (double serial = -657434.0; serial <= 2958465.0; serial += 1.0) {
        const std::optional<CalendarDateTime> calendar = FromAutomationDate(serial);
        ASSERT_TRUE(calendar);
        ASSERT_EQ(*calendar, expected) << serial;
        ASSERT_EQ(ToAutomationDate(expected), serial);
        if (++expected.day > 31 ||
            !IsValidCalendarDate(expected.year, expected.month, expected.day)) {
            expected.day = 1;
            if (++expected.month > 12) {
                expected.month = 1;
                ++expected.year;
            }
        }
    }
}

TEST(AutomationDate, DatePartDropsTimeTowardDayZero) {
    EXPECT_EQ(DatePart(2.75), 2.0);
    EXPECT_EQ(DatePart(-1.25), -1.0);
    EXPECT_EQ(DatePart(36068.5), 36068.0);
    EXPECT_FALSE(std::signbit(DatePart(-0.5)));
}

}  // namespace
}  // namespace trx
