// A scripted Platform for the shell's tests: the test describes the world
// (another copy runs, the hot key is taken, which processes and windows
// exist) and reads back what was asked of it, in order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform.h"

namespace shell::platform {

class FakePlatform final : public Platform {
  public:
    struct Process {
        ProcessId pid = 0;
        std::string exeName;
    };
    struct Window {
        WindowHandle handle = 0;
        ProcessId pid = 0;
        bool visible = true;
        bool iconic = false;
        bool owned = false;  // has a parent or owner
        bool topmost = false;
    };
    // What hotKeyIdFromNativeMessage expects in place of a native message.
    struct NativeMessage {
        bool isHotKey = false;
        int id = 0;
    };

    // --- the world, set by the test ---
    bool anotherCopyRuns = false;       // claimInstanceMarker: heldElsewhere
    bool markerUnavailable = false;     // claimInstanceMarker: unavailable
    bool hotKeyTaken = false;           // registerHotKey fails
    bool calculatorAvailable = true;    // startCalculator succeeds
    bool windowSearchTimesOut = false;  // findProcessWindow finds nothing
    bool windowManagerRuns = true;      // canMinimizeWindows
    ProcessId selfPid = 1;              // never reported by the process search
    std::string executableName = "lanhe";
    std::vector<Process> processes;  // in listing order; may include selfPid
    std::vector<Window> windows;     // in stacking order, top first
    int eventFd = -1;                // returned by eventFileDescriptor

    // Queues `count` hot-key presses for the next processPendingEvents.
    void pressHotKey(int count = 1) { pendingPresses_ += count; }

    // --- what happened ---
    // One entry per call, e.g. "claimInstanceMarker lanhere",
    // "findProcessWindow 20 100", "showNotTopmost 7", "restoreWindow 7",
    // "activateWindow 7", "minimizeWindow 9", "clearWindowTitle 9",
    // "registerHotKey 5", "unregisterHotKey", "startCalculator". Queries
    // without effect (isWindowVisible, isWindowIconic, canMinimizeWindows,
    // findProcessesByExeName, currentExecutableName, eventFileDescriptor,
    // processPendingEvents, hotKeyIdFromNativeMessage) are not recorded.
    std::vector<std::string> calls;
    int registeredHotKeyId = 0;  // 0 while not registered
    WindowHandle hotKeyOwner = 0;
    WindowHandle activeWindow = 0;
    int calculatorStarts = 0;

    // Looks up a window of `windows` by handle; nullptr when unknown.
    Window* window(WindowHandle handle);

    MarkerClaim claimInstanceMarker(std::string_view name) override;
    std::string currentExecutableName() override { return executableName; }
    std::vector<ProcessId> findProcessesByExeName(std::string_view exeName) override;
    WindowHandle findProcessWindow(ProcessId pid, std::chrono::milliseconds limit) override;
    bool isWindowVisible(WindowHandle window) override;
    bool isWindowIconic(WindowHandle window) override;
    void showNotTopmost(WindowHandle window) override;
    void restoreWindow(WindowHandle window) override;
    WindowHandle activateWindow(WindowHandle window) override;
    bool canMinimizeWindows() override { return windowManagerRuns; }
    void minimizeWindow(WindowHandle window) override;
    void clearWindowTitle(WindowHandle window) override;
    int registerHotKey(WindowHandle owner) override;
    void unregisterHotKey() override;
    int eventFileDescriptor() override { return eventFd; }
    int processPendingEvents() override;
    int hotKeyIdFromNativeMessage(const void* message) override;
    bool startCalculator() override;

  private:
    int pendingPresses_ = 0;
};

}  // namespace shell::platform
