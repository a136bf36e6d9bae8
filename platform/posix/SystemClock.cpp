#include "platform/posix/SystemClock.h"

#include "common/AutomationDate.h"

#include <ctime>

namespace trx {

double SystemClock::Today() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return 0.0;
    }
    CalendarDateTime today;
    today.year = local.tm_year + 1900;
    today.month = local.tm_mon + 1;
    today.day = local.tm_mday;
    // A machine clock outside 100 to 9999 cannot be represented; day 0 is
    // what an automation date holds before it is set.
    return ToAutomationDate(today).value_or(0.0);
}

}  // namespace trx
