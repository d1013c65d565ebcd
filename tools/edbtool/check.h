// The check command: a read-only walk over a table file and its memo file
// that reports every inconsistency it finds instead of stopping at the first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "table_error.h"

namespace edbtool {

struct Problem {
    tables::TableError code;  // the nearest code of the message table
    std::string text;         // what is wrong and where (UTF-8)
};

// Checks the header, the field descriptors, the file length and the record
// ids of the table `name` (default-extension rule applies) and, when it has
// memo or byte-set fields, the memo file: the header, the length, every
// chain reachable from live and deleted records, the free list, and blocks
// that belong to nothing. `password` is GBK. Throws ToolFailure when the file
// cannot be opened or the password does not fit; returns the problems found
// (none for a sound table) otherwise.
std::vector<Problem> checkTable(std::string_view name, std::string_view password);

}  // namespace edbtool
