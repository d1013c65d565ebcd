// The figures of the statistics window against sums over the table: a
// ledger of random entries is summed here month by month, year, month and
// customer by plain loops over what was stored, and the one walk must agree.
#include "business_figures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "ledger_fixture.h"

namespace ledger::testing {
namespace {

class BusinessFiguresTest : public LedgerDirTest {};

struct Entry {
    double date;
    std::string customer;  // UTF-8
    double amount;
    bool settled;
};

TEST_F(BusinessFiguresTest, AgreeWithSumsOverTheTable) {
    // Two and a half years of entries around "today", 15 March 2024, some
    // after it, negative amounts and an empty name among them.
    std::mt19937 rng(7);
    const char* names[] = {"张三", "李四", "王五", "赵六", "",     "陈七", "周八",
                           "吴九", "郑十", "冯一", "褚二", "卫三", "蒋四", "张三 "};
    std::vector<Entry> entries;
    for (int i = 0; i < 600; ++i) {
        const double date = day(2022, 1, 1) + static_cast<double>(rng() % 900);
        const double amount = static_cast<double>(static_cast<int>(rng() % 20000) - 2000) / 100.0;
        entries.push_back({date, names[rng() % std::size(names)], amount, rng() % 3 == 0});
        put(entries.back().date, entries.back().customer, "照片", amount, "",
            entries.back().settled);
    }
    const double today = day(2024, 3, 15) + 0.5;  // with a time of day
    const auto figures = businessFigures(today);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->entries, entries.size());
    EXPECT_EQ(figures->year, 2024);
    EXPECT_EQ(figures->month, 3);

    // April 2023 … March 2024.
    for (int i = 0; i < kFigureMonths; ++i) {
        const int y = i < 9 ? 2023 : 2024;
        const int m = i < 9 ? i + 4 : i - 8;
        const double first = day(y, m, 1);
        const double next = m == 12 ? day(y + 1, 1, 1) : day(y, m + 1, 1);
        double settled = 0, unsettled = 0;
        for (const Entry& e : entries)
            if (e.date >= first && e.date < next) (e.settled ? settled : unsettled) += e.amount;
        const MonthTakings& got = figures->months[static_cast<std::size_t>(i)];
        EXPECT_EQ(got.year, y);
        EXPECT_EQ(got.month, m);
        EXPECT_NEAR(got.takings.settled, settled, 1e-6) << y << "-" << m;
        EXPECT_NEAR(got.takings.unsettled, unsettled, 1e-6) << y << "-" << m;
    }

    Takings year, month;
    for (const Entry& e : entries) {
        if (e.date >= day(2024, 1, 1) && e.date < day(2025, 1, 1)) year.add(e.amount, e.settled);
        if (e.date >= day(2024, 3, 1) && e.date < day(2024, 4, 1)) month.add(e.amount, e.settled);
    }
    EXPECT_NEAR(figures->yearTakings.settled, year.settled, 1e-6);
    EXPECT_NEAR(figures->yearTakings.unsettled, year.unsettled, 1e-6);
    EXPECT_NEAR(figures->monthTakings.settled, month.settled, 1e-6);
    EXPECT_NEAR(figures->monthTakings.unsettled, month.unsettled, 1e-6);
    // The year holds entries after today: they were recorded for this year.
    EXPECT_GT(std::count_if(entries.begin(), entries.end(),
                            [&](const Entry& e) { return e.date >= day(2024, 4, 1); }),
              0);

    std::map<std::string, double> sums;
    for (const Entry& e : entries) sums[g(e.customer)] += e.amount;
    std::vector<std::pair<double, std::string>> ranked;
    for (const auto& [name, sum] : sums) ranked.emplace_back(sum, name);
    std::sort(ranked.rbegin(), ranked.rend());
    ASSERT_EQ(figures->topCustomers.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(figures->topCustomers[i].name, ranked[i].second) << i;
        EXPECT_NEAR(figures->topCustomers[i].sum, ranked[i].first, 1e-6) << i;
    }
}

TEST_F(BusinessFiguresTest, MonthsReachBackOverTheYearsEndAndSkipDeletedEntries) {
    put(day(2023, 2, 1), "甲", "照片", 5, "", true);     // the first of the twelve months
    put(day(2023, 1, 31), "甲", "照片", 7, "", true);    // one before: in no month
    put(day(2024, 1, 20), "乙", "相框", 11, "", false);  // today's month
    put(day(2024, 2, 1), "乙", "相框", 13, "", false);   // after it
    put(day(2023, 12, 31), "丙", "装裱", 17, "", true);
    put(day(2024, 1, 2), "丁", "照片", 1000, "", true);
    {
        tables::TableFile t;
        ASSERT_TRUE(t.open(kLedgerFileName, kLedgerPassword));
        ASSERT_TRUE(t.goTo(6));
        ASSERT_TRUE(t.markDeleted());  // left unpurged: still a slot of the file
        t.close();
    }
    const auto f = businessFigures(day(2024, 1, 31));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->entries, 5u);
    EXPECT_EQ(f->months.front().year, 2023);
    EXPECT_EQ(f->months.front().month, 2);
    EXPECT_EQ(f->months.front().takings.settled, 5);
    EXPECT_EQ(f->months[10].month, 12);
    EXPECT_EQ(f->months[10].takings.settled, 17);
    EXPECT_EQ(f->months.back().year, 2024);
    EXPECT_EQ(f->months.back().month, 1);
    EXPECT_EQ(f->months.back().takings.unsettled, 11);
    double inMonths = 0;
    for (const MonthTakings& m : f->months) inMonths += m.takings.all();
    EXPECT_EQ(inMonths, 5 + 17 + 11);
    EXPECT_EQ(f->yearTakings.all(), 11 + 13);
    EXPECT_EQ(f->monthTakings.all(), 11);
    // Fewer than ten customers: all of them; 乙 and 甲 (24 and 12) before 丙.
    ASSERT_EQ(f->topCustomers.size(), 3u);
    EXPECT_EQ(f->topCustomers[0].name, g("乙"));
    EXPECT_EQ(f->topCustomers[1].name, g("丙"));
    EXPECT_EQ(f->topCustomers[2].name, g("甲"));
}

TEST_F(BusinessFiguresTest, EqualSumsKeepTheLedgerOrder) {
    for (const char* name : {"戊", "丁", "丙", "乙", "甲", "庚", "辛", "壬", "癸", "子", "丑"})
        put(day(2024, 5, 1), name, "照片", 10, "", true);
    put(day(2024, 5, 2), "丑", "照片", 0.5, "", true);
    const auto f = businessFigures(day(2024, 5, 2));
    ASSERT_TRUE(f);
    std::vector<std::string> names;
    for (const CustomerSum& c : f->topCustomers) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{g("丑"), g("戊"), g("丁"), g("丙"), g("乙"), g("甲"),
                                               g("庚"), g("辛"), g("壬"), g("癸")}));
}

class NoLedger : public LedgerDirTest {
    bool createLedger() const override { return false; }
};

TEST_F(NoLedger, AMissingLedgerGivesNoFigures) { EXPECT_FALSE(businessFigures(day(2024, 1, 1))); }

TEST(ShownTotal, RoundsToOneDecimalAsThePagesDo) {
    EXPECT_EQ(shownTotal(0.1 + 0.2), "0.3");
    EXPECT_EQ(shownTotal(2.25), "2.3");
    EXPECT_EQ(shownTotal(-2.25), "-2.3");
    EXPECT_EQ(shownTotal(1234.04), "1234");
    EXPECT_EQ(shownTotal(0), "0");
}

}  // namespace
}  // namespace ledger::testing
