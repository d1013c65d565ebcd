// Small Xlib helpers shared by the X11 tests and their window-owning helper
// processes.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace platform_test {

// The ICCCM state of a window (1 normal, 3 iconic, 0 withdrawn), or
// nothing when it has no WM_STATE.
std::optional<long> wmState(Display* d, Window w);
bool isViewable(Display* d, Window w);
bool windowManagerRuns(Display* d);
Window activeWindow(Display* d);
std::vector<Atom> netWmState(Display* d, Window w);
std::vector<Window> clientList(Display* d);
// Shown as the window manager (or, without one, the server) sees it.
bool isShown(Display* d, Window w);

}  // namespace platform_test
