#include "ledger_match.h"

#include <utility>

#include "dates.h"
#include "numbers.h"
#include "text.h"

namespace ledger {

namespace {

// GBK bytes of the four status keywords.
constexpr std::string_view kSettledShort = "\xD2\xD1";           // 已
constexpr std::string_view kSettledLong = "\xD2\xD1\xBD\xE1";    // 已结
constexpr std::string_view kUnsettledShort = "\xCE\xB4";         // 未
constexpr std::string_view kUnsettledLong = "\xCE\xB4\xBD\xE1";  // 未结

bool onlyAmountBytes(std::string_view text) {
    constexpr std::string_view allowed = "0123456789.+-einfa";
    for (char c : text) {
        if (allowed.find(c) == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

Keyword::Keyword(std::string gbk) : text_(std::move(gbk)) {
    matchesSettled_ = text_ == kSettledShort || text_ == kSettledLong;
    matchesUnsettled_ = text_ == kUnsettledShort || text_ == kUnsettledLong;
    amountCanMatch_ = onlyAmountBytes(text_);
}

bool Keyword::occursIn(std::string_view field) const {
    // A plain byte search finds every character-aligned occurrence too, so
    // when it finds nothing there is nothing; only a hit needs the
    // character-wise search (the hit may sit inside a double-byte character).
    if (field.find(text_) == std::string_view::npos) return false;
    return convert::findText(field, text_) != -1;
}

bool Keyword::matches(std::string_view customer, std::string_view item, double amount,
                      std::string_view remark, bool settled) const {
    if (settled ? matchesSettled_ : matchesUnsettled_) return true;
    if (occursIn(customer) || occursIn(item) || occursIn(remark)) return true;
    return amountCanMatch_ && occursIn(convert::numberToText(amount));
}

DayRange::DayRange(double first, double last)
    : firstKey_(convert::dateKey(first)), lastKey_(convert::dateKey(last)) {}

bool DayRange::contains(double date) const {
    const double key = convert::dateKey(date);
    return key >= firstKey_ && key <= lastKey_;
}

}  // namespace ledger
