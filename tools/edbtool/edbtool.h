// edbtool: create, inspect, change and check table files from the command
// line. The program itself never creates a table; this is how the files that
// lie beside it are made and looked after.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace edbtool {

// Runs one command (the arguments after the program name, UTF-8). Results go
// to `out`; a failure is one line "edbtool: FILE: CODE TEXT" on `err` and the
// result is 1; success gives 0.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace edbtool
