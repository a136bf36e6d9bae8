#include "platform/posix/SystemClock.h"

#include "common/AutomationDate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace trx {
namespace {

CalendarDateTime LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CalendarDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0};
}

TEST(SystemClock, TodayIsTheLocalDateAtMidnight) {
    const CalendarDateTime before = LocalToday();
    const double today = SystemClock().Today();
    const CalendarDateTime after = LocalToday();

    EXPECT_EQ(today, std::floor(today));
    const std::optional<CalendarDateTime> date = FromAutomationDate(today);
    ASSERT_TRUE(date);
    // Either side of the call, in case it ran across midnight.
    EXPECT_TRUE(*date == before || *date == after);
}

}  // namespace
}  // namespace trx
