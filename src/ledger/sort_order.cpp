#include "sort_order.h"

#include <cmath>

#include "dates.h"
#include "numbers.h"
#include "text.h"

namespace ledger {

namespace {

constexpr double kNumberTolerance = 1e-7;

// Three-way comparison of two keys as the order defines it.
struct NumberKeys {
    std::vector<double> values;
    int compare(std::size_t a, std::size_t b) const {
        const double d = values[a] - values[b];
        if (std::fabs(d) <= kNumberTolerance) return 0;
        return d < 0 ? -1 : 1;
    }
};

struct TextKeys {
    std::vector<std::string> values;
    int compare(std::size_t a, std::size_t b) const {
        return convert::compareText(values[a], values[b]);
    }
};

// Inserts every row, in its current order, into the ascending sequence.
template <typename Keys>
std::vector<std::size_t> insertAll(const Keys& keys, std::size_t count) {
    std::vector<std::size_t> seq;  // row indexes, ascending by key
    seq.reserve(count);
    for (std::size_t row = 0; row < count; ++row) {
        std::size_t pos;  // 0-based insertion position
        const std::size_t c = seq.size();
        if (c == 0 || keys.compare(row, seq[c - 1]) >= 0) {
            pos = c;
        } else if (keys.compare(row, seq[0]) <= 0) {
            pos = 0;
        } else {
            // Bisection over 1-based positions lo .. hi.
            std::size_t lo = 1, hi = c;
            while (lo < hi - 1) {
                const std::size_t mid = (lo + hi) / 2;
                const int cmp = keys.compare(row, seq[mid - 1]);
                if (cmp == 0) {
                    lo = mid;
                    break;
                }
                if (cmp < 0) {
                    hi = mid;
                } else {
                    lo = mid;
                }
            }
            pos = lo;  // 1-based position lo + 1
        }
        seq.insert(seq.begin() + static_cast<std::ptrdiff_t>(pos), row);
    }
    return seq;
}

}  // namespace

std::vector<std::size_t> sortedOrder(const std::vector<std::string>& keys, SortOrder order) {
    if (order == SortOrder::Texts) {
        TextKeys k;
        k.values.reserve(keys.size());
        for (const auto& key : keys) k.values.push_back(convert::trimSpaces(key));
        return insertAll(k, keys.size());
    }
    NumberKeys k;
    k.values.reserve(keys.size());
    for (const auto& key : keys) {
        const std::string trimmed = convert::trimSpaces(key);
        k.values.push_back(order == SortOrder::Numbers ? convert::textToNumber(trimmed)
                                                       : convert::textToDate(trimmed).dateTime);
    }
    return insertAll(k, keys.size());
}

}  // namespace ledger
