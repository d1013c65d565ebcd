#include "capital_amount.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace convert {
namespace {

// GBK texts, two bytes a character.
// 零壹贰叁肆伍陆柒捌玖
constexpr std::string_view kDigits =
    "\xC1\xE3\xD2\xBC\xB7\xA1\xC8\xFE\xCB\xC1"
    "\xCE\xE9\xC2\xBD\xC6\xE2\xB0\xC6\xBE\xC1";
// 拾佰仟万拾佰仟亿拾佰仟万
constexpr std::string_view kUnits =
    "\xCA\xB0\xB0\xDB\xC7\xAA\xCD\xF2"
    "\xCA\xB0\xB0\xDB\xC7\xAA\xD2\xDA"
    "\xCA\xB0\xB0\xDB\xC7\xAA\xCD\xF2";
constexpr std::string_view kYuan = "\xD4\xAA";              // 元
constexpr std::string_view kJiao = "\xBD\xC7";              // 角
constexpr std::string_view kFen = "\xB7\xD6";               // 分
constexpr std::string_view kWhole = "\xD5\xFB";             // 整
constexpr std::string_view kMinus = "\xB8\xBA";             // 负
constexpr std::string_view kOverflow = "\xD2\xE7\xB3\xF6";  // 溢出
constexpr std::string_view kWan = kUnits.substr(3 * 2, 2);  // 万
constexpr std::string_view kYi = kUnits.substr(7 * 2, 2);   // 亿

constexpr double kMaxCents = 999999999999999.0;

std::string_view digit(int d) { return kDigits.substr(static_cast<std::size_t>(d) * 2, 2); }

}  // namespace

std::string capitalAmountText(double amount) {
    const bool negative = amount < 0;
    const double scaled = std::fabs(amount) * 100 + 1e-12;
    double cents = std::floor(scaled);
    if (scaled - cents >= 0.5) cents += 1;
    // Checked as a double: the count may be far beyond any integer type.
    if (!(cents <= kMaxCents)) return std::string(kOverflow);
    auto n = static_cast<std::uint64_t>(cents);
    if (n == 0) return std::string(kDigits.substr(0, 2));

    // Built from the cents upwards, each piece going in front; pieces are
    // collected in reverse and joined at the end.
    std::string_view reversed[64];
    int count = 0;
    const auto put = [&](std::string_view piece) { reversed[count++] = piece; };

    if (n % 10 == 0) put(kWhole);
    bool lastWasDigit = false;
    bool yuanWritten = false;
    bool section = false;
    for (int p = 0; n > 0; ++p, n /= 10) {
        const int d = static_cast<int>(n % 10);
        if (p == 6 || p == 10) section = false;
        if (d == 0) {
            if (lastWasDigit) {
                put(digit(0));
                lastWasDigit = false;
            }
            continue;
        }
        lastWasDigit = true;
        if (p < 2) {
            put(p == 0 ? kFen : kJiao);
        } else {
            if (!yuanWritten) {
                put(kYuan);
                yuanWritten = true;
            }
            if (p >= 6 && !section) {
                if (p >= 7 && p <= 9) put(kWan);
                if (p >= 11) put(kYi);
                section = true;
            }
            if (p >= 3) put(kUnits.substr(static_cast<std::size_t>(p - 3) * 2, 2));
        }
        put(digit(d));
    }
    if (negative) put(kMinus);

    std::string text;
    while (count > 0) text += reversed[--count];
    return text;
}

}  // namespace convert
