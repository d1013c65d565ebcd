// The row order of a list sorted by one column: the keys (the column's cell
// texts, GBK) are inserted one after the other, in their current order, into
// an ascending sequence; the position of each comes from a bisection. Rows
// whose keys are already ascending keep their order, so sorting twice gives
// the same order both times.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ledger {

enum class SortOrder {
    Numbers,  // textToNumber; equal within 1e-7
    Texts,    // compareText: GBK code order, case-sensitive
    Dates,    // textToDate; a text that is no date counts as 1 January 100
};

// The current row indexes in their new order. Each key is trimmed of
// half-width and full-width spaces before it is read.
std::vector<std::size_t> sortedOrder(const std::vector<std::string>& keys, SortOrder order);

}  // namespace ledger
