// Bringing the running copy forward and the single-instance step, driven
// through the scripted platform; name comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "platform.h"
#include "printing.h"

using namespace shell::platform;

namespace {

using Calls = std::vector<std::string>;

TEST(ExeName, IgnoresCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(sameExeName("lanhe.exe", "LANHE.EXE"));
    EXPECT_TRUE(sameExeName("LanHe-Ji_Zhang2", "lanhe-ji_zhang2"));
    EXPECT_FALSE(sameExeName("lanhe.exe", "lanhe.ex"));
    EXPECT_FALSE(sameExeName("lanhe", "lanhf"));
    // Folding by setting bit 0x20 would make these equal.
    EXPECT_FALSE(sameExeName("a@b", "a`b"));
    EXPECT_FALSE(sameExeName("x[1]", "x{1}"));
    // Non-ASCII letters are compared byte for byte: "Ä" and "ä" differ.
    EXPECT_FALSE(sameExeName("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(sameExeName("\xE5\xB2\x9A\xE7\xA6\xBE.exe", "\xE5\xB2\x9A\xE7\xA6\xBE.EXE"));
    EXPECT_TRUE(sameExeName("", ""));
}

class BringForward : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.selfPid = 1;
        fake.processes = {{1, "lanhe"}, {2, "LanHe"}};
    }
    FakePlatform fake;
};

TEST_F(BringForward, RestoresAndActivatesMinimisedWindow) {
    fake.windows = {{10, 2, /*visible*/ true, /*iconic*/ true}};
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_EQ(fake.calls,
              (Calls{"findProcessWindow 2 100", "restoreWindow 10", "activateWindow 10"}));
    EXPECT_EQ(fake.activeWindow, 10u);
    EXPECT_FALSE(fake.window(10)->iconic);
}

TEST_F(BringForward, ActivatesVisibleWindowWithoutShowingOrRestoring) {
    fake.windows = {{10, 2}};
    bringRunningCopyForward(fake, "LANHE");
    EXPECT_EQ(fake.calls, (Calls{"findProcessWindow 2 100", "activateWindow 10"}));
}

TEST_F(BringForward, HiddenMainBarChangesNothing) {
    fake.windows = {{10, 2, /*visible*/ false}};
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_EQ(fake.calls, (Calls{"findProcessWindow 2 100"}));
    EXPECT_EQ(fake.activeWindow, 0u);
}

TEST_F(BringForward, NoOtherCopyDoesNothing) {
    fake.processes = {{1, "lanhe"}, {5, "other"}};
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(BringForward, TriesNextCopyWhenFirstShowsNoWindow) {
    // A copy without a window (say, one ending itself) must not hide the
    // one that has the main bar.
    fake.processes = {{1, "lanhe"}, {2, "lanhe"}, {3, "lanhe"}};
    fake.windows = {{20, 3}};
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_EQ(fake.calls,
              (Calls{"findProcessWindow 2 100", "findProcessWindow 3 100", "activateWindow 20"}));
}

TEST_F(BringForward, StopsAtFirstCopyWithWindow) {
    fake.processes = {{2, "lanhe"}, {3, "lanhe"}};
    fake.windows = {{30, 3}, {20, 2}};
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_EQ(fake.calls, (Calls{"findProcessWindow 2 100", "activateWindow 20"}));
}

TEST_F(BringForward, SearchThatRunsOutOfTimeDoesNothing) {
    fake.windows = {{10, 2}};
    fake.windowSearchTimesOut = true;
    bringRunningCopyForward(fake, "lanhe");
    EXPECT_EQ(fake.calls, (Calls{"findProcessWindow 2 100"}));
}

TEST(SingleInstance, FirstCopyGoesOnWithoutMessage) {
    FakePlatform fake;
    fake.processes = {{2, "lanhe"}};
    fake.windows = {{10, 2}};
    bool told = false;
    EXPECT_EQ(ensureSingleInstance(fake, "lanhe", [&] { told = true; }), InstanceCheck::onlyCopy);
    EXPECT_FALSE(told);
    EXPECT_EQ(fake.calls, (Calls{"claimInstanceMarker lanhere"}));
}

TEST(SingleInstance, SecondCopyTellsOperatorThenBringsFirstForward) {
    FakePlatform fake;
    fake.anotherCopyRuns = true;
    fake.processes = {{1, "lanhe"}, {2, "lanhe"}};
    fake.windows = {{10, 2, true, true}};
    const InstanceCheck result =
        ensureSingleInstance(fake, "lanhe", [&] { fake.calls.push_back("told"); });
    EXPECT_EQ(result, InstanceCheck::anotherCopyRuns);
    EXPECT_EQ(fake.calls, (Calls{"claimInstanceMarker lanhere", "told", "findProcessWindow 2 100",
                                 "restoreWindow 10", "activateWindow 10"}));
}

TEST(SingleInstance, SecondCopyEndsEvenWhenNoWindowIsFound) {
    FakePlatform fake;
    fake.anotherCopyRuns = true;
    int told = 0;
    EXPECT_EQ(ensureSingleInstance(fake, "lanhe", [&] { ++told; }), InstanceCheck::anotherCopyRuns);
    EXPECT_EQ(told, 1);
}

TEST(SingleInstance, MarkerThatCannotBeMadeLetsStartUpGoOn) {
    FakePlatform fake;
    fake.markerUnavailable = true;
    bool told = false;
    EXPECT_EQ(ensureSingleInstance(fake, "lanhe", [&] { told = true; }), InstanceCheck::onlyCopy);
    EXPECT_FALSE(told);
}

TEST(FakeHotKey, ReportsPressesOnlyWhileRegistered) {
    FakePlatform fake;
    fake.hotKeyTaken = true;
    EXPECT_EQ(fake.registerHotKey(7), 0);
    fake.hotKeyTaken = false;
    fake.pressHotKey();
    EXPECT_EQ(fake.processPendingEvents(), 0);
    EXPECT_EQ(fake.registerHotKey(7), kFirstHotKeyId);
    EXPECT_EQ(fake.hotKeyOwner, 7u);
    fake.pressHotKey(2);
    EXPECT_EQ(fake.processPendingEvents(), 2);
    EXPECT_EQ(fake.processPendingEvents(), 0);
    FakePlatform::NativeMessage hotKey{true, kFirstHotKeyId};
    FakePlatform::NativeMessage other{false, kFirstHotKeyId};
    FakePlatform::NativeMessage foreign{true, kFirstHotKeyId + 1};
    EXPECT_EQ(fake.hotKeyIdFromNativeMessage(&hotKey), kFirstHotKeyId);
    EXPECT_EQ(fake.hotKeyIdFromNativeMessage(&other), 0);
    EXPECT_EQ(fake.hotKeyIdFromNativeMessage(&foreign), 0);
    fake.unregisterHotKey();
    EXPECT_EQ(fake.hotKeyIdFromNativeMessage(&hotKey), 0);
}

}  // namespace
