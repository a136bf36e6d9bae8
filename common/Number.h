#pragma once

#include <cstdint>
#include <string_view>

namespace trx {

// Reads the number that a text begins with, as the system reads numbers from
// text everywhere: blanks, tabs and line feeds are skipped wherever they
// stand; a sign, digits, "." as the decimal point, an exponent with E or D;
// the prefixes &H (hexadecimal) and &O (octal). Reading stops at the first
// character that cannot continue the number; no number reads as 0.
//  - An exponent letter or sign without a digit after it ends the number:
//    "1E" and "1E+" read as 1.
//  - Hexadecimal digits count in either case; the prefix is &H or &h, &O or
//    &o, with no sign before it. A prefix without a digit reads as 0.
//  - &H and &O values that fit 16 bits are 16-bit signed (&HFFFF is -1),
//    larger ones 32-bit signed (&H10000 is 65536, &HFFFFFFFF is -1). A digit
//    that would take the value beyond 32 bits ends the number.
//  - A decimal number beyond the range of a double reads as infinity (so that
//    storing it is the overflow error), one too small for it as 0.
double ReadNumber(std::u16string_view text);

// Stores a number as a 32-bit integer: rounded to the nearest integer, a half
// to the even neighbour. Throws the overflow error (number 6) outside the range.
std::int32_t ToInt32(double value);

}  // namespace trx
