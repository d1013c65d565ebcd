// Real windows and key grabs on a private X server (see run_under_xvfb.sh).
// WithWm* expect a window manager, NoWm* expect none; HotKey* run in both.
#include <gtest/gtest.h>
// Xlib after Google Test: its macros (None, Bool) would break it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "child_process_posix.h"
#include "platform.h"
#include "x11_window_tools.h"

using namespace shell::platform;
using namespace platform_test;
using namespace std::chrono_literals;

namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A helper process that owns windows; ids in the order it printed them.
struct WindowOwner {
    ChildProcess process;
    std::vector<Window> windows;
    ProcessId pid() const { return static_cast<ProcessId>(process.pid()); }
};

WindowOwner startWindowOwner(const std::string& mode) {
    WindowOwner owner{ChildProcess::start(selfPath(), {"--window", mode}), {}};
    std::istringstream ids(owner.process.readLine(20s));
    for (Window w; ids >> w;) owner.windows.push_back(w);
    return owner;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

class X11Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through run_under_xvfb.sh";
        display.reset(XOpenDisplay(nullptr));
        ASSERT_NE(display, nullptr);
    }
    Display* d() { return display.get(); }
    // Waits (syncing our view of the server) until `condition` holds.
    template <typename Condition>
    bool eventually(Condition condition, std::chrono::milliseconds timeout = 5s) {
        return waitFor(
            [&] {
                XSync(d(), False);
                return condition();
            },
            timeout);
    }

    DisplayPtr display;
    std::unique_ptr<Platform> platform = createPlatform();
};

// ------------------------------------------------- with a window manager

class WithWm : public X11Test {
  protected:
    void SetUp() override {
        X11Test::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(windowManagerRuns(d())) << "these tests need a window manager";
    }
};

TEST_F(WithWm, MinimisedCopyIsRestoredAndActivated) {
    WindowOwner copy = startWindowOwner("iconic");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    ASSERT_EQ(wmState(d(), w), IconicState);

    const std::string name = platform->currentExecutableName();
    const auto found = platform->findProcessesByExeName(upper(name));
    EXPECT_NE(std::find(found.begin(), found.end(), copy.pid()), found.end());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), w);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kWindowSearchLimit);
    EXPECT_TRUE(platform->isWindowVisible(w));
    EXPECT_TRUE(platform->isWindowIconic(w));

    bringRunningCopyForward(*platform, upper(name));
    EXPECT_TRUE(eventually([&] {
        return wmState(d(), w) == NormalState && isViewable(d(), w) && activeWindow(d()) == w;
    }));
    EXPECT_FALSE(platform->isWindowIconic(w));
}

TEST_F(WithWm, HiddenWindowIsNotFoundAndStaysHidden) {
    WindowOwner copy = startWindowOwner("withdrawn");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    EXPECT_FALSE(platform->isWindowVisible(w));
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), 0u);
    bringRunningCopyForward(*platform, platform->currentExecutableName());
    std::this_thread::sleep_for(300ms);
    XSync(d(), False);
    EXPECT_FALSE(isViewable(d(), w));
    EXPECT_NE(wmState(d(), w), NormalState);
}

TEST_F(WithWm, OwnedWindowsAreSkipped) {
    WindowOwner both = startWindowOwner("owned-and-main");
    ASSERT_EQ(both.windows.size(), 2u);
    EXPECT_EQ(platform->findProcessWindow(both.pid(), kWindowSearchLimit), both.windows[0]);

    WindowOwner dialogOnly = startWindowOwner("owned");
    ASSERT_EQ(dialogOnly.windows.size(), 1u);
    EXPECT_TRUE(platform->isWindowVisible(dialogOnly.windows[0]));
    EXPECT_EQ(platform->findProcessWindow(dialogOnly.pid(), kWindowSearchLimit), 0u);
}

TEST_F(WithWm, TopmostOfSeveralWindowsComesFirst) {
    WindowOwner copy = startWindowOwner("two");
    ASSERT_EQ(copy.windows.size(), 2u);
    const Window first = copy.windows[0];
    const Window second = copy.windows[1];
    platform->activateWindow(first);
    ASSERT_TRUE(eventually([&] { return activeWindow(d()) == first; }));
    // The window manager restacks on its own time.
    EXPECT_TRUE(eventually(
        [&] { return platform->findProcessWindow(copy.pid(), kWindowSearchLimit) == first; }));
    // And the window that was active before is what activation reports.
    EXPECT_EQ(platform->activateWindow(second), first);
    ASSERT_TRUE(eventually([&] { return activeWindow(d()) == second; }));
    EXPECT_TRUE(eventually(
        [&] { return platform->findProcessWindow(copy.pid(), kWindowSearchLimit) == second; }));
}

TEST_F(WithWm, SearchGivesUpWhenTimeIsUp) {
    WindowOwner copy = startWindowOwner("normal");
    ASSERT_EQ(copy.windows.size(), 1u);
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), 0ms), 0u);
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), copy.windows[0]);
    EXPECT_EQ(platform->findProcessWindow(0, kWindowSearchLimit), 0u);
}

TEST_F(WithWm, ShowNotTopmostShowsHiddenWindowWithoutAlwaysOnTop) {
    const Atom above = XInternAtom(d(), "_NET_WM_STATE_ABOVE", False);
    WindowOwner copy = startWindowOwner("above-withdrawn");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    XWindowAttributes before;
    ASSERT_NE(XGetWindowAttributes(d(), w, &before), 0);
    platform->showNotTopmost(w);
    EXPECT_TRUE(eventually([&] { return isShown(d(), w); }));
    const auto states = netWmState(d(), w);
    EXPECT_EQ(std::find(states.begin(), states.end(), above), states.end());
    XWindowAttributes after;
    ASSERT_NE(XGetWindowAttributes(d(), w, &after), 0);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
}

TEST_F(WithWm, ShowNotTopmostTakesAlwaysOnTopFromShownWindow) {
    const Atom above = XInternAtom(d(), "_NET_WM_STATE_ABOVE", False);
    WindowOwner copy = startWindowOwner("above");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    ASSERT_TRUE(eventually([&] {
        const auto states = netWmState(d(), w);
        return std::find(states.begin(), states.end(), above) != states.end();
    }));
    platform->showNotTopmost(w);
    EXPECT_TRUE(eventually([&] {
        const auto states = netWmState(d(), w);
        return std::find(states.begin(), states.end(), above) == states.end();
    }));
    EXPECT_TRUE(isShown(d(), w));
}

TEST_F(WithWm, VanishedWindowIsHarmless) {
    WindowOwner copy = startWindowOwner("normal");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    copy.process.stop();
    ASSERT_TRUE(eventually([&] {
        const auto clients = clientList(d());
        return std::find(clients.begin(), clients.end(), w) == clients.end();
    }));
    // Every call on a window that no longer exists must be survived.
    EXPECT_FALSE(platform->isWindowVisible(w));
    EXPECT_FALSE(platform->isWindowIconic(w));
    platform->showNotTopmost(w);
    platform->restoreWindow(w);
    platform->activateWindow(w);
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), 0u);
}

TEST_F(WithWm, MinimisingAsksTheWindowManager) {
    WindowOwner copy = startWindowOwner("normal");
    ASSERT_EQ(copy.windows.size(), 1u);
    const Window w = copy.windows[0];
    EXPECT_TRUE(platform->canMinimizeWindows());
    platform->minimizeWindow(w);
    EXPECT_TRUE(eventually([&] { return wmState(d(), w) == IconicState; }));
    EXPECT_TRUE(platform->isWindowIconic(w));
}

TEST_F(WithWm, TitleGivenByTheToolkitIsTakenAway) {
    // As Qt names a window without a title: after the program.
    const Window w = XCreateSimpleWindow(d(), DefaultRootWindow(d()), 0, 0, 50, 50, 0, 0, 0);
    const Atom netWmName = XInternAtom(d(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d(), "UTF8_STRING", False);
    const std::string name = "lanhe-ledger";
    XChangeProperty(d(), w, netWmName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name.data()),
                    static_cast<int>(name.size()));
    XStoreName(d(), w, name.c_str());
    XMapWindow(d(), w);
    XSync(d(), False);

    platform->clearWindowTitle(static_cast<WindowHandle>(w));
    EXPECT_TRUE(eventually([&] {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(d(), w, netWmName, 0, 64, False, AnyPropertyType, &type, &format, &count,
                           &remaining, &data);
        if (data != nullptr) XFree(data);
        char* plain = nullptr;
        const bool plainEmpty = XFetchName(d(), w, &plain) == 0 || plain == nullptr || *plain == 0;
        if (plain != nullptr) XFree(plain);
        return type == 0 && plainEmpty;
    }));
    XDestroyWindow(d(), w);
    XSync(d(), False);
}

// --------------------------------------------------- no window manager

class NoWm : public X11Test {
  protected:
    void SetUp() override {
        X11Test::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_FALSE(windowManagerRuns(d())) << "these tests need a bare X server";
    }
};

TEST_F(NoWm, NothingCanMinimise) { EXPECT_FALSE(platform->canMinimizeWindows()); }

TEST_F(NoWm, FindsWindowByWalkingTheTree) {
    WindowOwner copy = startWindowOwner("normal");
    ASSERT_EQ(copy.windows.size(), 1u);
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), copy.windows[0]);
    EXPECT_TRUE(platform->isWindowVisible(copy.windows[0]));
    EXPECT_FALSE(platform->isWindowIconic(copy.windows[0]));
}

TEST_F(NoWm, HiddenAndOwnedWindowsAreSkipped) {
    WindowOwner hidden = startWindowOwner("withdrawn");
    ASSERT_EQ(hidden.windows.size(), 1u);
    EXPECT_EQ(platform->findProcessWindow(hidden.pid(), kWindowSearchLimit), 0u);
    WindowOwner both = startWindowOwner("owned-and-main");
    ASSERT_EQ(both.windows.size(), 2u);
    EXPECT_EQ(platform->findProcessWindow(both.pid(), kWindowSearchLimit), both.windows[0]);
}

TEST_F(NoWm, BringingForwardRaisesAndFocuses) {
    WindowOwner copy = startWindowOwner("two");
    ASSERT_EQ(copy.windows.size(), 2u);
    const Window first = copy.windows[0];
    // The second lies on top; raise the first and give it the focus.
    platform->activateWindow(first);
    EXPECT_TRUE(eventually([&] {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(d(), &focus, &revert);
        return focus == first;
    }));
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit), first);
    EXPECT_EQ(platform->activateWindow(copy.windows[1]), first);
}

// -------------------------------------------------------------- hot key

int errorCount = 0;
int countError(Display*, XErrorEvent*) {
    ++errorCount;
    return 0;
}

class HotKey : public X11Test {
  protected:
    void SetUp() override {
        X11Test::SetUp();
        if (HasFatalFailure()) return;
        other.reset(XOpenDisplay(nullptr));
        ASSERT_NE(other, nullptr);
        keyB = XKeysymToKeycode(d(), XK_b);
        setLock(Mod2Mask, false);
        setLock(LockMask, false);
    }
    void TearDown() override {
        setLock(Mod2Mask, false);
        setLock(LockMask, false);
    }

    unsigned modifierState() {
        Window root = None;
        Window child = None;
        int x = 0;
        int y = 0;
        int wx = 0;
        int wy = 0;
        unsigned mask = 0;
        XQueryPointer(d(), DefaultRootWindow(d()), &root, &child, &x, &y, &wx, &wy, &mask);
        return mask;
    }
    void setLock(unsigned mask, bool on) {
        if (((modifierState() & mask) != 0) == on) return;
        xdotool(mask == LockMask ? "key Caps_Lock" : "key Num_Lock");
        ASSERT_TRUE(eventually([&] { return ((modifierState() & mask) != 0) == on; }));
    }
    static void xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }
    // Hot-key presses that arrive within `window`, read the way the shell
    // will: wait for the descriptor, then drain.
    int pressesWithin(std::chrono::milliseconds window, int enough = 1 << 30) {
        const int fd = platform->eventFileDescriptor();
        int presses = platform->processPendingEvents();
        const auto end = std::chrono::steady_clock::now() + window;
        while (presses < enough) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()));
            presses += platform->processPendingEvents();
        }
        return presses;
    }
    // Whether the other client can grab Control+B with `modifiers`; it keeps
    // nothing.
    bool otherCanGrab(unsigned modifiers) {
        Display* o = other.get();
        XSync(o, False);
        errorCount = 0;
        const auto previous = XSetErrorHandler(countError);
        XGrabKey(o, keyB, modifiers, DefaultRootWindow(o), False, GrabModeAsync, GrabModeAsync);
        XSync(o, False);
        const bool granted = errorCount == 0;
        XUngrabKey(o, keyB, modifiers, DefaultRootWindow(o));
        XSync(o, False);
        XSetErrorHandler(previous);
        return granted;
    }

    DisplayPtr other;
    KeyCode keyB = 0;
};

TEST_F(HotKey, CtrlBIsReportedOncePerPress) {
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    EXPECT_EQ(platform->registerHotKey(0), kFirstHotKeyId);  // already ours
    ASSERT_GE(platform->eventFileDescriptor(), 0);
    EXPECT_EQ(pressesWithin(50ms), 0);
    xdotool("key ctrl+b");
    EXPECT_EQ(pressesWithin(3s, 1), 1);
    EXPECT_EQ(pressesWithin(200ms), 0);  // the release is not a press
    xdotool("key ctrl+b ctrl+b");
    EXPECT_EQ(pressesWithin(3s, 2), 2);
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(nullptr), 0);
}

TEST_F(HotKey, WorksWhateverTheLockKeys) {
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    setLock(Mod2Mask, true);
    xdotool("key ctrl+b");
    EXPECT_EQ(pressesWithin(3s, 1), 1) << "Num Lock on";
    setLock(LockMask, true);
    xdotool("key ctrl+b");
    EXPECT_EQ(pressesWithin(3s, 1), 1) << "Num Lock and Caps Lock on";
    setLock(Mod2Mask, false);
    xdotool("key ctrl+b");
    EXPECT_EQ(pressesWithin(3s, 1), 1) << "Caps Lock on";
}

TEST_F(HotKey, OtherKeysAreNotTaken) {
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    xdotool("key b ctrl+shift+b alt+b ctrl+c");
    EXPECT_EQ(pressesWithin(500ms), 0);
    // Only Control+B (in its lock variants) is ours; the rest stays free.
    EXPECT_FALSE(otherCanGrab(ControlMask));
    EXPECT_TRUE(otherCanGrab(ControlMask | ShiftMask));
    EXPECT_TRUE(otherCanGrab(0));
}

TEST_F(HotKey, KeyTakenByAnotherProgramIsReported) {
    Display* o = other.get();
    XGrabKey(o, keyB, ControlMask, DefaultRootWindow(o), False, GrabModeAsync, GrabModeAsync);
    XSync(o, False);
    EXPECT_EQ(platform->registerHotKey(0), 0);
    xdotool("key ctrl+b");
    EXPECT_EQ(pressesWithin(300ms), 0);
    XUngrabKey(o, keyB, ControlMask, DefaultRootWindow(o));
    XSync(o, False);
    // The failed attempt kept none of the lock variants it had got.
    EXPECT_TRUE(otherCanGrab(ControlMask | LockMask));
    EXPECT_TRUE(otherCanGrab(ControlMask | Mod2Mask));
    EXPECT_TRUE(otherCanGrab(ControlMask | LockMask | Mod2Mask));
    EXPECT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
}

TEST_F(HotKey, KeyTakenOnlyWithCapsLockStillFails) {
    Display* o = other.get();
    XGrabKey(o, keyB, ControlMask | LockMask, DefaultRootWindow(o), False, GrabModeAsync,
             GrabModeAsync);
    XSync(o, False);
    EXPECT_EQ(platform->registerHotKey(0), 0);
    EXPECT_TRUE(otherCanGrab(ControlMask));
    EXPECT_TRUE(otherCanGrab(ControlMask | Mod2Mask));
}

TEST_F(HotKey, ReleasedOnUnregisterAndWithThePlatform) {
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    EXPECT_FALSE(otherCanGrab(ControlMask));
    platform->unregisterHotKey();
    EXPECT_TRUE(otherCanGrab(ControlMask));
    EXPECT_TRUE(otherCanGrab(ControlMask | Mod2Mask));
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    EXPECT_FALSE(otherCanGrab(ControlMask | LockMask | Mod2Mask));
    platform.reset();
    EXPECT_TRUE(otherCanGrab(ControlMask | LockMask | Mod2Mask));
}

}  // namespace
