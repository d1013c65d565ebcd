#include "customers.h"

#include <array>
#include <unordered_map>

#include "numbers.h"
#include "table_file.h"
#include "table_schema.h"

namespace customers {

namespace {

namespace fields = schema::customers;
namespace ledgerFields = schema::ledger;

std::string_view nameField() { return fields::kFields[fields::k姓名].name; }

bool openTable(tables::TableFile& table, std::string_view fileName) {
    return table.open(fileName, tables::kAccessPassword).ok();
}

// Positions the cursor on the first live record named `name`. A record left
// marked by a purge that did not finish is not the one the list shows. A
// search that cannot read a record before it finds the name is no answer.
enum class Search { Found, NotFound, Failed };
Search findSelected(tables::TableFile& table, std::string_view name) {
    if (!table.goFirst()) return Search::Failed;
    const tables::FindResult r =
        table.find([&] { return !table.isDeleted() && table.read(nameField()).asText() == name; });
    if (r.found) return Search::Found;
    return r.status ? Search::NotFound : Search::Failed;
}

Customer readCurrent(tables::TableFile& table) {
    const auto& f = fields::kFields;
    return {table.read(f[fields::k姓名].name).asText(), table.read(f[fields::k电话].name).asText(),
            table.read(f[fields::k地址].name).asText(), table.read(f[fields::k备注].name).asText()};
}

// The values for append and write, each cut at a whole character to its
// field's width in this table.
std::vector<tables::TableValue> valuesFor(tables::TableFile& table, const Customer& c) {
    const std::array<const std::string*, 4> texts = {&c.姓名, &c.电话, &c.地址, &c.备注};
    std::vector<tables::TableValue> values;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        values.push_back(tables::TableValue::text(
            schema::fitToField(table.fields(), fields::kFields[i].name, *texts[i])));
    }
    return values;
}

std::string_view ledgerField(std::size_t index) { return ledgerFields::kFields[index].name; }

}  // namespace

std::optional<std::vector<std::string>> readCustomerNames(std::string_view fileName) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return std::nullopt;
    std::vector<std::string> names;
    const tables::Status walked = table.forEachRecord([&] {
        if (!table.isDeleted()) names.push_back(table.read(nameField()).asText());
        return true;
    });
    table.close();
    if (!walked) return std::nullopt;
    return names;
}

Lookup findCustomer(std::string_view nameGbk, std::string_view fileName) {
    Lookup result;
    tables::TableFile table;
    if (!openTable(table, fileName)) return result;
    const Search found = findSelected(table, nameGbk);
    result.opened = found != Search::Failed;
    if (found == Search::Found) result.customer = readCurrent(table);
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
    switch (findSelected(table, selectedName)) {
        case Search::Found:
            result = table.write(valuesFor(table, customer)) ? ChangeResult::Done
                                                             : ChangeResult::WriteFailed;
            break;
        case Search::Failed:
            result = ChangeResult::ReadFailed;
            break;
        case Search::NotFound:
            break;
    }
    table.close();
    return result;
}

ChangeResult deleteCustomer(std::string_view selectedName, std::string_view fileName,
                            const recycle::BinTarget& bin) {
    tables::TableFile table;
    if (!openTable(table, fileName)) return ChangeResult::OpenFailed;
    ChangeResult result = ChangeResult::NotFound;
    const Search found = findSelected(table, selectedName);
    if (found == Search::Failed) result = ChangeResult::ReadFailed;
    if (found == Search::Found) {
        const std::int32_t id = table.recordId();
        const Customer c = readCurrent(table);
        const std::array<tables::TableValue, 4> values{
            tables::TableValue::text(c.姓名), tables::TableValue::text(c.电话),
            tables::TableValue::text(c.地址), tables::TableValue::text(c.备注)};
        std::int32_t binId = 0;
        if (id <= 0 || tables::lastTableError() != tables::kOk) {
            result = ChangeResult::ReadFailed;
        } else if (recycle::putInBin(bin.file, recycle::Source::Customers, values, table.fields(),
                                     bin.now(), binId) != recycle::BinResult::Ok) {
            result = ChangeResult::BinFailed;
        } else if (table.markDeleted(id)) {
            // Marked is gone from every list; a purge that fails leaves the
            // record for the next one to take away.
            (void)table.purge();
            result = ChangeResult::Done;
        } else {
            // Still in the table: the bin must not keep a copy.
            (void)recycle::takeFromBin(bin.file, binId);
            result = ChangeResult::WriteFailed;
        }
    }
    table.close();
    return result;
}

std::optional<Statement> customerStatement(std::string_view nameGbk, std::string_view ledgerFile) {
    tables::TableFile table;
    if (!openTable(table, ledgerFile)) return std::nullopt;
    const std::string_view customer = ledgerField(ledgerFields::k客户);
    const std::string_view amount = ledgerField(ledgerFields::k金额);
    const std::string_view status = ledgerField(ledgerFields::k状态);
    Statement s;
    const tables::Status walked = table.forEachRecord([&] {
        if (table.isDeleted()) return true;
        if (table.read(customer).asText() != nameGbk) return true;
        const double value = table.read(amount).asNumber();
        s.total += value;
        (table.read(status).asBool() ? s.settled : s.unsettled) += value;
        return true;
    });
    table.close();
    // Sums over a part of the ledger would be wrong without a word.
    if (!walked) return std::nullopt;
    return s;
}

std::optional<Ranking> spendingRanking(std::string_view ledgerFile) {
    tables::TableFile table;
    if (!openTable(table, ledgerFile)) return std::nullopt;
    const std::string_view customer = ledgerField(ledgerFields::k客户);
    const std::string_view amount = ledgerField(ledgerFields::k金额);
    const std::string_view status = ledgerField(ledgerFields::k状态);
    Ranking r;
    std::unordered_map<std::string, std::size_t> rowOf;
    const tables::Status walked = table.forEachRecord([&] {
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
    if (!walked) return std::nullopt;
    return r;
}

}  // namespace customers
