// Numbers to and from GBK texts, and rounding. The results do not depend on
// the C library or the locale: Linux and Windows show the same texts.
#pragma once

#include <string>
#include <string_view>

namespace convert {

// The leading decimal number of the text after foldFullWidth, read as atof
// reads one in the C locale: white space skipped, an optional sign, digits
// with an optional decimal point, an optional exponent ("e" or "E", optional
// sign, digits). Trailing characters are ignored ("12元" gives 12); no
// number, including "inf", "nan" and hexadecimal forms, gives 0. A value too
// large for a double gives ±infinity, one too small ±0 or a subnormal.
double textToNumber(std::string_view text);

// "%.13g": at most 13 significant digits, no trailing zeros, exponent form
// when the decimal exponent is below -4 or at least 13, the exponent with
// its sign and at least three digits (1e+015, 1.2e-005). The value is
// rounded correctly (a tie to even). Infinities and NaN give "inf", "-inf"
// and "nan".
std::string numberToText(double value);

// "%d".
std::string numberToText(int value);

// `value` rounded to `places` decimal places (negative: to tens, hundreds, …),
// halves away from zero after adding 1e-12 to the scaled magnitude, so that
// 2.675 (stored a little below) gives 2.68. 0 and NaN come back unchanged; a
// result of zero is +0, never -0; places beyond what a double can scale give
// the value unchanged (positive) or 0 (negative).
double roundTo(double value, int places = 0);

}  // namespace convert
