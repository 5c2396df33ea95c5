#pragma once

// Other processes for tests of what the user is told when a port does not open: one that holds a
// port as a terminal program does, and a program run as an unprivileged user.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace drel::test {

// How long a child process may take to get going or to end: generous, for sanitizer builds on
// a busy machine.
inline constexpr std::chrono::milliseconds kChildPatience{10000};

// A forked child that opens a port, holds it and names itself, until the object is destroyed.
// Exclusive mode outlives the child while another descriptor keeps the terminal open. Make and
// destroy on the test's main thread.
class PortHolderProcess {
  public:
    enum class Hold {
        LockAndExclusive,  // an exclusive flock and TIOCEXCL, as this program's own open
        ExclusiveOnly,     // TIOCEXCL alone
    };

    // Forks the child that opens `path`, holds it as `hold` says and sets its command name to
    // `name` (15 characters at most); WaitUntilHolding tells whether that worked.
    PortHolderProcess(const std::string& path, const std::string& name, Hold hold);
    PortHolderProcess(const PortHolderProcess&) = delete;
    PortHolderProcess& operator=(const PortHolderProcess&) = delete;
    // Kills and reaps the child.
    ~PortHolderProcess();

    // Waits up to `timeout` for the child to report. True when it holds the port; false, with
    // the errno of its failing step in `failure` (0 when it did not answer), otherwise.
    bool WaitUntilHolding(int& failure, std::chrono::milliseconds timeout = kChildPatience);

    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int readyFd_ = -1;
};

// Whether this process may change its user (it runs as root).
bool CanRunAsOtherUser();

// Runs a copy of `program` (placed in a new folder that anyone may read) with `arguments` as user
// nobody: its user and group, no other groups. Returns what it wrote to its standard output;
// nothing when it could not be started or did not end within `timeout` (it is killed then).
// Needs CanRunAsOtherUser(). Test's main thread.
std::optional<std::string> RunAsNobody(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds timeout = kChildPatience);

}  // namespace drel::test
