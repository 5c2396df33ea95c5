// drel-load on a board served over the network: drel-devsim plays the board on a
// pseudo-terminal that ser2net serves on 127.0.0.1, by Telnet with the COM-PORT option or as raw
// TCP. Each run has a deadline; none may hang.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/DrelLoadFixture.h"
#include "cli/LoadProcess.h"
#include "devsim/DevsimProcess.h"
#include "support/Ser2netServer.h"

namespace {

using drel::cli::test::DrelLoad;
using drel::cli::test::DrelLoadTest;
using drel::devsim::test::Clock;
using drel::devsim::test::kPatience;
using drel::devsim::test::ReadLine;
using drel::devsim::test::WaitUntil;
using drel::test::Ser2netServer;

// A second descriptor on the board's terminal, beside the server's, to read the line settings
// the server made.
class BoardLine {
  public:
    explicit BoardLine(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    BoardLine(const BoardLine&) = delete;
    BoardLine& operator=(const BoardLine&) = delete;
    ~BoardLine() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    bool IsOpen() const { return fd_ >= 0; }

    // Whether the line runs at `speed` with two stop bits or not, as `twoStopBits` says.
    bool Is(speed_t speed, bool twoStopBits) const {
        termios line{};
        return tcgetattr(fd_, &line) == 0 && cfgetospeed(&line) == speed &&
               ((line.c_cflag & CSTOPB) != 0) == twoStopBits;
    }

  private:
    int fd_;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class NetworkLoadTest : public DrelLoadTest,
                        public testing::WithParamInterface<Ser2netServer::Mode> {};

TEST_P(NetworkLoadTest, LoadsTwoImages) {
    const std::string first = MakeImage("first.bin", 4, 4096);
    const std::string second = MakeImage("second.bin", 8, 8192);
    Ser2netServer server(StartBoard(), GetParam());
    ASSERT_TRUE(server.Started());
    DrelLoad load({server.Name(), first, second, "--until", "load ok: 8 records"}, configHome_);
    const DrelLoad::Result result = load.Finish(Clock::now() + kPatience);

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Count(result.out, "load ok: "), 2u) << result.out;
    EXPECT_NE(result.out.find("load ok: 4 records, 16384 bytes"), std::string::npos);
    EXPECT_NE(result.out.find("load ok: 8 records, 65536 bytes"), std::string::npos);
    EXPECT_NE(result.err.find("first.bin loaded: 4 records, 16459 bytes"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("second.bin loaded: 8 records, 65659 bytes"), std::string::npos);
}

// The server going away is the board going away: the load ends at once with its status.
TEST_P(NetworkLoadTest, ServerStoppedMidLoadEndsWithTheBoardGoneStatus) {
    // 16 records of 16 KiB at 11520 bytes a second take more than twenty seconds.
    const std::string image = MakeImage("slow.bin", 16, 16384);
    Ser2netServer server(StartBoard({"--pace", "115200"}), GetParam());
    ASSERT_TRUE(server.Started());
    const auto deadline = Clock::now() + kPatience;
    DrelLoad load({server.Name(), image}, configHome_);
    ASSERT_TRUE(load.AwaitErr(" %  ", deadline));
    server.Stop();
    const DrelLoad::Result result = load.Finish(deadline);

    EXPECT_EQ(result.status, 6) << result.err;
    EXPECT_NE(result.err.find(server.Name() + " port read error occured"), std::string::npos)
        << result.err;
}

INSTANTIATE_TEST_SUITE_P(Modes, NetworkLoadTest,
                         testing::Values(Ser2netServer::Mode::Rfc2217, Ser2netServer::Mode::RawTcp),
                         [](const testing::TestParamInfo<Ser2netServer::Mode>& info) {
                             return info.param == Ser2netServer::Mode::Rfc2217 ? "Rfc2217"
                                                                               : "RawTcp";
                         });

TEST_F(DrelLoadTest, LineSettingsReachTheServedTerminalOverRfc2217) {
    const std::string image = MakeImage("any.bin", 1, 16);
    const std::string terminal = StartBoard();
    BoardLine line(terminal);
    ASSERT_TRUE(line.IsOpen());
    ASSERT_FALSE(line.Is(B57600, true)) << "the line is set so before drel-load runs";
    Ser2netServer server(terminal, Ser2netServer::Mode::Rfc2217);
    ASSERT_TRUE(server.Started());
    const auto deadline = Clock::now() + kPatience;
    // Serving keeps the connection up until the test ends it.
    DrelLoad load(
        {"--serve", "--baud", "57600", "--stop-bits", "2", "--timeout", "20", server.Name(), image},
        configHome_);

    EXPECT_TRUE(WaitUntil([&] { return line.Is(B57600, true); }, deadline))
        << "the line is not at 57600 baud with two stop bits";
    ASSERT_TRUE(load.Signal(SIGTERM));
    const DrelLoad::Result result = load.Finish(deadline);
    EXPECT_EQ(result.status, 130) << result.err;
}

// A file the board at the other end of the network asks for, whatever drel-load names.
struct Request {
    const char* name;
    const char* asked;  // under the test's folder
    int status;
    std::string says;    // stderr holds the port's name, ": the board asked for ", the path, this
    std::string result;  // the board's result line begins so
};

void PrintTo(const Request& request, std::ostream* os) {
    *os << request.name;
}

class NetworkRequestTest : public DrelLoadTest, public testing::WithParamInterface<Request> {};

TEST_P(NetworkRequestTest, OnlyTheImagesAndFilesBesideThemAreSent) {
    const Request& request = GetParam();
    std::filesystem::create_directories(configHome_ / "images");
    std::filesystem::create_directories(configHome_ / "other");
    const std::string image = MakeImage("images/allowed.bin", 1, 1024);
    MakeImage("images/beside.bin", 1, 1024);
    const std::string secret = MakeImage("other/secret.bin", 1, 1024);
    std::filesystem::create_symlink(secret, configHome_ / "images" / "link.bin");
    const std::string asked = (configHome_ / request.asked).string();
    Ser2netServer server(StartBoard({"--ask", asked}), Ser2netServer::Mode::Rfc2217);
    ASSERT_TRUE(server.Started());
    const auto deadline = Clock::now() + kPatience;
    DrelLoad load({server.Name(), image}, configHome_);
    const DrelLoad::Result result = load.Finish(deadline);

    EXPECT_NE(result.out.find(":F=" + asked + "\r\nstart download"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.status, request.status) << result.err;
    if (!request.says.empty()) {
        EXPECT_NE(result.err.find(server.Name() + ": the board asked for " + asked + request.says),
                  std::string::npos)
            << result.err;
    }
    const std::string boardResult = ReadLine(board_->err(), deadline);
    EXPECT_TRUE(boardResult.starts_with(request.result)) << boardResult;
    if (request.status != 0) {
        // Not one byte of the file reached the board.
        EXPECT_NE(boardResult.find("waiting for the signature"), std::string::npos) << boardResult;
    }
}

const std::string kRefused =
    ", which is not a download file or in the folder of one; a board on a network port is sent "
    "nothing else";

const Request kRequests[] = {
    {"BesideTheImage", "images/beside.bin", 0, "", "load ok: 1 records"},
    {"InAnotherFolder", "other/secret.bin", 5, kRefused, "load FAILED: "},
    {"OutOfTheFolderByDotDot", "images/../other/secret.bin", 5, kRefused, "load FAILED: "},
    {"ThroughALinkInTheFolder", "images/link.bin", 5, kRefused, "load FAILED: "},
};

INSTANTIATE_TEST_SUITE_P(Requests, NetworkRequestTest, testing::ValuesIn(kRequests),
                         [](const testing::TestParamInfo<Request>& info) {
                             return info.param.name;
                         });

}  // namespace
