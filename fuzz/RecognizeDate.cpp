// Date recognition on any text (the input as UTF-8), for a German and an
// English locale.

#include "FuzzCheck.h"
#include "common/DateRecognition.h"
#include "common/Text.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace {

trx::DateLocale MakeLocale(bool german) {
    trx::DateLocale locale;
    if (german) {
        const char16_t* names[12][2] = {
            {u"Januar", u"Jan"},  {u"Februar", u"Feb"},  {u"März", u"Mär"},
            {u"April", u"Apr"},   {u"Mai", u"Mai"},      {u"Juni", u"Jun"},
            {u"Juli", u"Jul"},    {u"August", u"Aug"},   {u"September", u"Sep"},
            {u"Oktober", u"Okt"}, {u"November", u"Nov"}, {u"Dezember", u"Dez"}};
        for (int m = 0; m < 12; ++m) {
            locale.monthNames[m] = {names[m][0], names[m][1]};
        }
        locale.weekdayNames = {u"Montag", u"Mo", u"Dienstag", u"Di", u"Sonntag", u"So."};
    } else {
        locale.order = trx::DateOrder::MonthDayYear;
        locale.dotSeparates = false;
        const char16_t* names[12][2] = {
            {u"January", u"Jan"}, {u"February", u"Feb."}, {u"March", u"Mar"},
            {u"April", u"Apr"},   {u"May", u"May"},       {u"June", u"Jun"},
            {u"July", u"Jul"},    {u"August", u"Aug"},    {u"September", u"Sep."},
            {u"October", u"Oct"}, {u"November", u"Nov"},  {u"December", u"Dec"}};
        for (int m = 0; m < 12; ++m) {
            locale.monthNames[m] = {names[m][0], names[m][1]};
        }
        locale.weekdayNames = {u"Monday", u"Mon", u"Sunday", u"Sun"};
    }
    return locale;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const trx::DateLocale german = MakeLocale(true);
    static const trx::DateLocale english = MakeLocale(false);
    const std::u16string text =
        trx::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const trx::DateLocale* locale : {&german, &english}) {
        const auto date = trx::RecognizeDate(text, *locale, 2026);
        if (date) {
            // Within 01.01.100 00:00:00 and 31.12.9999 23:59:59.
            TRX_FUZZ_CHECK(std::isfinite(*date));
            TRX_FUZZ_CHECK(*date >= -657434.0 && *date < 2958466.0);
        }
    }
    return 0;
}
