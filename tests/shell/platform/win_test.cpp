// Windows pieces that need no display, run under wine: the named event,
// the process snapshot search and the hot-key registration.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "child_process_win.h"
#include "platform.h"
#include "printing.h"

using namespace shell::platform;
using platform_test::ChildProcess;

namespace {

std::string uniqueMarker(const char* what) {
    return std::string("lanhe-test-") + what + "-" + std::to_string(GetCurrentProcessId());
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// --------------------------------------------------------------- marker

TEST(InstanceMarker, SecondClaimIsRefusedUntilHolderReleasesIt) {
    const std::string name = uniqueMarker("release");
    auto first = createPlatform();
    auto second = createPlatform();
    EXPECT_EQ(first->claimInstanceMarker(name), MarkerClaim::acquired);
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    first.reset();
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::acquired);
}

TEST(InstanceMarker, CreatingAnExistingEventReportsItExists) {
    // What the race guard in claimInstanceMarker relies on.
    const std::wstring name = L"lanhe-test-exists-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE first = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const HANDLE second = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(second);
    CloseHandle(first);
}

TEST(InstanceMarker, FreedWhenHolderIsKilled) {
    const std::string name = uniqueMarker("killed");
    ChildProcess holder;
    ASSERT_TRUE(holder.start(platform_test::selfPath(),
                             L"--hold-marker " + std::wstring(name.begin(), name.end())));
    ASSERT_EQ(holder.readLine(), "acquired");
    auto platform = createPlatform();
    EXPECT_EQ(platform->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    holder.stop();  // TerminateProcess: no clean-up in the holder
    EXPECT_EQ(platform->claimInstanceMarker(name), MarkerClaim::acquired);
}

// ------------------------------------------------------- process search

class ProcessSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        probeName = "LanheProbe-" + std::to_string(GetCurrentProcessId()) + "-copy.exe";
        probePath =
            folderOf(platform_test::selfPath()) + std::wstring(probeName.begin(), probeName.end());
        ASSERT_TRUE(CopyFileW(platform_test::selfPath().c_str(), probePath.c_str(), FALSE));
    }
    void TearDown() override {
        // The probes are gone by now (ChildProcess::stop waits for them).
        DeleteFileW(probePath.c_str());
    }
    std::string probeName;
    std::wstring probePath;
    std::unique_ptr<Platform> platform = createPlatform();
};

TEST_F(ProcessSearch, FindsProcessByNameIgnoringCase) {
    ChildProcess probe;
    ASSERT_TRUE(probe.start(probePath, L"--sleep"));
    EXPECT_EQ(platform->findProcessesByExeName(upper(probeName)),
              std::vector<ProcessId>{probe.pid()});
    EXPECT_EQ(platform->findProcessByExeName(probeName), probe.pid());
    EXPECT_EQ(platform->findProcessByExeName("x" + probeName), 0u);
    probe.stop();
    EXPECT_EQ(platform->findProcessByExeName(probeName), 0u);
}

TEST_F(ProcessSearch, SecondCopyDoesNotFindItself) {
    {
        ChildProcess alone;
        ASSERT_TRUE(alone.start(probePath, L"--list-same-name"));
        EXPECT_EQ(alone.readLine(), "pids:");
    }
    ChildProcess first;
    ASSERT_TRUE(first.start(probePath, L"--sleep"));
    ChildProcess second;
    ASSERT_TRUE(second.start(probePath, L"--list-same-name"));
    EXPECT_EQ(second.readLine(), "pids: " + std::to_string(first.pid()));
}

TEST(ProcessName, CurrentExecutableIsThisTestProgram) {
    auto platform = createPlatform();
    EXPECT_TRUE(sameExeName(platform->currentExecutableName(), "lanhe_platform_tests.exe"))
        << platform->currentExecutableName();
}

// -------------------------------------------------------------- hot key

TEST(HotKey, RegistersCtrlBOnceAndRecognisesItsMessage) {
    auto platform = createPlatform();
    auto rival = createPlatform();
    ASSERT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
    EXPECT_EQ(platform->registerHotKey(0), kFirstHotKeyId);  // already ours
    EXPECT_EQ(rival->registerHotKey(0), 0);                  // taken

    MSG message{};
    message.message = WM_HOTKEY;
    message.wParam = kFirstHotKeyId;
    message.lParam = MAKELPARAM(MOD_CONTROL, 'B');
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(&message), kFirstHotKeyId);
    EXPECT_EQ(rival->hotKeyIdFromNativeMessage(&message), 0);
    message.wParam = kFirstHotKeyId + 1;
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(&message), 0);
    message.wParam = kFirstHotKeyId;
    message.message = WM_KEYDOWN;
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(&message), 0);
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(nullptr), 0);
    EXPECT_EQ(platform->eventFileDescriptor(), -1);
    EXPECT_EQ(platform->processPendingEvents(), 0);

    platform->unregisterHotKey();
    message.message = WM_HOTKEY;
    EXPECT_EQ(platform->hotKeyIdFromNativeMessage(&message), 0);
    EXPECT_EQ(rival->registerHotKey(0), kFirstHotKeyId);
    rival.reset();  // released with the object
    EXPECT_EQ(platform->registerHotKey(0), kFirstHotKeyId);
}

}  // namespace
