// Starting helper processes from the tests: a copy of the test program run
// with a helper argument, its standard output read line by line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace platform_test {

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess() { stop(); }

    // Runs `program` with `arguments`; its standard output comes back here.
    static ChildProcess start(const std::string& program,
                              const std::vector<std::string>& arguments);

    pid_t pid() const { return pid_; }
    // The next line of output without its newline; empty on timeout or end.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Kills the process (SIGKILL) and reaps it.
    void stop();

  private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
};

// Absolute path of the running test program.
std::string selfPath();
// A fresh folder under the system's temporary folder.
std::string makeTempFolder();
// Copies `from` to `to` keeping it executable.
void copyExecutable(const std::string& from, const std::string& to);
// Writes an executable shell script.
void writeScript(const std::string& path, const std::string& body);
// Waits until `condition` holds or `timeout` passes; returns the last result.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace platform_test

#include <thread>

template <typename Condition>
bool platform_test::waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
