#include "platform/win32/WindowsClock.h"

#include "platform/win32/Win32.h"

#include "common/AutomationDate.h"

namespace trx {

double WindowsClock::Today() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CalendarDateTime today;
    today.year = now.wYear;
    today.month = now.wMonth;
    today.day = now.wDay;
    // A clock outside 100 to 9999 cannot be represented; day 0 is what an
    // automation date holds before it is set.
    return ToAutomationDate(today).value_or(0.0);
}

}  // namespace trx
