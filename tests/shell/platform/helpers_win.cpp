#include <windows.h>

#include <cstdio>
#include <string_view>

#include "platform.h"

using namespace shell::platform;

int runHelper(int argc, char** argv) {
    if (argc < 2) return -1;
    const std::string_view mode = argv[1];
    if (mode == "--sleep") {
        Sleep(60000);
        return 0;
    }
    if (mode == "--list-same-name") {
        const auto platform = createPlatform();
        std::printf("pids:");
        for (const ProcessId pid :
             platform->findProcessesByExeName(platform->currentExecutableName())) {
            std::printf(" %lu", static_cast<unsigned long>(pid));
        }
        std::printf("\n");
        std::fflush(stdout);
        Sleep(60000);
        return 0;
    }
    if (mode == "--hold-marker" && argc >= 3) {
        const auto platform = createPlatform();
        const MarkerClaim claim = platform->claimInstanceMarker(argv[2]);
        std::printf("%s\n", claim == MarkerClaim::acquired ? "acquired" : "not acquired");
        std::fflush(stdout);
        Sleep(60000);
        return 0;
    }
    return -1;
}
