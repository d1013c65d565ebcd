// How a command ends when it cannot do its work.
#pragma once

#include <string>

#include "table_error.h"

namespace edbtool {

// A failure on one file: reported as "edbtool: FILE: CODE TEXT" with the code's
// text from the message table, followed by " (WHERE)" when it is known where in
// the file it arose ("record 12").
struct ToolFailure {
    std::string file;
    tables::TableError code;
    std::string where = {};
};

// The command line itself is wrong (unknown command, missing argument).
struct UsageError {
    std::string message;
};

}  // namespace edbtool
