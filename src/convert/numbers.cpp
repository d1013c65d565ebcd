#include "numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "text.h"

namespace convert {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The white space that atof skips in the C locale.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Powers of ten up to 1e22 are exact doubles; listing them avoids depending
// on how exact a platform's pow is.
double powerOfTen(int n) {
    static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (n < static_cast<int>(std::size(kExact))) return kExact[n];
    return std::pow(10.0, n);
}

// What atof gives for a number beyond the range of a double: infinity when
// it is at least 1, else 0. `number` is digits [. digits] [e [sign] digits].
double outOfRange(std::string_view number) {
    const std::size_t expAt = std::min(number.find_first_of("eE"), number.size());
    long long exponent = 0;
    if (expAt < number.size()) {
        std::size_t p = expAt + 1;
        const bool expNegative = number[p] == '-';
        if (number[p] == '+' || number[p] == '-') ++p;
        // Saturates: beyond this only the sign of the exponent matters.
        for (; p < number.size() && exponent < 1000000; ++p)
            exponent = exponent * 10 + (number[p] - '0');
        if (expNegative) exponent = -exponent;
    }
    const std::string_view mantissa = number.substr(0, expAt);
    const long long intLen = static_cast<long long>(std::min(mantissa.find('.'), mantissa.size()));
    const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
    if (firstNonZero == std::string_view::npos) return 0.0;
    const long long lead = static_cast<long long>(firstNonZero);
    // The decimal exponent of the leading digit.
    const long long e = lead < intLen ? intLen - lead - 1 : intLen - lead;
    return e + exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

double textToNumber(std::string_view text) {
    const std::string folded = foldFullWidth(text);
    const std::string_view s = folded;
    std::size_t i = 0;
    while (i < s.size() && isCSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    // The longest prefix of the form digits [. digits] [e [sign] digits].
    const std::size_t start = i;
    std::size_t mantissaDigits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0.0;
    std::size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) ++j;
            end = j;
        }
    }

    double value = 0.0;
    const char* first = s.data() + start;
    const char* last = s.data() + end;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = outOfRange(std::string_view(first, last - first));
    return negative ? -value : value;
}

std::string numberToText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
    std::string text(buf, result.ptr);
    // to_chars writes at least two exponent digits; the shown form has three.
    const std::size_t e = text.find('e');
    if (e != std::string::npos) {
        std::string digits = text.substr(e + 2);
        digits.erase(0, digits.find_first_not_of('0'));
        if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
        text.replace(e + 2, std::string::npos, digits);
    }
    return text;
}

std::string numberToText(int value) {
    char buf[16];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

double roundTo(double value, int places) {
    if (value == 0.0 || std::isnan(value)) return value;
    const bool negative = value < 0;
    const double a = std::fabs(value);
    // Beyond ±400 places every finite double scales to infinity or zero; the
    // clamp also keeps -places from overflowing.
    if (places > 400) places = 400;
    if (places < -400) places = -400;
    const double scale = powerOfTen(places >= 0 ? places : -places);
    const double f = places >= 0 ? a * scale : a / scale;
    if (std::isinf(f) && !std::isinf(a)) return value;  // finer than a double holds
    double whole;
    const double fraction = std::modf(f + 1e-12, &whole);
    if (fraction >= 0.5) whole += 1.0;
    if (whole == 0.0) return 0.0;
    const double r = places >= 0 ? whole / scale : whole * scale;
    return negative ? -r : r;
}

}  // namespace convert
