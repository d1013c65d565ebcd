// Runs the built edbtool as a separate process, the way scripts use it.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool with `args` (UTF-8) in no particular working directory;
// stdout and stderr go through the files `outPath` and `errPath`.
ToolResult runProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::string& outPath, const std::string& errPath);
