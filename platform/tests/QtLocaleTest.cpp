#include "platform/qt/QtLocale.h"

#include "common/AutomationDate.h"
#include "common/Text.h"
#include "common/tests/DateVectors.h"

#include <gtest/gtest.h>

namespace trx {
namespace {

class FixedClock final : public Clock {
  public:
    explicit FixedClock(double today) : today_(today) {}
    double Today() const override { return today_; }

  private:
    double today_;
};

double Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return ToAutomationDate(CalendarDateTime{year, month, day, hour, minute, second}).value();
}

const FixedClock kClock(Date(2031, 6, 15));

TEST(QtLocale, ShortDateHasFourDigitYear) {
    const QtLocale german(QLocale(QStringLiteral("de_DE")), kClock);
    const QtLocale english(QLocale(QStringLiteral("en_US")), kClock);
    EXPECT_EQ(german.FormatShortDate(Date(2019, 12, 12)), u"12.12.2019");
    EXPECT_EQ(english.FormatShortDate(Date(2019, 12, 12)), u"12/12/2019");
    EXPECT_EQ(german.FormatShortDate(Date(2019, 2, 1)), u"01.02.2019");
    EXPECT_EQ(english.FormatShortDate(Date(2019, 2, 1)), u"2/1/2019");
    EXPECT_EQ(german.FormatShortDate(Date(100, 1, 1)), u"01.01.0100");
    EXPECT_EQ(german.FormatShortDate(Date(9999, 12, 31)), u"31.12.9999");
    EXPECT_EQ(german.FormatShortDate(3e7), u"");
}

TEST(QtLocale, TimeOfDayOnlyWhenTheValueHasOne) {
    const QtLocale german(QLocale(QStringLiteral("de_DE")), kClock);
    const QtLocale english(QLocale(QStringLiteral("en_US")), kClock);
    EXPECT_EQ(german.FormatShortDate(Date(2019, 12, 12, 14, 30)), u"12.12.2019 14:30:00");
    EXPECT_EQ(english.FormatShortDate(Date(2019, 12, 12, 14, 30, 15)), u"12/12/2019 2:30:15 PM");
    EXPECT_EQ(german.FormatShortDate(Date(1899, 12, 30, 6)), u"30.12.1899 06:00:00");
}

TEST(QtLocale, FormattedDatesReadBack) {
    for (const char* name : {"de_DE", "en_US", "fr_FR", "en_CA", "pl_PL"}) {
        const QtLocale locale{QLocale(QString::fromLatin1(name)), kClock};
        for (const double date : {Date(2019, 12, 12), Date(2019, 2, 1), Date(1998, 9, 30),
                                  Date(2019, 12, 12, 14, 30, 15), Date(2001, 1, 1, 0, 0, 1)}) {
            const std::u16string text = locale.FormatShortDate(date);
            EXPECT_EQ(locale.ParseDate(text), date) << name << ": " << ToUtf8(text);
        }
    }
}

TEST(QtLocale, WidensOnlyShortYears) {
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"dd.MM.yy", "dd.MM.yyyy"},   {"M/d/yy", "M/d/yyyy"},     {"yyyy-MM-dd", "yyyy-MM-dd"},
        {"d.M.y", "d.M.yyyy"},        {"yy/MM/dd", "yyyy/MM/dd"}, {"dd 'yy' yy", "dd 'yy' yyyy"},
        {"dd.MM.yyyy", "dd.MM.yyyy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QtLocale::WithFourDigitYear(QString::fromLatin1(c.format)),
                  QString::fromLatin1(c.expected))
            << c.format;
    }
}

TEST(QtLocale, LongMonthNames) {
    const QtLocale german(QLocale(QStringLiteral("de_DE")), kClock);
    const QtLocale english(QLocale(QStringLiteral("en_US")), kClock);
    EXPECT_EQ(german.LongMonthName(3), u"März");
    EXPECT_EQ(german.LongMonthName(12), u"Dezember");
    EXPECT_EQ(english.LongMonthName(3), u"March");
    EXPECT_EQ(german.LongMonthName(0), u"");
    EXPECT_EQ(german.LongMonthName(13), u"");
}

TEST(QtLocale, ParsesByLocaleOrderWithClockYear) {
    const QtLocale german(QLocale(QStringLiteral("de_DE")), kClock);
    const QtLocale english(QLocale(QStringLiteral("en_US")), kClock);
    EXPECT_EQ(german.ParseDate(u"1.2.2019"), Date(2019, 2, 1));
    EXPECT_EQ(english.ParseDate(u"1/2/2019"), Date(2019, 1, 2));
    EXPECT_EQ(german.ParseDate(u"1. Feb."), Date(2031, 2, 1));
    EXPECT_EQ(english.ParseDate(u"Feb 1"), Date(2031, 2, 1));
    EXPECT_EQ(german.ParseDate(u"1 Feb. 2019"), Date(2019, 2, 1));
    EXPECT_EQ(english.ParseDate(u"1 Feb. 2019"), std::nullopt);
    EXPECT_EQ(german.ParseDate(u"kein Datum"), std::nullopt);
}

// The shared vectors hold also through the locale description built from Qt.
void ExpectVectorsPass(const char* localeName, const std::string& fileName) {
    const QtLocale locale(QLocale(QString::fromLatin1(localeName)), kClock);
    for (const test::DateVector& c : test::LoadDateVectors(fileName, 2031)) {
        EXPECT_EQ(locale.ParseDate(c.text), c.expected)
            << fileName << " line " << c.line << ": \"" << ToUtf8(c.text) << "\"";
    }
}

TEST(QtLocale, GermanConformanceVectors) {
    ExpectVectorsPass("de_DE", "date_de.tsv");
}

TEST(QtLocale, EnglishConformanceVectors) {
    ExpectVectorsPass("en_US", "date_en.tsv");
}

}  // namespace
}  // namespace trx
