#include "common/DateRecognition.h"

#include "common/AutomationDate.h"
#include "common/Text.h"
#include "common/tests/DateVectors.h"

#include <gtest/gtest.h>

#include <random>

namespace trx {
namespace {

constexpr int kCurrentYear = 2031;

DateLocale GermanLocale() {
    DateLocale locale;
    locale.order = DateOrder::DayMonthYear;
    locale.dotSeparates = true;
    const char16_t* longNames[] = {u"Januar",    u"Februar", u"März",     u"April",
                                   u"Mai",       u"Juni",    u"Juli",     u"August",
                                   u"September", u"Oktober", u"November", u"Dezember"};
    const char16_t* shortNames[] = {u"Jan.", u"Feb.", u"Mär",  u"Apr.", u"Mai",  u"Jun",
                                    u"Jul",  u"Aug.", u"Sep.", u"Okt.", u"Nov.", u"Dez."};
    for (std::size_t m = 0; m < 12; ++m) {
        locale.monthNames[m] = {longNames[m], shortNames[m]};
    }
    locale.weekdayNames = {u"Montag",  u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag",
                           u"Samstag", u"Sonntag",  u"Mo.",      u"Di.",        u"Mi.",
                           u"Do.",     u"Fr.",      u"Sa.",      u"So."};
    return locale;
}

DateLocale EnglishLocale() {
    DateLocale locale;
    locale.order = DateOrder::MonthDayYear;
    locale.dotSeparates = false;
    const char16_t* longNames[] = {u"January",   u"February", u"March",    u"April",
                                   u"May",       u"June",     u"July",     u"August",
                                   u"September", u"October",  u"November", u"December"};
    const char16_t* shortNames[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    for (std::size_t m = 0; m < 12; ++m) {
        locale.monthNames[m] = {longNames[m], shortNames[m]};
    }
    locale.weekdayNames = {u"Monday",   u"Tuesday", u"Wednesday", u"Thursday", u"Friday",
                           u"Saturday", u"Sunday",  u"Mon",       u"Tue",      u"Wed",
                           u"Thu",      u"Fri",     u"Sat",       u"Sun"};
    return locale;
}

double Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return ToAutomationDate(CalendarDateTime{year, month, day, hour, minute, second}).value();
}

void ExpectVectorsPass(const std::string& fileName, const DateLocale& locale) {
    for (const test::DateVector& c : test::LoadDateVectors(fileName, kCurrentYear)) {
        const std::optional<double> got = RecognizeDate(c.text, locale, kCurrentYear);
        EXPECT_EQ(got, c.expected) << fileName << " line " << c.line << ": \"" << ToUtf8(c.text)
                                   << "\" expected " << c.readable;
    }
}

TEST(DateRecognition, GermanConformanceVectors) {
    ExpectVectorsPass("date_de.tsv", GermanLocale());
}

TEST(DateRecognition, EnglishConformanceVectors) {
    ExpectVectorsPass("date_en.tsv", EnglishLocale());
}

struct Case {
    std::u16string text;
    std::optional<double> expected;
};

void ExpectCases(const DateLocale& locale, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(RecognizeDate(c.text, locale, kCurrentYear), c.expected)
            << "\"" << ToUtf8(c.text) << "\"";
    }
}

TEST(DateRecognition, YearFirstLocaleReadsTwoNumbersAsMonthAndDay) {
    DateLocale locale = EnglishLocale();
    locale.order = DateOrder::YearMonthDay;
    ExpectCases(locale, {
                            {u"19/2/1", Date(2019, 2, 1)},
                            {u"2019/2/1", Date(2019, 2, 1)},
                            {u"2/1", Date(kCurrentYear, 2, 1)},
                        });
}

TEST(DateRecognition, AbbreviationDotBelongsToTheName) {
    // A locale that does not separate with "." still takes the dot of its
    // own abbreviations ("févr."), and German takes it at the very end.
    DateLocale french;
    french.order = DateOrder::DayMonthYear;
    french.dotSeparates = false;
    french.monthNames[1] = {u"février", u"févr."};
    ExpectCases(french, {
                            {u"1 févr. 2019", Date(2019, 2, 1)},
                            {u"1 FÉVR 2019", Date(2019, 2, 1)},
                            {u"1 février. 2019", std::nullopt},
                            {u"1.2.2019", std::nullopt},
                        });
    ExpectCases(GermanLocale(), {
                                    {u"1. Feb.", Date(kCurrentYear, 2, 1)},
                                    {u"1.Feb.2019", Date(2019, 2, 1)},
                                    {u"1. Februar.", std::nullopt},
                                    {u"1. Feb..", std::nullopt},
                                });
}

TEST(DateRecognition, NamesAndNumbersInUnusualPlaces) {
    ExpectCases(GermanLocale(), {
                                    {u"Feb 99", Date(1999, 2, 1)},  // no 99th day: a year
                                    {u"Feb 30", std::nullopt},
                                    {u"1 Feb 2 März", std::nullopt},
                                    {u"1 Montag 2019", std::nullopt},
                                    {u"Montag", std::nullopt},
                                    {u"Montag 14:30", std::nullopt},
                                    {u"1 2 3 4", std::nullopt},
                                    {u"1..2.2019", std::nullopt},
                                    {u"1 Feb 2019 2019", std::nullopt},
                                    {u"1.2.019", std::nullopt},     // year 19 as written
                                    {u"001.2.2019", std::nullopt},  // year first: day 2019
                                    {u"1\u00A02.2019", std::nullopt},
                                });
}

TEST(DateRecognition, TimeOfDayForms) {
    ExpectCases(EnglishLocale(), {
                                     {u"12 AM", 0.0},
                                     {u"12:30 am", Date(1899, 12, 30, 0, 30)},
                                     {u"11 pm", Date(1899, 12, 30, 23)},
                                     {u"0:00 PM", 0.0},
                                     {u"13 PM", Date(1899, 12, 30, 13)},
                                     {u"1/2/2019 2 PM", Date(2019, 1, 2, 14)},
                                     {u"2 PM 1/2/2019", Date(2019, 1, 2, 14)},
                                     {u"14:30 1/2/2019 14:30", std::nullopt},
                                     {u"1/2/2019,14:30", std::nullopt},
                                     {u"1/2/201914:30", std::nullopt},
                                     {u"14:30:15:10", std::nullopt},
                                     {u"14:", std::nullopt},
                                     {u":30", std::nullopt},
                                     {u"PM", std::nullopt},
                                     {u"2 PM PM", std::nullopt},
                                     {u"123:00", std::nullopt},
                                     {u"1:5", Date(1899, 12, 30, 1, 5)},
                                 });
}

// Random and cut texts must never read out of bounds or yield a date outside
// the range; run under the sanitizers to make the first part visible.
TEST(DateRecognition, ArbitraryInputIsSafe) {
    const DateLocale locales[] = {GermanLocale(), EnglishLocale()};
    const std::u16string alphabet = u"0123456789 \t./-,:;aAmMpPFebJanärzMontag\u00E4\u00FF\uFFFF";
    std::mt19937 random(20191212);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 24);
    for (int i = 0; i < 20000; ++i) {
        std::u16string text;
        for (int n = length(random); n > 0; --n) {
            text.push_back(alphabet[pick(random)]);
        }
        for (const DateLocale& locale : locales) {
            const std::optional<double> date = RecognizeDate(text, locale, kCurrentYear);
            if (date) {
                EXPECT_TRUE(FromAutomationDate(*date)) << ToUtf8(text);
            }
        }
    }
    for (const test::DateVector& c : test::LoadDateVectors("date_de.tsv", kCurrentYear)) {
        for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
            RecognizeDate(std::u16string_view(c.text).substr(0, cut), locales[0], kCurrentYear);
            RecognizeDate(std::u16string_view(c.text).substr(cut), locales[0], kCurrentYear);
        }
    }
    const std::u16string longText(100000, u'1');
    EXPECT_FALSE(RecognizeDate(longText, locales[0], kCurrentYear));
    std::u16string manyParts;
    for (int i = 0; i < 20000; ++i) {
        manyParts += u"1. ";
    }
    EXPECT_FALSE(RecognizeDate(manyParts, locales[0], kCurrentYear));
}

}  // namespace
}  // namespace trx
