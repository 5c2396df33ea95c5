#pragma once

// drel-load run as a process, as a script runs it: stdin from /dev/null, no display, its
// stdout and stderr on pipes read as they come.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/WaitHelpers.h"

extern char** environ;

namespace drel::cli::test {

using devsim::test::Clock;
using devsim::test::MillisecondsLeft;

class DrelLoad {
  public:
    // Starts drel-load with `args`, its port links found under `configHome`.
    DrelLoad(const std::vector<std::string>& args, const std::filesystem::path& configHome) {
        std::vector<std::string> env{"XDG_CONFIG_HOME=" + configHome.string()};
        for (char** var = environ; *var != nullptr; ++var) {
            const std::string_view entry(*var);
            if (!entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("DISPLAY=") &&
                !entry.starts_with("WAYLAND_DISPLAY=")) {
                env.emplace_back(entry);
            }
        }
        std::vector<std::string> argv{DREL_LOAD_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        Spawn(Pointers(argv), Pointers(env));
    }
    DrelLoad(const DrelLoad&) = delete;
    DrelLoad& operator=(const DrelLoad&) = delete;

    ~DrelLoad() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_, pidFd_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    bool Signal(int signal) const { return kill(pid_, signal) == 0; }

    // Reads what comes until stderr holds `text`; false when the deadline passes first or
    // drel-load has closed its outputs.
    bool AwaitErr(std::string_view text, Clock::time_point deadline) {
        while (errText_.find(text) == std::string::npos) {
            if (!ReadSome(deadline)) {
                return false;
            }
        }
        return true;
    }

    struct Result {
        std::optional<int> status;  // none when it did not end by the deadline
        std::string out;
        std::string err;
    };

    // Reads both outputs to their end and reaps drel-load; a death by signal counts as 128 +
    // the signal.
    Result Finish(Clock::time_point deadline) {
        while (ReadSome(deadline)) {
        }
        Result result{std::nullopt, outText_, errText_};
        pollfd exited{pidFd_, POLLIN, 0};
        int status = 0;
        if (poll(&exited, 1, MillisecondsLeft(deadline)) == 1 &&
            waitpid(pid_, &status, 0) == pid_) {
            reaped_ = true;
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return result;
    }

  private:
    static std::vector<char*> Pointers(std::vector<std::string>& strings) {
        std::vector<char*> pointers;
        for (std::string& s : strings) {
            pointers.push_back(s.data());
        }
        pointers.push_back(nullptr);
        return pointers;
    }

    void Spawn(std::vector<char*> argv, std::vector<char*> envp) {
        int outPipe[2];
        int errPipe[2];
        ASSERT_EQ(pipe2(outPipe, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
        const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(devNull, 0);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent || dup2(devNull, 0) < 0 || dup2(outPipe[1], 1) < 0 ||
                dup2(errPipe[1], 2) < 0) {
                _exit(127);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(devNull);
        close(outPipe[1]);
        close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
        ASSERT_GT(pid_, 0);
        pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        ASSERT_GE(pidFd_, 0);
    }

    // Reads what either output holds, waiting for it until the deadline; false once both have
    // ended or the deadline has passed.
    bool ReadSome(Clock::time_point deadline) {
        pollfd waits[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (out_ < 0 && err_ < 0) {
            return false;
        }
        if (poll(waits, 2, MillisecondsLeft(deadline)) <= 0) {
            return false;
        }
        ReadInto(waits[0], out_, outText_);
        ReadInto(waits[1], err_, errText_);
        return true;
    }

    static void ReadInto(const pollfd& wait, int& fd, std::string& text) {
        if (fd < 0 || wait.revents == 0) {
            return;
        }
        char chunk[4096];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0) {
            text.append(chunk, static_cast<size_t>(got));
        } else {
            close(fd);
            fd = -1;
        }
    }

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool reaped_ = false;
    std::string outText_;
    std::string errText_;
};

}  // namespace drel::cli::test
