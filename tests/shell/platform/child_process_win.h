// Starting helper processes from the Windows tests: a program run with a
// helper argument, its standard output read line by line.
#pragma once

#include <windows.h>

#include <string>

namespace platform_test {

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    // Runs `program` (full path) with `argument`; false when it cannot start.
    bool start(const std::wstring& program, const std::wstring& argument);
    DWORD pid() const { return pid_; }
    // The next line of output without its line end; empty at the end.
    std::string readLine();
    // Ends the process at once (TerminateProcess) and waits for it.
    void stop();

  private:
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
    DWORD pid_ = 0;
    std::string buffered_;
};

// Full path of the running test program.
std::wstring selfPath();

}  // namespace platform_test
