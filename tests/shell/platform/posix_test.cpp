// Linux pieces that need no display: the instance marker, the process
// search by executable name, and starting the calculator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "child_process_posix.h"
#include "platform.h"
#include "platform_x11.h"
#include "printing.h"

using namespace shell::platform;
using namespace std::chrono_literals;
using platform_test::ChildProcess;

namespace {

// Sets an environment variable for the length of a scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A marker name no other test (or concurrent test run) uses.
std::string uniqueMarker(const char* what) {
    return std::string("test-") + what + "-" + std::to_string(::getpid());
}

class TempFolder {
  public:
    TempFolder() : path(platform_test::makeTempFolder()) {}
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::string path;
};

// Running, not merely a zombie waiting for its parent.
bool processAlive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---------------------------------------------------------------- marker

TEST(InstanceMarker, SecondClaimIsRefusedUntilHolderReleasesIt) {
    const std::string name = uniqueMarker("release");
    auto first = createPlatform();
    auto second = createPlatform();
    EXPECT_EQ(first->claimInstanceMarker(name), MarkerClaim::acquired);
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    first.reset();
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::acquired);
}

TEST(InstanceMarker, FreedWhenHolderIsKilled) {
    const std::string name = uniqueMarker("killed");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto platform = createPlatform();
        const char result =
            platform->claimInstanceMarker(name) == MarkerClaim::acquired ? 'A' : 'x';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &result, 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char result = 0;
    ASSERT_EQ(::read(ready[0], &result, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(result, 'A');

    auto platform = createPlatform();
    EXPECT_EQ(platform->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // No clean-up ran in the child; the system alone has to drop the marker.
    EXPECT_EQ(platform->claimInstanceMarker(name), MarkerClaim::acquired);
}

TEST(InstanceMarker, OneLogonSharesItAcrossDisplays) {
    // Two X displays of one logon run one copy between them.
    const std::string name = uniqueMarker("display");
    auto onFirst = createPlatform();
    auto onSecond = createPlatform();
    {
        ScopedEnv display("DISPLAY", ":91");
        EXPECT_EQ(onFirst->claimInstanceMarker(name), MarkerClaim::acquired);
    }
    {
        ScopedEnv display("DISPLAY", ":92");
        EXPECT_EQ(onSecond->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
    }
    ScopedEnv noDisplay("DISPLAY", "");
    EXPECT_EQ(createPlatform()->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
}

TEST(InstanceMarker, LogonSessionsWithoutAuditIdAreToldApartByLogind) {
    std::ifstream in("/proc/self/sessionid");
    std::string audit;
    std::getline(in, audit);
    if (!detail::logonSessionKey(audit, nullptr).empty()) {
        GTEST_SKIP() << "this process has an audit session, which XDG_SESSION_ID cannot override";
    }
    const std::string name = uniqueMarker("logind");
    auto first = createPlatform();
    auto second = createPlatform();
    auto secondAgain = createPlatform();
    {
        ScopedEnv session("XDG_SESSION_ID", "c91");
        EXPECT_EQ(first->claimInstanceMarker(name), MarkerClaim::acquired);
    }
    ScopedEnv session("XDG_SESSION_ID", "c92");
    EXPECT_EQ(second->claimInstanceMarker(name), MarkerClaim::acquired);
    EXPECT_EQ(secondAgain->claimInstanceMarker(name), MarkerClaim::heldElsewhere);
}

TEST(InstanceMarker, SessionKeyPrefersTheAuditSession) {
    EXPECT_EQ(detail::logonSessionKey("3\n", "c7"), "audit:3");
    EXPECT_EQ(detail::logonSessionKey("0", nullptr), "audit:0");
    EXPECT_EQ(detail::logonSessionKey("4294967294", nullptr), "audit:4294967294");
    // Unset, unreadable or garbled audit ids fall back to logind, then to none.
    EXPECT_EQ(detail::logonSessionKey("4294967295", "c7"), "logind:c7");
    EXPECT_EQ(detail::logonSessionKey("", "c7"), "logind:c7");
    EXPECT_EQ(detail::logonSessionKey("-1", "c7"), "logind:c7");
    EXPECT_EQ(detail::logonSessionKey("12a", "c7"), "logind:c7");
    EXPECT_EQ(detail::logonSessionKey("99999999999", "c7"), "logind:c7");
    EXPECT_EQ(detail::logonSessionKey("4294967295", ""), "");
    EXPECT_EQ(detail::logonSessionKey("4294967295", nullptr), "");

    EXPECT_NE(detail::markerSocketName("lanhere", 1000, "audit:3"),
              detail::markerSocketName("lanhere", 1001, "audit:3"));
    EXPECT_NE(detail::markerSocketName("lanhere", 1000, "audit:3"),
              detail::markerSocketName("lanhere", 1000, "audit:4"));
    EXPECT_NE(detail::markerSocketName("lanhere", 1000, "audit:3"),
              detail::markerSocketName("lanhere", 1000, "logind:3"));
}

TEST(InstanceMarker, NotKeptAliveByTheCalculator) {
    // The calculator outlives the copy that started it; the marker must not.
    TempFolder folder;
    const std::string pidFile = folder.path + "/calc.pid";
    platform_test::writeScript(folder.path + "/xcalc", "echo $$ > " + pidFile + "\nexec sleep 20");
    const std::string name = uniqueMarker("inherit");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("PATH", (folder.path + ":/usr/bin:/bin").c_str(), 1);
        auto platform = createPlatform();
        const bool ok = platform->claimInstanceMarker(name) == MarkerClaim::acquired &&
                        platform->startCalculator();
        ::_exit(ok ? 0 : 1);  // no destructors: as if the program were killed
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ASSERT_TRUE(platform_test::waitFor([&] { return !readFile(pidFile).empty(); }));
    const pid_t calculator = std::stoi(readFile(pidFile));
    EXPECT_TRUE(processAlive(calculator));
    auto platform = createPlatform();
    EXPECT_EQ(platform->claimInstanceMarker(name), MarkerClaim::acquired);
    ::kill(calculator, SIGKILL);
}

// ------------------------------------------------------- process search

class ProcessSearch : public ::testing::Test {
  protected:
    // A copy of this program under a name of its own, longer than the
    // kernel's 15-byte command name; unique within its first 15 bytes too.
    std::string probeName = std::to_string(::getpid()) + "-LanheProbe-copy";
    TempFolder folder;
    std::string probePath = folder.path + "/" + probeName;
    void SetUp() override { platform_test::copyExecutable(platform_test::selfPath(), probePath); }
    std::unique_ptr<Platform> platform = createPlatform();
};

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

TEST_F(ProcessSearch, FindsProcessByNameIgnoringCase) {
    ChildProcess probe = ChildProcess::start(probePath, {"--sleep"});
    const auto probePid = static_cast<ProcessId>(probe.pid());
    ASSERT_TRUE(platform_test::waitFor(
        [&] { return platform->findProcessByExeName(probeName) == probePid; }));
    EXPECT_EQ(platform->findProcessesByExeName(upper(probeName)), std::vector<ProcessId>{probePid});
    EXPECT_EQ(platform->findProcessByExeName(probeName + "x"), 0u);
    EXPECT_EQ(platform->findProcessByExeName(probeName.substr(0, 15)), 0u);
    probe.stop();
    EXPECT_EQ(platform->findProcessByExeName(probeName), 0u);
}

TEST_F(ProcessSearch, FindsProcessWhoseExecutableWasReplaced) {
    // An update while the program runs leaves /proc/<pid>/exe "... (deleted)".
    ChildProcess probe = ChildProcess::start(probePath, {"--sleep"});
    ASSERT_TRUE(platform_test::waitFor([&] {
        return platform->findProcessByExeName(probeName) == static_cast<ProcessId>(probe.pid());
    }));
    ASSERT_EQ(::unlink(probePath.c_str()), 0);
    EXPECT_EQ(platform->findProcessByExeName(probeName), static_cast<ProcessId>(probe.pid()));
}

TEST_F(ProcessSearch, SecondCopyDoesNotFindItself) {
    ChildProcess alone = ChildProcess::start(probePath, {"--list-same-name"});
    EXPECT_EQ(alone.readLine(), "pids:");
    alone.stop();

    ChildProcess first = ChildProcess::start(probePath, {"--sleep"});
    ASSERT_TRUE(platform_test::waitFor([&] {
        return platform->findProcessByExeName(probeName) == static_cast<ProcessId>(first.pid());
    }));
    ChildProcess second = ChildProcess::start(probePath, {"--list-same-name"});
    EXPECT_EQ(second.readLine(), "pids: " + std::to_string(first.pid()));
}

TEST(ProcessName, CurrentExecutableIsThisTestProgram) {
    auto platform = createPlatform();
    const std::string self = platform_test::selfPath();
    EXPECT_EQ(platform->currentExecutableName(), self.substr(self.rfind('/') + 1));
    bool isShort = true;
    EXPECT_EQ(detail::processExeName(::getpid(), &isShort), platform->currentExecutableName());
    EXPECT_FALSE(isShort);
}

// ------------------------------------------------------------ calculator

TEST(Calculator, ProgramOrderDecidesNotFolderOrder) {
    TempFolder a;
    TempFolder b;
    platform_test::writeScript(a.path + "/xcalc", "exit 0");
    platform_test::writeScript(b.path + "/kcalc", "exit 0");
    EXPECT_EQ(detail::findCalculator(a.path + ":" + b.path), b.path + "/kcalc");
    EXPECT_EQ(detail::findCalculator(a.path), a.path + "/xcalc");
    // The same program in both folders: the first folder wins.
    platform_test::writeScript(a.path + "/kcalc", "exit 0");
    EXPECT_EQ(detail::findCalculator(b.path + ":" + a.path), b.path + "/kcalc");
}

TEST(Calculator, SkipsWhatCannotRun) {
    TempFolder a;
    {
        std::ofstream notExecutable(a.path + "/gnome-calculator");
        notExecutable << "#!/bin/sh\n";
    }
    ::chmod((a.path + "/gnome-calculator").c_str(), 0644);
    std::filesystem::create_directory(a.path + "/kcalc");
    ::chmod((a.path + "/kcalc").c_str(), 0755);
    EXPECT_EQ(detail::findCalculator(a.path), "");
    platform_test::writeScript(a.path + "/galculator", "exit 0");
    EXPECT_EQ(detail::findCalculator("::" + a.path + ":"), a.path + "/galculator");
    EXPECT_EQ(detail::findCalculator(""), "");
}

TEST(Calculator, StartsDetachedWithoutWaiting) {
    TempFolder folder;
    const std::string report = folder.path + "/report";
    platform_test::writeScript(folder.path + "/mate-calc",
                               "sleep 2\necho \"$$ $PPID\" > " + report + ".tmp\nmv " + report +
                                   ".tmp " + report + "\nexec sleep 20");
    ScopedEnv path("PATH", folder.path + ":/usr/bin:/bin");
    auto platform = createPlatform();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform->startCalculator());
    // It returned before the program had even written its report.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_TRUE(readFile(report).empty());

    ASSERT_TRUE(platform_test::waitFor([&] { return !readFile(report).empty(); }));
    std::istringstream fields(readFile(report));
    pid_t pid = 0;
    pid_t parent = 0;
    fields >> pid >> parent;
    EXPECT_NE(parent, ::getpid());
    EXPECT_NE(::getsid(pid), ::getsid(0));
    // Nothing left for us to reap: no zombie will ever appear.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ::kill(pid, SIGKILL);
}

TEST(Calculator, NoneFoundStartsNothing) {
    TempFolder empty;
    ScopedEnv path("PATH", empty.path);
    auto platform = createPlatform();
    EXPECT_FALSE(platform->startCalculator());
}

TEST(Calculator, ProgramThatCannotBeExecutedCountsAsNotStarted) {
    TempFolder folder;
    const std::string bogus = folder.path + "/xcalc";
    {
        std::ofstream out(bogus, std::ios::binary);
        out << "\x7f"
               "ELF not really";
    }
    ::chmod(bogus.c_str(), 0755);
    EXPECT_FALSE(detail::startDetached(bogus));
    EXPECT_FALSE(detail::startDetached(folder.path + "/missing"));
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
