#include "dates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gbk_literal.h"

namespace {

using convert::dateKey;
using convert::datePart;
using convert::dateTimeFromParts;
using convert::DateTimeParts;
using convert::dateToText;
using convert::gbkToUtf8;
using convert::kFirstDateTime;
using convert::kLastDateTime;
using convert::splitDateTime;
using convert::textToDate;

constexpr double kMarch5th2024 = 45356;  // days since 1899-12-30

double at(double day, int h, int m, int s) { return day + (h * 3600 + m * 60 + s) / 86400.0; }

std::string shown(double dateTime) { return convert::gbkToUtf8(dateToText(dateTime)); }

TEST(DateTimeFromParts, CountsDaysFromTheEpochOnTheGregorianCalendar) {
    EXPECT_EQ(dateTimeFromParts({1899, 12, 30}), 0);
    EXPECT_EQ(dateTimeFromParts({1900, 1, 1}), 2);
    EXPECT_EQ(dateTimeFromParts({1900, 2, 28}), 60);
    EXPECT_EQ(dateTimeFromParts({1900, 3, 1}), 61);  // 1900 has no February 29
    EXPECT_EQ(dateTimeFromParts({2024, 3, 5}), kMarch5th2024);
    EXPECT_EQ(dateTimeFromParts({100, 1, 1}), -657434);
    EXPECT_EQ(dateTimeFromParts({9999, 12, 31}), 2958465);
}

TEST(DateTimeFromParts, CountsTimeForwardsAlsoBefore1900) {
    EXPECT_EQ(dateTimeFromParts({2024, 3, 5, 12, 0, 0}), kMarch5th2024 + 0.5);
    EXPECT_EQ(dateTimeFromParts({1899, 12, 29, 6, 0, 0}), -1.25);
    EXPECT_EQ(dateTimeFromParts({1899, 12, 30, 18, 0, 0}), 0.75);
}

TEST(DateTimeFromParts, RefusesPartsOutsideTheirRanges) {
    EXPECT_FALSE(dateTimeFromParts({99, 12, 31}));
    EXPECT_FALSE(dateTimeFromParts({10000, 1, 1}));
    EXPECT_FALSE(dateTimeFromParts({2024, 4, 31}));
    EXPECT_FALSE(dateTimeFromParts({2024, 1, 0}));
    EXPECT_FALSE(dateTimeFromParts({2024, 1, 1, -1, 0, 0}));
}

TEST(DateToText, ShowsOnlyTheTimePiecesUpToTheLastNonZeroOne) {
    EXPECT_EQ(shown(kMarch5th2024), "2024年3月5日");
    EXPECT_EQ(shown(at(kMarch5th2024, 14, 7, 30)), "2024年3月5日14时7分30秒");
    EXPECT_EQ(shown(at(kMarch5th2024, 9, 0, 0)), "2024年3月5日9时");
    EXPECT_EQ(shown(at(kMarch5th2024, 9, 30, 0)), "2024年3月5日9时30分");
    EXPECT_EQ(shown(at(kMarch5th2024, 0, 5, 0)), "2024年3月5日0时5分");
    EXPECT_EQ(shown(at(kMarch5th2024, 0, 0, 5)), "2024年3月5日0时0分5秒");
    EXPECT_EQ(shown(at(kMarch5th2024, 23, 59, 59)), "2024年3月5日23时59分59秒");
}

TEST(DateToText, CalendarBoundaries) {
    EXPECT_EQ(shown(0), "1899年12月30日");
    EXPECT_EQ(shown(60), "1900年2月28日");
    EXPECT_EQ(shown(61), "1900年3月1日");
    EXPECT_EQ(shown(36585), "2000年2月29日");
    EXPECT_EQ(shown(45351), "2024年2月29日");
    EXPECT_EQ(shown(-657434), "100年1月1日");
    EXPECT_EQ(shown(2958465), "9999年12月31日");
}

TEST(DateToText, ClampsToTheValidRange) {
    EXPECT_EQ(shown(2958466), "9999年12月31日");
    EXPECT_EQ(shown(2958465.5), "9999年12月31日");
    EXPECT_EQ(shown(1e300), "9999年12月31日");
    EXPECT_EQ(shown(-657435), "100年1月1日");
    EXPECT_EQ(shown(-1e300), "100年1月1日");
    EXPECT_EQ(shown(std::nan("")), "100年1月1日");
}

TEST(DateToText, NegativeValuesCountTheTimeForwards) {
    EXPECT_EQ(shown(-1.25), "1899年12月29日6时");
    EXPECT_EQ(shown(-0.5), "1899年12月30日12时");
    EXPECT_EQ(shown(-657433.75), "100年1月2日18时");
}

TEST(DateToText, RoundsToTheNearestSecond) {
    EXPECT_EQ(shown(kMarch5th2024 + 29.4 / 86400), "2024年3月5日0时0分29秒");
    EXPECT_EQ(shown(kMarch5th2024 + 29.6 / 86400), "2024年3月5日0时0分30秒");
    EXPECT_EQ(shown(kMarch5th2024 + 59.51 / 86400), "2024年3月5日0时1分");
    EXPECT_EQ(shown(kMarch5th2024 + 59.49 / 86400), "2024年3月5日0时0分59秒");
    EXPECT_EQ(shown(kMarch5th2024 + 0.4 / 86400), "2024年3月5日");
    // Less than half a second before midnight rounds into the next day.
    EXPECT_EQ(shown(kMarch5th2024 + 86399.6 / 86400), "2024年3月6日");
    EXPECT_EQ(shown(kMarch5th2024 + 86399.4 / 86400), "2024年3月5日23时59分59秒");
    EXPECT_EQ(shown(60.9999999), "1900年3月1日");  // across the end of February
    // 29 December 1899, 23:59:59.9 is 30 December, also below zero.
    EXPECT_EQ(shown(-1.9999999), "1899年12月30日");
    EXPECT_EQ(shown(2958464.9999999), "9999年12月31日");
}

TEST(TextToDate, ReadsTheListedForms) {
    EXPECT_EQ(textToDate(gbk("2024年3月5日")).dateTime, kMarch5th2024);
    EXPECT_TRUE(textToDate(gbk("2024年3月5日")).isDate);
    EXPECT_EQ(textToDate("2024-3-5").dateTime, kMarch5th2024);
    EXPECT_EQ(textToDate("2024/03/05 14:07:30").dateTime, at(kMarch5th2024, 14, 7, 30));
    EXPECT_EQ(textToDate("2024-3-5 8:30").dateTime, at(kMarch5th2024, 8, 30, 0));
    EXPECT_EQ(textToDate("2024.3.5").dateTime, kMarch5th2024);
    EXPECT_EQ(textToDate("20240305").dateTime, kMarch5th2024);  // fields by digit count
    EXPECT_EQ(textToDate(gbk("2024年3月5日14时7分30秒")).dateTime, at(kMarch5th2024, 14, 7, 30));
    EXPECT_EQ(textToDate(gbk("2024年3月5日9时")).dateTime, at(kMarch5th2024, 9, 0, 0));
    EXPECT_EQ(textToDate(gbk("２０２４年３月５日")).dateTime, kMarch5th2024);
    EXPECT_EQ(textToDate(gbk("2024年3月5日1时2分3秒以后")).dateTime, at(kMarch5th2024, 1, 2, 3));
}

TEST(TextToDate, February29) {
    EXPECT_TRUE(textToDate(gbk("2024年2月29日")).isDate);
    EXPECT_FALSE(textToDate(gbk("2023年2月29日")).isDate);
    EXPECT_FALSE(textToDate("2023-2-29").isDate);
    EXPECT_FALSE(textToDate("1900-2-29").isDate);
    EXPECT_TRUE(textToDate("2000-2-29").isDate);
}

TEST(TextToDate, EndsOfTheRange) {
    const auto first = textToDate("100-1-1");
    EXPECT_TRUE(first.isDate);
    EXPECT_EQ(first.dateTime, kFirstDateTime);
    // A time on the last day reads, but the shown range ends at its midnight.
    EXPECT_EQ(textToDate("9999-12-31 23:59:59").dateTime, at(kLastDateTime, 23, 59, 59));
    EXPECT_EQ(shown(at(kLastDateTime, 23, 59, 59)), "9999年12月31日");
    EXPECT_FALSE(textToDate("99-12-31").isDate);
    EXPECT_FALSE(textToDate("10000-1-1").isDate);
}

TEST(TextToDate, RefusesWhatIsNotADate) {
    for (const std::string& text :
         {std::string("2024"), gbk("2024年13月1日"), std::string("2024-0-1"),
          std::string("2024-4-31"), std::string("2024-3-5 24:00"), std::string("2024-3-5 0:60"),
          std::string("2024-3-5 0:0:60"), std::string("2024-3-5x"), std::string("2024-3-5 x"),
          gbk("2024年3月5日下午"), std::string(""), std::string("   "), gbk("　"),
          std::string(" 2024-3-5"), std::string("abc"), gbk("秒")}) {
        const auto date = textToDate(text);
        EXPECT_FALSE(date.isDate) << gbkToUtf8(text);
        EXPECT_EQ(date.dateTime, kFirstDateTime) << gbkToUtf8(text);
    }
}

TEST(TextToDate, IsTotalOnMalformedTexts) {
    // Half a character at the end (a full text field) is dropped, not read on.
    EXPECT_EQ(textToDate(gbk("2024年3月5日1时2分3") + "\xC3").dateTime, at(kMarch5th2024, 1, 2, 3));
    EXPECT_FALSE(textToDate("2024-3-5 1:2:3\xC3\xEC").isDate);  // not 秒 (C3 EB)
    EXPECT_FALSE(textToDate(std::string(100000, '9')).isDate);
    EXPECT_FALSE(textToDate(std::string(100000, '\xA3')).isDate);
    for (int b = 1; b < 256; ++b) {
        textToDate("2024-3-" + std::string(1, static_cast<char>(b)));
        textToDate(std::string(1, static_cast<char>(b)));
    }
}

TEST(DateText, EveryWholeSecondRoundTrips) {
    // Every second of a day, on days after and before 30 December 1899.
    for (const DateTimeParts day : {DateTimeParts{2024, 2, 29}, DateTimeParts{1899, 12, 29}}) {
        for (int s = 0; s < 86400; s += 1) {
            DateTimeParts p = day;
            p.hour = s / 3600;
            p.minute = s / 60 % 60;
            p.second = s % 60;
            const double value = dateTimeFromParts(p).value();
            const DateTimeParts back = splitDateTime(value);
            ASSERT_EQ(back.hour * 3600 + back.minute * 60 + back.second, s);
            ASSERT_EQ(back.day, p.day);
            if (s % 97 == 0) {
                const auto read = textToDate(dateToText(value));
                ASSERT_TRUE(read.isDate);
                ASSERT_EQ(read.dateTime, value) << gbkToUtf8(dateToText(value));
            }
        }
    }
}

TEST(DateText, DaysAcrossTheWholeRangeRoundTrip) {
    int checked = 0;
    for (double day = kFirstDateTime; day <= kLastDateTime; day += 89) {
        // A different time of day each time; none on the first day, which
        // starts the range.
        const int s = day == kFirstDateTime ? 0 : checked * 7919 % 86400;
        const double value = day < 0 ? day - s / 86400.0 : day + s / 86400.0;
        const auto read = textToDate(dateToText(value));
        ASSERT_TRUE(read.isDate) << day;
        ASSERT_EQ(read.dateTime, value) << day;
        ++checked;
    }
    const auto last = textToDate(dateToText(kLastDateTime));
    EXPECT_EQ(last.dateTime, kLastDateTime);
    EXPECT_GT(checked, 40000);
}

TEST(DatePart, DropsTheTimeOfDay) {
    EXPECT_EQ(datePart(at(kMarch5th2024, 14, 7, 30)), kMarch5th2024);
    EXPECT_EQ(datePart(kMarch5th2024), kMarch5th2024);
    EXPECT_EQ(datePart(-1.25), -1);
    EXPECT_EQ(datePart(-0.5), 0);
    EXPECT_EQ(datePart(kMarch5th2024 + 86399.7 / 86400), kMarch5th2024 + 1);  // as shown
    EXPECT_EQ(datePart(1e9), kLastDateTime);
    EXPECT_EQ(datePart(std::nan("")), kFirstDateTime);
}

TEST(DateKey, MakesTimeBefore1900Continuous) {
    EXPECT_EQ(dateKey(-1.25), -0.75);
    EXPECT_EQ(dateKey(-0.5), 0.5);
    EXPECT_EQ(dateKey(-3), -3);
    EXPECT_EQ(dateKey(5.5), 5.5);
    EXPECT_EQ(dateKey(0), 0);
    // 28 Dec 18:00 < 29 Dec 00:00 < 29 Dec 06:00 < 30 Dec 00:00 < 30 Dec 06:00.
    EXPECT_LT(dateKey(-2.75), dateKey(-1));
    EXPECT_LT(dateKey(-1), dateKey(-1.25));
    EXPECT_LT(dateKey(-1.25), dateKey(0));
    EXPECT_LT(dateKey(0), dateKey(0.25));
}

TEST(DateKey, ClampsToTheValidRange) {
    EXPECT_EQ(dateKey(3e6), kLastDateTime);
    EXPECT_EQ(dateKey(-1e6), kFirstDateTime);
    EXPECT_EQ(dateKey(-657434.5), kFirstDateTime);
    EXPECT_EQ(dateKey(std::nan("")), kFirstDateTime);
    EXPECT_EQ(dateKey(kLastDateTime), kLastDateTime);
}

}  // namespace
