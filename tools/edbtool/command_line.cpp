#include "command_line.h"

#include <string_view>

#include "failure.h"

namespace edbtool {
namespace {

// Takes the value of `--name VALUE` or `--name=VALUE`; returns false when `arg`
// is not that option.
bool takeOption(std::string_view name, const std::vector<std::string>& args, std::size_t& i,
                std::optional<std::string>& into) {
    const std::string_view arg = args[i];
    if (arg.substr(0, name.size()) != name) return false;
    const std::string_view rest = arg.substr(name.size());
    if (rest.empty()) {
        if (i + 1 >= args.size()) throw UsageError{std::string(name) + " needs a value"};
        into = args[++i];
        return true;
    }
    if (rest.front() != '=') return false;
    into = std::string(rest.substr(1));
    return true;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9')) {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                cl.help = true;
                continue;
            }
            if (takeOption("--password", args, i, cl.password)) continue;
            if (takeOption("--format", args, i, cl.format)) continue;
            throw UsageError{"unknown option " + arg};
        }
        if (cl.command.empty()) {
            cl.command = arg;
        } else {
            cl.positionals.push_back(arg);
        }
    }
    return cl;
}

const char* usageText() {
    return "usage:\n"
           "  edbtool create FILE [--password P] FIELD...      FIELD = NAME:TYPE[:WIDTH]\n"
           "      TYPE: byte short int long float double bool datetime subref text bytes memo\n"
           "      (text needs WIDTH >= 1)\n"
           "  edbtool init DIR\n"
           "  edbtool info  FILE [--password P]\n"
           "  edbtool dump  FILE [--password P] [--format csv|json]\n"
           "  edbtool append FILE [--password P] JSON_ARRAY\n"
           "  edbtool write  FILE RECORD [--password P] JSON_ARRAY\n"
           "  edbtool delete FILE RECORD [--password P]\n"
           "  edbtool purge  FILE [--password P]\n"
           "  edbtool check  FILE [--password P]\n"
           "  edbtool repair FILE [--password P]\n"
           "  edbtool backup DIR DEST        the program's tables in DIR into "
           "DEST/YYYYMMDD-HHMMSS,\n"
           "                                 each copied under its lock and checked; keeps 30\n"
           "  edbtool restore BACKUP DIR     the tables of a backup folder back into DIR, all or\n"
           "                                 nothing, after a backup of DIR's tables into "
           "DIR/备份\n";
}

}  // namespace edbtool
