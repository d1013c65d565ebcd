// Platform-independent routines built on the Platform interface.
#include "platform.h"

namespace shell::platform {

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

ProcessId Platform::findProcessByExeName(std::string_view exeName) {
    const std::vector<ProcessId> found = findProcessesByExeName(exeName);
    return found.empty() ? 0 : found.front();
}

bool sameExeName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

void bringRunningCopyForward(Platform& platform, std::string_view exeName) {
    // The caller is excluded from the search, and every other copy is tried:
    // a copy that shows no window (another display, or one that is itself
    // about to end) must not stop us from reaching the one that does.
    for (const ProcessId pid : platform.findProcessesByExeName(exeName)) {
        const WindowHandle window = platform.findProcessWindow(pid, kWindowSearchLimit);
        if (window == 0) continue;
        if (!platform.isWindowVisible(window)) platform.showNotTopmost(window);
        if (platform.isWindowIconic(window)) platform.restoreWindow(window);
        platform.activateWindow(window);
        return;
    }
}

InstanceCheck ensureSingleInstance(Platform& platform, std::string_view programFileName,
                                   const std::function<void()>& tellOperator) {
    if (platform.claimInstanceMarker(kInstanceMarkerName) != MarkerClaim::heldElsewhere) {
        return InstanceCheck::onlyCopy;
    }
    if (tellOperator) tellOperator();
    bringRunningCopyForward(platform, programFileName);
    return InstanceCheck::anotherCopyRuns;
}

}  // namespace shell::platform
