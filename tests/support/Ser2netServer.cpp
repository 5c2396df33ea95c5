#include "Ser2netServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace drel::test {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for the server looks again.
constexpr int kPollMs = 10;

sockaddr_in LocalAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port of 127.0.0.1 that nothing listens on now: the one the system gives a socket bound to
// port 0. 0 when there is none.
uint16_t FreeLocalPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address = LocalAddress(0);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// The ser2net executable: the first in PATH, else /usr/sbin's (not in every user's PATH).
// Empty when there is none.
std::string FindSer2net() {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH"); path != nullptr) {
        std::istringstream words{std::string(path)};
        for (std::string folder; std::getline(words, folder, ':');) {
            folders.push_back(folder.empty() ? "." : folder);
        }
    }
    folders.push_back("/usr/sbin");
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/ser2net";
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

// Reads from `fd` until its end or `deadline`, dropping what comes: the server has seen the
// close of our side once it closes its own.
void DrainUntilEnd(int fd, Clock::time_point deadline) {
    char buffer[256];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || read(fd, buffer, sizeof buffer) <= 0) {
            return;
        }
    }
}

// The child's part of Start: only async-signal-safe calls until the exec, as the test process
// may have other threads. Ends with the server should the test process die first.
[[noreturn]] void ExecServer(int inFd, int outFd, char* const* argv) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (dup2(inFd, STDIN_FILENO) < 0 || dup2(outFd, STDOUT_FILENO) < 0 ||
        dup2(outFd, STDERR_FILENO) < 0) {
        _exit(126);
    }
    execv(argv[0], argv);
    _exit(127);
}

std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("signal ") + strsignal(WTERMSIG(status));
    }
    return "status " + std::to_string(status);
}

}  // namespace

int ConnectToLocalPort(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const sockaddr_in address = LocalAddress(port);
    int result;
    do {
        result = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

Ser2netServer::Ser2netServer(std::string devicePath, Mode mode)
    : mode_(mode), program_(FindSer2net()), port_(FreeLocalPort()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "drel-ser2net-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        started_ = ::testing::AssertionFailure()
                   << "cannot make a folder for ser2net: " << std::strerror(errno);
        return;
    }
    folder_ = pattern;
    started_ = WriteConfiguration(devicePath);
    if (started_) {
        started_ = Start();
    }
}

Ser2netServer::~Ser2netServer() {
    Stop();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

::testing::AssertionResult Ser2netServer::WriteConfiguration(const std::string& devicePath) {
    if (port_ == 0) {
        return ::testing::AssertionFailure() << "no free TCP port on 127.0.0.1 for ser2net";
    }
    const std::string accepter = mode_ == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
    std::ofstream file(folder_ + "/ser2net.yaml");
    // kickolduser: a client that closes and reconnects at once may come back before the
    // server has taken in the close; without it the server would turn the new one away.
    file << "connection: &drel\n"
         << "  accepter: " << accepter << ",127.0.0.1," << port_ << "\n"
         << "  connector: serialdev(nouucplock=true)," << devicePath << ",115200n81,local\n"
         << "  options:\n"
         << "    kickolduser: true\n";
    file.close();
    if (!file) {
        return ::testing::AssertionFailure() << "cannot write " << folder_ << "/ser2net.yaml";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Ser2netServer::Start(std::chrono::milliseconds timeout) {
    if (IsRunning()) {
        return ::testing::AssertionSuccess();
    }
    if (folder_.empty() || port_ == 0) {
        return started_;
    }
    if (program_.empty()) {
        started_ = ::testing::AssertionFailure()
                   << "ser2net is not installed (not found in PATH nor in /usr/sbin); "
                      "scripts/install-deps installs it";
        return started_;
    }
    std::vector<std::string> words{program_, "-n", "-d", "-c", folder_ + "/ser2net.yaml"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string outputPath = folder_ + "/ser2net.out";
    const int inFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int outFd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (inFd >= 0 && outFd >= 0) {
        pid_ = fork();
        if (pid_ == 0) {
            ExecServer(inFd, outFd, argv.data());
        }
    }
    const int error = errno;
    for (const int fd : {inFd, outFd}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    if (pid_ <= 0) {
        pid_ = -1;
        started_ = ::testing::AssertionFailure()
                   << "cannot start " << program_ << ": " << std::strerror(error);
        return started_;
    }
    started_ = WaitUntilServing(timeout);
    return started_;
}

::testing::AssertionResult Ser2netServer::WaitUntilServing(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return ::testing::AssertionFailure()
                   << "ser2net ended (" << DescribeStatus(status) << ") before it served " << Name()
                   << "; it said:\n"
                   << Output();
        }
        if (const int probe = ConnectToLocalPort(port_); probe >= 0) {
            shutdown(probe, SHUT_WR);
            DrainUntilEnd(probe, std::min(deadline, Clock::now() + std::chrono::seconds(1)));
            close(probe);
            return ::testing::AssertionSuccess();
        }
        if (Clock::now() >= deadline) {
            Stop();
            return ::testing::AssertionFailure()
                   << "ser2net did not accept a connection on " << Name() << " within "
                   << timeout.count() << " ms; it said:\n"
                   << Output();
        }
        poll(nullptr, 0, kPollMs);
    }
}

void Ser2netServer::Stop() {
    if (!IsRunning()) {
        return;
    }
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kChildPatience;
    for (;;) {
        const pid_t ended = waitpid(pid_, nullptr, WNOHANG);
        if (ended == pid_ || (ended < 0 && errno != EINTR)) {
            break;
        }
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        poll(nullptr, 0, kPollMs);
    }
    pid_ = -1;
    started_ = ::testing::AssertionFailure() << "ser2net was stopped";
}

std::string Ser2netServer::Name() const {
    const std::string_view scheme = mode_ == Mode::Rfc2217 ? "rfc2217://" : "tcp://";
    return std::string(scheme) + "127.0.0.1:" + std::to_string(port_);
}

std::string Ser2netServer::Output() const {
    std::ifstream file(folder_ + "/ser2net.out");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace drel::test
