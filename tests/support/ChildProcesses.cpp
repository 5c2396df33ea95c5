#include "ChildProcesses.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace drel::test {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` is readable (or at its end) or `deadline` passes. True when it is.
bool ReadableBefore(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

void KillAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The child's part of PortHolderProcess: only async-signal-safe calls, as the test process may
// have other threads. Reports 0 or the errno of the failing step on `readyFd`, then waits to be
// killed.
[[noreturn]] void HoldPort(const char* path, const char* name, PortHolderProcess::Hold hold,
                           int readyFd) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int result = 0;
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 ||
        (hold == PortHolderProcess::Hold::LockAndExclusive && flock(fd, LOCK_EX | LOCK_NB) != 0) ||
        ioctl(fd, TIOCEXCL) != 0 || prctl(PR_SET_NAME, name) != 0) {
        result = errno != 0 ? errno : EIO;
    }
    if (write(readyFd, &result, sizeof result) != sizeof result || result != 0) {
        _exit(1);
    }
    for (;;) {
        pause();
    }
}

// The child's part of RunAsNobody: only async-signal-safe calls until the exec.
[[noreturn]] void ExecAsUser(uid_t uid, gid_t gid, int outFd, char* const* argv) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (dup2(outFd, STDOUT_FILENO) < 0 || setgroups(0, nullptr) != 0 || setgid(gid) != 0 ||
        setuid(uid) != 0) {
        _exit(126);
    }
    execv(argv[0], argv);
    _exit(127);
}

// A new folder, and a copy of `program` in it, that anyone may read and run. The folder's path,
// or nothing.
std::optional<std::string> PublicCopyOf(const std::string& program) {
    char pattern[] = "/tmp/drel-probe-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return std::nullopt;
    }
    const std::filesystem::path folder = pattern;
    const std::filesystem::path copy = folder / std::filesystem::path(program).filename();
    std::error_code error;
    std::filesystem::copy_file(program, copy, error);
    if (error || chmod(pattern, 0755) != 0 || chmod(copy.c_str(), 0755) != 0) {
        std::filesystem::remove_all(folder, error);
        return std::nullopt;
    }
    return folder.string();
}

// Reads `fd` to its end; nothing when `deadline` passes first.
std::optional<std::string> ReadToEnd(int fd, Clock::time_point deadline) {
    std::string text;
    char buffer[4096];
    for (;;) {
        if (!ReadableBefore(fd, deadline)) {
            return std::nullopt;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return text;
        }
        if (got < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (got > 0) {
            text.append(buffer, static_cast<size_t>(got));
        }
    }
}

}  // namespace

PortHolderProcess::PortHolderProcess(const std::string& path, const std::string& name, Hold hold) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        HoldPort(path.c_str(), name.c_str(), hold, ready[1]);
    }
    close(ready[1]);
    readyFd_ = ready[0];
}

PortHolderProcess::~PortHolderProcess() {
    if (pid_ > 0) {
        KillAndReap(pid_);
    }
    if (readyFd_ >= 0) {
        close(readyFd_);
    }
}

bool PortHolderProcess::WaitUntilHolding(int& failure, std::chrono::milliseconds timeout) {
    failure = 0;
    if (pid_ <= 0 || !ReadableBefore(readyFd_, Clock::now() + timeout)) {
        return false;
    }
    int result = 0;
    if (read(readyFd_, &result, sizeof result) != sizeof result) {
        return false;
    }
    failure = result;
    return result == 0;
}

bool CanRunAsOtherUser() {
    return geteuid() == 0;
}

std::optional<std::string> RunAsNobody(const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::chrono::milliseconds timeout) {
    const passwd* nobody = getpwnam("nobody");
    const std::optional<std::string> folder = PublicCopyOf(program);
    int out[2] = {-1, -1};
    if (!folder) {
        return std::nullopt;
    }
    std::error_code error;
    if (nobody == nullptr || pipe2(out, O_CLOEXEC) != 0) {
        std::filesystem::remove_all(*folder, error);
        return std::nullopt;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    std::vector<std::string> words{*folder + "/" +
                                   std::filesystem::path(program).filename().string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        ExecAsUser(uid, gid, out[1], argv.data());
    }
    close(out[1]);
    std::optional<std::string> output;
    if (pid > 0) {
        output = ReadToEnd(out[0], Clock::now() + timeout);
        KillAndReap(pid);  // ended already, unless it overran
    }
    close(out[0]);
    std::filesystem::remove_all(*folder, error);
    return output;
}

}  // namespace drel::test
