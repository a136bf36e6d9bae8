#include "common/Number.h"

#include "common/AutomationError.h"
#include "common/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace trx {

namespace {

bool IsSkipped(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The value of a digit in the given base, or -1. Hexadecimal digits are
// accepted in either letter case.
int DigitValue(char16_t c, int base) {
    int value = -1;
    if (IsDigit(c)) {
        value = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
        value = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
        value = c - u'A' + 10;
    }
    return value < base ? value : -1;
}

// Walks the text code unit by code unit, stepping over the characters that
// the reader ignores wherever they stand.
class Cursor {
  public:
    explicit Cursor(std::u16string_view text) : text_(text) { Skip(); }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : text_[pos_]; }
    void Advance() {
        ++pos_;
        Skip();
    }
    std::size_t Position() const { return pos_; }
    void Rewind(std::size_t pos) { pos_ = pos; }

  private:
    void Skip() {
        while (pos_ < text_.size() && IsSkipped(text_[pos_])) {
            ++pos_;
        }
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
};

// &H and &O numbers. Digits are read while the value still fits 32 bits; a
// digit that would push it beyond ends the number like any other character
// that cannot continue it (&H123456789 reads as &H12345678), so the reader
// never fails. Leading zeros do not count against the limit. A value that
// fits 16 bits is taken as a 16-bit signed integer, a larger one as a 32-bit
// signed integer: &HFFFF is -1, &H10000 is 65536, &HFFFFFFFF is -1 again.
// The prefix without a digit after it reads as 0. No sign may stand before
// the prefix: "-&H10" reads as 0.
double ReadPrefixed(Cursor& cursor, int base) {
    std::uint64_t value = 0;
    for (int digit = DigitValue(cursor.Peek(), base); digit >= 0;
         digit = DigitValue(cursor.Peek(), base)) {
        const std::uint64_t next =
            value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (next > 0xFFFFFFFFu) {
            break;
        }
        value = next;
        cursor.Advance();
    }
    if (value <= 0xFFFFu) {
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    }
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

// Converts the collected characters (digits, at most one ".", optionally "e"
// with a signed exponent) without regard to the C locale, whose decimal point
// a Qt program may have changed. The magnitude (digits before the point once
// the exponent is applied) tells an overflow from an underflow.
double ConvertDecimal(const std::string& number, long long magnitude) {
    double value = 0.0;
    const char* begin = number.data();
    const char* end = begin + number.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too large reads as infinity, so that storing it as an integer is
        // the overflow error; too small reads as 0.
        return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (ec != std::errc() || ptr != end) {
        return 0.0;
    }
    return value;
}

}  // namespace

double ReadNumber(std::u16string_view text) {
    Cursor cursor(text);

    if (cursor.Peek() == u'&') {
        const std::size_t afterAmpersand = cursor.Position();
        cursor.Advance();
        const char16_t prefix = cursor.Peek();
        if (prefix == u'H' || prefix == u'h') {
            cursor.Advance();
            return ReadPrefixed(cursor, 16);
        }
        if (prefix == u'O' || prefix == u'o') {
            cursor.Advance();
            return ReadPrefixed(cursor, 8);
        }
        cursor.Rewind(afterAmpersand);
        return 0.0;
    }

    bool negative = false;
    if (cursor.Peek() == u'+' || cursor.Peek() == u'-') {
        negative = cursor.Peek() == u'-';
        cursor.Advance();
    }

    std::string number;
    long long integerDigits = 0;  // significant digits before the point
    long long fractionZeros = 0;  // zeros after the point before any other digit
    bool anyDigit = false;
    while (IsDigit(cursor.Peek())) {
        if (!number.empty() || cursor.Peek() != u'0') {
            number.push_back(static_cast<char>(cursor.Peek()));
            ++integerDigits;
        }
        anyDigit = true;
        cursor.Advance();
    }
    if (number.empty()) {
        number.push_back('0');
    }
    if (cursor.Peek() == u'.') {
        number.push_back('.');
        cursor.Advance();
        bool significant = integerDigits > 0;
        while (IsDigit(cursor.Peek())) {
            significant = significant || cursor.Peek() != u'0';
            if (!significant) {
                ++fractionZeros;
            }
            number.push_back(static_cast<char>(cursor.Peek()));
            anyDigit = true;
            cursor.Advance();
        }
    }
    if (!anyDigit) {
        return 0.0;
    }

    // An exponent counts only with at least one digit: "1E" and "1E+" read
    // as 1, the letter and the sign end the number.
    long long exponentValue = 0;
    const char16_t e = cursor.Peek();
    if (e == u'E' || e == u'e' || e == u'D' || e == u'd') {
        const std::size_t beforeExponent = cursor.Position();
        cursor.Advance();
        std::string exponent = "e";
        bool exponentNegative = false;
        if (cursor.Peek() == u'+' || cursor.Peek() == u'-') {
            exponentNegative = cursor.Peek() == u'-';
            exponent.push_back(static_cast<char>(cursor.Peek()));
            cursor.Advance();
        }
        bool exponentDigit = false;
        while (IsDigit(cursor.Peek())) {
            exponent.push_back(static_cast<char>(cursor.Peek()));
            if (exponentValue < 1000000000) {  // saturates; only its sign and size matter
                exponentValue = exponentValue * 10 + (cursor.Peek() - u'0');
            }
            exponentDigit = true;
            cursor.Advance();
        }
        if (exponentDigit) {
            number += exponent;
            if (exponentNegative) {
                exponentValue = -exponentValue;
            }
        } else {
            exponentValue = 0;
            cursor.Rewind(beforeExponent);
        }
    }

    const long long magnitude =
        (integerDigits > 0 ? integerDigits : -fractionZeros) + exponentValue;
    const double value = ConvertDecimal(number, magnitude);
    if (value == 0.0) {
        return 0.0;  // no negative zero
    }
    return negative ? -value : value;
}

std::int32_t ToInt32(double value) {
    if (!std::isfinite(value)) {
        throw OverflowError();
    }
    // Round half to even, independent of the floating-point rounding mode.
    double rounded = std::floor(value);
    const double rest = value - rounded;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    if (rounded < -2147483648.0 || rounded > 2147483647.0) {
        throw OverflowError();
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace trx
