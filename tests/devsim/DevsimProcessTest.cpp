// drel-devsim as a process: it publishes its port, serves a host that opens, closes and
// reopens the port, leaves no link behind, and refuses what it cannot do.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
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
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "WaitHelpers.h"
#include "tools/devsim/SimulatedDevice.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using drel::devsim::SimulatedDevice;
using drel::devsim::test::Clock;
using drel::devsim::test::ReadBytes;
using drel::devsim::test::WaitReadable;

// Generous: the device may run under a sanitizer on a busy machine.
constexpr auto kPatience = std::chrono::seconds(20);

const std::string kGreeting =
    std::string(SimulatedDevice::kBanner) + std::string(SimulatedDevice::kPrompt);

// Reads one line, without its '\n'.
std::string ReadLine(int fd, Clock::time_point deadline) {
    std::string line;
    for (std::string byte; (byte = ReadBytes(fd, 1, deadline)).size() == 1 && byte != "\n";) {
        line += byte;
    }
    return line;
}

std::string ReadToEnd(int fd, Clock::time_point deadline) {
    std::string text;
    for (std::string chunk; !(chunk = ReadBytes(fd, 256, deadline)).empty();) {
        text += chunk;
    }
    return text;
}

bool WaitUntil(const std::function<bool()>& condition, Clock::time_point deadline) {
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
int OpenAsHost(const fs::path& port) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        tcflush(fd, TCIOFLUSH);
    }
    return fd;
}

// One run of drel-devsim with its stdout and stderr on pipes. Should this test process die
// first, the device gets SIGTERM and still cleans up.
class Devsim {
  public:
    Devsim(const std::vector<std::string>& args, const fs::path& configHome) {
        std::vector<std::string> env{"XDG_CONFIG_HOME=" + configHome.string()};
        for (char** var = environ; *var != nullptr; ++var) {
            if (!std::string_view(*var).starts_with("XDG_CONFIG_HOME=")) {
                env.emplace_back(*var);
            }
        }
        std::vector<std::string> argv{DREL_DEVSIM_PATH};
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

TEST_F(DevsimProcessTest, ServesAHostThatClosesAndReopensThePort) {
    const fs::path link = PortLink("COM2");
    fs::create_directories(link.parent_path());
    fs::create_symlink("/nonexistent/left-by-an-earlier-run", link);

    Devsim devsim({"--as", "COM2"}, configHome_);
    const auto deadline = Clock::now() + kPatience;
    const std::string announcement = ReadLine(devsim.out(), deadline);
    const std::string prefix = "drel-devsim: COM2 -> ";
    ASSERT_TRUE(announcement.starts_with(prefix)) << announcement;
    EXPECT_EQ(fs::read_symlink(link).string(), announcement.substr(prefix.size()));

    for (int session = 1; session <= 2; ++session) {
        SCOPED_TRACE("session " + std::to_string(session));
        const int host = OpenAsHost(link);
        ASSERT_GE(host, 0) << std::strerror(errno);
        std::string seen = ReadBytes(host, kGreeting.size(), deadline);
        ASSERT_EQ(write(host, "ab\r", 3), 3);
        seen += ReadBytes(host, std::strlen("ab\r\nFW>"), deadline);
        EXPECT_EQ(seen, kGreeting + "ab\r\nFW>");
        close(host);
    }

    ASSERT_TRUE(devsim.Signal(SIGTERM));
    EXPECT_EQ(devsim.WaitForExit(deadline), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(DevsimProcessTest, EndsExclusiveModeWhenTheHostCloses) {
    Devsim devsim({}, configHome_);
    const auto deadline = Clock::now() + kPatience;
    const std::string announcement = ReadLine(devsim.out(), deadline);
    const std::string prefix = "drel-devsim: /dev/";
    ASSERT_TRUE(announcement.starts_with(prefix)) << announcement;
    EXPECT_FALSE(fs::exists(configHome_ / "Ovex")) << "published without --as";
    const std::string port = announcement.substr(std::strlen("drel-devsim: "));

    const int observer = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(observer, 0) << std::strerror(errno);
    const auto exclusive = [observer] {
        int on = -1;
        return ioctl(observer, TIOCGEXCL, &on) == 0 ? on : -1;
    };
    const int host = OpenAsHost(port);
    ASSERT_GE(host, 0) << std::strerror(errno);
    ASSERT_EQ(ioctl(host, TIOCEXCL), 0);
    EXPECT_EQ(exclusive(), 1);
    close(host);
    EXPECT_TRUE(WaitUntil([&] { return exclusive() == 0; }, deadline))
        << "a closed host's exclusive mode would lock out its next open";
    close(observer);
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;
    bool fileInTheWay;  // a plain file already holds the link's place
    int exitCode;
    std::string message;
};

void PrintTo(const Refusal& refusal, std::ostream* os) {
    *os << refusal.name;
}

class DevsimRefusalTest : public DevsimProcessTest, public testing::WithParamInterface<Refusal> {};

TEST_P(DevsimRefusalTest, ExplainsAndExits) {
    const Refusal& refusal = GetParam();
    const fs::path inTheWay = PortLink("COM2");
    if (refusal.fileInTheWay) {
        fs::create_directories(inTheWay.parent_path());
        std::ofstream(inTheWay) << "mine";
    }
    Devsim devsim(refusal.args, configHome_);
    const auto deadline = Clock::now() + kPatience;
    EXPECT_EQ(devsim.WaitForExit(deadline), refusal.exitCode);
    EXPECT_EQ(ReadToEnd(devsim.out(), deadline), "");
    const std::string errors = ReadToEnd(devsim.err(), deadline);
    EXPECT_TRUE(errors.starts_with("drel-devsim: ")) << errors;
    EXPECT_NE(errors.find(refusal.message), std::string::npos) << errors;
    if (refusal.fileInTheWay) {
        std::ifstream file(inTheWay);
        std::string content;
        file >> content;
        EXPECT_EQ(content, "mine");
    }
}

const Refusal kRefusals[] = {
    {"UnknownOption",
     {"--flood-everything"},
     false,
     2,
     "unknown option '--flood-everything'\nusage:"},
    {"PortNameMissing", {"--as"}, false, 2, "--as needs a port name\nusage:"},
    {"EmptyPortName", {"--as="}, false, 2, "--as needs a port name\nusage:"},
    {"PortNameWithSlash", {"--as", "../COM2"}, false, 2, "cannot be a port name"},
    {"FileInThePlaceOfTheLink", {"--as", "COM2"}, true, 1, "exists and is not a link"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DevsimRefusalTest, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) {
                             return info.param.name;
                         });

}  // namespace
