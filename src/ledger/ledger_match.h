// Which ledger records a query lists: the keyword match, the day range and
// the customer-and-item match of the price history.
#pragma once

#include <string>
#include <string_view>

#include "ledger_record.h"

namespace ledger {

// A keyword matches a record when it occurs in the customer, the item, the
// amount as text or the remark (GBK-aware, case-sensitive, spaces count).
// "已结" and "已" also match every settled record, "未结" and "未" every
// unsettled one. The keyword is used exactly as given (GBK).
class Keyword {
  public:
    explicit Keyword(std::string gbk);

    const std::string& text() const { return text_; }

    bool matches(std::string_view customer, std::string_view item, double amount,
                 std::string_view remark, bool settled) const;
    bool matches(const LedgerRecord& r) const {
        return matches(r.客户, r.事件, r.金额, r.备注, r.状态);
    }

  private:
    bool occursIn(std::string_view field) const;

    std::string text_;
    bool matchesSettled_ = false;
    bool matchesUnsettled_ = false;
    // Amount texts are made of digits, signs, '.', 'e' (and inf/nan); a
    // keyword with any other byte can never occur in one, so the amount is
    // not formatted for it.
    bool amountCanMatch_ = false;
};

// The days from `first` to `last`, both included, compared by dateKey; a
// range whose first day lies after its last matches nothing.
class DayRange {
  public:
    DayRange(double first, double last);
    static DayRange singleDay(double day) { return DayRange(day, day); }

    bool contains(double date) const;

  private:
    double firstKey_;
    double lastKey_;
};

}  // namespace ledger
