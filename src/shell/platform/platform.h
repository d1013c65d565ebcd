// The shell's window into the operating system: the single-instance marker,
// finding and bringing forward the running copy, the global hot key Ctrl+B
// and the calculator. No Qt here; the shell wires the results into its event
// loop (see the hot-key members).
//
// One implementation per platform is chosen at build time (platform_x11.cpp,
// platform_win.cpp); FakePlatform (fake_platform.h) stands in for the shell's
// tests. Everything is meant for the one user-interface thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace shell::platform {

// The system's process id; 0 means none.
using ProcessId = std::uint32_t;
// A native top-level window: an HWND on Windows, an X11 Window id on X11
// (the client window, not a window manager frame); 0 means none.
using WindowHandle = std::uintptr_t;

// Name of the marker that tells a second copy that one already runs.
inline constexpr char kInstanceMarkerName[] = "lanhere";
// The id that a successful hot-key registration yields.
inline constexpr int kFirstHotKeyId = 33001;
// How long the search for the running copy's window may take.
inline constexpr std::chrono::milliseconds kWindowSearchLimit{100};

enum class MarkerClaim {
    acquired,       // this process now holds the marker: no other copy runs
    heldElsewhere,  // another process of this logon holds it
    unavailable,    // the marker could not be made; treat as "no other copy"
};

class Platform {
  public:
    Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;
    // Releases what this object holds: the hot-key registration and the
    // instance marker. The system releases both anyway when the process ends,
    // however it ends.
    virtual ~Platform() = default;

    // --- single instance ---------------------------------------------------

    // Claims the per-logon marker `name` (ASCII). Once acquired it is held
    // for the life of this object; it is never passed on to child processes.
    //
    // Windows: a named event in the session-local namespace, so one copy per
    // logon session (each Remote Desktop or fast-user-switching logon has its
    // own).
    //
    // Linux: an abstract socket name that the kernel drops with the process,
    // made of the user id and the logon session, never the X display: two
    // displays of one logon (a nested or virtual X server, a second screen run
    // as its own display) would otherwise run two copies on the same tables.
    // The logon session is the kernel's audit session id
    // (/proc/self/sessionid), which every process of a login inherits and
    // which nothing in the session can change; where it is unset (no login
    // through PAM, or a kernel without auditing) the systemd-logind session
    // id XDG_SESSION_ID; where that is unset too, the user id alone, so that
    // all logons of one user share one copy. See detail::logonSessionKey.
    virtual MarkerClaim claimInstanceMarker(std::string_view name) = 0;

    // --- processes and windows ---------------------------------------------

    // File name of this process's executable, without its folder (UTF-8).
    virtual std::string currentExecutableName() = 0;

    // Ids of the processes whose executable file name equals `exeName`
    // (UTF-8, no folder) ignoring the case of ASCII letters, in the system's
    // listing order. The calling process is never included. Linux lists only
    // processes of the calling user. Empty when nothing matches or the
    // process list cannot be read.
    virtual std::vector<ProcessId> findProcessesByExeName(std::string_view exeName) = 0;

    // The first of findProcessesByExeName, or 0.
    ProcessId findProcessByExeName(std::string_view exeName);

    // The first visible top-level window of process `pid` that has neither
    // parent nor owner (X11: no WM_TRANSIENT_FOR), in stacking order from the
    // top (X11: the window manager's stacking list; its plain client list,
    // oldest first, when it keeps no stacking list; the window tree when no
    // window manager runs). Visible includes minimised (iconic); a hidden
    // (withdrawn) window is skipped. 0 when none is found or when `limit`
    // runs out first. Windows dispatches the calling thread's pending
    // messages between windows examined in vain; X11 does not touch the
    // caller's event queue. X11 knows a window's process by _NET_WM_PID.
    virtual WindowHandle findProcessWindow(ProcessId pid, std::chrono::milliseconds limit) = 0;

    // Shown on screen or minimised (Windows: IsWindowVisible; X11: normal or
    // iconic state).
    virtual bool isWindowVisible(WindowHandle window) = 0;
    // Minimised (Windows: IsIconic; X11: iconic state).
    virtual bool isWindowIconic(WindowHandle window) = 0;
    // Shows the window (a minimised one stays minimised) and takes away any
    // always-on-top state, without moving or resizing it.
    virtual void showNotTopmost(WindowHandle window) = 0;
    // Restores a minimised window (Windows: OpenIcon).
    virtual void restoreWindow(WindowHandle window) = 0;
    // Makes the window the active one and returns the window that was active
    // before (0 if none known). X11 asks the window manager, which acts
    // asynchronously; without one the window is raised and given the focus.
    virtual WindowHandle activateWindow(WindowHandle window) = 0;

    // Whether minimizeWindow can take effect: Windows always; X11 only while
    // a window manager runs (nothing else can turn a window into an icon).
    virtual bool canMinimizeWindows() = 0;
    // Asks for a window of this process to be minimised, as the window
    // manager's own minimise button would (X11: WM_CHANGE_STATE to iconic;
    // Windows: SW_MINIMIZE). The window's toolkit learns of it as of any
    // minimising by the operator.
    virtual void minimizeWindow(WindowHandle window) = 0;

    // Leaves a window of this process without a title. Toolkits give a
    // window whose title is empty a title of their own (Qt: the program's
    // name), which window lists and the bring-forward of a second start then
    // show. X11: removes _NET_WM_NAME and empties WM_NAME; Windows: empties
    // the window text. Call it after the native window exists and again
    // whenever the toolkit may have made it anew (before each show).
    virtual void clearWindowTitle(WindowHandle window) = 0;

    // --- global hot key Ctrl+B ---------------------------------------------

    // Registers Ctrl+B for the whole desktop, whatever the state of Num Lock
    // and Caps Lock. Returns the hot-key id (kFirstHotKeyId) or 0 when the key
    // is taken by another program or cannot be registered; the caller keeps it
    // as `hotKeyId`. A second call while registered returns the same id.
    // Windows: WM_HOTKEY goes to `owner` (the main bar's HWND; 0 = the calling
    // thread's queue). X11: `owner` is not used; the key is grabbed on the root
    // window through this object's own display connection.
    virtual int registerHotKey(WindowHandle owner) = 0;
    // Releases the registration, if any.
    virtual void unregisterHotKey() = 0;

    // X11: the display connection's file descriptor, to be watched for
    // reading (QSocketNotifier); -1 on Windows or when no display is open.
    virtual int eventFileDescriptor() = 0;
    // X11: reads and drains every pending event of this object's connection;
    // returns how many presses of the registered hot key were among them.
    // Call it whenever eventFileDescriptor() is readable and once right after
    // registerHotKey (events read during other calls wait in the queue
    // without making the descriptor readable). Windows: always 0.
    virtual int processPendingEvents() = 0;

    // Windows: for a native event filter. `message` is the MSG* that Qt hands
    // to the filter; returns its hot-key id when it is WM_HOTKEY with an id
    // this object handed out, else 0. The shell compares the result with
    // `hotKeyId`. X11: always 0 (the presses come from processPendingEvents).
    virtual int hotKeyIdFromNativeMessage(const void* message) = 0;

    // --- calculator --------------------------------------------------------

    // Starts the desktop calculator without waiting for it to end. Windows:
    // the command line "calc", normal window, waits at most 1 s until it is
    // ready for input. Linux: the first of gnome-calculator, kcalc, mate-calc,
    // galculator, qalculate-qt, qalculate-gtk, xcalc found in PATH, detached
    // (no zombie, no inherited descriptors). True when a program was started.
    virtual bool startCalculator() = 0;
};

// The implementation for this platform. Opening the display (X11) is
// deferred until a window or hot-key call needs it.
std::unique_ptr<Platform> createPlatform();

// Whether two executable file names are equal ignoring the case of ASCII
// letters (UTF-8: no byte of a multibyte character is an ASCII letter).
bool sameExeName(std::string_view a, std::string_view b);

// Brings the running copy `exeName` to the front: its first visible unowned
// top-level window (found within kWindowSearchLimit) is shown if hidden,
// restored if minimised and activated. Every process with that name other
// than the caller is tried in listing order until one has such a window.
// Reports nothing; nothing happens when no copy or no window is found.
void bringRunningCopyForward(Platform& platform, std::string_view exeName);

enum class InstanceCheck { onlyCopy, anotherCopyRuns };

// Start-up's single-instance step. Claims kInstanceMarkerName; if another
// copy holds it, calls `tellOperator` (which shows the "already running"
// message and returns when the operator has closed it), then
// bringRunningCopyForward(programFileName), and returns anotherCopyRuns: the
// caller then ends the process with exit code 0. Otherwise (also when the
// marker cannot be made) returns onlyCopy and start-up goes on; `platform`
// must then live for the whole run, as it holds the marker.
InstanceCheck ensureSingleInstance(Platform& platform, std::string_view programFileName,
                                   const std::function<void()>& tellOperator);

}  // namespace shell::platform
