#pragma once

#include "common/DateRecognition.h"
#include "platform/Clock.h"
#include "platform/Locale.h"

#include <QLocale>
#include <QString>

namespace trx {

// The user's locale through QLocale. Dates are recognised by the locale's
// date order and month and weekday names; a text without a year takes the
// current year of the clock.
class QtLocale final : public Locale {
  public:
    QtLocale(QLocale locale, const Clock& clock);
    // The locale of the user's session.
    explicit QtLocale(const Clock& clock);

    std::u16string FormatShortDate(double date) const override;
    std::u16string LongMonthName(int month) const override;
    std::optional<double> ParseDate(std::u16string_view text) const override;

    // A date format whose year of fewer than four digits ("yy") is widened
    // to four ("yyyy"); quoted literal text stays as it is.
    static QString WithFourDigitYear(const QString& format);

    // The locale's short date format, with a four-digit year.
    static QString ShortDateFormat(const QLocale& locale);

    // The description of a locale that date recognition works from.
    static DateLocale DescribeForRecognition(const QLocale& locale);

  private:
    QLocale locale_;
    const Clock& clock_;
    DateLocale recognition_;
};

}  // namespace trx
