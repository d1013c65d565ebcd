#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "platform.h"

using namespace shell::platform;

int runHelper(int argc, char** argv) {
    if (argc < 2) return -1;
    const std::string_view mode = argv[1];
    if (mode == "--sleep") {
        ::sleep(60);
        return 0;
    }
    if (mode == "--list-same-name") {
        // Which other processes carry this program's name, as the second copy
        // sees them.
        const auto platform = createPlatform();
        std::printf("pids:");
        for (const ProcessId pid :
             platform->findProcessesByExeName(platform->currentExecutableName())) {
            std::printf(" %u", pid);
        }
        std::printf("\n");
        std::fflush(stdout);
        ::sleep(60);
        return 0;
    }
    return -1;
}
