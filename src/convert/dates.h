// Date-times and their texts. A date-time is a double counting days since
// 30 December 1899 00:00, the fraction being the time of day, on the
// proleptic Gregorian calendar: the platform's date type (OLE Automation
// DATE). Before 1899-12-30 the whole part counts days back and the fraction
// still counts time forwards: -1.25 is 29 December 1899 06:00.
// Texts are GBK byte strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace convert {

inline constexpr double kFirstDateTime = -657434.0;  // 1 January 100
inline constexpr double kLastDateTime = 2958465.0;   // 31 December 9999

struct DateTimeParts {
    int year = 100;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The parts of a date-time clamped to kFirstDateTime … kLastDateTime (NaN
// counts as kFirstDateTime), the time rounded to the nearest second (a half
// second up, into the next day when it reaches midnight) as the platform's
// date type splits it.
DateTimeParts splitDateTime(double dateTime);

// The date-time of the parts, or nullopt when a part lies outside its range
// (year 100 … 9999, month 1 … 12, day within the month, hour 0 … 23, minute
// and second 0 … 59). Every value made here that lies within kFirstDateTime
// … kLastDateTime comes back unchanged through dateToText and textToDate.
std::optional<double> dateTimeFromParts(const DateTimeParts& parts);

// "Y年M月D日" without leading zeros, followed by "H时M分S秒" when the seconds are
// not 0, else "H时M分" when the minutes are not 0, else "H时" when the hour is
// not 0. The value is split as splitDateTime does.
std::string dateToText(double dateTime);

struct TextDate {
    double dateTime;  // kFirstDateTime when the text is not a date
    bool isDate;
};

// After foldFullWidth, reads year (up to 4 digits), month, day, hour, minute
// and second (up to 2 digits each; fewer or none give a smaller value or 0).
// After the year, month, hour and minute one "-", ".", "/" or ":" is skipped,
// else "年", "月", "时" or "分" respectively; after the day also a space may
// stand, else "日". What follows the second must be nothing or begin with
// "秒". A date only when every part lies in its range (see dateTimeFromParts):
// "2024年3月5日", "2024-3-5", "2024/03/05 14:07:30" and every dateToText text
// are dates; "2024", "2024年13月1日" and "2023-2-29" are not.
TextDate textToDate(std::string_view text);

// The same day (as splitDateTime gives it) at 00:00:00.
double datePart(double dateTime);

// The key that orders date-times as time runs: clamped to kFirstDateTime …
// kLastDateTime (NaN as kFirstDateTime); a negative value with a fraction
// becomes t - (x - t), t being its whole part, so that -1.25 (29 December
// 06:00) sorts as -0.75.
double dateKey(double dateTime);

}  // namespace convert
