// The ledger's state that lives as long as the program: the row maps of the
// two lists that show ledger rows, the entry form's modify mode, the last
// query kind and the texts last picked for the price history.
#pragma once

#include <string>

#include "ledger_record.h"

namespace ledger {

struct LedgerState {
    RowRecordMap entryRowMap{};  // entry page list row -> record number
    RowRecordMap queryRowMap{};  // query page list row -> record number
    bool modifyMode = false;     // the next save overwrites the selected row's record
    int lastQueryMode = 0;       // 0 none, 1 keyword, 2 date range, 3 combined
    std::string historyCustomer; // GBK, last picked from the customer box
    std::string historyItem;     // GBK, last picked from the item box
};

// The process-wide instance (the shell may keep its own and pass it instead).
LedgerState& ledgerState();

}  // namespace ledger
