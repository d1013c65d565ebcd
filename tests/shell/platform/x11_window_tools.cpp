#include "x11_window_tools.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace platform_test {

namespace {

std::vector<unsigned long> longs(Display* d, Window w, const char* property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(d, w, XInternAtom(d, property, False), 0, 4096, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        actual == type && format == 32) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        out.assign(items, items + count);
    }
    if (data != nullptr) XFree(data);
    return out;
}

}  // namespace

std::optional<long> wmState(Display* d, Window w) {
    const auto v = longs(d, w, "WM_STATE", XInternAtom(d, "WM_STATE", False));
    if (v.empty()) return std::nullopt;
    return static_cast<long>(v.front());
}

bool isViewable(Display* d, Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) != 0 && a.map_state == IsViewable;
}

bool windowManagerRuns(Display* d) {
    const auto check = longs(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    return !check.empty() && check.front() != None;
}

Window activeWindow(Display* d) {
    const auto v = longs(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return v.empty() ? None : v.front();
}

std::vector<Atom> netWmState(Display* d, Window w) {
    const auto v = longs(d, w, "_NET_WM_STATE", XA_ATOM);
    return {v.begin(), v.end()};
}

std::vector<Window> clientList(Display* d) {
    const auto v = longs(d, DefaultRootWindow(d), "_NET_CLIENT_LIST", XA_WINDOW);
    return {v.begin(), v.end()};
}

bool isShown(Display* d, Window w) {
    if (windowManagerRuns(d)) {
        const auto state = wmState(d, w);
        return state && *state == NormalState && isViewable(d, w);
    }
    return isViewable(d, w);
}

}  // namespace platform_test
