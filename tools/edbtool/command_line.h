// The command line: a subcommand, then its positional arguments with the
// options --password and --format anywhere among them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace edbtool {

struct CommandLine {
    std::string command;
    std::vector<std::string> positionals;
    std::optional<std::string> password;
    std::optional<std::string> format;
    bool help = false;
};

// Splits `args` (without the program name). "--" ends the options; a lone
// "-5" is a positional (a record number), not an option. Throws UsageError for
// an unknown option or one without its value.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage text printed for --help.
const char* usageText();

}  // namespace edbtool
