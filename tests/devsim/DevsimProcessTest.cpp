// drel-devsim as a process: it publishes its port, serves a host that opens, closes and
// reopens the port, leaves no link behind, and refuses what it cannot do.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DevsimProcess.h"
#include "tools/devsim/SimulatedDevice.h"

namespace {

namespace fs = std::filesystem;
using drel::devsim::SimulatedDevice;
using drel::devsim::test::Clock;
using drel::devsim::test::Devsim;
using drel::devsim::test::DevsimProcessTest;
using drel::devsim::test::kPatience;
using drel::devsim::test::OpenAsHost;
using drel::devsim::test::ReadBytes;
using drel::devsim::test::ReadLine;
using drel::devsim::test::ReadToEnd;
using drel::devsim::test::WaitUntil;

const std::string kGreeting =
    std::string(SimulatedDevice::kBanner) + std::string(SimulatedDevice::kPrompt);

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
     "unknown option '--flood-everything'\nUsage:"},
    {"PortNameMissing", {"--as"}, false, 2, "--as needs a port name\nUsage:"},
    {"EmptyPortName", {"--as="}, false, 2, "--as needs a port name\nUsage:"},
    {"PortNameWithSlash", {"--as", "../COM2"}, false, 2, "cannot be a port name"},
    {"FileInThePlaceOfTheLink", {"--as", "COM2"}, true, 1, "exists and is not a link"},
    {"PaceBelowTenBaud",
     {"--pace", "5"},
     false,
     2,
     "--pace needs a whole number from 10 to 100000000, not '5'\nUsage:"},
    {"ChunksWithoutSize", {"--chunks"}, false, 2, "--chunks needs a number\nUsage:"},
    {"StopAfterNotANumber",
     {"--stop-after=2x"},
     false,
     2,
     "--stop-after needs a whole number from 0 to 4294967295, not '2x'"},
    {"AskWithoutFile", {"--ask"}, false, 2, "--ask needs a file name\nUsage:"},
    {"FloodOfBothKinds",
     {"--flood", "1", "--flood-random", "100"},
     false,
     2,
     "--flood and --flood-random exclude each other\nUsage:"},
    {"LogInAMissingFolder", {"--log", "/nonexistent/drel/log"}, false, 1, "cannot write the log"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DevsimRefusalTest, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) {
                             return info.param.name;
                         });

}  // namespace
