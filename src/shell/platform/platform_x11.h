// Linux pieces of the X11 platform that need no display, exposed for tests.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace shell::platform::detail {

// Calculator programs, most preferred first.
const std::vector<std::string>& calculatorPrograms();

// Full path of the first of calculatorPrograms() that is an executable
// regular file in one of the folders of `pathList` (colon-separated, as in
// PATH; empty entries are skipped). The program order decides, not the
// folder order. Empty when none is found.
std::string findCalculator(std::string_view pathList);

// Runs `path` with no arguments in a new session, as a grandchild that
// init adopts: nothing to reap, and no descriptor of ours but 0, 1 and 2 is
// passed on. Returns once the program has replaced the child process (true)
// or failed to (false); it never waits for the program to end.
bool startDetached(const std::string& path);

// The logon session a process belongs to, as a text key: "audit:<id>" from
// the kernel's audit session id (the text of /proc/self/sessionid, given as
// `auditSessionId`) when it holds one, else "logind:<id>" from the
// systemd-logind session id (XDG_SESSION_ID, given as `logindSessionId`,
// nullptr when unset), else empty: the user id alone then stands for the
// logon. The unset audit id reads 4294967295 ((uint32_t)-1).
std::string logonSessionKey(std::string_view auditSessionId, const char* logindSessionId);

// The calling process's logonSessionKey.
std::string currentLogonSessionKey();

// The abstract-socket name under which `markerName` is held for user `uid`
// in logon session `sessionKey` (without the leading zero byte).
std::string markerSocketName(std::string_view markerName, uid_t uid, std::string_view sessionKey);

// Executable file name of process `pid`, without its folder: the target of
// /proc/<pid>/exe (" (deleted)" dropped), or the kernel's short command name
// (at most 15 bytes) when reading that link is not permitted. Empty for a
// kernel thread, a process that is ending, or one that is gone.
std::string processExeName(pid_t pid, bool* isShortName = nullptr);

}  // namespace shell::platform::detail
