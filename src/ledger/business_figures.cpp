#include "business_figures.h"

#include <algorithm>

#include "dates.h"
#include "numbers.h"
#include "table_file.h"

namespace ledger {
namespace {

int monthKey(int year, int month) { return year * 12 + month - 1; }

int fieldNumber(const tables::TableFile& table, std::string_view name) {
    const auto& fields = table.fields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace

FiguresCounter::FiguresCounter(double today) {
    const convert::DateTimeParts now = convert::splitDateTime(today);
    figures_.year = now.year;
    figures_.month = now.month;
    lastMonthKey_ = monthKey(now.year, now.month);
    for (int i = 0; i < kFigureMonths; ++i) {
        const int key = lastMonthKey_ - (kFigureMonths - 1) + i;
        MonthTakings& m = figures_.months[static_cast<std::size_t>(i)];
        m.year = key / 12;
        m.month = key % 12 + 1;
    }
}

void FiguresCounter::add(double date, std::string_view customer, double amount, bool settled) {
    ++figures_.entries;
    const convert::DateTimeParts when = convert::splitDateTime(date);
    const int key = monthKey(when.year, when.month);
    const int index = key - (lastMonthKey_ - (kFigureMonths - 1));
    if (index >= 0 && index < kFigureMonths)
        figures_.months[static_cast<std::size_t>(index)].takings.add(amount, settled);
    if (when.year == figures_.year) {
        figures_.yearTakings.add(amount, settled);
        if (key == lastMonthKey_) figures_.monthTakings.add(amount, settled);
    }
    auto [it, fresh] = customers_.try_emplace(std::string(customer));
    if (fresh) it->second.firstSeen = customers_.size();
    it->second.sum += amount;
}

BusinessFigures FiguresCounter::result() const {
    BusinessFigures out = figures_;
    std::vector<std::pair<const std::string*, const Customer*>> all;
    all.reserve(customers_.size());
    for (const auto& [name, c] : customers_) all.emplace_back(&name, &c);
    const auto larger = [](const auto& a, const auto& b) {
        if (a.second->sum != b.second->sum) return a.second->sum > b.second->sum;
        return a.second->firstSeen < b.second->firstSeen;
    };
    const std::size_t n = std::min(kTopCustomers, all.size());
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), all.end(), larger);
    for (std::size_t i = 0; i < n; ++i)
        out.topCustomers.push_back({*all[i].first, all[i].second->sum});
    return out;
}

std::optional<BusinessFigures> businessFigures(double today, std::string_view ledgerFile) {
    tables::TableFile table;
    if (!table.open(ledgerFile, kLedgerPassword)) return std::nullopt;
    // The four fields the figures need, found once; a table without one of
    // them ends the program when it is read, as every ledger read does.
    const int date = fieldNumber(table, field::日期);
    const int customer = fieldNumber(table, field::客户);
    const int amount = fieldNumber(table, field::金额);
    const int status = fieldNumber(table, field::状态);
    FiguresCounter counter(today);
    const auto read = [&](int number, std::string_view name) {
        return number > 0 ? table.read(number) : table.read(name);
    };
    const tables::Status walked = table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        counter.add(read(date, field::日期).asDateTime(), read(customer, field::客户).asText(),
                    read(amount, field::金额).asNumber(), read(status, field::状态).asBool());
        return true;
    });
    table.close();
    if (!walked) return std::nullopt;
    return counter.result();
}

std::string shownTotal(double value) { return convert::numberToText(convert::roundTo(value, 1)); }

}  // namespace ledger
