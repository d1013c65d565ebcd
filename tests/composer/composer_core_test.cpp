// The composer's pricing and the description it appends to the remark.
#include <gtest/gtest.h>

#include "composer.h"

namespace composer {
namespace {

JobInputs job(const char* size1, const char* size2, const char* quantity, const char* price) {
    return {size1, size2, quantity, price};
}

TEST(ComposerPricing, AreaTimesQuantityTimesUnitPriceToOneDecimal) {
    // 1.2 × 0.8 × 2 × 35 carries a rounding error in binary; the label
    // must still read 67.2.
    Pricing p = price(job("1.2", "0.8", "2", "35"), EdgeType::None);
    EXPECT_EQ(p.amountText, "67.2");
    EXPECT_NEAR(p.amount, 67.2, 1e-9);
    EXPECT_EQ(p.edgeCharge, 0);
    EXPECT_EQ(p.edgeNote, "");

    EXPECT_EQ(price(job("1.1", "1.1", "1", "1"), EdgeType::None).amountText, "1.2");  // 1.21
    EXPECT_EQ(price(job("0.5", "0.5", "3", "10"), EdgeType::None).amountText, "7.5");
    EXPECT_EQ(price(job("2", "3", "1", "100"), EdgeType::None).amountText, "600");
}

TEST(ComposerPricing, ASizeMissingPricesByPieceAndDropsTheEdge) {
    EXPECT_EQ(price(job("", "", "3", "5"), EdgeType::None).amountText, "15");
    // One size alone is as good as none: its value does not enter.
    EXPECT_EQ(price(job("2", "", "3", "5"), EdgeType::None).amountText, "15");
    Pricing p = price(job("", "0.8", "3", "5"), EdgeType::LargeGoldSilver);
    EXPECT_EQ(p.amountText, "15");
    EXPECT_EQ(p.edge, EdgeType::None);
    EXPECT_EQ(p.edgeCharge, 0);
    EXPECT_EQ(p.edgeNote, "");
}

TEST(ComposerPricing, NumbersAreReadAsTheOperatorTypesThem) {
    // Full-width digits count; text that does not start with a number is 0.
    EXPECT_EQ(price(job("", "", "３", "１２.５"), EdgeType::None).amountText, "37.5");
    EXPECT_EQ(price(job("", "", "2张", "10元"), EdgeType::None).amountText, "20");
    EXPECT_EQ(price(job("", "", "两张", "10"), EdgeType::None).amountText, "0");
    EXPECT_EQ(price(job("宽1", "1", "1", "10"), EdgeType::None).amountText, "0");
    // A character GBK has no place for ends the number like any other.
    EXPECT_EQ(price(job("", "", "2😀", "10"), EdgeType::None).amountText, "20");
    EXPECT_EQ(price(job("", "", "", ""), EdgeType::None).amountText, "0");
}

TEST(ComposerPricing, EdgeStripsAddTheirChargeAndTheirNote) {
    // (2 × 1.2 + 2 × 0.8) / 2.4 strips × 2 pieces × 2 yuan = 6.67 yuan.
    Pricing p = price(job("1.2", "0.8", "2", "35"), EdgeType::SmallGrey);
    EXPECT_NEAR(p.edgeCharge, 20.0 / 3, 1e-9);
    EXPECT_NEAR(p.amount, 67.2, 1e-9);  // the amount itself stays without the strips
    EXPECT_EQ(p.edgeNote, "含边条：6.7元");
    EXPECT_EQ(p.amountText, "73.9");
    EXPECT_EQ(p.edge, EdgeType::SmallGrey);

    EXPECT_NEAR(edgeCharge(EdgeType::SmallGoldSilver, 1.2, 1.2, 1), 6.0, 1e-9);
    EXPECT_NEAR(edgeCharge(EdgeType::LargeGoldSilver, 1.2, 1.2, 1), 8.0, 1e-9);
    EXPECT_EQ(edgeCharge(EdgeType::None, 1.2, 1.2, 1), 0);
}

TEST(ComposerRemark, IsAppendedWithTheSpacesOfItsPiecesOnly) {
    EXPECT_EQ(composeRemark("", job("1.2", "0.8", "2", "35"), "加急", EdgeType::None),
              "数量2 尺寸1.2米X0.8米 加急");
    EXPECT_EQ(composeRemark("", job("", "", "3", "5"), "加急", EdgeType::None), "数量3 加急");
    EXPECT_EQ(composeRemark("", job("1", "", "3", "5"), "", EdgeType::None), "数量3 ");
    // What the box held stays in front; box texts go in exactly as typed.
    EXPECT_EQ(composeRemark("已送货", job(" 1.20", "０.8", "二", "x"), "", EdgeType::None),
              "已送货数量二 尺寸 1.20米X０.8米 ");
    // Composing twice appends twice.
    const std::string once = composeRemark("", job("", "", "1", "5"), "a", EdgeType::None);
    EXPECT_EQ(composeRemark(once, job("", "", "2", "5"), "b", EdgeType::None), "数量1 a数量2 b");
}

TEST(ComposerRemark, NamesTheEdgeStripAfterTheSizes) {
    EXPECT_EQ(composeRemark("", job("1", "2", "1", "5"), "M", EdgeType::SmallGrey),
              "数量1 尺寸1米X2米 小灰边 M");
    EXPECT_EQ(composeRemark("", job("1", "2", "1", "5"), "", EdgeType::SmallGoldSilver),
              "数量1 尺寸1米X2米 小金银 ");
    EXPECT_EQ(composeRemark("", job("1", "2", "1", "5"), "", EdgeType::LargeGoldSilver),
              "数量1 尺寸1米X2米 大金银 ");
}

TEST(ComposerRemark, OnlyAnExactZeroLabelCountsAsNoAmount) {
    EXPECT_TRUE(amountIsMissing("0"));
    EXPECT_FALSE(amountIsMissing("0.1"));
    EXPECT_FALSE(amountIsMissing("-5"));
    EXPECT_FALSE(amountIsMissing(""));
    // Prices that round to nothing leave the label at "0".
    EXPECT_TRUE(amountIsMissing(price(job("", "", "1", "0.04"), EdgeType::None).amountText));
}

}  // namespace
}  // namespace composer
