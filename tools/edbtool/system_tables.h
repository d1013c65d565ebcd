// The four tables the program expects beside it, as `edbtool init` makes them
// from their one description (table_schema.h).
#pragma once

#include <string>
#include <vector>

#include "table_file.h"
#include "table_schema.h"
#include "table_value.h"

namespace edbtool {

struct SystemTable {
    std::string fileName;                         // UTF-8
    std::vector<tables::FieldDescriptor> fields;  // names GBK
    // Records a new file starts with (the settings table has one).
    std::vector<std::vector<tables::TableValue>> records;
};

// The ledger, settings, project and customer tables, in that order.
std::vector<SystemTable> systemTables();

}  // namespace edbtool
