#include "common/DateRecognition.h"

#include "common/AutomationDate.h"
#include "common/Text.h"

#include <cstddef>
#include <utility>

namespace trx {

namespace {

enum class Kind { Number, Word, Separator, Dot, Colon, Blank };

struct Token {
    Kind kind = Kind::Blank;
    std::u16string_view text;
    int value = 0;   // Number: its value
    int digits = 0;  // Number: how many digits it was written with
};

// No part of a date or a time has more than four digits; longer numbers end
// the recognition early, which also keeps every value small.
constexpr int kMaxDigits = 4;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Letters of month and weekday names: ASCII letters and everything beyond
// Latin-1's punctuation and symbols.
bool IsLetter(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
        return true;
    }
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

// Splits the text into tokens; runs of blanks become one Blank token, and
// blanks at either end are dropped. Empty when a character can belong to no
// date at all.
std::optional<std::vector<Token>> Tokenize(std::u16string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t begin = i;
        const char16_t c = text[i];
        Token token;
        if (IsBlank(c)) {
            while (i < text.size() && IsBlank(text[i])) {
                ++i;
            }
            token.kind = Kind::Blank;
        } else if (IsDigit(c)) {
            while (i < text.size() && IsDigit(text[i])) {
                if (i - begin >= kMaxDigits) {
                    return std::nullopt;
                }
                token.value = token.value * 10 + (text[i] - u'0');
                ++i;
            }
            token.kind = Kind::Number;
            token.digits = static_cast<int>(i - begin);
        } else if (IsLetter(c)) {
            while (i < text.size() && IsLetter(text[i])) {
                ++i;
            }
            token.kind = Kind::Word;
        } else if (c == u'/' || c == u'-' || c == u',') {
            ++i;
            token.kind = Kind::Separator;
        } else if (c == u'.') {
            ++i;
            token.kind = Kind::Dot;
        } else if (c == u':') {
            ++i;
            token.kind = Kind::Colon;
        } else {
            return std::nullopt;
        }
        token.text = text.substr(begin, i - begin);
        tokens.push_back(token);
    }
    if (!tokens.empty() && tokens.front().kind == Kind::Blank) {
        tokens.erase(tokens.begin());
    }
    if (!tokens.empty() && tokens.back().kind == Kind::Blank) {
        tokens.pop_back();
    }
    return tokens;
}

// Simple case folding for the scripts that month names are written in:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char16_t Fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c < 0xC0) {
        return c;
    }
    if (c <= 0xDE) {
        return c == 0xD7 ? c : static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178) {
            return 0xFF;
        }
        const bool upperIsOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool isUpper = upperIsOdd ? (c % 2 == 1) : (c % 2 == 0);
        if (isUpper && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
            return static_cast<char16_t>(c + 1);
        }
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x410 && c <= 0x42F) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    return c;
}

bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

enum class NameMatch { None, Plain, WithDot };

// How a word matches one spelling of a name: as written (also when the
// spelling has a final "." that the word leaves out), or only together with
// a "." that follows it.
NameMatch MatchName(std::u16string_view word, std::u16string_view spelling) {
    if (EqualsFolded(word, spelling)) {
        return NameMatch::Plain;
    }
    if (!spelling.empty() && spelling.back() == u'.' &&
        EqualsFolded(word, spelling.substr(0, spelling.size() - 1))) {
        return NameMatch::WithDot;
    }
    return NameMatch::None;
}

struct NamedWord {
    int month = 0;  // 1 to 12, or 0 for a weekday
    bool takesDot = false;
};

std::optional<NamedWord> LookUpWord(std::u16string_view word, const DateLocale& locale) {
    std::optional<NamedWord> found;
    auto consider = [&](std::u16string_view spelling, int month) {
        const NameMatch match = MatchName(word, spelling);
        if (match == NameMatch::None) {
            return;
        }
        if (!found) {
            found = NamedWord{month, false};
        }
        if (found->month == month && match == NameMatch::WithDot) {
            found->takesDot = true;
        }
    };
    for (std::size_t m = 0; m < locale.monthNames.size(); ++m) {
        for (const std::u16string& spelling : locale.monthNames[m]) {
            consider(spelling, static_cast<int>(m) + 1);
        }
    }
    for (const std::u16string& spelling : locale.weekdayNames) {
        consider(spelling, 0);
    }
    return found;
}

bool IsAmPm(const Token& token, bool& pm) {
    if (token.kind != Kind::Word) {
        return false;
    }
    if (EqualsFolded(token.text, u"am")) {
        pm = false;
        return true;
    }
    if (EqualsFolded(token.text, u"pm")) {
        pm = true;
        return true;
    }
    return false;
}

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A range of tokens [begin, end) of a token list.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool Empty() const { return begin >= end; }
};

class Recognizer {
  public:
    Recognizer(const std::vector<Token>& tokens, const DateLocale& locale, int currentYear)
        : tokens_(tokens), locale_(locale), currentYear_(currentYear) {}

    std::optional<double> Run() {
        if (tokens_.empty()) {
            return std::nullopt;
        }
        TimeOfDay time;
        Span date{0, tokens_.size()};
        if (!SplitOffTime(time, date)) {
            return std::nullopt;
        }
        CalendarDateTime result;  // 30.12.1899 when the text holds only a time
        if (!date.Empty() && !ReadDate(date, result)) {
            return std::nullopt;
        }
        result.hour = time.hour;
        result.minute = time.minute;
        result.second = time.second;
        return ToAutomationDate(result);
    }

  private:
    const Token* At(std::size_t i) const { return i < tokens_.size() ? &tokens_[i] : nullptr; }

    bool IsKind(std::size_t i, Kind kind) const {
        const Token* token = At(i);
        return token != nullptr && token->kind == kind;
    }

    bool IsShortNumber(std::size_t i) const {
        return IsKind(i, Kind::Number) && At(i)->digits <= 2;
    }

    // Finds the one time of day in the text, if any, and leaves in `date` the
    // tokens that remain for the date: all before it or all after it, apart
    // from the blanks between the two.
    bool SplitOffTime(TimeOfDay& time, Span& date) const {
        std::size_t first = tokens_.size();
        for (std::size_t i = 0; i < tokens_.size(); ++i) {
            bool pm = false;
            if (tokens_[i].kind == Kind::Colon || IsAmPm(tokens_[i], pm)) {
                first = i;
                break;
            }
        }
        if (first == tokens_.size()) {
            return true;
        }

        std::size_t start = 0;
        std::size_t end = 0;
        if (tokens_[first].kind == Kind::Colon) {
            if (first == 0 || !IsShortNumber(first - 1) || !IsShortNumber(first + 1)) {
                return false;
            }
            start = first - 1;
            time.hour = tokens_[first - 1].value;
            time.minute = tokens_[first + 1].value;
            end = first + 2;
            if (IsKind(end, Kind::Colon)) {
                if (!IsShortNumber(end + 1)) {
                    return false;
                }
                time.second = tokens_[end + 1].value;
                end += 2;
            }
        } else {
            // An hour alone before AM or PM.
            if (first >= 1 && IsShortNumber(first - 1)) {
                start = first - 1;
            } else if (first >= 2 && IsKind(first - 1, Kind::Blank) && IsShortNumber(first - 2)) {
                start = first - 2;
            } else {
                return false;
            }
            time.hour = tokens_[start].value;
            end = first;
        }

        bool pm = false;
        std::size_t marker = end;
        if (IsKind(marker, Kind::Blank)) {
            ++marker;
        }
        const Token* markerToken = At(marker);
        if (markerToken != nullptr && IsAmPm(*markerToken, pm)) {
            end = marker + 1;
            if (time.hour == 12) {
                time.hour = pm ? 12 : 0;
            } else if (pm && time.hour >= 1 && time.hour <= 11) {
                time.hour += 12;
            }
        }
        if (time.hour > 23 || time.minute > 59 || time.second > 59) {
            return false;
        }

        const Span before{0, start};
        const Span after{end, tokens_.size()};
        if (!before.Empty() && !after.Empty()) {
            return false;
        }
        if (!before.Empty()) {
            if (!IsKind(before.end - 1, Kind::Blank)) {
                return false;
            }
            date = Span{before.begin, before.end - 1};
        } else if (!after.Empty()) {
            if (!IsKind(after.begin, Kind::Blank)) {
                return false;
            }
            date = Span{after.begin + 1, after.end};
        } else {
            date = Span{0, 0};
        }
        return true;
    }

    struct Number {
        int value = 0;
        int digits = 0;
    };

    bool IsSeparator(std::size_t i) const {
        return IsKind(i, Kind::Separator) || (locale_.dotSeparates && IsKind(i, Kind::Dot));
    }

    // Reads the items of the date (numbers, one month name, a leading
    // weekday) with exactly one separator run between each two of them.
    bool ReadDate(Span span, CalendarDateTime& result) const {
        std::vector<Number> numbers;
        int month = 0;
        bool anyItem = false;
        std::size_t i = span.begin;
        while (true) {
            if (i >= span.end) {
                return false;  // a separator with nothing after it
            }
            const Token& token = tokens_[i];
            if (token.kind == Kind::Number) {
                numbers.push_back(Number{token.value, token.digits});
                ++i;
            } else if (token.kind == Kind::Word) {
                const std::optional<NamedWord> named = LookUpWord(token.text, locale_);
                if (!named) {
                    return false;
                }
                if (named->month == 0) {
                    if (anyItem) {
                        return false;  // a weekday only stands first
                    }
                } else {
                    if (month != 0) {
                        return false;
                    }
                    month = named->month;
                }
                ++i;
                // The "." of an abbreviation belongs to it, unless this
                // locale separates with "." and another part follows at once.
                if (named->takesDot && i < span.end && tokens_[i].kind == Kind::Dot) {
                    const bool itemFollows =
                        i + 1 < span.end &&
                        (tokens_[i + 1].kind == Kind::Number || tokens_[i + 1].kind == Kind::Word);
                    if (!(locale_.dotSeparates && itemFollows)) {
                        ++i;
                    }
                }
            } else {
                return false;
            }
            anyItem = true;
            if (i >= span.end) {
                break;
            }
            const std::size_t runStart = i;
            if (i < span.end && tokens_[i].kind == Kind::Blank) {
                ++i;
            }
            if (i < span.end && IsSeparator(i)) {
                ++i;
            }
            if (i < span.end && tokens_[i].kind == Kind::Blank) {
                ++i;
            }
            if (i == runStart) {
                return false;  // two parts without a separator
            }
        }
        return month != 0 ? WithMonthName(numbers, month, result) : FromNumbers(numbers, result);
    }

    // A year as written: one or two digits fall into 1950 to 2049.
    static int ToYear(const Number& number) {
        if (number.digits <= 2) {
            return number.value < 50 ? 2000 + number.value : 1900 + number.value;
        }
        return number.value;
    }

    bool WithMonthName(const std::vector<Number>& numbers, int month,
                       CalendarDateTime& result) const {
        result.month = month;
        if (numbers.size() == 1) {
            const Number& n = numbers[0];
            if (n.digits >= 3 || n.value > 31) {
                result.day = 1;
                result.year = ToYear(n);
            } else {
                result.day = n.value;
                result.year = currentYear_;
            }
        } else if (numbers.size() == 2) {
            const bool yearFirst = numbers[0].digits >= 3;
            const Number& day = yearFirst ? numbers[1] : numbers[0];
            const Number& year = yearFirst ? numbers[0] : numbers[1];
            if (day.digits > 2) {
                return false;
            }
            result.day = day.value;
            result.year = ToYear(year);
        } else {
            return false;
        }
        return IsValidCalendarDate(result.year, result.month, result.day);
    }

    bool FromNumbers(const std::vector<Number>& numbers, CalendarDateTime& result) const {
        const Number* day = nullptr;
        const Number* month = nullptr;
        const Number* year = nullptr;
        if (numbers.size() == 3) {
            const Number& a = numbers[0];
            const Number& b = numbers[1];
            const Number& c = numbers[2];
            if (a.digits >= 3 || locale_.order == DateOrder::YearMonthDay) {
                year = &a;
                month = &b;
                day = &c;
            } else if (locale_.order == DateOrder::MonthDayYear) {
                month = &a;
                day = &b;
                year = &c;
            } else {
                day = &a;
                month = &b;
                year = &c;
            }
        } else if (numbers.size() == 2) {
            const Number& a = numbers[0];
            const Number& b = numbers[1];
            if (b.digits == 4) {
                month = &a;
                year = &b;
            } else if (locale_.order == DateOrder::DayMonthYear) {
                day = &a;
                month = &b;
            } else {
                month = &a;
                day = &b;
            }
        } else {
            return false;
        }

        if (month->digits > 2 || (day != nullptr && day->digits > 2)) {
            return false;
        }
        result.month = month->value;
        result.day = day != nullptr ? day->value : 1;
        if (year != nullptr) {
            result.year = ToYear(*year);
        } else {
            result.year = currentYear_;
        }
        if (day != nullptr && result.month > 12 && result.day <= 12) {
            std::swap(result.month, result.day);
        }
        return IsValidCalendarDate(result.year, result.month, result.day);
    }

    const std::vector<Token>& tokens_;
    const DateLocale& locale_;
    int currentYear_;
};

}  // namespace

std::optional<double> RecognizeDate(std::u16string_view text, const DateLocale& locale,
                                    int currentYear) {
    const std::optional<std::vector<Token>> tokens = Tokenize(text);
    if (!tokens) {
        return std::nullopt;
    }
    return Recognizer(*tokens, locale, currentYear).Run();
}

std::u16string WithFourDigitYear(std::u16string_view picture) {
    std::u16string result;
    result.reserve(picture.size() + 2);
    bool quoted = false;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (quoted || c != u'y') {
            result += c;
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i + run < picture.size() && picture[i + run] == u'y') {
            ++run;
        }
        result += run < 4 ? std::u16string_view(u"yyyy") : picture.substr(i, run);
        i += run;
    }
    return result;
}

}  // namespace trx
