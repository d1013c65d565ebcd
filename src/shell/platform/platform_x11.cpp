// Linux desktop implementation: abstract Unix socket as the instance marker,
// /proc for processes, Xlib (own connection) for windows and the hot key,
// fork/exec for the calculator.
#include "platform_x11.h"

#include <X11/X.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform.h"

extern char** environ;

namespace shell::platform {
namespace detail {

const std::vector<std::string>& calculatorPrograms() {
    static const std::vector<std::string> programs{
        "gnome-calculator", "kcalc",         "mate-calc", "galculator",
        "qalculate-qt",     "qalculate-gtk", "xcalc",
    };
    return programs;
}

std::string findCalculator(std::string_view pathList) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= pathList.size()) {
        std::size_t end = pathList.find(':', start);
        if (end == std::string_view::npos) end = pathList.size();
        // An empty entry would mean the current folder; never start a program
        // from wherever we happen to be.
        if (end > start) folders.emplace_back(pathList.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string& program : calculatorPrograms()) {
        for (const std::string& folder : folders) {
            const std::string candidate = folder + "/" + program;
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
    }
    return {};
}

bool startDetached(const std::string& path) {
    // Everything the children need is prepared here: after fork only
    // async-signal-safe calls are allowed.
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    struct rlimit limit {};
    int maxFd = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        maxFd = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));
    }

    // The exec error, if any, comes back through this pipe; a clean end of
    // file means the program is running.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int error = errno;
                [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
            }
            ::_exit(0);
        }
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        for (const int sig : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
            ::sigaction(sig, &byDefault, nullptr);
        }
        // No descriptor of ours may outlive us in the calculator: above all not
        // the instance marker, which would make the next start believe we still
        // run.
        if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < maxFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        ::execve(path.c_str(), argv, environ);
        const int error = errno;
        [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == 0;
}

std::string logonSessionKey(std::string_view auditSessionId, const char* logindSessionId) {
    // The audit id is a decimal 32-bit number; (uint32_t)-1 means "no session"
    // (a process not started through a login, or a kernel without auditing).
    std::string_view digits = auditSessionId;
    while (!digits.empty() && (digits.back() == '\n' || digits.back() == ' ')) {
        digits.remove_suffix(1);
    }
    if (!digits.empty() && digits.size() <= 10 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const unsigned long long id = std::stoull(std::string(digits));
        if (id < 0xFFFFFFFFULL) return "audit:" + std::to_string(id);
    }
    if (logindSessionId != nullptr && *logindSessionId != '\0') {
        return std::string("logind:") + logindSessionId;
    }
    return {};
}

std::string currentLogonSessionKey() {
    std::ifstream in("/proc/self/sessionid");
    std::string audit;
    std::getline(in, audit);
    return logonSessionKey(audit, std::getenv("XDG_SESSION_ID"));
}

std::string markerSocketName(std::string_view markerName, uid_t uid, std::string_view sessionKey) {
    // The session key comes last, so no '/' inside it can make two names meet.
    return "lanhe/" + std::string(markerName) + "/" + std::to_string(uid) + "/" +
           std::string(sessionKey);
}

std::string processExeName(pid_t pid, bool* isShortName) {
    const std::string dir = "/proc/" + std::to_string(pid);
    char buffer[4096];
    const ssize_t n = ::readlink((dir + "/exe").c_str(), buffer, sizeof buffer - 1);
    if (n > 0) {
        std::string_view target(buffer, static_cast<std::size_t>(n));
        constexpr std::string_view deleted = " (deleted)";
        if (target.size() > deleted.size() && target.ends_with(deleted)) {
            target.remove_suffix(deleted.size());
        }
        if (const std::size_t slash = target.rfind('/'); slash != std::string_view::npos) {
            target.remove_prefix(slash + 1);
        }
        if (isShortName != nullptr) *isShortName = false;
        return std::string(target);
    }
    // Only a link we may not read falls back to the command name; a missing
    // one means a kernel thread or a process on its way out.
    if (n < 0 && errno != EACCES && errno != EPERM) return {};
    std::ifstream comm(dir + "/comm");
    std::string name;
    std::getline(comm, name);
    if (isShortName != nullptr) *isShortName = true;
    return name;
}

}  // namespace detail

namespace {

constexpr std::size_t kShortNameLength = 15;  // the kernel's command name limit

struct ProcessStatus {
    uid_t realUid = 0;
    bool zombie = false;
    bool valid = false;
};

ProcessStatus readStatus(pid_t pid) {
    ProcessStatus status;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    bool haveUid = false;
    while (std::getline(in, line)) {
        if (line.starts_with("State:")) {
            const std::size_t code = line.find_first_not_of(" \t", 6);
            status.zombie = code != std::string::npos && (line[code] == 'Z' || line[code] == 'X');
        } else if (line.starts_with("Uid:")) {
            std::istringstream fields(line.substr(4));
            unsigned long uid = 0;
            if (fields >> uid) {
                status.realUid = static_cast<uid_t>(uid);
                haveUid = true;
            }
        }
    }
    status.valid = haveUid;
    return status;
}

bool exeNameMatches(pid_t pid, std::string_view wanted) {
    bool isShortName = false;
    const std::string name = detail::processExeName(pid, &isShortName);
    if (name.empty()) return false;
    if (!isShortName) return sameExeName(name, wanted);
    // Only the kernel's truncated name is known (the executable link is not
    // readable, e.g. for a non-dumpable process).
    if (wanted.size() <= kShortNameLength) return sameExeName(name, wanted);
    return name.size() == kShortNameLength && sameExeName(name, wanted.substr(0, kShortNameLength));
}

// Collects X errors of one display while it lives, instead of letting
// Xlib's default handler end the process: the windows we look at belong to
// other clients and may vanish at any moment, and a key grab may be refused.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);  // earlier errors are not ours to judge
        trapped_ = display_;
        errors_ = 0;
        previous_ = XSetErrorHandler(&ErrorTrap::handle);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    ~ErrorTrap() { finish(); }

    // Waits until the server has handled every request sent so far and
    // restores the previous handler; true when none of them failed.
    bool finish() {
        if (active_) {
            XSync(display_, False);
            XSetErrorHandler(previous_);
            trapped_ = nullptr;
            active_ = false;
            ok_ = errors_ == 0;
        }
        return ok_;
    }

  private:
    static int handle(Display* display, XErrorEvent* event) {
        if (display == trapped_) {
            ++errors_;
            return 0;
        }
        return previous_ != nullptr ? previous_(display, event) : 0;
    }

    Display* display_;
    bool active_ = true;
    bool ok_ = false;
    static inline Display* trapped_ = nullptr;
    static inline int errors_ = 0;
    static inline XErrorHandler previous_ = nullptr;
};

class X11Platform final : public Platform {
  public:
    X11Platform() = default;
    ~X11Platform() override {
        unregisterHotKey();
        if (display_ != nullptr) XCloseDisplay(display_);
        for (const int fd : markerFds_) ::close(fd);
    }

    MarkerClaim claimInstanceMarker(std::string_view name) override {
        const std::string socketName =
            detail::markerSocketName(name, ::getuid(), detail::currentLogonSessionKey());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketName.size() + 1 > sizeof address.sun_path) return MarkerClaim::unavailable;
        // Abstract namespace: the leading zero byte. The kernel drops the name
        // with the last descriptor, so a killed copy never leaves it behind.
        std::memcpy(address.sun_path + 1, socketName.data(), socketName.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return MarkerClaim::unavailable;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            markerFds_.push_back(fd);
            return MarkerClaim::acquired;
        }
        const int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? MarkerClaim::heldElsewhere : MarkerClaim::unavailable;
    }

    std::string currentExecutableName() override { return detail::processExeName(::getpid()); }

    std::vector<ProcessId> findProcessesByExeName(std::string_view exeName) override {
        std::vector<ProcessId> found;
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr) return found;
        std::vector<pid_t> pids;
        while (const dirent* entry = ::readdir(proc)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (pid > 0 && end != nullptr && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
        }
        ::closedir(proc);
        std::sort(pids.begin(), pids.end());

        const pid_t self = ::getpid();
        const uid_t user = ::getuid();
        for (const pid_t pid : pids) {
            if (pid == self) continue;
            const ProcessStatus status = readStatus(pid);
            if (!status.valid || status.zombie || status.realUid != user) continue;
            if (exeNameMatches(pid, exeName)) found.push_back(static_cast<ProcessId>(pid));
        }
        return found;
    }

    WindowHandle findProcessWindow(ProcessId pid, std::chrono::milliseconds limit) override {
        const auto start = std::chrono::steady_clock::now();
        Display* d = display();
        if (d == nullptr || pid == 0) return 0;
        ErrorTrap trap(d);
        for (const Window window : topLevelWindows()) {
            if (std::chrono::steady_clock::now() - start >= limit) return 0;
            if (!visible(window)) continue;
            if (windowPid(window) == pid && !hasProperty(window, XA_WM_TRANSIENT_FOR)) {
                return static_cast<WindowHandle>(window);
            }
        }
        return 0;
    }

    bool isWindowVisible(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return false;
        ErrorTrap trap(d);
        return visible(static_cast<Window>(handle));
    }

    bool isWindowIconic(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return false;
        ErrorTrap trap(d);
        const auto state = readLongs(static_cast<Window>(handle), atoms_.wmState, atoms_.wmState);
        return state && !state->empty() && state->front() == IconicState;
    }

    void showNotTopmost(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return;
        const auto window = static_cast<Window>(handle);
        ErrorTrap trap(d);
        if (visible(window)) {
            // Managed: the window manager owns the state and must be asked.
            if (windowManager() != None) {
                sendClientMessage(
                    window, atoms_.netWmState,
                    {kStateRemove, static_cast<long>(atoms_.netWmStateAbove), 0, kSourcePager, 0});
            }
        } else {
            // Withdrawn: the state is the client's to set before mapping.
            if (const auto states = readLongs(window, atoms_.netWmState, XA_ATOM)) {
                std::vector<long> kept;
                for (const unsigned long state : *states) {
                    if (state != atoms_.netWmStateAbove) kept.push_back(static_cast<long>(state));
                }
                XChangeProperty(d, window, atoms_.netWmState, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(kept.data()),
                                static_cast<int>(kept.size()));
            }
            XMapWindow(d, window);
        }
        trap.finish();
    }

    void restoreWindow(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return;
        ErrorTrap trap(d);
        // Mapping an iconic window asks for the normal state.
        XMapWindow(d, static_cast<Window>(handle));
        trap.finish();
    }

    WindowHandle activateWindow(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return 0;
        const auto window = static_cast<Window>(handle);
        const Window root = DefaultRootWindow(d);
        ErrorTrap trap(d);
        Window previous = None;
        if (windowManager() != None) {
            if (const auto active = readLongs(root, atoms_.netActiveWindow, XA_WINDOW);
                active && !active->empty()) {
                previous = active->front();
            }
            // As a pager: window managers do not apply focus-stealing prevention
            // to such requests.
            sendClientMessage(window, atoms_.netActiveWindow,
                              {kSourcePager, CurrentTime, static_cast<long>(previous), 0, 0});
        } else {
            int revert = 0;
            XGetInputFocus(d, &previous, &revert);
            if (previous == PointerRoot) previous = None;
            XRaiseWindow(d, window);
            XSetInputFocus(d, window, RevertToParent, CurrentTime);
        }
        trap.finish();
        return static_cast<WindowHandle>(previous);
    }

    bool canMinimizeWindows() override {
        Display* d = display();
        if (d == nullptr) return false;
        ErrorTrap trap(d);
        return windowManager() != None;
    }

    void minimizeWindow(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return;
        ErrorTrap trap(d);
        XIconifyWindow(d, static_cast<Window>(handle), DefaultScreen(d));
        trap.finish();
    }

    void clearWindowTitle(WindowHandle handle) override {
        Display* d = display();
        if (d == nullptr || handle == 0) return;
        const auto window = static_cast<Window>(handle);
        ErrorTrap trap(d);
        XDeleteProperty(d, window, atoms_.netWmName);
        XStoreName(d, window, "");
        trap.finish();
    }

    int registerHotKey(WindowHandle /*owner*/) override {
        if (hotKeyId_ != 0) return hotKeyId_;
        Display* d = display();
        if (d == nullptr) return 0;
        const KeyCode keyCode = XKeysymToKeycode(d, XK_b);
        if (keyCode == 0) return 0;
        numLockMask_ = numLockMask(d);
        lockCombinations_ = {0, LockMask};
        if (numLockMask_ != 0 && numLockMask_ != LockMask) {
            lockCombinations_.push_back(numLockMask_);
            lockCombinations_.push_back(numLockMask_ | LockMask);
        }
        keyCode_ = keyCode;

        const Window root = DefaultRootWindow(d);
        ErrorTrap trap(d);
        for (const unsigned locks : lockCombinations_) {
            XGrabKey(d, keyCode_, ControlMask | locks, root, False, GrabModeAsync, GrabModeAsync);
        }
        if (!trap.finish()) {
            // Some combination belongs to another client (BadAccess). Half a hot
            // key would work only in some lock states: give back what we got.
            ungrabAll();
            return 0;
        }
        hotKeyId_ = kFirstHotKeyId;
        return hotKeyId_;
    }

    void unregisterHotKey() override {
        if (hotKeyId_ == 0) return;
        ungrabAll();
        hotKeyId_ = 0;
    }

    int eventFileDescriptor() override {
        Display* d = display();
        return d != nullptr ? ConnectionNumber(d) : -1;
    }

    int processPendingEvents() override {
        if (display_ == nullptr) return 0;
        int presses = 0;
        constexpr unsigned kModifiers =
            ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != KeyPress || hotKeyId_ == 0) continue;
            if (event.xkey.keycode != keyCode_) continue;
            if ((event.xkey.state & kModifiers & ~numLockMask_) == ControlMask) ++presses;
        }
        return presses;
    }

    int hotKeyIdFromNativeMessage(const void* /*message*/) override { return 0; }

    bool startCalculator() override {
        const char* path = std::getenv("PATH");
        const std::string program =
            detail::findCalculator(path != nullptr ? path : "/usr/bin:/bin");
        return !program.empty() && detail::startDetached(program);
    }

  private:
    static constexpr long kStateRemove = 0;
    static constexpr long kSourcePager = 2;

    struct Atoms {
        Atom wmState = None;
        Atom netClientList = None;
        Atom netClientListStacking = None;
        Atom netWmPid = None;
        Atom netActiveWindow = None;
        Atom netWmState = None;
        Atom netWmStateAbove = None;
        Atom netSupportingWmCheck = None;
        Atom netWmName = None;
    };

    Display* display() {
        if (!triedDisplay_) {
            triedDisplay_ = true;
            display_ = XOpenDisplay(nullptr);
            if (display_ != nullptr) {
                const auto intern = [this](const char* name) {
                    return XInternAtom(display_, name, False);
                };
                atoms_.wmState = intern("WM_STATE");
                atoms_.netClientList = intern("_NET_CLIENT_LIST");
                atoms_.netClientListStacking = intern("_NET_CLIENT_LIST_STACKING");
                atoms_.netWmPid = intern("_NET_WM_PID");
                atoms_.netActiveWindow = intern("_NET_ACTIVE_WINDOW");
                atoms_.netWmState = intern("_NET_WM_STATE");
                atoms_.netWmStateAbove = intern("_NET_WM_STATE_ABOVE");
                atoms_.netSupportingWmCheck = intern("_NET_SUPPORTING_WM_CHECK");
                atoms_.netWmName = intern("_NET_WM_NAME");
            }
        }
        return display_;
    }

    // The values of a 32-bit property of type `type` (any type when
    // AnyPropertyType); nothing when the window lacks it or is gone.
    std::optional<std::vector<unsigned long>> readLongs(Window window, Atom property, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::optional<std::vector<unsigned long>> values;
        if (XGetWindowProperty(display_, window, property, 0, 1L << 16, False, type, &actualType,
                               &format, &count, &remaining, &data) == Success &&
            actualType != None && format == 32 && (type == AnyPropertyType || actualType == type)) {
            // Xlib hands out 32-bit items as longs.
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            values.emplace(items, items + count);
        }
        if (data != nullptr) XFree(data);
        return values;
    }

    bool hasProperty(Window window, Atom property) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const bool present =
            XGetWindowProperty(display_, window, property, 0, 1, False, AnyPropertyType,
                               &actualType, &format, &count, &remaining, &data) == Success &&
            actualType != None;
        if (data != nullptr) XFree(data);
        return present;
    }

    // The EWMH window manager's check window, or None when no such manager
    // runs (a stale check property left by a dead one does not count).
    Window windowManager() {
        const Window root = DefaultRootWindow(display_);
        const auto check = readLongs(root, atoms_.netSupportingWmCheck, XA_WINDOW);
        if (!check || check->empty() || check->front() == None) return None;
        const auto self = readLongs(check->front(), atoms_.netSupportingWmCheck, XA_WINDOW);
        return (self && !self->empty() && self->front() == check->front()) ? check->front() : None;
    }

    // Top-level client windows, topmost first where the order is known.
    std::vector<Window> topLevelWindows() {
        const Window root = DefaultRootWindow(display_);
        if (windowManager() != None) {
            if (auto stacking = readLongs(root, atoms_.netClientListStacking, XA_WINDOW)) {
                return {stacking->rbegin(), stacking->rend()};  // listed bottom to top
            }
            if (auto clients = readLongs(root, atoms_.netClientList, XA_WINDOW)) {
                return {clients->begin(), clients->end()};
            }
        }
        // No window manager, or one without client lists: walk the tree.
        std::vector<Window> windows;
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display_, root, &rootReturn, &parent, &children, &count) == 0)
            return windows;
        for (unsigned int i = count; i-- > 0;) {  // listed bottom to top
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display_, children[i], &attributes) == 0) continue;
            if (attributes.override_redirect) continue;  // menus, tooltips
            const Window client = clientBelow(children[i], 2);
            windows.push_back(client != None ? client : children[i]);
        }
        if (children != nullptr) XFree(children);
        return windows;
    }

    // The client window (the one with WM_STATE) at or below `window`, looking
    // `depth` levels down; None when there is none.
    Window clientBelow(Window window, int depth) {
        if (hasProperty(window, atoms_.wmState)) return window;
        if (depth == 0) return None;
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        Window found = None;
        if (XQueryTree(display_, window, &rootReturn, &parent, &children, &count) != 0) {
            for (unsigned int i = count; i-- > 0 && found == None;) {
                found = clientBelow(children[i], depth - 1);
            }
        }
        if (children != nullptr) XFree(children);
        return found;
    }

    bool visible(Window window) {
        // A managed window carries its ICCCM state: normal and iconic count as
        // visible (like a minimised window on Windows), withdrawn does not.
        if (const auto state = readLongs(window, atoms_.wmState, atoms_.wmState);
            state && !state->empty()) {
            return state->front() == NormalState || state->front() == IconicState;
        }
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
        return attributes.map_state != IsUnmapped;
    }

    ProcessId windowPid(Window window) {
        const auto pid = readLongs(window, atoms_.netWmPid, XA_CARDINAL);
        return (pid && !pid->empty()) ? static_cast<ProcessId>(pid->front()) : 0;
    }

    void sendClientMessage(Window window, Atom type, std::initializer_list<long> data) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.serial = 0;
        event.xclient.send_event = True;
        event.xclient.display = display_;
        event.xclient.window = window;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        int i = 0;
        for (const long value : data) event.xclient.data.l[i++] = value;
        XSendEvent(display_, DefaultRootWindow(display_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }

    static unsigned numLockMask(Display* d) {
        const KeyCode numLock = XKeysymToKeycode(d, XK_Num_Lock);
        XModifierKeymap* map = XGetModifierMapping(d);
        unsigned mask = 0;
        if (map != nullptr && numLock != 0) {
            for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
                for (int k = 0; k < map->max_keypermod; ++k) {
                    if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) {
                        mask = 1U << modifier;
                        break;
                    }
                }
            }
        }
        if (map != nullptr) XFreeModifiermap(map);
        return mask != 0 ? mask : Mod2Mask;
    }

    void ungrabAll() {
        if (display_ == nullptr || keyCode_ == 0) return;
        const Window root = DefaultRootWindow(display_);
        ErrorTrap trap(display_);
        for (const unsigned locks : lockCombinations_) {
            XUngrabKey(display_, keyCode_, ControlMask | locks, root);
        }
    }

    Display* display_ = nullptr;
    bool triedDisplay_ = false;
    Atoms atoms_;
    std::vector<int> markerFds_;
    int hotKeyId_ = 0;
    KeyCode keyCode_ = 0;
    unsigned numLockMask_ = Mod2Mask;
    std::vector<unsigned> lockCombinations_;
};

}  // namespace

std::unique_ptr<Platform> createPlatform() { return std::make_unique<X11Platform>(); }

}  // namespace shell::platform
