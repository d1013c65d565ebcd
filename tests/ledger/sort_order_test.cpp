// The insertion-with-bisection order used by the list header clicks.
#include "sort_order.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ledger_fixture.h"

namespace ledger::testing {
namespace {

using ::testing::ElementsAre;

TEST(SortOrder, NumbersAscendingByValueNotByText) {
    EXPECT_THAT(sortedOrder({"10", "2", "33.5", "-1", "2.5"}, SortOrder::Numbers),
                ElementsAre(3, 1, 4, 0, 2));
}

TEST(SortOrder, NumbersReadFullWidthDigitsAndTrimBothSpaceKinds) {
    EXPECT_THAT(sortedOrder({g("１２"), g("　3"), " 7 ", "abc"}, SortOrder::Numbers),
                ElementsAre(3, 1, 2, 0));
}

TEST(SortOrder, NumbersWithin1e7AreEqualAndKeepTheirOrder) {
    EXPECT_THAT(sortedOrder({"1.00000005", "1", "0.5"}, SortOrder::Numbers), ElementsAre(2, 0, 1));
}

TEST(SortOrder, EqualKeyFoundByBisectionIsInsertedRightAfterIt) {
    // Rows 2, 3 and 4 share the key 3. The third of them meets row 2 in the
    // middle of the sequence 1, 3, 3, 9 and goes right after it, before row 3.
    EXPECT_THAT(sortedOrder({"1", "9", "3", "3", "3"}, SortOrder::Numbers),
                ElementsAre(0, 2, 4, 3, 1));
}

TEST(SortOrder, SortingAnAscendingListAgainKeepsItsOrder) {
    const std::vector<std::string> keys{"5", "3", "3", "8", "1", "3", "5", "0.5", "3"};
    const auto first = sortedOrder(keys, SortOrder::Numbers);
    std::vector<std::string> sorted;
    for (std::size_t i : first) sorted.push_back(keys[i]);
    const auto second = sortedOrder(sorted, SortOrder::Numbers);
    for (std::size_t i = 0; i < second.size(); ++i) EXPECT_EQ(second[i], i);
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        EXPECT_LE(std::stod(sorted[i - 1]), std::stod(sorted[i]));
    }
}

TEST(SortOrder, TextsByGbkCodeCaseSensitive) {
    // 李 is C0 EE, 张 is D5 C5; ASCII capitals before small letters.
    EXPECT_THAT(sortedOrder({g("张"), "b", g("李"), "A", "a"}, SortOrder::Texts),
                ElementsAre(3, 4, 1, 2, 0));
}

TEST(SortOrder, TextsAreTrimmedBeforeComparing) {
    EXPECT_THAT(sortedOrder({"  b", g("a　")}, SortOrder::Texts), ElementsAre(1, 0));
}

TEST(SortOrder, DatesByTheirValueAndNonDatesFirst) {
    EXPECT_THAT(sortedOrder({g("2024年3月5日"), g("2023年12月1日"), "abc", g("2024年3月5日9时"),
                             g("2024年2月29日")},
                            SortOrder::Dates),
                ElementsAre(2, 1, 4, 0, 3));
}

TEST(SortOrder, EmptyAndSingleLists) {
    EXPECT_TRUE(sortedOrder({}, SortOrder::Texts).empty());
    EXPECT_THAT(sortedOrder({"x"}, SortOrder::Dates), ElementsAre(0));
}

}  // namespace
}  // namespace ledger::testing
