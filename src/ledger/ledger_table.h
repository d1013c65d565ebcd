// The plain operations on the ledger table "记账.edb". Each call opens the
// table (beside the program, i.e. in the current directory, with the access
// password), does its one piece of work and closes it again before it
// returns; nothing stays open between two operator actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ledger_match.h"
#include "ledger_record.h"

namespace ledger {

enum class LedgerStatus {
    Ok,
    OpenFailed,    // missing file, wrong password, damaged table
    NoSuchRecord,  // the record number lies outside the table
    WriteFailed,   // the table refused the write or the delete mark
    PurgeFailed,   // marked deleted, but the purge did not finish
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
    LedgerRecord record;
};

struct ScanResult {
    bool opened = false;  // false: the table could not be opened, rows is empty
    std::vector<FoundRecord> rows;  // in file order
    bool cut = false;               // more records matched than the limit
};

// Called every so many records during a scan so that window events can run.
using Pump = std::function<void()>;

// Lists the records that pass `filter`, in file order, at most `limit` of
// them; records marked deleted are skipped. When a further record matches,
// the scan stops there and the result says it was cut.
ScanResult findRecords(const LedgerFilter& filter, std::size_t limit = kMaxListRows,
                       const Pump& pump = {});

// Adds one record at the end.
LedgerStatus appendRecord(const LedgerRecord& record);
// Writes all six fields over the record with the given number.
LedgerStatus writeRecord(std::int32_t recordNumber, const LedgerRecord& record);
// Writes only the status of each given record; the other five fields stay as
// they are. Numbers outside the table are skipped (result NoSuchRecord, the
// others are still written).
LedgerStatus writeStatus(std::span<const std::int32_t> recordNumbers, bool settled);
// Marks the record deleted and purges the table, which moves every later
// record one number down.
LedgerStatus deleteRecord(std::int32_t recordNumber);

}  // namespace ledger
