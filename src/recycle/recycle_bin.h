// "回收站.edb", the recycle bin beside the program: a ledger entry or a
// customer is appended here, with the time of its deletion and the table it
// came from, before it is removed from its table; "还原" appends it back to
// its table and takes it out of the bin; entries older than 90 days are
// dropped at start-up. The bin is a table like the four (same format, access
// password and field kinds, fields in table_schema.h) that the program makes
// when it is missing. No Qt here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "table_file.h"
#include "table_schema.h"
#include "table_value.h"

namespace recycle {

inline constexpr std::string_view kBinFile = schema::recycle::kTable.fileName;
inline constexpr double kKeepDays = 90.0;

enum class Source { Ledger, Customers };

// Where a delete keeps what it removes, and the clock that says when.
struct BinTarget {
    std::string file = std::string(kBinFile);
    backup::Clock* clock = nullptr;  // null: the system clock

    double now() const;  // as a date-time
};

// How many values a record of each table has, in its own field order.
std::size_t valueCount(Source source);

struct Deleted {
    std::int32_t id = 0;   // record id in the bin
    double deletedAt = 0;  // date-time
    Source source = Source::Ledger;
    // The record's values in its table's field order: the six of a ledger
    // entry or the four of a customer.
    std::vector<tables::TableValue> values;
};

enum class BinResult {
    Ok,
    OpenFailed,    // the bin (or, for putBack, the record's table) cannot be opened or made
    ReadFailed,    // it could not be read to the end
    TooLong,       // a text is longer than the bin's field: nothing was written
    WriteFailed,   // the table refused the append, delete mark or purge
    Gone,          // no such entry in the bin
    NotTakenOut,   // putBack: the record is back in its table, but the bin still holds it
    AlreadyThere,  // putBack: a customer of that name is in the table: nothing was written
};

// Appends a record that is about to be removed from its table. A missing bin
// is made first, its text fields at least as wide as those of `sourceFields`
// (the open table the record comes from) and of the tables' description. A
// text too long for the bin's field refuses the append rather than cut it,
// as a cut record could not be put back as it was. `id` gets the bin's id.
BinResult putInBin(std::string_view binFile, Source source,
                   std::span<const tables::TableValue> values,
                   const std::vector<tables::FieldDescriptor>& sourceFields, double deletedAt,
                   std::int32_t& id);

// Removes the entry with record id `id` from the bin.
BinResult takeFromBin(std::string_view binFile, std::int32_t id);

// Every entry, most recently deleted first; an absent bin holds nothing.
// nullopt when the bin exists but cannot be opened or read.
std::optional<std::vector<Deleted>> readBin(std::string_view binFile);

// Drops the entries deleted before `cutoff` (a date-time); `dropped` counts
// them. An absent bin is no failure.
BinResult dropDeletedBefore(std::string_view binFile, double cutoff, int& dropped);

// "还原": appends the entry's values to its table (`ledgerFile` or
// `customerFile`), then takes it out of the bin. ReadFailed when the bin
// cannot be opened or read, OpenFailed when the table cannot be opened. When
// the append fails the bin keeps it; when only taking it out fails,
// NotTakenOut.
BinResult putBack(std::string_view binFile, std::int32_t id, std::string_view ledgerFile,
                  std::string_view customerFile, Source* source = nullptr);

}  // namespace recycle
