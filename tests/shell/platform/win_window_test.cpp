// The Win32 window routines on real windows: run under wine on a private X
// server (run_under_xvfb.sh), since wine needs a display for windows. With
// "--iconic-window" this program instead plays a running copy whose only
// window is minimised.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "child_process_win.h"
#include "platform.h"

using namespace shell::platform;
using namespace std::chrono_literals;

namespace {

const wchar_t kClassName[] = L"LanheProbeWindow";

void registerClass() {
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass) != 0;
    }();
    (void)registered;
}

HWND makeWindow(DWORD style, DWORD exStyle = 0, HWND owner = nullptr) {
    registerClass();
    return CreateWindowExW(exStyle, kClassName, L"probe", style, 50, 50, 300, 200, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Lets the windows of this thread handle what the calls above sent them.
void handleMessages(std::chrono::milliseconds during = 50ms) {
    const auto end = std::chrono::steady_clock::now() + during;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < end);
}

template <typename Condition>
bool eventually(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        handleMessages(20ms);
    }
    return true;
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

class WinWindow : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const HWND w : windows) DestroyWindow(w);
    }
    HWND window(DWORD style, DWORD exStyle = 0, HWND owner = nullptr) {
        const HWND w = makeWindow(style, exStyle, owner);
        if (w != nullptr) windows.push_back(w);
        return w;
    }
    static WindowHandle handle(HWND w) { return reinterpret_cast<WindowHandle>(w); }

    std::vector<HWND> windows;
    std::unique_ptr<Platform> platform = createPlatform();
    const ProcessId self = GetCurrentProcessId();
};

TEST_F(WinWindow, FindsVisibleUnownedWindowWithinTheLimit) {
    const HWND main = window(WS_OVERLAPPEDWINDOW);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), 0u) << "not shown yet";
    ShowWindow(main, SW_SHOWNORMAL);
    handleMessages();
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), handle(main));
    EXPECT_EQ(platform->findProcessWindow(self, 0ms), 0u);
    EXPECT_EQ(platform->findProcessWindow(self + 4, kWindowSearchLimit), 0u);
    ShowWindow(main, SW_HIDE);
    handleMessages();
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), 0u);
}

TEST_F(WinWindow, OwnedWindowsAreSkipped) {
    const HWND owner = window(WS_OVERLAPPEDWINDOW);
    // Owned overlapped and owned pop-up: GetParent names the owner only of
    // the pop-up.
    const HWND ownedOverlapped = window(WS_OVERLAPPEDWINDOW, 0, owner);
    const HWND ownedPopup = window(WS_POPUP | WS_CAPTION, 0, owner);
    ASSERT_NE(ownedOverlapped, nullptr);
    ASSERT_NE(ownedPopup, nullptr);
    ShowWindow(ownedOverlapped, SW_SHOWNORMAL);
    ShowWindow(ownedPopup, SW_SHOWNORMAL);
    handleMessages();
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), 0u);
    ShowWindow(owner, SW_SHOWNORMAL);
    handleMessages();
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), handle(owner));
}

TEST_F(WinWindow, MinimisesAndTakesAwayATitle) {
    const HWND main = window(WS_OVERLAPPEDWINDOW);
    ShowWindow(main, SW_SHOWNORMAL);
    handleMessages();
    EXPECT_TRUE(platform->canMinimizeWindows());
    platform->minimizeWindow(handle(main));
    EXPECT_TRUE(eventually([&] { return IsIconic(main) != FALSE; }));
    ASSERT_GT(GetWindowTextLengthW(main), 0);
    platform->clearWindowTitle(handle(main));
    EXPECT_EQ(GetWindowTextLengthW(main), 0);
}

TEST_F(WinWindow, MinimisedWindowCountsAsVisibleAndIsRestored) {
    const HWND main = window(WS_OVERLAPPEDWINDOW);
    ShowWindow(main, SW_SHOWMINIMIZED);
    handleMessages();
    EXPECT_TRUE(platform->isWindowVisible(handle(main)));
    EXPECT_TRUE(platform->isWindowIconic(handle(main)));
    EXPECT_EQ(platform->findProcessWindow(self, kWindowSearchLimit), handle(main));
    platform->restoreWindow(handle(main));
    EXPECT_TRUE(eventually([&] { return !IsIconic(main); }));
    EXPECT_FALSE(platform->isWindowIconic(handle(main)));
}

TEST_F(WinWindow, ShowNotTopmostShowsWithoutMovingOrStayingOnTop) {
    const HWND main = window(WS_OVERLAPPEDWINDOW, WS_EX_TOPMOST);
    ASSERT_NE(main, nullptr);
    RECT before{};
    GetWindowRect(main, &before);
    EXPECT_FALSE(platform->isWindowVisible(handle(main)));
    platform->showNotTopmost(handle(main));
    handleMessages();
    EXPECT_TRUE(platform->isWindowVisible(handle(main)));
    EXPECT_EQ(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    RECT after{};
    GetWindowRect(main, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(WinWindow, ActivationReportsThePreviouslyActiveWindow) {
    const HWND first = window(WS_OVERLAPPEDWINDOW);
    const HWND second = window(WS_OVERLAPPEDWINDOW);
    ShowWindow(first, SW_SHOWNORMAL);
    ShowWindow(second, SW_SHOWNORMAL);
    handleMessages();
    platform->activateWindow(handle(first));
    EXPECT_TRUE(eventually([&] { return GetActiveWindow() == first; }));
    EXPECT_EQ(platform->activateWindow(handle(second)), handle(first));
    EXPECT_TRUE(eventually([&] { return GetActiveWindow() == second; }));
}

TEST_F(WinWindow, SecondCopyRestoresTheFirstCopysMinimisedWindow) {
    platform_test::ChildProcess copy;
    ASSERT_TRUE(copy.start(platform_test::selfPath(), L"--iconic-window"));
    const std::string line = copy.readLine();
    ASSERT_EQ(line.rfind("ready ", 0), 0u) << line;
    const auto hwnd =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(line.substr(6))));
    ASSERT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(platform->findProcessWindow(copy.pid(), kWindowSearchLimit),
              reinterpret_cast<WindowHandle>(hwnd));

    bringRunningCopyForward(*platform, upper(platform->currentExecutableName()));
    EXPECT_TRUE(eventually([&] { return !IsIconic(hwnd) && IsWindowVisible(hwnd); }));
}

// The running copy: one minimised window, a message loop, and an end after
// a minute at the latest.
int runIconicCopy() {
    const HWND main = makeWindow(WS_OVERLAPPEDWINDOW);
    if (main == nullptr) return 2;
    ShowWindow(main, SW_SHOWMINIMIZED);
    handleMessages();
    std::printf("ready %llu\n",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(main)));
    std::fflush(stdout);
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--iconic-window") return runIconicCopy();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
