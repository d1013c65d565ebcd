// Test entry; with "--window MODE" this program instead plays a running copy
// that owns windows in a given state, prints their ids on one line and
// stays until killed.
#include <gtest/gtest.h>
// Xlib after Google Test: its macros (None, Bool) would break it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "x11_window_tools.h"

using platform_test::isShown;
using platform_test::wmState;

namespace {

Display* d = nullptr;

Window makeWindow(const char* title) {
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 40, 40, 240, 120, 1,
                                         BlackPixel(d, 0), WhitePixel(d, 0));
    XStoreName(d, w, title);
    XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("LanheProbe")};
    XSetClassHint(d, w, &hint);
    const unsigned long pid = static_cast<unsigned long>(::getpid());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    return w;
}

void setAbove(Window w) {
    const Atom above = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&above), 1);
}

template <typename Condition>
bool waitUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        XSync(d, False);
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool mapAndWait(Window w) {
    // A window manager that has only just started may miss the first map
    // request: repeat it until the window is managed.
    for (int attempt = 0; attempt < 10; ++attempt) {
        XMapWindow(d, w);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (std::chrono::steady_clock::now() < end) {
            XSync(d, False);
            if (isShown(d, w)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const auto state = wmState(d, w);
    std::fprintf(stderr, "window helper: %lu not shown: WM_STATE %ld, viewable %d\n", w,
                 state ? *state : -1L, platform_test::isViewable(d, w) ? 1 : 0);
    return false;
}

bool iconifyAndWait(Window w) {
    // Repeated for the same reason as the map request.
    for (int attempt = 0; attempt < 20; ++attempt) {
        XIconifyWindow(d, w, DefaultScreen(d));
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (std::chrono::steady_clock::now() < end) {
            XSync(d, False);
            if (wmState(d, w) == IconicState) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::fprintf(stderr, "window helper: %lu not iconic\n", w);
    return false;
}

bool withdrawAndWait(Window w) {
    XWithdrawWindow(d, w, DefaultScreen(d));
    return waitUntil([&] {
        const auto state = wmState(d, w);
        return (!state || *state == WithdrawnState) && !platform_test::isViewable(d, w);
    });
}

int runWindowHelper(std::string_view mode) {
    d = XOpenDisplay(nullptr);
    if (d == nullptr) return 2;
    std::string ids;
    bool ok = true;
    if (mode == "normal" || mode == "above") {
        const Window w = makeWindow("normal");
        if (mode == "above") setAbove(w);
        ok = mapAndWait(w);
        ids = std::to_string(w);
    } else if (mode == "iconic") {
        const Window w = makeWindow("iconic");
        ok = mapAndWait(w) && iconifyAndWait(w);
        ids = std::to_string(w);
    } else if (mode == "withdrawn" || mode == "above-withdrawn") {
        const Window w = makeWindow("withdrawn");
        if (mode == "above-withdrawn") setAbove(w);
        ok = mapAndWait(w) && withdrawAndWait(w);
        ids = std::to_string(w);
    } else if (mode == "owned") {
        const Window owner = makeWindow("owner, never shown");
        const Window dialog = makeWindow("owned");
        XSetTransientForHint(d, dialog, owner);
        ok = mapAndWait(dialog);
        ids = std::to_string(dialog);
    } else if (mode == "owned-and-main") {
        // The owned window is mapped last, so it lies on top of the main one.
        const Window main = makeWindow("main");
        const Window dialog = makeWindow("owned");
        XSetTransientForHint(d, dialog, main);
        ok = mapAndWait(main) && mapAndWait(dialog);
        ids = std::to_string(main) + " " + std::to_string(dialog);
    } else if (mode == "two") {
        const Window first = makeWindow("first");
        const Window second = makeWindow("second");
        ok = mapAndWait(first) && mapAndWait(second);
        ids = std::to_string(first) + " " + std::to_string(second);
    } else {
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "window helper: %s windows not ready\n", std::string(mode).c_str());
        return 3;
    }
    std::printf("%s\n", ids.c_str());
    std::fflush(stdout);
    for (int i = 0; i < 600; ++i) {
        // Answer nothing, but keep the connection drained.
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string_view(argv[1]) == "--window") return runWindowHelper(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
