#include "platform/qt/QtLocale.h"

#include "common/AutomationDate.h"
#include "platform/qt/QtText.h"

#include <QDate>
#include <QTime>

#include <algorithm>

namespace trx {

namespace {

// Calls `visit` with each character of a Qt date format that stands outside
// quoted literal text, together with its position.
template <typename Visit>
void ForEachPatternChar(const QString& format, Visit visit) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted) {
            visit(i, c);
        }
    }
}

DateOrder OrderOf(const QString& format) {
    qsizetype day = -1;
    qsizetype month = -1;
    qsizetype year = -1;
    ForEachPatternChar(format, [&](qsizetype i, QChar c) {
        if (c == QLatin1Char('d') && day < 0) {
            day = i;
        } else if (c == QLatin1Char('M') && month < 0) {
            month = i;
        } else if (c == QLatin1Char('y') && year < 0) {
            year = i;
        }
    });
    if (year >= 0 && (month < 0 || year < month) && (day < 0 || year < day)) {
        return DateOrder::YearMonthDay;
    }
    if (month >= 0 && day >= 0 && month < day) {
        return DateOrder::MonthDayYear;
    }
    return DateOrder::DayMonthYear;
}

bool UsesDot(const QString& format) {
    bool dot = false;
    ForEachPatternChar(format, [&](qsizetype, QChar c) { dot = dot || c == QLatin1Char('.'); });
    return dot;
}

void AddOnce(std::vector<std::u16string>& names, const QString& name) {
    if (name.isEmpty()) {
        return;
    }
    std::u16string text = FromQString(name);
    if (std::find(names.begin(), names.end(), text) == names.end()) {
        names.push_back(std::move(text));
    }
}

// The time format of the locale with seconds, so that a time of day reads
// back through the recognition exactly.
QString TimeFormatWithSeconds(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    // Newer locale data puts a narrow no-break space before AM and PM; a
    // plain blank keeps the text recognisable.
    format.replace(QChar(0x202F), QLatin1Char(' '));
    format.replace(QChar(0x00A0), QLatin1Char(' '));
    // Recognition knows only AM and PM as markers; with other ones the time
    // is written in 24 hours, so that it still reads back.
    const bool plainMarkers =
        locale.amText().compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 &&
        locale.pmText().compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
    bool usesMarker = false;
    ForEachPatternChar(format, [&](qsizetype, QChar c) {
        usesMarker = usesMarker || c == QLatin1Char('A') || c == QLatin1Char('a');
    });
    if (usesMarker && !plainMarkers) {
        return QStringLiteral("HH:mm:ss");
    }
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0) {
            format.insert(minutes + 2, QLatin1String(":ss"));
        } else {
            format = QStringLiteral("HH:mm:ss");
        }
    }
    return format;
}

}  // namespace

QtLocale::QtLocale(QLocale locale, const Clock& clock)
    : locale_(std::move(locale)), clock_(clock), recognition_(DescribeForRecognition(locale_)) {}

QtLocale::QtLocale(const Clock& clock) : QtLocale(QLocale::system(), clock) {}

QString QtLocale::WithFourDigitYear(const QString& format) {
    return ToQString(trx::WithFourDigitYear(FromQString(format)));
}

QString QtLocale::ShortDateFormat(const QLocale& locale) {
    return WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
}

DateLocale QtLocale::DescribeForRecognition(const QLocale& locale) {
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    DateLocale description;
    description.order = OrderOf(shortFormat);
    description.dotSeparates = UsesDot(shortFormat);
    for (int month = 1; month <= 12; ++month) {
        std::vector<std::u16string>& names =
            description.monthNames[static_cast<std::size_t>(month - 1)];
        for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            AddOnce(names, locale.monthName(month, type));
            AddOnce(names, locale.standaloneMonthName(month, type));
        }
    }
    for (int day = 1; day <= 7; ++day) {
        for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
            AddOnce(description.weekdayNames, locale.dayName(day, type));
            AddOnce(description.weekdayNames, locale.standaloneDayName(day, type));
        }
    }
    return description;
}

std::u16string QtLocale::FormatShortDate(double date) const {
    const std::optional<CalendarDateTime> value = FromAutomationDate(date);
    if (!value) {
        return {};
    }
    const QDate day(value->year, value->month, value->day);
    QString text = locale_.toString(day, ShortDateFormat(locale_));
    if (value->hour != 0 || value->minute != 0 || value->second != 0) {
        const QTime time(value->hour, value->minute, value->second);
        text += QLatin1Char(' ');
        text += locale_.toString(time, TimeFormatWithSeconds(locale_));
    }
    return FromQString(text);
}

std::u16string QtLocale::LongMonthName(int month) const {
    if (month < 1 || month > 12) {
        return {};
    }
    // The form used inside a date ("12. Dezember 2019"), which in some
    // languages differs from the name standing alone.
    return FromQString(locale_.monthName(month, QLocale::LongFormat));
}

std::optional<double> QtLocale::ParseDate(std::u16string_view text) const {
    const std::optional<CalendarDateTime> today = FromAutomationDate(clock_.Today());
    const int currentYear = today ? today->year : 1899;
    return RecognizeDate(text, recognition_, currentYear);
}

}  // namespace trx
