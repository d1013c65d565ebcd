// The structural check of a table file and its memo file, and the repair of
// what an interrupted operation may leave behind. Both report through plain
// values (no output, no exit): edbtool prints them, the program may verify a
// backup with them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "status.h"
#include "table_error.h"

namespace tables {

enum class Severity {
    // A rule that no stop of an operation breaks: something or someone
    // damaged the file. The check fails; repair refuses to touch it.
    Damage,
    // What a stopped operation may leave (blocks that belong to nothing,
    // bytes past the counted ones, copies of records from an interrupted
    // purge). Harmless to readers; repair mends it.
    Repairable,
};

struct Finding {
    Severity severity;
    TableError code;   // the nearest code of the message table
    std::string text;  // what is wrong and where (UTF-8), record numbers from 1
};

struct CheckReport {
    std::vector<Finding> findings;  // in the order the check came upon them

    bool damaged() const;
    // The code of the first damage; kOk when there is none.
    TableError damageCode() const;
};

// Checks the table `fileName` (default-extension rule as for open) and, when
// it has memo or byte-set fields, its memo file: the header and descriptors by
// the rules open() applies, the length, the record ids, every memo chain the
// records own, the free list and blocks that belong to nothing. Both files
// are locked whole while they are read (waiting up to 2 s for another
// process's lock), and nothing is written. Fails only when the files cannot
// be examined: missing or unreadable table file, a lock that stays taken, a
// wrong password. Everything else is a finding in `report`.
Status checkTable(std::string_view fileName, std::string_view password, CheckReport& report);

struct RepairReport {
    std::vector<Finding> findings;     // what the check at the start found
    std::vector<std::string> changes;  // every change made, one line each, in order
};

// Mends every Repairable finding of `fileName`: cuts surplus bytes off both
// files, removes later copies of records that an interrupted purge left
// (their memo chains stay with the record they copy), cuts leaked memo blocks
// off the end of the memo file or puts them on the free list, and sets the
// free block count to the list's length. Both files stay locked whole for the
// whole run. Refuses a file with any Damage finding (changing nothing; the
// status has the first damage's code and the findings say why). No value of a
// record that a reader can see changes, and a stop part-way leaves a file
// that the check passes and that another repair finishes. Fails with the
// code of a read or write that failed (the changes made until then are
// listed).
Status repairTable(std::string_view fileName, std::string_view password, RepairReport& report);

}  // namespace tables
