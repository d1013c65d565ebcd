#include "clock.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "dates.h"

namespace backup {

namespace {

class SystemClock : public Clock {
  public:
    LocalTime now() override {
        const std::time_t t = std::time(nullptr);
        std::tm parts{};
#ifdef _WIN32
        localtime_s(&parts, &t);
#else
        localtime_r(&t, &parts);
#endif
        return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                parts.tm_hour,        parts.tm_min,     parts.tm_sec};
    }
};

bool digits(std::string_view s, std::size_t at, std::size_t n, int& out) {
    out = 0;
    if (s.size() < at + n) return false;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

double toDateTime(const LocalTime& t) {
    const convert::DateTimeParts parts{t.year, t.month, t.day, t.hour, t.minute, t.second};
    return convert::dateTimeFromParts(parts).value_or(0.0);
}

LocalTime fromDateTime(double dateTime) {
    const convert::DateTimeParts p = convert::splitDateTime(dateTime);
    return {p.year, p.month, p.day, p.hour, p.minute, p.second};
}

std::string folderName(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

bool parseFolderName(std::string_view name, LocalTime& t) {
    if (name.size() < 15 || name[8] != '-') return false;
    if (!digits(name, 0, 4, t.year) || !digits(name, 4, 2, t.month) || !digits(name, 6, 2, t.day) ||
        !digits(name, 9, 2, t.hour) || !digits(name, 11, 2, t.minute) ||
        !digits(name, 13, 2, t.second))
        return false;
    if (!convert::dateTimeFromParts({t.year, t.month, t.day, t.hour, t.minute, t.second}))
        return false;
    if (name.size() == 15) return true;
    // A further backup of the same second: "-2", "-3" …
    if (name[15] != '-' || name.size() == 16) return false;
    for (std::size_t i = 16; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

std::string displayText(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

}  // namespace backup
