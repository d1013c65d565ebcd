// The built program on a real X server (run_x11.sh), with a window manager
// (EndToEnd) and without one (NoWindowManager): a second start brings the
// first copy's main bar forward and ends with 0, the pages and the composer
// are untitled windows owned by the bar, every Ctrl+B turns what the
// operator sees, the command line changes nothing, and dragging the bar
// takes the open page with it. The windows are driven and inspected with
// xdotool, xprop and xwininfo.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "settings_table.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Output of a shell command, without the last line break.
std::string sh(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

Geometry geometry(const std::string& window) {
    std::map<std::string, int> values;
    std::istringstream lines(sh("xdotool getwindowgeometry --shell " + window));
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    }
    return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
}

bool viewable(const std::string& window) {
    return sh("xwininfo -id " + window).find("Map State: IsViewable") != std::string::npos;
}

// "Normal", "Iconic", "Withdrawn", or empty when the window manager set none.
std::string wmState(const std::string& window) {
    const std::string state = sh("xprop -id " + window + " WM_STATE");
    for (const char* s : {"Normal", "Iconic", "Withdrawn"})
        if (state.find(std::string("window state: ") + s) != std::string::npos) return s;
    return {};
}

std::vector<std::string> windowsOf(pid_t pid, const std::string& options = "") {
    std::vector<std::string> out;
    std::istringstream lines(sh("xdotool search " + options + " --pid " + std::to_string(pid)));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

// The first window of `pid` titled exactly `title`, waiting for it to appear.
std::string waitForWindow(pid_t pid, const std::string& title) {
    std::string found;
    waitFor([&] {
        for (const std::string& w : windowsOf(pid, "--onlyvisible"))
            if (sh("xdotool getwindowname " + w) == title) {
                found = w;
                return true;
            }
        return false;
    });
    return found;
}

// WM_TRANSIENT_FOR of a window as a decimal id (as xdotool names windows),
// empty when it has none.
std::string owner(const std::string& window) {
    const std::string line = sh("xprop -id " + window + " WM_TRANSIENT_FOR");
    const auto hex = line.find("0x");
    if (line.find("window id") == std::string::npos || hex == std::string::npos) return {};
    return std::to_string(std::stoul(line.substr(hex), nullptr, 16));
}

// No title: no _NET_WM_NAME, and WM_NAME empty or missing.
bool untitled(const std::string& window) {
    const std::string net = sh("xprop -id " + window + " _NET_WM_NAME");
    std::string plain = sh("xprop -id " + window + " WM_NAME");
    if (plain.find("not found") != std::string::npos) plain.clear();
    plain = plain.substr(std::min(plain.size(), plain.find('=') + 1));
    const bool plainEmpty = plain.find_first_not_of(" \"") == std::string::npos;
    return net.find("not found") != std::string::npos && plainEmpty;
}

// Client windows from the bottom of the stack to its top, as decimal ids.
std::vector<std::string> stackingOrder() {
    std::vector<std::string> out;
    std::string list = sh("xprop -root _NET_CLIENT_LIST_STACKING");
    for (auto at = list.find("0x"); at != std::string::npos; at = list.find("0x", at + 2))
        out.push_back(std::to_string(std::stoul(list.substr(at), nullptr, 16)));
    return out;
}

class Program {
  public:
    explicit Program(const fs::path& executable, const std::vector<std::string>& args = {}) {
        std::vector<std::string> words{executable.string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, words[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGTERM);
            int status;
            ::waitpid(pid_, &status, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return pid_; }

    // The exit code, or nullopt when the program still runs after `limit`.
    std::optional<int> waitForExit(std::chrono::milliseconds limit = 10s) {
        int status = 0;
        const bool ended =
            waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        if (!ended) return std::nullopt;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = 0;
    bool exited_ = false;
};

// Centres of toolbar buttons and of "隐藏", from the main bar's top left corner.
constexpr std::pair<int, int> kEntryButton{45, 50};
constexpr std::pair<int, int> kQueryButton{132, 50};
constexpr std::pair<int, int> kSettingsButton{305, 50};
constexpr std::pair<int, int> kHideButton{611, 16};
// The entry page's remark box, from the page's top left corner.
constexpr std::pair<int, int> kRemarkBox{247, 408};

void clickAt(const std::string& window, std::pair<int, int> spot, int clicks = 1) {
    const Geometry g = geometry(window);
    sh("xdotool mousemove --sync " + std::to_string(g.x + spot.first) + " " +
       std::to_string(g.y + spot.second) + " click --repeat " + std::to_string(clicks) +
       " --delay 80 1");
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(sh("command -v xdotool").empty()) << "xdotool is missing (scripts/setup.sh)";
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through run_x11.sh";
        // The program works in its own folder: a copy beside fresh tables.
        program_ = folder_.path() / "lanhe-ledger";
        fs::copy_file(LANHE_PROGRAM, program_);
        ASSERT_EQ(std::system((std::string("\"") + LANHE_EDBTOOL + "\" init \"" +
                               folder_.path().string() + "\" >/dev/null")
                                  .c_str()),
                  0);
    }

    // Starts the first copy and waits for its main bar.
    std::string startFirst(const std::vector<std::string>& args = {}) {
        first_ = std::make_unique<Program>(program_, args);
        const std::string bar = waitForWindow(first_->pid(), "岚禾记账");
        EXPECT_FALSE(bar.empty()) << "no main bar";
        return bar;
    }

    // Clicks a toolbar button (its offset from the bar's corner) and waits for
    // the page window it opens (520 pixels high, the query page 800).
    std::string openPage(const std::string& bar, std::pair<int, int> button, int height = 520) {
        clickAt(bar, button);
        return waitForWindowOfHeight(bar, height);
    }
    std::string waitForWindowOfHeight(const std::string& except, int height) {
        std::string page;
        waitFor([&] {
            for (const std::string& w : windowsOf(first_->pid(), "--onlyvisible"))
                if (w != except && geometry(w).height == height && viewable(w)) {
                    page = w;
                    return true;
                }
            return false;
        });
        return page;
    }

    // Starts a second copy, answers its message and returns its exit code.
    std::optional<int> secondStart() {
        Program second(program_);
        const std::string box = waitForWindow(second.pid(), "友情提醒:");
        EXPECT_FALSE(box.empty()) << "the second copy showed no message";
        if (!box.empty()) sh("xdotool windowactivate --sync " + box + " key Return");
        return second.waitForExit();
    }

    testing_tables::TempFolder folder_;
    fs::path program_;
    std::unique_ptr<Program> first_;
};

}  // namespace

TEST_F(EndToEnd, SecondStartRestoresAndActivatesTheFirst) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    sh("xdotool windowminimize --sync " + bar);
    ASSERT_TRUE(waitFor([&] { return wmState(bar) == "Iconic"; })) << wmState(bar);

    EXPECT_EQ(secondStart(), 0);
    EXPECT_TRUE(waitFor([&] { return wmState(bar) == "Normal" && viewable(bar); })) << wmState(bar);
    EXPECT_TRUE(waitFor([&] { return sh("xdotool getactivewindow") == bar; }));
    EXPECT_EQ(first_->waitForExit(200ms), std::nullopt) << "the first copy keeps running";
}

TEST_F(EndToEnd, HotKeyHidesAndShowsTheMainBar) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    const std::string page = openPage(bar, kEntryButton);
    ASSERT_FALSE(page.empty());

    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return !viewable(bar) && !viewable(page); }));
    // A second copy now finds no window to bring forward, and still ends with 0.
    EXPECT_EQ(secondStart(), 0);
    EXPECT_FALSE(viewable(bar));
    // The second press shows the main bar only.
    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return viewable(bar); }));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(viewable(page));
}

TEST_F(EndToEnd, HotKeyWorksWithNumLockOn) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    sh("xdotool key Num_Lock");
    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return !viewable(bar); }));
    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return viewable(bar); }));
    sh("xdotool key Num_Lock");
}

TEST_F(EndToEnd, DraggingTheBarTakesTheOpenPage) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    const Geometry b = geometry(bar);
    ASSERT_EQ(b.width, 700);
    ASSERT_EQ(b.height, 75);

    const std::string page = openPage(bar, kSettingsButton);
    ASSERT_FALSE(page.empty()) << "the settings page did not open";
    Geometry p = geometry(page);
    EXPECT_EQ(p.x, b.x);
    EXPECT_EQ(p.y, b.y + b.height);
    EXPECT_EQ(p.width, b.width);

    // Drag by an empty spot of the title row.
    const int fromX = b.x + 300, fromY = b.y + 12;
    std::string drag = "xdotool mousemove --sync " + std::to_string(fromX) + " " +
                       std::to_string(fromY) + " mousedown 1";
    for (int step = 1; step <= 10; ++step)
        drag += " mousemove --sync " + std::to_string(fromX - 12 * step) + " " +
                std::to_string(fromY + 25 * step) + " sleep 0.05";
    drag += " mouseup 1";
    sh(drag);

    Geometry moved;
    EXPECT_TRUE(waitFor([&] {
        moved = geometry(bar);
        return moved.x == b.x - 120 && moved.y == b.y + 250;
    })) << moved.x
        << "," << moved.y;
    EXPECT_TRUE(waitFor([&] {
        p = geometry(page);
        return p.x == moved.x && p.y == moved.y + moved.height && p.width == moved.width;
    })) << p.x
        << "," << p.y << " " << p.width;
    EXPECT_TRUE(viewable(page));
}

TEST_F(EndToEnd, PagesAndTheComposerAreUntitledWindowsOfTheBar) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(owner(bar), "");
    EXPECT_EQ(sh("xdotool getwindowname " + bar), "岚禾记账");

    const std::string query = openPage(bar, kQueryButton, 800);
    ASSERT_FALSE(query.empty()) << "the query page did not open";
    EXPECT_EQ(owner(query), bar);
    EXPECT_TRUE(untitled(query)) << sh("xprop -id " + query + " _NET_WM_NAME WM_NAME");

    const std::string entry = openPage(bar, kEntryButton);
    ASSERT_FALSE(entry.empty()) << "the entry page did not open";
    EXPECT_EQ(owner(entry), bar);
    EXPECT_TRUE(untitled(entry));

    // The item composer opens on a double click in the remark box.
    clickAt(entry, kRemarkBox, 2);
    const std::string composer = waitForWindowOfHeight(bar, 316);
    ASSERT_FALSE(composer.empty()) << "the composer did not open";
    EXPECT_EQ(geometry(composer).width, 324);
    EXPECT_FALSE(owner(composer).empty());
    EXPECT_TRUE(untitled(composer)) << sh("xprop -id " + composer + " _NET_WM_NAME WM_NAME");
    sh("xdotool windowactivate --sync " + composer + " key Escape");
    EXPECT_TRUE(waitFor([&] { return !viewable(composer); }));
}

TEST_F(EndToEnd, SecondStartBringsTheBarNotThePageForward) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    const std::string query = openPage(bar, kQueryButton, 800);
    ASSERT_FALSE(query.empty());
    // Another program's window covers the bar and takes the focus.
    const Geometry b = geometry(bar);
    const std::string cover = "lanhe-cover-" + std::to_string(::getpid());
    sh("(xmessage -name " + cover + " -geometry 900x300+" + std::to_string(b.x) + "+" +
       std::to_string(b.y) + " " + cover + " >/dev/null 2>&1 &)");
    std::string coverWindow;
    ASSERT_TRUE(waitFor([&] {
        coverWindow = sh("xdotool search --onlyvisible --classname " + cover + " | head -n1");
        return !coverWindow.empty();
    })) << "xmessage is missing (scripts/setup.sh)";
    sh("xdotool windowactivate --sync " + coverWindow);

    EXPECT_EQ(secondStart(), 0);
    EXPECT_TRUE(waitFor([&] { return sh("xdotool getactivewindow") == bar; }))
        << sh("xdotool getactivewindow") << " is active, not the bar " << bar;
    EXPECT_TRUE(waitFor([&] {
        const auto order = stackingOrder();
        const auto barAt = std::find(order.begin(), order.end(), bar);
        const auto coverAt = std::find(order.begin(), order.end(), coverWindow);
        return barAt != order.end() && coverAt != order.end() && barAt > coverAt;
    })) << "the bar stays under the covering window";
    sh("xdotool windowkill " + coverWindow);
}

TEST_F(EndToEnd, EveryHotKeyPressTurnsWhatTheOperatorSees) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    // "隐藏" minimises the bar where no notification area could bring it back.
    clickAt(bar, kHideButton);
    ASSERT_TRUE(waitFor([&] { return wmState(bar) == "Iconic"; })) << wmState(bar);
    // A second start restores it ...
    EXPECT_EQ(secondStart(), 0);
    ASSERT_TRUE(waitFor([&] { return wmState(bar) == "Normal" && viewable(bar); }));
    // ... and from there each press hides or shows it, shown meaning normal.
    for (int press = 1; press <= 4; ++press) {
        sh("xdotool key ctrl+b");
        if (press % 2 == 1) {
            EXPECT_TRUE(waitFor([&] { return !viewable(bar); })) << "press " << press;
        } else {
            EXPECT_TRUE(waitFor([&] { return wmState(bar) == "Normal" && viewable(bar); }))
                << "press " << press << ": " << wmState(bar);
        }
    }
}

TEST_F(EndToEnd, TheCommandLineChangesNothing) {
    // Qt's own options would otherwise put the bar off the screen (-platform
    // offscreen) and mirror the toolbar (-reverse).
    const std::string bar = startFirst({"-platform", "offscreen", "-reverse", "-style", "windows"});
    ASSERT_FALSE(bar.empty()) << "no main bar on the display";
    EXPECT_FALSE(openPage(bar, kEntryButton).empty()) << "the toolbar is not where it belongs";
}

class NoWindowManager : public EndToEnd {
  protected:
    void SetUp() override {
        EndToEnd::SetUp();
        ASSERT_TRUE(sh("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") ==
                    std::string::npos)
            << "run through run_x11.sh --no-wm";
    }
};

TEST_F(NoWindowManager, HideHidesTheBarAndTheHotKeyBringsItBack) {
    const std::string bar = startFirst();
    ASSERT_FALSE(bar.empty());
    const std::string page = openPage(bar, kEntryButton);
    ASSERT_FALSE(page.empty());
    clickAt(bar, kHideButton);
    EXPECT_TRUE(waitFor([&] { return !viewable(bar) && !viewable(page); }));
    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return viewable(bar); }));
    EXPECT_FALSE(viewable(page));
    sh("xdotool key ctrl+b");
    EXPECT_TRUE(waitFor([&] { return !viewable(bar); }));
}
