// A picture of the business from one walk of the ledger: the takings of each
// of the last twelve months, split into settled and unsettled; the ten
// customers with the largest sums; the settled, unsettled and whole takings
// of the current year and month. No Qt.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ledger_record.h"

namespace ledger {

struct Takings {
    double settled = 0.0;
    double unsettled = 0.0;

    double all() const { return settled + unsettled; }
    void add(double amount, bool isSettled) { (isSettled ? settled : unsettled) += amount; }
};

struct MonthTakings {
    int year = 0;
    int month = 0;  // 1 … 12
    Takings takings;
};

struct CustomerSum {
    std::string name;  // GBK, the ledger's "客户" byte for byte
    double sum = 0.0;  // every entry of the name, settled or not, unrounded
};

inline constexpr int kFigureMonths = 12;
inline constexpr std::size_t kTopCustomers = 10;

struct BusinessFigures {
    int year = 0;  // today's year and month
    int month = 0;
    // Oldest first; the last is today's month. Entries dated after today's
    // month count in no month.
    std::array<MonthTakings, kFigureMonths> months{};
    // At most ten, largest sum first; equal sums in the order the names
    // first occur in the ledger.
    std::vector<CustomerSum> topCustomers;
    Takings yearTakings;   // every entry dated in today's calendar year
    Takings monthTakings;  // every entry dated in today's calendar month
    std::size_t entries = 0;
};

// Adds up ledger entries one at a time; the walk feeds it.
class FiguresCounter {
  public:
    // `today`: a date-time, whose year and month the figures end with.
    explicit FiguresCounter(double today);

    void add(double date, std::string_view customer, double amount, bool settled);
    BusinessFigures result() const;

  private:
    BusinessFigures figures_;
    int lastMonthKey_ = 0;  // year × 12 + month − 1 of today
    struct Customer {
        double sum = 0.0;
        std::size_t firstSeen = 0;
    };
    std::unordered_map<std::string, Customer> customers_;
};

// One walk of "记账.edb" (records marked deleted are skipped); nullopt when
// the table cannot be opened or read to the end, as sums over a part of it
// would be wrong without a word.
std::optional<BusinessFigures> businessFigures(double today,
                                               std::string_view ledgerFile = kLedgerFileName);

// A total as the pages show one: rounded to one decimal place, as number text.
std::string shownTotal(double value);

}  // namespace ledger
