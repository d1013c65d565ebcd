// The ledger's state that lives as long as the program: the row maps of the
// two lists that show ledger rows (record number and record id of each row),
// the entry form's modify mode, the last query kind, the texts last picked
// for the price history, and how the two pages reach each other.
#pragma once

#include <cstddef>
#include <string>

#include "ledger_record.h"

namespace ledger {

// What one ledger page asks of the other: after a change that moved records
// or changed what they show, fill its list again if it shows rows.
class LedgerListPeer {
  public:
    virtual void refillIfFilled() = 0;

  protected:
    ~LedgerListPeer() = default;
};

struct LedgerState {
    RowRecordMap entryRowMap{};  // entry page list row -> record number
    RowRecordMap queryRowMap{};  // query page list row -> record number
    // The record id behind each row, kept in step with the number: a change
    // finds its record by it when a purge elsewhere has moved the record.
    RowRecordMap entryRowIds{};
    RowRecordMap queryRowIds{};
    bool modifyMode = false;      // the next save overwrites the selected row's record
    int lastQueryMode = 0;        // 0 none, 1 keyword, 2 date range, 3 combined
    std::string historyCustomer;  // GBK, last picked from the customer box
    std::string historyItem;      // GBK, last picked from the item box
    // The two pages' operations while their pages exist (each registers
    // itself), so that each can have the other's list refilled.
    LedgerListPeer* entryList = nullptr;
    LedgerListPeer* queryList = nullptr;

    // The record behind a row; {0, 0} (never written) for a row outside the map.
    RecordRef entryRecord(int row) const { return at(entryRowMap, entryRowIds, row); }
    RecordRef queryRecord(int row) const { return at(queryRowMap, queryRowIds, row); }

  private:
    static RecordRef at(const RowRecordMap& numbers, const RowRecordMap& ids, int row) {
        if (row < 0 || static_cast<std::size_t>(row) >= kMaxListRows) return {};
        const auto i = static_cast<std::size_t>(row);
        return {numbers[i], ids[i]};
    }
};

// The process-wide instance (the shell may keep its own and pass it instead).
LedgerState& ledgerState();

}  // namespace ledger
