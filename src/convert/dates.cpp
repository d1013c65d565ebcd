#include "dates.h"

#include <chrono>
#include <cmath>

#include "numbers.h"
#include "text.h"

namespace convert {
namespace {

namespace chr = std::chrono;

// Days from 1970-01-01 (the clock's epoch) back to 1899-12-30.
constexpr long kEpochOffset = 25569;
constexpr int kSecondsPerDay = 86400;

// GBK texts of the date words.
constexpr std::string_view kYear = "\xC4\xEA";    // 年
constexpr std::string_view kMonth = "\xD4\xC2";   // 月
constexpr std::string_view kDay = "\xC8\xD5";     // 日
constexpr std::string_view kHour = "\xCA\xB1";    // 时
constexpr std::string_view kMinute = "\xB7\xD6";  // 分
constexpr std::string_view kSecond = "\xC3\xEB";  // 秒

double clampDateTime(double x) {
    if (std::isnan(x) || x < kFirstDateTime) return kFirstDateTime;
    if (x > kLastDateTime) return kLastDateTime;
    return x;
}

long serialFromCivil(const chr::year_month_day& ymd) {
    return static_cast<long>(chr::sys_days(ymd).time_since_epoch().count()) + kEpochOffset;
}

chr::year_month_day civilFromSerial(long serial) {
    return chr::year_month_day(chr::sys_days(chr::days(serial - kEpochOffset)));
}

// A day number and seconds since its midnight as one date-time.
double compose(long serial, int seconds) {
    const double time = static_cast<double>(seconds) / kSecondsPerDay;
    return serial < 0 ? serial - time : serial + time;
}

}  // namespace

DateTimeParts splitDateTime(double dateTime) {
    const double x = clampDateTime(dateTime);
    const double whole = std::trunc(x);
    long serial = static_cast<long>(whole);
    const double seconds = std::floor(std::fabs(x - whole) * kSecondsPerDay + 0.5);
    int secondOfDay = static_cast<int>(seconds);
    if (secondOfDay >= kSecondsPerDay) {
        // Rounded up to midnight: the next calendar day, also before 1899
        // where the next day has the whole part one nearer zero.
        secondOfDay -= kSecondsPerDay;
        ++serial;
    }
    const chr::year_month_day ymd = civilFromSerial(serial);
    DateTimeParts parts;
    parts.year = static_cast<int>(ymd.year());
    parts.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    parts.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    parts.hour = secondOfDay / 3600;
    parts.minute = secondOfDay / 60 % 60;
    parts.second = secondOfDay % 60;
    return parts;
}

std::optional<double> dateTimeFromParts(const DateTimeParts& p) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 ||
        p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
        p.second > 59) {
        return std::nullopt;
    }
    const chr::year_month_day ymd{chr::year(p.year), chr::month(static_cast<unsigned>(p.month)),
                                  chr::day(static_cast<unsigned>(p.day))};
    if (!ymd.ok()) return std::nullopt;  // a day beyond the month's length
    return compose(serialFromCivil(ymd), p.hour * 3600 + p.minute * 60 + p.second);
}

std::string dateToText(double dateTime) {
    const DateTimeParts p = splitDateTime(dateTime);
    std::string text = numberToText(p.year);
    text += kYear;
    text += numberToText(p.month);
    text += kMonth;
    text += numberToText(p.day);
    text += kDay;
    if (p.second != 0 || p.minute != 0 || p.hour != 0) {
        text += numberToText(p.hour);
        text += kHour;
        if (p.second != 0 || p.minute != 0) {
            text += numberToText(p.minute);
            text += kMinute;
            if (p.second != 0) {
                text += numberToText(p.second);
                text += kSecond;
            }
        }
    }
    return text;
}

TextDate textToDate(std::string_view text) {
    const TextDate notADate{kFirstDateTime, false};
    const std::string folded = foldFullWidth(text);
    const std::string_view s = folded;
    if (s.empty()) return notADate;

    std::size_t i = 0;
    const auto field = [&](int maxDigits) {
        int value = 0;
        for (int n = 0; n < maxDigits && i < s.size() && s[i] >= '0' && s[i] <= '9'; ++n, ++i) {
            value = value * 10 + (s[i] - '0');
        }
        return value;
    };
    const auto separator = [&](bool spaceToo, std::string_view word) {
        if (i < s.size() && (s[i] == '-' || s[i] == '.' || s[i] == '/' || s[i] == ':' ||
                             (spaceToo && s[i] == ' '))) {
            ++i;
        } else if (s.substr(i).starts_with(word)) {
            i += word.size();
        }
    };

    DateTimeParts p;
    p.year = field(4);
    separator(false, kYear);
    p.month = field(2);
    separator(false, kMonth);
    p.day = field(2);
    separator(true, kDay);
    p.hour = field(2);
    separator(false, kHour);
    p.minute = field(2);
    separator(false, kMinute);
    p.second = field(2);
    if (i < s.size() && !s.substr(i).starts_with(kSecond)) return notADate;

    const std::optional<double> dateTime = dateTimeFromParts(p);
    if (!dateTime) return notADate;
    return TextDate{*dateTime, true};
}

double datePart(double dateTime) {
    DateTimeParts p = splitDateTime(dateTime);
    p.hour = p.minute = p.second = 0;
    // Parts from splitDateTime are always valid.
    return dateTimeFromParts(p).value_or(kFirstDateTime);
}

double dateKey(double dateTime) {
    const double x = clampDateTime(dateTime);
    if (x >= 0) return x;
    const double t = std::trunc(x);
    return t - (x - t);
}

}  // namespace convert
