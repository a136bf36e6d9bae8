// The number reader on any UTF-16 text (the input's bytes taken in pairs).

#include "FuzzCheck.h"
#include "common/AutomationError.h"
#include "common/Number.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    if (!text.empty()) {
        std::memcpy(text.data(), data, text.size() * 2);
    }
    const double value = trx::ReadNumber(text);
    TRX_FUZZ_CHECK(!std::isnan(value));

    // Reading stops at the first character that cannot continue the number,
    // so one more such character changes nothing.
    const double extended = trx::ReadNumber(text + u"Z");
    TRX_FUZZ_CHECK(extended == value);

    try {
        const std::int32_t stored = trx::ToInt32(value);
        TRX_FUZZ_CHECK(std::fabs(static_cast<double>(stored) - value) <= 0.5);
    } catch (const trx::AutomationError& error) {
        // Only a value outside the 32-bit range may fail to be stored.
        TRX_FUZZ_CHECK(error.Number() == trx::kErrOverflow);
        TRX_FUZZ_CHECK(!(value > -2147483648.5 && value < 2147483647.5));
    }
    return 0;
}
