// Windows implementation: a named event as the instance marker, the tool-help
// process snapshot, the Win32 window calls and RegisterHotKey.
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"

namespace shell::platform {
namespace {

constexpr UINT kHotKeyVirtualKey = 0x42;                                     // 'B'
constexpr UINT kNotTopmostFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW;  // 0x43

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

std::wstring_view fileNamePart(std::wstring_view path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// Lets the calling thread handle its pending messages, so that its own
// windows repaint while we search.
void handlePendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Not ours to consume: leave it for the caller's message loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

class WinPlatform final : public Platform {
  public:
    WinPlatform() = default;
    ~WinPlatform() override {
        unregisterHotKey();
        for (const HANDLE marker : markers_) CloseHandle(marker);
    }

    MarkerClaim claimInstanceMarker(std::string_view name) override {
        // An unprefixed name lives in the session's (per-logon) namespace.
        const std::wstring wide = widen(name);
        if (const HANDLE existing = OpenEventW(EVENT_ALL_ACCESS, FALSE, wide.c_str())) {
            CloseHandle(existing);
            return MarkerClaim::heldElsewhere;
        }
        const HANDLE created = CreateEventW(nullptr, FALSE, FALSE, wide.c_str());
        if (created == nullptr) return MarkerClaim::unavailable;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            // Another copy created it between our open and our create.
            CloseHandle(created);
            return MarkerClaim::heldElsewhere;
        }
        markers_.push_back(created);
        return MarkerClaim::acquired;
    }

    std::string currentExecutableName() override {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n =
                GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n == 0) return {};
            if (n < path.size()) {
                path.resize(n);
                break;
            }
            path.resize(path.size() * 2);
        }
        return narrow(fileNamePart(path));
    }

    std::vector<ProcessId> findProcessesByExeName(std::string_view exeName) override {
        std::vector<ProcessId> found;
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return found;
        const DWORD self = GetCurrentProcessId();
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry)) {
            entry.szExeFile[MAX_PATH - 1] = L'\0';
            if (entry.th32ProcessID == self) continue;
            if (sameExeName(narrow(fileNamePart(entry.szExeFile)), exeName)) {
                found.push_back(entry.th32ProcessID);
            }
        }
        CloseHandle(snapshot);
        return found;
    }

    WindowHandle findProcessWindow(ProcessId pid, std::chrono::milliseconds limit) override {
        const DWORD start = GetTickCount();
        const auto limitMs = static_cast<DWORD>(std::max<long long>(limit.count(), 0));
        HWND window = nullptr;
        for (;;) {
            if (GetTickCount() - start >= limitMs) return 0;
            window = FindWindowExA(nullptr, window, nullptr, nullptr);
            if (window == nullptr) return 0;
            if (!IsWindowVisible(window)) continue;  // skipped at once
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            // GetParent names the owner only of pop-up windows; GW_OWNER covers
            // owned overlapped windows too.
            if (owner == pid && GetParent(window) == nullptr &&
                GetWindow(window, GW_OWNER) == nullptr) {
                return reinterpret_cast<WindowHandle>(window);
            }
            handlePendingMessages();
        }
    }

    bool isWindowVisible(WindowHandle window) override {
        return IsWindowVisible(toHwnd(window)) != FALSE;
    }

    bool isWindowIconic(WindowHandle window) override { return IsIconic(toHwnd(window)) != FALSE; }

    void showNotTopmost(WindowHandle window) override {
        SetWindowPos(toHwnd(window), HWND_NOTOPMOST, 0, 0, 0, 0, kNotTopmostFlags);
    }

    void restoreWindow(WindowHandle window) override { OpenIcon(toHwnd(window)); }

    WindowHandle activateWindow(WindowHandle handle) override {
        const HWND window = toHwnd(handle);
        const DWORD ours = GetCurrentThreadId();
        const DWORD theirs = GetWindowThreadProcessId(window, nullptr);
        AttachThreadInput(theirs, ours, TRUE);
        const HWND previous = SetActiveWindow(window);
        AttachThreadInput(theirs, ours, FALSE);
        return reinterpret_cast<WindowHandle>(previous);
    }

    bool canMinimizeWindows() override { return true; }
    void minimizeWindow(WindowHandle window) override { ShowWindow(toHwnd(window), SW_MINIMIZE); }
    void clearWindowTitle(WindowHandle window) override { SetWindowTextW(toHwnd(window), L""); }

    int registerHotKey(WindowHandle owner) override {
        if (hotKeyId_ != 0) return hotKeyId_;
        if (!RegisterHotKey(toHwnd(owner), kFirstHotKeyId, MOD_CONTROL, kHotKeyVirtualKey))
            return 0;
        hotKeyId_ = kFirstHotKeyId;
        hotKeyOwner_ = toHwnd(owner);
        return hotKeyId_;
    }

    void unregisterHotKey() override {
        if (hotKeyId_ == 0) return;
        UnregisterHotKey(hotKeyOwner_, hotKeyId_);
        hotKeyId_ = 0;
        hotKeyOwner_ = nullptr;
    }

    int eventFileDescriptor() override { return -1; }
    int processPendingEvents() override { return 0; }

    int hotKeyIdFromNativeMessage(const void* native) override {
        const auto* message = static_cast<const MSG*>(native);
        if (message == nullptr || message->message != WM_HOTKEY || hotKeyId_ == 0) return 0;
        const WPARAM id = message->wParam;
        return (id >= static_cast<WPARAM>(kFirstHotKeyId) && id <= static_cast<WPARAM>(hotKeyId_))
                   ? static_cast<int>(id)
                   : 0;
    }

    bool startCalculator() override {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        wchar_t commandLine[] = L"calc";  // CreateProcessW may write into it
        if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            return false;
        }
        WaitForInputIdle(process.hProcess, 1000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }

  private:
    static HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

    std::vector<HANDLE> markers_;
    int hotKeyId_ = 0;
    HWND hotKeyOwner_ = nullptr;
};

}  // namespace

std::unique_ptr<Platform> createPlatform() { return std::make_unique<WinPlatform>(); }

}  // namespace shell::platform
