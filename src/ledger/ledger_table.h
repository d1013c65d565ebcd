// The plain operations on the ledger table "记账.edb". Each call opens the
// table (beside the program, i.e. in the current directory, with the access
// password), does its one piece of work and closes it again before it
// returns; nothing stays open between two operator actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ledger_match.h"
#include "ledger_record.h"
#include "recycle_bin.h"

namespace ledger {

enum class LedgerStatus {
    Ok,
    OpenFailed,   // missing file, wrong password, damaged table
    ReadFailed,   // opened, but the records could not be read to the end
    RecordGone,   // no live record bears the id any more: nothing was changed
    WriteFailed,  // the table refused the write or the delete mark
    PurgeFailed,  // marked deleted, but the purge did not finish
    BinFailed,    // the recycle bin did not take the entry: nothing was deleted
};

// What a query lists. Every condition that is set must hold.
struct LedgerFilter {
    std::optional<DayRange> days;
    std::optional<Keyword> keyword;
    // Exact (byte for byte) customer and item, for the price history.
    std::optional<std::string> customer;
    std::optional<std::string> item;
    // Lists nothing (a keyword that cannot occur in the table); the table is
    // still opened so that an unreadable table is reported.
    bool matchNothing = false;
};

struct FoundRecord {
    std::int32_t recordNumber = 0;
    std::int32_t recordId = 0;
    LedgerRecord record;

    RecordRef ref() const { return {recordNumber, recordId}; }
};

struct ScanResult {
    // OpenFailed or ReadFailed: rows is empty, as a list that cannot be
    // trusted is no list (its total would be wrong without a word).
    LedgerStatus status = LedgerStatus::OpenFailed;
    std::vector<FoundRecord> rows;  // in file order
    bool cut = false;               // more records matched than the limit

    bool ok() const { return status == LedgerStatus::Ok; }
};

// Lists the records that pass `filter`, in file order, at most `limit` of
// them; records marked deleted are skipped. When a further record matches,
// the scan stops there and the result says it was cut. A record that cannot
// be read (another process holds it, a damaged table) fails the whole scan.
ScanResult findRecords(const LedgerFilter& filter, std::size_t limit = kMaxListRows);

// Adds one record at the end.
LedgerStatus appendRecord(const LedgerRecord& record);

// The changes of a listed record find it by its id: at the number the list
// saw when it is still there, else at the first live record with that id (a
// purge elsewhere moved it). The id is checked under the record lock as the
// record is changed, so another record is never written. No live record with
// the id: RecordGone, and nothing is changed.

// Writes all six fields over the record.
LedgerStatus writeRecord(RecordRef ref, const LedgerRecord& record);
// Writes only the status of each given record; the other five fields stay as
// they are. When one of them is gone nothing is written at all.
LedgerStatus writeStatus(std::span<const RecordRef> refs, bool settled);
// Keeps the record in the recycle bin, then marks it deleted and purges the
// table, which moves every later record one number down. When the bin does
// not take it, nothing is deleted; when the mark fails, the bin gives it up
// again.
LedgerStatus deleteRecord(RecordRef ref, const recycle::BinTarget& bin = {});

}  // namespace ledger
