// The customer table "客户" (extension EDB added by the table layer) and the
// ledger sums the customers page shows. Four text fields, in this order:
// "姓名", "电话", "地址", "备注". Names need not be unique; a customer is tied
// to ledger entries only by the exact bytes of its name. No Qt here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recycle_bin.h"
#include "table_schema.h"

namespace customers {

inline constexpr std::string_view kCustomerFile = schema::customers::kTable.fileName;
inline constexpr std::string_view kLedgerFile = schema::ledger::kTable.fileName;

// One record; texts are GBK bytes.
struct Customer {
    std::string 姓名;
    std::string 电话;
    std::string 地址;
    std::string 备注;

    bool operator==(const Customer&) const = default;
};

enum class ChangeResult {
    Done,
    OpenFailed,   // the table cannot be opened
    NotFound,     // no live record bears the selected name
    ReadFailed,   // the search could not read the table: nothing was changed
    WriteFailed,  // the table refused the append, write or delete mark
    BinFailed,    // the recycle bin did not take the customer: nothing was deleted
};

// The names of the records not marked deleted, in record order; nullopt when
// the table cannot be opened or read to the end.
std::optional<std::vector<std::string>> readCustomerNames(
    std::string_view fileName = kCustomerFile);

struct Lookup {
    bool opened = false;               // false also when the search could not read the table
    std::optional<Customer> customer;  // the first live record of the name
};
Lookup findCustomer(std::string_view nameGbk, std::string_view fileName = kCustomerFile);

// Appends the four texts as given. A text longer than its field is cut at the
// last whole character that fits (so does a modify).
ChangeResult appendCustomer(const Customer& customer, std::string_view fileName = kCustomerFile);

// Overwrites the first live record named `selectedName` with `customer`.
ChangeResult modifyCustomer(std::string_view selectedName, const Customer& customer,
                            std::string_view fileName = kCustomerFile);

// Keeps the first live record named `selectedName` in the recycle bin, then
// marks it deleted and purges the table. When the bin does not take it,
// nothing is deleted. A purge that does not finish still leaves the record
// marked, and marked records are never listed, so the customer is gone
// either way.
ChangeResult deleteCustomer(std::string_view selectedName,
                            std::string_view fileName = kCustomerFile,
                            const recycle::BinTarget& bin = {});

// One customer's ledger sums, unrounded.
struct Statement {
    double total = 0.0;
    double settled = 0.0;
    double unsettled = 0.0;
};
// Every ledger entry whose "客户" equals `nameGbk` exactly; nullopt when the
// ledger cannot be opened or read to the end.
std::optional<Statement> customerStatement(std::string_view nameGbk,
                                           std::string_view ledgerFile = kLedgerFile);

// The spending ranking in ledger order of first appearance (not yet ordered
// by size): one row per distinct "客户" text with its sum as shown text. A
// row's first amount is shown as it is; every later addition is rounded to
// two decimal places.
struct RankingRow {
    std::string name;     // GBK
    std::string sumText;  // numberToText
    bool operator==(const RankingRow&) const = default;
};
struct Ranking {
    std::vector<RankingRow> rows;
    double allSettled = 0.0;
    double allUnsettled = 0.0;
};
// nullopt when the ledger cannot be opened or read to the end.
std::optional<Ranking> spendingRanking(std::string_view ledgerFile = kLedgerFile);

}  // namespace customers
