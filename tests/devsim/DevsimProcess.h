#pragma once

// Running drel-devsim and drel-mkimage as processes, and a host's end of the port, for the
// process tests of drel-devsim.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "WaitHelpers.h"

extern char** environ;

namespace drel::devsim::test {

namespace fs = std::filesystem;

// Generous: the device may run under a sanitizer on a busy machine.
inline constexpr auto kPatience = std::chrono::seconds(20);

// Reads one line, without its '\n'.
inline std::string ReadLine(int fd, Clock::time_point deadline) {
    std::string line;
    for (std::string byte; (byte = ReadBytes(fd, 1, deadline)).size() == 1 && byte != "\n";) {
        line += byte;
    }
    return line;
}

inline std::string ReadToEnd(int fd, Clock::time_point deadline) {
    std::string text;
    for (std::string chunk; !(chunk = ReadBytes(fd, 256, deadline)).empty();) {
        text += chunk;
    }
    return text;
}

inline bool WaitUntil(const std::function<bool()>& condition, Clock::time_point deadline) {
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Opens the port as a host does, purging both directions right after the open: the device
// takes the purge as its cue to greet. -1 on failure.
inline int OpenAsHost(const fs::path& port) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        tcflush(fd, TCIOFLUSH);
    }
    return fd;
}

// One run of drel-devsim (or of drel-mkimage) with its stdout and stderr on pipes. Should this
// test process die first, the device gets SIGTERM and still cleans up.
class Devsim {
  public:
    Devsim(const std::vector<std::string>& args, const fs::path& configHome,
           const std::string& program = DREL_DEVSIM_PATH) {
        std::vector<std::string> env{"XDG_CONFIG_HOME=" + configHome.string()};
        for (char** var = environ; *var != nullptr; ++var) {
            if (!std::string_view(*var).starts_with("XDG_CONFIG_HOME=")) {
                env.emplace_back(*var);
            }
        }
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        Spawn(Pointers(argv), Pointers(env));
    }

    ~Devsim() {
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

    pid_t pid() const { return pid_; }
    int out() const { return out_; }
    int err() const { return err_; }
    bool Signal(int signal) const { return kill(pid_, signal) == 0; }

    // The exit status, or nothing when the device does not end by the deadline; a death by
    // signal counts as 128 + the signal.
    std::optional<int> WaitForExit(Clock::time_point deadline) {
        int status = 0;
        if (!WaitReadable(pidFd_, deadline) || waitpid(pid_, &status, 0) != pid_) {
            return std::nullopt;
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent || dup2(outPipe[1], 1) < 0 || dup2(errPipe[1], 2) < 0) {
                _exit(127);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(outPipe[1]);
        close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
        ASSERT_GT(pid_, 0);
        pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        ASSERT_GE(pidFd_, 0) << std::strerror(errno);
    }

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool reaped_ = false;
};

// Each test gets a configuration folder of its own, so that published port links never meet.
class DevsimProcessTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "devsim-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        configHome_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(configHome_, ignored);
    }

    fs::path PortLink(const std::string& name) const {
        return configHome_ / "Ovex" / "drel" / "ports" / name;
    }

    fs::path configHome_;
};

}  // namespace drel::devsim::test
