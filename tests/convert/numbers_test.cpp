#include "numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "gbk_literal.h"

namespace {

using convert::numberToText;
using convert::roundTo;
using convert::textToNumber;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TextToNumber, ReadsFullWidthForms) {
    EXPECT_EQ(textToNumber(gbk("１２．５")), 12.5);
    EXPECT_EQ(textToNumber(gbk("－") + "3"), -3);
    EXPECT_EQ(textToNumber(gbk("＋５")), 5);
    EXPECT_EQ(textToNumber(gbk("　７")), 7);
    EXPECT_EQ(textToNumber(gbk("１ｅ３")), 1000);
    EXPECT_EQ(textToNumber(gbk("１２元")), 12);
}

TEST(TextToNumber, ReadsTheLeadingNumberLikeAtof) {
    EXPECT_EQ(textToNumber("3e2"), 300);
    EXPECT_EQ(textToNumber(" 7"), 7);
    EXPECT_EQ(textToNumber("-.5"), -0.5);
    EXPECT_EQ(textToNumber("5."), 5);
    EXPECT_EQ(textToNumber("2.5E-1x"), 0.25);
    EXPECT_EQ(textToNumber("1,234"), 1);  // no grouping, whatever the locale
    EXPECT_EQ(textToNumber("12.5.6"), 12.5);
    EXPECT_EQ(textToNumber("1e"), 1);  // an exponent needs digits
    EXPECT_EQ(textToNumber("1e+"), 1);
    EXPECT_EQ(textToNumber("2.675"), 2.675);
    EXPECT_EQ(textToNumber("12345678901234567890"), 12345678901234567890.0);
}

TEST(TextToNumber, NoNumberGivesZero) {
    EXPECT_EQ(textToNumber("abc"), 0);
    EXPECT_EQ(textToNumber(""), 0);
    EXPECT_EQ(textToNumber("."), 0);
    EXPECT_EQ(textToNumber("-"), 0);
    EXPECT_EQ(textToNumber("+-1"), 0);
    EXPECT_EQ(textToNumber("inf"), 0);
    EXPECT_EQ(textToNumber("nan"), 0);
    EXPECT_EQ(textToNumber("0x1A"), 0);
    EXPECT_EQ(textToNumber(gbk("元12")), 0);
    EXPECT_EQ(textToNumber("\xA3"), 0);
}

TEST(TextToNumber, BeyondTheRangeOfADouble) {
    EXPECT_EQ(textToNumber("1e400"), kInf);
    EXPECT_EQ(textToNumber("1" + std::string(400, '0')), kInf);
    EXPECT_EQ(textToNumber("0.01e311"), kInf);
    EXPECT_EQ(textToNumber("1e-400"), 0);
    EXPECT_EQ(textToNumber("0." + std::string(400, '0') + "1"), 0);
    EXPECT_EQ(textToNumber("100000e-330"), 0);
    EXPECT_EQ(textToNumber("1e99999999999999999999"), kInf);
    EXPECT_EQ(textToNumber("1e-99999999999999999999"), 0);
    EXPECT_EQ(textToNumber("0e99999"), 0);
}

TEST(NumberToText, ThirteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(numberToText(12.5), "12.5");
    EXPECT_EQ(numberToText(100.0), "100");
    EXPECT_EQ(numberToText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToText(0.0), "0");
    EXPECT_EQ(numberToText(1234567890123.4), "1234567890123");
    EXPECT_EQ(numberToText(1.0 / 3), "0.3333333333333");
    EXPECT_EQ(numberToText(2.0 / 3), "0.6666666666667");
    EXPECT_EQ(numberToText(0.0001), "0.0001");
    EXPECT_EQ(numberToText(0.00012345), "0.00012345");
}

TEST(NumberToText, ExponentHasSignAndThreeDigits) {
    EXPECT_EQ(numberToText(0.000012), "1.2e-005");
    EXPECT_EQ(numberToText(1e-5), "1e-005");
    EXPECT_EQ(numberToText(1e15), "1e+015");
    EXPECT_EQ(numberToText(-1e15), "-1e+015");
    EXPECT_EQ(numberToText(1e100), "1e+100");
    EXPECT_EQ(numberToText(1.5e-300), "1.5e-300");
    EXPECT_EQ(numberToText(123456789012345678.0), "1.234567890123e+017");
}

TEST(NumberToText, SwitchesToExponentAtThirteenDigits) {
    EXPECT_EQ(numberToText(9999999999999.0), "9999999999999");
    EXPECT_EQ(numberToText(1e13), "1e+013");
    // Rounds up to 10^13 and so takes the exponent form.
    EXPECT_EQ(numberToText(9999999999999.5), "1e+013");
    EXPECT_EQ(numberToText(9999999999999.4), "9999999999999");
}

TEST(NumberToText, RoundsAnExactTieToEvenOnEveryPlatform) {
    // A C library that rounds the decimal digits half up (as older Windows
    // ones do) would show ...123 here.
    EXPECT_EQ(numberToText(1234567890122.5), "1234567890122");
    EXPECT_EQ(numberToText(1234567890123.5), "1234567890124");
}

TEST(NumberToText, NonFiniteValues) {
    EXPECT_EQ(numberToText(kInf), "inf");
    EXPECT_EQ(numberToText(-kInf), "-inf");
    EXPECT_EQ(numberToText(std::nan("")), "nan");
}

TEST(NumberToText, IntegerForm) {
    EXPECT_EQ(numberToText(0), "0");
    EXPECT_EQ(numberToText(-5), "-5");
    EXPECT_EQ(numberToText(INT_MAX), "2147483647");
    EXPECT_EQ(numberToText(INT_MIN), "-2147483648");
}

TEST(NumberToText, ReadsBackAsTheSameTextAfterTextToNumber) {
    for (const double x : {12.5, -3.75, 0.1, 1e-5, 1.2e-5, 1e15, 1234567.891, 9999999999999.0}) {
        const std::string shown = numberToText(x);
        EXPECT_EQ(numberToText(textToNumber(shown)), shown) << shown;
    }
}

TEST(RoundTo, ListedCases) {
    EXPECT_EQ(roundTo(0.05, 1), 0.1);
    EXPECT_EQ(roundTo(-0.05, 1), -0.1);
    EXPECT_EQ(roundTo(1234.5, -2), 1200);
    EXPECT_EQ(roundTo(2.25, 1), 2.3);
    EXPECT_EQ(roundTo(-2.25, 1), -2.3);
    EXPECT_EQ(roundTo(2.675, 2), 2.68);
}

TEST(RoundTo, HalvesGoAwayFromZeroAtEveryPlace) {
    EXPECT_EQ(roundTo(0.5), 1);
    EXPECT_EQ(roundTo(1.5), 2);
    EXPECT_EQ(roundTo(2.5), 3);
    EXPECT_EQ(roundTo(-2.5), -3);
    EXPECT_EQ(roundTo(0.25, 1), 0.3);
    EXPECT_EQ(roundTo(-0.35, 1), -0.4);
    EXPECT_EQ(roundTo(0.125, 2), 0.13);
    EXPECT_EQ(roundTo(1.005, 2), 1.01);  // stored a little below the half
    EXPECT_EQ(roundTo(-1.005, 2), -1.01);
    EXPECT_EQ(roundTo(150.0, -2), 200);
    EXPECT_EQ(roundTo(250.0, -2), 300);
    EXPECT_EQ(roundTo(-250.0, -2), -300);
}

TEST(RoundTo, BelowTheHalfGoesDown) {
    EXPECT_EQ(roundTo(2.4999), 2);
    EXPECT_EQ(roundTo(0.0499, 1), 0.0);
    EXPECT_EQ(roundTo(2.674999, 2), 2.67);
    EXPECT_EQ(roundTo(149.99, -2), 100);
    EXPECT_EQ(roundTo(1234.5), 1235);
}

TEST(RoundTo, TheAddedTrillionthTipsNearHalves) {
    EXPECT_EQ(roundTo(2.4999999999995), 3);
    EXPECT_EQ(roundTo(2.499999999998), 2);
}

TEST(RoundTo, RoundedValuesStayExactly) {
    EXPECT_EQ(roundTo(0.1, 1), 0.1);
    EXPECT_EQ(roundTo(1.23, 2), 1.23);
    EXPECT_EQ(roundTo(-7.77, 2), -7.77);
    EXPECT_EQ(roundTo(32.5, 1), 32.5);
    EXPECT_EQ(roundTo(1e15, 2), 1e15);
}

TEST(RoundTo, ZeroNanInfinityAndExtremePlaces) {
    EXPECT_EQ(roundTo(0.0, 2), 0.0);
    EXPECT_TRUE(std::isnan(roundTo(std::nan(""), 1)));
    EXPECT_EQ(roundTo(kInf, 1), kInf);
    EXPECT_EQ(roundTo(-kInf, -1), -kInf);
    // A result of zero is never -0 (which would show as "-0").
    EXPECT_FALSE(std::signbit(roundTo(-0.004, 2)));
    EXPECT_EQ(numberToText(roundTo(-0.004, 2)), "0");
    EXPECT_EQ(roundTo(1.5, 400), 1.5);
    EXPECT_EQ(roundTo(1.5, INT_MAX), 1.5);
    EXPECT_EQ(roundTo(-123.0, -400), 0);
    EXPECT_EQ(roundTo(-123.0, INT_MIN), 0);
    EXPECT_EQ(roundTo(5e-324, 2), 0);
}

}  // namespace
