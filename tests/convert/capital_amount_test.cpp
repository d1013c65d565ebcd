#include "capital_amount.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "gbk_literal.h"

namespace {

std::string capital(double amount) {
    return convert::gbkToUtf8(convert::capitalAmountText(amount));
}

TEST(CapitalAmountText, ListedExamples) {
    EXPECT_EQ(capital(0.5), "伍角整");
    EXPECT_EQ(capital(1.23), "壹元贰角叁分");
    EXPECT_EQ(capital(10), "壹拾元整");
    EXPECT_EQ(capital(105), "壹佰零伍元整");
    EXPECT_EQ(capital(1050.5), "壹仟零伍拾元零伍角整");
    EXPECT_EQ(capital(20000), "贰万元整");
    EXPECT_EQ(capital(100000), "壹拾万元整");
    EXPECT_EQ(capital(101000000), "壹亿零壹佰万元整");
    EXPECT_EQ(capital(1234.5), "壹仟贰佰叁拾肆元伍角整");
}

TEST(CapitalAmountText, IsAGbkText) { EXPECT_EQ(convert::capitalAmountText(10), gbk("壹拾元整")); }

TEST(CapitalAmountText, ZerosBetweenDigitsAndUnits) {
    EXPECT_EQ(capital(0.05), "伍分");
    EXPECT_EQ(capital(1), "壹元整");
    EXPECT_EQ(capital(1.2), "壹元贰角整");
    EXPECT_EQ(capital(1.03), "壹元零叁分");
    EXPECT_EQ(capital(10.05), "壹拾元零伍分");
    EXPECT_EQ(capital(1000.5), "壹仟元零伍角整");
    EXPECT_EQ(capital(10000.01), "壹万元零壹分");
    EXPECT_EQ(capital(20000000), "贰仟万元整");
    EXPECT_EQ(capital(100000000), "壹亿元整");
    EXPECT_EQ(capital(100010000), "壹亿零壹万元整");
    EXPECT_EQ(capital(1000000000), "壹拾亿元整");
    EXPECT_EQ(capital(1000000000000), "壹万亿元整");
    EXPECT_EQ(capital(123456789.12), "壹亿贰仟叁佰肆拾伍万陆仟柒佰捌拾玖元壹角贰分");
}

TEST(CapitalAmountText, RoundsToCentsHalvesUp) {
    EXPECT_EQ(capital(0.125), "壹角叁分");
    EXPECT_EQ(capital(0.124), "壹角贰分");
    EXPECT_EQ(capital(2.675), "贰元陆角捌分");
    EXPECT_EQ(capital(0.995), "壹元整");
}

TEST(CapitalAmountText, Zero) {
    EXPECT_EQ(capital(0), "零");
    EXPECT_EQ(capital(0.004), "零");
    EXPECT_EQ(capital(-0.004), "零");  // no 负 on zero
}

TEST(CapitalAmountText, Negative) {
    EXPECT_EQ(capital(-20), "负贰拾元整");
    EXPECT_EQ(capital(-0.5), "负伍角整");
    EXPECT_EQ(capital(-1234.56), "负壹仟贰佰叁拾肆元伍角陆分");
}

TEST(CapitalAmountText, Overflow) {
    EXPECT_EQ(capital(9999999999999.99),
              "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
    EXPECT_EQ(capital(10000000000000.0), "溢出");
    EXPECT_EQ(capital(-10000000000000.0), "溢出");  // no 负 on 溢出
    EXPECT_EQ(capital(1e300), "溢出");
    EXPECT_EQ(capital(std::numeric_limits<double>::infinity()), "溢出");
    EXPECT_EQ(capital(-std::numeric_limits<double>::infinity()), "溢出");
    EXPECT_EQ(capital(std::nan("")), "溢出");
}

}  // namespace
