// The tool's own conversions: date texts to stored date-times and back, and
// the shortest number forms of the dump.
#include "values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using edbtool::dateTimeText;
using edbtool::parseDateTime;

TEST(EdbtoolDates, TextsBecomeDaysSinceTheEpoch) {
    EXPECT_EQ(parseDateTime("1899-12-30"), 0.0);
    EXPECT_EQ(parseDateTime("1900-03-01"), 61.0);  // 1900 is no leap year
    EXPECT_EQ(parseDateTime("2000-02-29"), 36585.0);
    EXPECT_EQ(parseDateTime("2024-03-05 12:00:00"), 45356.5);
    EXPECT_EQ(parseDateTime("9999-12-31"), 2958465.0);
    EXPECT_EQ(parseDateTime("0100-01-01"), -657434.0);
    // Before the epoch the time counts away from zero.
    EXPECT_EQ(parseDateTime("1899-12-29 18:00:00"), -1.75);
}

TEST(EdbtoolDates, ImpossibleTextsAreRefused) {
    for (const char* s : {"2023-02-29", "1900-02-29", "2024-13-01", "2024-00-10", "2024-04-31",
                          "2024-01-01 24:00:00", "2024-01-01 23:60:00", "0099-12-31",
                          "2024-01-01T00:00:00", "2024-1-1", "2024-01-01 ", "", "+024-01-01"})
        EXPECT_FALSE(parseDateTime(s).has_value()) << s;
}

TEST(EdbtoolDates, DaysGoBackToText) {
    EXPECT_EQ(dateTimeText(0), "1899-12-30");
    EXPECT_EQ(dateTimeText(45356.5), "2024-03-05 12:00:00");
    EXPECT_EQ(dateTimeText(-1.75), "1899-12-29 18:00:00");
    EXPECT_EQ(dateTimeText(-657434), "0100-01-01");
    EXPECT_EQ(dateTimeText(2958465.99999), "9999-12-31 23:59:59");
    EXPECT_EQ(dateTimeText(1.999999999), "1900-01-01");  // rounds into the next day
    for (const char* s : {"1970-01-01 00:00:01", "2038-01-19 03:14:07", "1600-02-29 12:34:56"})
        EXPECT_EQ(dateTimeText(*parseDateTime(s)), s);
}

TEST(EdbtoolNumbers, ShortestFormsReadBackExactly) {
    EXPECT_EQ(edbtool::numberText(0.1), "0.1");
    EXPECT_EQ(edbtool::numberText(100), "100");
    EXPECT_EQ(edbtool::numberText(-0.5), "-0.5");
    EXPECT_EQ(edbtool::numberText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(edbtool::numberText(std::nan("")), "null");
    EXPECT_EQ(edbtool::numberText(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(edbtool::floatText(0.1f), "0.1");
    EXPECT_EQ(edbtool::floatText(16777217.0f), "16777216");
}

TEST(EdbtoolBytes, HexBothWays) {
    EXPECT_EQ(edbtool::hexEncode(std::string("\x00\xff\x10", 3)), "00ff10");
    EXPECT_EQ(edbtool::hexDecode("00FF10"), std::string("\x00\xff\x10", 3));
    EXPECT_EQ(edbtool::hexDecode(""), std::string());
    EXPECT_FALSE(edbtool::hexDecode("0").has_value());
    EXPECT_FALSE(edbtool::hexDecode("0x").has_value());
}

TEST(EdbtoolNames, LettersFoldOnlyOutsideDoubleByteCharacters) {
    EXPECT_EQ(edbtool::fieldNameKey("aBc"), "ABC");
    // 0x81 0x61 is one double-byte character; its trail byte is not a letter.
    EXPECT_EQ(edbtool::fieldNameKey("\x81"
                                    "a"
                                    "b"),
              "\x81"
              "a"
              "B");
}

TEST(EdbtoolValues, AnObjectGivesValuesByFieldName) {
    using tables::FieldType;
    using tables::TableValue;
    const std::vector<tables::FieldDescriptor> fields = {
        {"\xC8\xD5\xC6\xDA", FieldType::DateTime, 4, 0},  // 日期
        {"Name", FieldType::Text, 12, 10},
        {"\xBD\xF0\xB6\xEE", FieldType::Double, 22, 0},  // 金额
    };
    std::vector<TableValue> values;
    // Any order; letters without regard to case; the fields not named absent.
    ASSERT_EQ(edbtool::valuesFromJson(R"({"金额": 5, "NAME": "王"})", fields, values), 0);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_TRUE(values[0].isAbsent());
    EXPECT_EQ(values[1], TableValue::text("\xCD\xF5"));
    EXPECT_EQ(values[2].asNumber(), 5);

    ASSERT_EQ(edbtool::valuesFromJson(R"({"Name": "x"})", fields, values), 0);
    EXPECT_EQ(values.size(), 2u);  // the rest stays absent
    EXPECT_EQ(edbtool::valuesFromJson(R"({"名字": "x"})", fields, values), tables::kNoSuchField);
    EXPECT_EQ(edbtool::valuesFromJson(R"({"日期": "2023-02-29"})", fields, values),
              tables::kValueKindMismatch);
    EXPECT_EQ(edbtool::valuesFromJson(R"("金额")", fields, values), tables::kValueKindMismatch);
}

}  // namespace
