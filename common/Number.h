#pragma once

#include <cstdint>
#include <string_view>

namespace trx {

// Reads the number that a text begins with, as the system reads numbers from
// text everywhere: blanks, tabs and line feeds are skipped wherever they
// stand; a sign, digits, "." as the decimal point, an exponent with E or D;
// the prefixes &H (hexadecimal) and &O (octal). Reading stops at the first
// character that cannot continue the number; no number reads as 0.
double ReadNumber(std::u16string_view text);

// Stores a number as a 32-bit integer: rounded to the nearest integer, a half
// to the even neighbour. Throws the overflow error (number 6) outside the range.
std::int32_t ToInt32(double value);

}  // namespace trx
