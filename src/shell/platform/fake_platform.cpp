#include "fake_platform.h"

namespace shell::platform {

FakePlatform::Window* FakePlatform::window(WindowHandle handle) {
    for (Window& w : windows) {
        if (w.handle == handle) return &w;
    }
    return nullptr;
}

MarkerClaim FakePlatform::claimInstanceMarker(std::string_view name) {
    calls.push_back("claimInstanceMarker " + std::string(name));
    if (markerUnavailable) return MarkerClaim::unavailable;
    return anotherCopyRuns ? MarkerClaim::heldElsewhere : MarkerClaim::acquired;
}

std::vector<ProcessId> FakePlatform::findProcessesByExeName(std::string_view exeName) {
    std::vector<ProcessId> found;
    for (const Process& p : processes) {
        if (p.pid != selfPid && sameExeName(p.exeName, exeName)) found.push_back(p.pid);
    }
    return found;
}

WindowHandle FakePlatform::findProcessWindow(ProcessId pid, std::chrono::milliseconds limit) {
    calls.push_back("findProcessWindow " + std::to_string(pid) + " " +
                    std::to_string(limit.count()));
    if (windowSearchTimesOut) return 0;
    for (const Window& w : windows) {
        if (w.pid == pid && w.visible && !w.owned) return w.handle;
    }
    return 0;
}

bool FakePlatform::isWindowVisible(WindowHandle handle) {
    const Window* w = window(handle);
    return w != nullptr && w->visible;
}

bool FakePlatform::isWindowIconic(WindowHandle handle) {
    const Window* w = window(handle);
    return w != nullptr && w->iconic;
}

void FakePlatform::showNotTopmost(WindowHandle handle) {
    calls.push_back("showNotTopmost " + std::to_string(handle));
    if (Window* w = window(handle)) {
        w->visible = true;
        w->topmost = false;
    }
}

void FakePlatform::restoreWindow(WindowHandle handle) {
    calls.push_back("restoreWindow " + std::to_string(handle));
    if (Window* w = window(handle)) w->iconic = false;
}

WindowHandle FakePlatform::activateWindow(WindowHandle handle) {
    calls.push_back("activateWindow " + std::to_string(handle));
    const WindowHandle previous = activeWindow;
    if (window(handle) != nullptr) activeWindow = handle;
    return previous;
}

void FakePlatform::minimizeWindow(WindowHandle handle) {
    calls.push_back("minimizeWindow " + std::to_string(handle));
    if (Window* w = window(handle)) w->iconic = true;
}

void FakePlatform::clearWindowTitle(WindowHandle handle) {
    calls.push_back("clearWindowTitle " + std::to_string(handle));
}

int FakePlatform::registerHotKey(WindowHandle owner) {
    calls.push_back("registerHotKey " + std::to_string(owner));
    if (registeredHotKeyId != 0) return registeredHotKeyId;
    if (hotKeyTaken) return 0;
    registeredHotKeyId = kFirstHotKeyId;
    hotKeyOwner = owner;
    return registeredHotKeyId;
}

void FakePlatform::unregisterHotKey() {
    calls.push_back("unregisterHotKey");
    registeredHotKeyId = 0;
    hotKeyOwner = 0;
}

int FakePlatform::processPendingEvents() {
    const int presses = registeredHotKeyId != 0 ? pendingPresses_ : 0;
    pendingPresses_ = 0;
    return presses;
}

int FakePlatform::hotKeyIdFromNativeMessage(const void* message) {
    const auto* m = static_cast<const NativeMessage*>(message);
    if (m == nullptr || !m->isHotKey || registeredHotKeyId == 0) return 0;
    return (m->id >= kFirstHotKeyId && m->id <= registeredHotKeyId) ? m->id : 0;
}

bool FakePlatform::startCalculator() {
    calls.push_back("startCalculator");
    if (!calculatorAvailable) return false;
    ++calculatorStarts;
    return true;
}

}  // namespace shell::platform
