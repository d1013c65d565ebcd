#include "customers.h"

#include <array>
#include <unordered_map>

#include "gbk.h"
#include "numbers.h"
#include "table_file.h"

namespace customers {

namespace {

std::string gbk(std::string_view utf8) { return convert::utf8ToGbk(utf8).value(); }

const std::string& nameField() {
    static const std::string f = gbk("姓名");
    return f;
}

const std::array<std::string, 4>& customerFields() {
    static const std::array<std::string, 4> f = {gbk("姓名"), gbk("电话"), gbk("地址"),
                                                 gbk("备注")};
    return f;
}

bool openTable(tables::TableFile& table, std::string_view fileName) {
    return table.open(fileName, tables::kAccessPassword).ok();
}

// Positions the cursor on the first live record named `name`. A record left
// marked by a purge that did not finish is not the one the list shows.
bool findSelected(tables::TableFile& table, std::string_view name) {
    if (!table.goFirst()) return false;
    // TODO(read-failure): a search that fails reads here as "no such customer".
    return table
        .find([&] { return !table.isDeleted() && table.read(nameField()).asText() == name; })
        .found;
}

Customer readCurrent(tables::TableFile& table) {
    const auto& f = customerFields();
    return {table.read(f[0]).asText(), table.read(f[1]).asText(), table.read(f[2]).asText(),
            table.read(f[3]).asText()};
}

// The values for append and write, each cut to its field's width in this table.
std::vector<tables::TableValue> valuesFor(tables::TableFile& table, const Customer& c) {
    const std::array<const std::string*, 4> texts = {&c.姓名, &c.电话, &c.地址, &c.备注};
    const auto& fields = table.fields();
    std::vector<tables::TableValue> values;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::size_t width = i < fields.size() && fields[i].width > 0
                                      ? static_cast<std::size_t>(fields[i].width)
                                      : texts[i]->size();
        values.push_back(tables::TableValue::text(fitToWidth(*texts[i], width)));
    }
    return values;
}

const std::string& ledgerField(std::string_view utf8) {
    static std::unordered_map<std::string, std::string> cache;
    auto [it, fresh] = cache.try_emplace(std::string(utf8));
    if (fresh) it->second = gbk(utf8);
    return it->second;
}

}  // namespace

std::string fitToWidth(std::string_view text, std::size_t width) {
    if (text.size() <= width) return std::string(text);
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t step = static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1;
        if (end + step > width) break;
        end += step;
    }
    return std::string(text.substr(0, end));
}

std::optional<std::vector<std::string>> readCustomerNames(std::string_view fileName) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return std::nullopt;
    std::vector<std::string> names;
    // TODO(read-failure): a failed walk gives the names read so far as the list.
    (void)table.forEachRecord([&] {
        if (!table.isDeleted()) names.push_back(table.read(nameField()).asText());
        return true;
    });
    table.close();
    return names;
}

Lookup findCustomer(std::string_view nameGbk, std::string_view fileName) {
    Lookup result;
    tables::TableFile table;
    if (!openTable(table, fileName)) return result;
    result.opened = true;
    if (findSelected(table, nameGbk)) result.customer = readCurrent(table);
    table.close();
    return result;
}

ChangeResult appendCustomer(const Customer& customer, std::string_view fileName) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return ChangeResult::OpenFailed;
    const bool ok = table.append(valuesFor(table, customer)).ok();
    table.close();
    return ok ? ChangeResult::Done : ChangeResult::WriteFailed;
}

ChangeResult modifyCustomer(std::string_view selectedName, const Customer& customer,
                            std::string_view fileName) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return ChangeResult::OpenFailed;
    ChangeResult result = ChangeResult::NotFound;
    if (findSelected(table, selectedName))
        result = table.write(valuesFor(table, customer)) ? ChangeResult::Done
                                                         : ChangeResult::WriteFailed;
    table.close();
    return result;
}

ChangeResult deleteCustomer(std::string_view selectedName, std::string_view fileName) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return ChangeResult::OpenFailed;
    ChangeResult result = ChangeResult::NotFound;
    if (findSelected(table, selectedName)) {
        if (table.markDeleted()) {
            // Marked is gone from every list; a purge that fails leaves the
            // record for the next one to take away.
            (void)table.purge();
            result = ChangeResult::Done;
        } else {
            result = ChangeResult::WriteFailed;
        }
    }
    table.close();
    return result;
}

std::optional<Statement> customerStatement(std::string_view nameGbk, std::string_view ledgerFile) {
    tables::TableFile table;
    if (!openTable(table, ledgerFile)) return std::nullopt;
    const std::string& customer = ledgerField("客户");
    const std::string& amount = ledgerField("金额");
    const std::string& status = ledgerField("状态");
    Statement s;
    // TODO(read-failure): a failed walk gives the sums of the records read so far.
    (void)table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        if (table.read(customer).asText() != nameGbk) return true;
        const double value = table.read(amount).asNumber();
        s.total += value;
        (table.read(status).asBool() ? s.settled : s.unsettled) += value;
        return true;
    });
    table.close();
    return s;
}

std::optional<Ranking> spendingRanking(std::string_view ledgerFile) {
    tables::TableFile table;
    if (!openTable(table, ledgerFile)) return std::nullopt;
    const std::string& customer = ledgerField("客户");
    const std::string& amount = ledgerField("金额");
    const std::string& status = ledgerField("状态");
    Ranking r;
    std::unordered_map<std::string, std::size_t> rowOf;
    // TODO(read-failure): a failed walk gives the ranking of the records read so far.
    (void)table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        const double value = table.read(amount).asNumber();
        (table.read(status).asBool() ? r.allSettled : r.allUnsettled) += value;
        const std::string name = table.read(customer).asText();
        auto [it, fresh] = rowOf.try_emplace(name, r.rows.size());
        if (fresh) {
            r.rows.push_back({name, convert::numberToText(value)});
        } else {
            RankingRow& row = r.rows[it->second];
            // The shown sum is what is added to: the text read back as a number.
            row.sumText = convert::numberToText(
                convert::roundTo(convert::textToNumber(row.sumText) + value, 2));
        }
        return true;
    });
    table.close();
    return r;
}

}  // namespace customers
