// The local time, asked of a clock that tests replace: the daily backup,
// the names of backup folders and the time a record was deleted go by it.
#pragma once

#include <string>

namespace backup {

struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const LocalTime&) const = default;
    bool sameDay(const LocalTime& other) const {
        return year == other.year && month == other.month && day == other.day;
    }
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

// The machine's clock in its local time zone.
Clock& systemClock();

// A clock that says what it is told (tests, benchmarks).
class FixedClock : public Clock {
  public:
    explicit FixedClock(LocalTime t = {}) : time_(t) {}
    LocalTime now() override { return time_; }
    void set(LocalTime t) { time_ = t; }

  private:
    LocalTime time_;
};

// As a date-time: days since 30 December 1899, the fraction the time of day.
double toDateTime(const LocalTime& t);
LocalTime fromDateTime(double dateTime);

// "20240301-093012", the name of a backup folder made at that time.
std::string folderName(const LocalTime& t);
// The time a backup folder's name gives ("20240301-093012" or, for a second
// backup in the same second, "20240301-093012-2"); false for any other name.
bool parseFolderName(std::string_view name, LocalTime& t);
// "2024-03-01 09:30:12".
std::string displayText(const LocalTime& t);

}  // namespace backup
