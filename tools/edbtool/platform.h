// What differs between platforms at the tool's edges: how the command line
// arrives and how the standard streams carry bytes.
#pragma once

#include <string>
#include <vector>

namespace edbtool {

// The arguments after the program name, as UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);
// Makes stdout and stderr pass bytes through unchanged (no CR added).
void useBinaryStandardStreams();

}  // namespace edbtool
