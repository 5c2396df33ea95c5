// drel-load run as a script runs it, against drel-devsim: what it loads, what it prints and the
// exit status of every way a load can end. Each run has a deadline; none may hang.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/DrelLoadFixture.h"
#include "cli/LoadProcess.h"
#include "devsim/DevsimProcess.h"
#include "support/PseudoTerminal.h"

namespace {

using drel::cli::test::DrelLoad;
using drel::devsim::test::Clock;
using drel::devsim::test::kPatience;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

using DrelLoadTest = drel::cli::test::DrelLoadTest;

TEST_F(DrelLoadTest, LoadsOneImageAndWaitsForTheBoardsAnswer) {
    const std::string image = MakeImage("one.bin", 4, 4096);
    StartBoard();
    DrelLoad load({"BOARD", image, "--until", "load ok: 4 records"}, configHome_);
    const DrelLoad::Result result = load.Finish(Clock::now() + kPatience);

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(":F=" + image + "\r\nstart download"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("load ok: 4 records, 16384 bytes"), std::string::npos);
    EXPECT_NE(result.err.find("one.bin loaded: 4 records, 16459 bytes"), std::string::npos)
        << result.err;
    // Off a terminal, progress is a line at each 10 % passed: four records, four steps and the
    // end record's.
    EXPECT_EQ(Count(result.err, " %  "), 5u) << result.err;
    EXPECT_NE(result.err.find("100 %  16459 of 16459 bytes"), std::string::npos);
}

TEST_F(DrelLoadTest, LoadsTwoImagesAndReportsThemInJson) {
    const std::string first = MakeImage("first.bin", 4, 4096);
    const std::string second = MakeImage("second.bin", 8, 8192);
    StartBoard();
    DrelLoad load({"--json", "BOARD", first, second, "--until", "load ok: 8 records"}, configHome_);
    const DrelLoad::Result result = load.Finish(Clock::now() + kPatience);

    EXPECT_EQ(result.status, 0) << result.err;
    // One object on one line, and the board's text left out.
    EXPECT_EQ(result.out.front(), '{');
    EXPECT_EQ(Count(result.out, "\n"), 1u) << result.out;
    EXPECT_EQ(result.out.find("FW>"), std::string::npos);
    for (const std::string& field : std::vector<std::string>{
             "\"port\":\"BOARD\"", "\"baud\":115200", "\"path\":\"" + first + "\"",
             "\"size\":16459,\"records\":4,\"bytes_sent\":16459",
             "\"size\":65659,\"records\":8,\"bytes_sent\":65659", "\"exit_status\":0}"}) {
        EXPECT_NE(result.out.find(field), std::string::npos) << field << " in " << result.out;
    }
    EXPECT_EQ(Count(result.out, "\"result\":\"loaded\""), 2u);
}

// A way a run goes wrong, set up before drel-load starts.
struct Failure {
    const char* name;
    std::optional<std::vector<std::string>> board;  // the board's options; none: no board
    std::vector<std::string> image;                 // drel-mkimage's options; empty: no image
    std::vector<std::string> load;                  // drel-load's options besides port, image
    int status;
    std::string says;  // a line on stderr holds this
};

void PrintTo(const Failure& failure, std::ostream* os) {
    *os << failure.name;
}

class DrelLoadFailureTest : public DrelLoadTest, public testing::WithParamInterface<Failure> {};

TEST_P(DrelLoadFailureTest, EndsWithItsStatusAndSaysWhy) {
    const Failure& failure = GetParam();
    const std::string image = failure.image.empty()
                                  ? (configHome_ / "absent.bin").string()
                                  : MakeImage("image.bin", 8, 8192, failure.image);
    if (failure.board) {
        StartBoard(*failure.board);
    }
    std::vector<std::string> args{failure.board ? "BOARD" : "ABSENT", image};
    args.insert(args.end(), failure.load.begin(), failure.load.end());
    DrelLoad load(args, configHome_);
    const DrelLoad::Result result = load.Finish(Clock::now() + kPatience);

    EXPECT_EQ(result.status, failure.status) << result.err;
    EXPECT_NE(result.err.find(failure.says), std::string::npos) << result.err;
}

const std::vector<std::string> kPlainImage{"--seed", "1"};

const Failure kFailures[] = {
    {"NoCommandLineImage", std::nullopt, kPlainImage, {"--count", "2"}, 1, "give --serve too"},
    {"PortMissing", std::nullopt, kPlainImage, {}, 2, "ABSENT port can not open: "},
    {"NoHeaderRequest",
     std::vector<std::string>{"--no-header-request"},
     kPlainImage,
     {},
     3,
     "BOARD Request header time out"},
    {"NoRecordRequest",
     std::vector<std::string>{"--stop-after", "2"},
     kPlainImage,
     {"--record-timeout", "0.5"},
     4,
     "image.bin: no record request in time"},
    {"ImageMissing", std::vector<std::string>{}, {}, {}, 5, "can not open image file"},
    {"ImageTruncated",
     std::vector<std::string>{},
     {"--no-end-record"},
     {},
     5,
     "BOARD image file is incomplete"},
    // 65659 bytes at 11520 bytes a second take more than five seconds.
    {"OverallTimeout",
     std::vector<std::string>{"--pace", "115200"},
     kPlainImage,
     {"--timeout", "0.5"},
     7,
     "the time-out of 0.5 s has passed"},
    {"UntilNotSeen",
     std::vector<std::string>{},
     kPlainImage,
     {"--until", "NEVER", "--wait", "0.3"},
     7,
     "did not print \"NEVER\" within 0.3 s"},
};

INSTANTIATE_TEST_SUITE_P(Runs, DrelLoadFailureTest, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<Failure>& info) {
                             return info.param.name;
                         });

// Whether the port at `path` can be held exclusively, as drel-load holds it.
bool PortFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return free;
}

TEST_F(DrelLoadTest, SigtermMidLoadStopsTheTransferAndReleasesThePort) {
    const std::string image = MakeImage("slow.bin", 8, 8192);
    const std::string port = StartBoard({"--pace", "115200"});
    const auto deadline = Clock::now() + kPatience;
    DrelLoad load({"BOARD", image}, configHome_);
    ASSERT_TRUE(load.AwaitErr(" %  ", deadline));
    ASSERT_TRUE(load.Signal(SIGTERM));
    const DrelLoad::Result result = load.Finish(deadline);

    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_NE(result.err.find("interrupted (SIGTERM); the transfer is stopped"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("slow.bin: stopped"), std::string::npos);
    EXPECT_TRUE(PortFree(port));
}

TEST_F(DrelLoadTest, BoardGoneMidLoadEndsWithItsStatus) {
    const std::string image = MakeImage("slow.bin", 8, 8192);
    StartBoard({"--pace", "115200"});
    const auto deadline = Clock::now() + kPatience;
    DrelLoad load({"BOARD", image}, configHome_);
    ASSERT_TRUE(load.AwaitErr(" %  ", deadline));
    ASSERT_TRUE(board_->Signal(SIGKILL));  // its pseudo-terminal closes with it
    const DrelLoad::Result result = load.Finish(deadline);

    EXPECT_EQ(result.status, 6) << result.err;
    EXPECT_NE(result.err.find("BOARD port read error occured"), std::string::npos) << result.err;
}

// What the board prints reaches stdout byte for byte, NUL and 0xFF included, even though the
// terminal would leave out the NULs.
TEST_F(DrelLoadTest, TheBoardsBytesReachStdoutExactly) {
    const std::string image = MakeImage("any.bin", 1, 16);
    drel::test::PseudoTerminal board;
    ASSERT_TRUE(board.IsOpen());
    const auto deadline = Clock::now() + kPatience;
    DrelLoad load({"--wait", "0.5", board.SlavePath(), image}, configHome_);
    // The load command shows that drel-load has the port open; the board then prints and never
    // begins the load.
    const std::vector<uint8_t> typed = board.Read(2);
    EXPECT_EQ(std::string(typed.begin(), typed.end()), "l ");
    const std::string printed("\0A\xff\0\r\n", 6);
    ASSERT_TRUE(board.Write(printed));
    const DrelLoad::Result result = load.Finish(deadline);

    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_EQ(result.out, printed);
}

}  // namespace
