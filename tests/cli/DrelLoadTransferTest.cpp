// drel-load sending a file with YMODEM, run as a script runs it: to lrzsz's rb across a relayed
// line, and to a receiver the test plays on a pseudo-terminal, which cancels, stops answering
// or goes away on cue. Each run has a deadline; none may hang. A receiver that never starts
// (60 s) or stops answering (ten 10 s retries) takes too long for a process; the engine's tests
// run those on a clock of their own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/DrelLoadFixture.h"
#include "cli/LoadProcess.h"
#include "support/LrzszReceiver.h"
#include "support/PseudoTerminal.h"
#include "support/PtyRelay.h"

namespace {

namespace fs = std::filesystem;
using drel::cli::test::DrelLoad;
using drel::devsim::test::Clock;
using drel::devsim::test::kPatience;
using drel::devsim::test::MillisecondsLeft;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kCan = 0x18;
constexpr std::string_view kCommand = "loady 0x82000000\r";

Bytes SomeBytes(size_t size) {
    Bytes bytes(size);
    uint32_t state = 11;
    for (uint8_t& byte : bytes) {
        state = state * 1664525 + 1013904223;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

std::string LastLine(std::string text) {
    if (text.ends_with('\n')) {
        text.pop_back();
    }
    const size_t newline = text.rfind('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

// A JSON object read just far enough to check it: each top-level member's value as its text.
// None when the text is not one well-formed object.
class JsonObject {
  public:
    static std::optional<std::map<std::string, std::string>> Parse(std::string_view text) {
        JsonObject reader(text);
        std::map<std::string, std::string> members;
        if (!reader.Object(&members) || reader.at_ != text.size()) {
            return std::nullopt;
        }
        return members;
    }

  private:
    explicit JsonObject(std::string_view text) : text_(text) {}

    bool Eat(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    // An object; its members go to `members` when given.
    bool Object(std::map<std::string, std::string>* members) {
        if (!Eat('{')) {
            return false;
        }
        if (Eat('}')) {
            return true;
        }
        do {
            std::string name;
            if (!String(&name) || !Eat(':')) {
                return false;
            }
            const size_t start = at_;
            if (!Value()) {
                return false;
            }
            if (members != nullptr) {
                (*members)[name] = std::string(text_.substr(start, at_ - start));
            }
        } while (Eat(','));
        return Eat('}');
    }

    bool Array() {
        if (!Eat('[')) {
            return false;
        }
        if (Eat(']')) {
            return true;
        }
        do {
            if (!Value()) {
                return false;
            }
        } while (Eat(','));
        return Eat(']');
    }

    // A string, unescaped into `into` when given (escapes other than \" and \\ kept as written).
    bool String(std::string* into) {
        if (!Eat('"')) {
            return false;
        }
        while (at_ < text_.size() && text_[at_] != '"') {
            const char c = text_[at_++];
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c == '\\' && at_ == text_.size()) {
                return false;
            }
            const char kept = c == '\\' ? text_[at_++] : c;
            if (into != nullptr) {
                into->push_back(kept);
            }
        }
        return Eat('"');
    }

    bool Number() {
        const size_t start = at_;
        Eat('-');
        while (at_ < text_.size() &&
               std::string_view("0123456789.eE+-").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
        return at_ > start && text_[at_ - 1] != '-';
    }

    bool Value() {
        if (at_ == text_.size()) {
            return false;
        }
        switch (text_[at_]) {
            case '{':
                return Object(nullptr);
            case '[':
                return Array();
            case '"':
                return String(nullptr);
            default:
                break;
        }
        for (const std::string_view word : {"true", "false", "null"}) {
            if (text_.substr(at_).starts_with(word)) {
                at_ += word.size();
                return true;
            }
        }
        return Number();
    }

    std::string_view text_;
    size_t at_ = 0;
};

// The receiving end played by the test on a pseudo-terminal's master, drel-load on its slave,
// asking for CRC-16 as receivers do.
class PlayedReceiver {
  public:
    bool IsOpen() const { return line_.IsOpen(); }
    const std::string& Port() const { return line_.SlavePath(); }

    bool Send(uint8_t byte) { return line_.Write(&byte, 1); }

    // Reads `count` bytes, or what came of them by the deadline.
    std::string ReadText(size_t count, Clock::time_point deadline) {
        const Bytes bytes =
            line_.Read(count, std::chrono::milliseconds(MillisecondsLeft(deadline)));
        return {bytes.begin(), bytes.end()};
    }

    // Asks with 'C' until the first packet begins, once a second as receivers do: a request that
    // comes before the transfer has started is not one the sender sees. Returns block 0.
    Bytes Start(Clock::time_point deadline) {
        while (Clock::now() < deadline) {
            Send('C');
            pollfd wait{line_.MasterFd(), POLLIN, 0};
            if (poll(&wait, 1, std::min(1000, MillisecondsLeft(deadline))) == 1) {
                last_ = ReadPacket(deadline);
                return last_;
            }
        }
        return {};
    }

    // Reads the next packet whole (or EOT alone), passing over repeats of the one before: a
    // request repeated while the sender was slow to answer the first has it sent twice.
    Bytes Next(Clock::time_point deadline) {
        Bytes packet;
        do {
            packet = ReadPacket(deadline);
        } while (!packet.empty() && packet == last_);
        last_ = packet;
        return packet;
    }

    // Reads what comes until `count` CANs have been seen in it or the deadline passes; returns
    // the CANs seen.
    size_t AwaitCans(size_t count, Clock::time_point deadline) {
        size_t cans = 0;
        while (cans < count) {
            const Bytes bytes =
                line_.Read(1, std::chrono::milliseconds(MillisecondsLeft(deadline)));
            if (bytes.empty()) {
                break;
            }
            cans += bytes[0] == kCan ? 1 : 0;
        }
        return cans;
    }

    // The receiver's device goes away: its end of the line closes.
    void HangUp() { line_.HangUp(); }

    // Holds off what drel-load writes, as a device that drops CTS does, or lets it go again.
    bool HoldOff(bool hold) { return tcflow(line_.SlaveFd(), hold ? TCOOFF : TCOON) == 0; }

  private:
    Bytes ReadPacket(Clock::time_point deadline) {
        const auto left = [&] { return std::chrono::milliseconds(MillisecondsLeft(deadline)); };
        Bytes packet = line_.Read(1, left());
        if (packet.empty() || (packet[0] != kSoh && packet[0] != kStx)) {
            return packet;
        }
        // Block number and its complement, the data, CRC-16.
        const size_t rest = 2 + (packet[0] == kStx ? 1024 : 128) + 2;
        const Bytes body = line_.Read(rest, left());
        packet.insert(packet.end(), body.begin(), body.end());
        return packet;
    }

    drel::test::PseudoTerminal line_;
    Bytes last_;
};

// The data a packet carries: after the start byte and the block number and its complement,
// before the CRC.
Bytes DataOf(const Bytes& packet) {
    return packet.size() < 5 ? Bytes{} : Bytes(packet.begin() + 3, packet.end() - 2);
}

class DrelLoadTransferTest : public drel::cli::test::DrelLoadTest {
  protected:
    // Writes `bytes` to a file named `name` in the test's folder and returns its path.
    std::string WriteFile(const std::string& name, const Bytes& bytes) {
        const fs::path path = configHome_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Starts drel-load sending `file` to the played receiver, typing kCommand first, with the
    // options `extra`; returns once the receiver has read the command, which shows drel-load
    // has its port open.
    void StartSending(const std::string& file, std::optional<DrelLoad>& load,
                      Clock::time_point deadline, const std::vector<std::string>& extra = {}) {
        ASSERT_TRUE(receiver_.IsOpen());
        std::vector<std::string> args{"--command", std::string(kCommand)};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"--ymodem", file, receiver_.Port()});
        load.emplace(args, configHome_);
        ASSERT_EQ(receiver_.ReadText(kCommand.size(), deadline), kCommand);
    }

    // Plays the receiver up to the first data block, which it reads and leaves unanswered.
    void ReceiveUpToFirstData(Clock::time_point deadline) {
        const Bytes header = receiver_.Start(deadline);
        ASSERT_EQ(header.size(), 133u);
        ASSERT_TRUE(receiver_.Send(kAck));
        ASSERT_TRUE(receiver_.Send('C'));
        const Bytes first = receiver_.Next(deadline);
        ASSERT_EQ(first.size(), 1029u);
        ASSERT_EQ(first[1], 1);
    }

    PlayedReceiver receiver_;
};

// The whole file reaches rb under its own name, and the JSON report says how much went.
TEST_F(DrelLoadTransferTest, RbReceivesTheFileWholeAndTheReportSaysSo) {
    ASSERT_TRUE(fs::exists("/usr/bin/rb")) << "lrzsz is not installed";
    drel::test::PtyRelay relay;
    ASSERT_TRUE(relay.IsOpen());
    drel::test::ReceiverFolder folder;
    const Bytes bytes = SomeBytes(40 * 1024 + 77);
    const std::string file = WriteFile("firmware.img", bytes);
    const pid_t rb = drel::test::StartReceiver({"/usr/bin/rb", "-b"}, relay.FarPath(), folder);
    ASSERT_GT(rb, 0);
    const int rbExit = static_cast<int>(syscall(SYS_pidfd_open, rb, 0));
    ASSERT_GE(rbExit, 0);
    relay.Start();
    const auto deadline = Clock::now() + 3 * kPatience;

    DrelLoad load({"--json", "--ymodem", file, relay.ProgramPath()}, configHome_);
    const DrelLoad::Result result = load.Finish(deadline);
    pollfd ended{rbExit, POLLIN, 0};
    const bool rbEnded = poll(&ended, 1, MillisecondsLeft(deadline)) == 1;
    int rbStatus = -1;
    if (!rbEnded) {
        kill(rb, SIGKILL);
    }
    waitpid(rb, &rbStatus, 0);
    close(rbExit);

    EXPECT_EQ(result.status, 0) << result.err << folder.LogTail();
    EXPECT_TRUE(rbEnded && WIFEXITED(rbStatus) && WEXITSTATUS(rbStatus) == 0) << folder.LogTail();
    EXPECT_EQ(drel::test::ReadWholeFile(folder.In() / "firmware.img"), bytes) << folder.LogTail();
    const std::string report = LastLine(result.out);
    const auto members = JsonObject::Parse(report);
    ASSERT_TRUE(members) << report;
    EXPECT_EQ(members->at("exit_status"), "0") << report;
    EXPECT_EQ(members->at("size"), std::to_string(bytes.size())) << report;
    EXPECT_EQ(members->at("bytes_sent"), members->at("size")) << report;
    EXPECT_EQ(members->at("protocol"), "\"YMODEM\"") << report;
    EXPECT_NE(result.err.find("YMODEM: sent firmware.img, 41037 bytes"), std::string::npos)
        << result.err;
}

// The command starts the board's receiver: it comes before anything of the transfer, and the
// transfer then runs to its end.
TEST_F(DrelLoadTransferTest, TheCommandComesFirstAndTheFileFollows) {
    const Bytes bytes = SomeBytes(1024 + 76);  // one 1K block and a 128-byte tail
    const std::string file = WriteFile("small.bin", bytes);
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline));

    const Bytes header = DataOf(receiver_.Start(deadline));
    ASSERT_EQ(header.size(), 128u);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 15), std::string("small.bin\0"
                                                                            "1100 ",
                                                                            15));
    ASSERT_TRUE(receiver_.Send(kAck));
    ASSERT_TRUE(receiver_.Send('C'));
    Bytes received;
    Bytes packet;
    while ((packet = receiver_.Next(deadline)).size() > 1) {
        const Bytes data = DataOf(packet);
        received.insert(received.end(), data.begin(), data.end());
        ASSERT_TRUE(receiver_.Send(kAck));
    }
    ASSERT_EQ(packet, Bytes{kEot});
    ASSERT_TRUE(receiver_.Send(kAck));
    ASSERT_TRUE(receiver_.Send('C'));
    const Bytes batchEnd = DataOf(receiver_.Next(deadline));
    EXPECT_EQ(batchEnd, Bytes(128, 0)) << "the batch does not end with an empty block 0";
    ASSERT_TRUE(receiver_.Send(kAck));
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 0) << result.err;
    ASSERT_GE(received.size(), bytes.size());
    received.resize(bytes.size());  // the last block's padding
    EXPECT_EQ(received, bytes);
}

TEST_F(DrelLoadTransferTest, TheReceiversCancelEndsTheRunWithItsStatus) {
    const std::string file = WriteFile("image.bin", SomeBytes(8192));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline, {"--json"}));
    ASSERT_EQ(receiver_.Start(deadline).size(), 133u);
    ASSERT_TRUE(receiver_.Send(kCan));
    ASSERT_TRUE(receiver_.Send(kCan));
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 8) << result.err;
    EXPECT_NE(result.err.find("YMODEM: image.bin not sent: the receiver cancelled"),
              std::string::npos)
        << result.err;
    const std::string report = LastLine(result.out);
    const auto members = JsonObject::Parse(report);
    ASSERT_TRUE(members) << report;
    EXPECT_EQ(members->at("exit_status"), "8") << report;
    EXPECT_EQ(members->at("bytes_sent"), "0") << report;
}

// A file cut short while it is sent: the receiver is stopped, and the run ends as for a file
// that does not read.
TEST_F(DrelLoadTransferTest, AFileCutShortMidTransferStopsTheReceiverAndEndsWith5) {
    const std::string file = WriteFile("image.bin", SomeBytes(64 * 1024));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline));
    ASSERT_NO_FATAL_FAILURE(ReceiveUpToFirstData(deadline));
    fs::resize_file(file, 1024);
    ASSERT_TRUE(receiver_.Send(kAck));
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 5) << result.err;
    EXPECT_NE(result.err.find("YMODEM: image.bin not sent: the file could not be read"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(receiver_.AwaitCans(2, deadline), 2u);
}

// Each signal that interrupts a run stops the receiver too: it is sent CANs.
class DrelLoadInterruptTest : public DrelLoadTransferTest,
                              public testing::WithParamInterface<int> {};

TEST_P(DrelLoadInterruptTest, StopsTheReceiverAndEndsWith130) {
    const std::string file = WriteFile("image.bin", SomeBytes(64 * 1024));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline));
    ASSERT_NO_FATAL_FAILURE(ReceiveUpToFirstData(deadline));
    ASSERT_TRUE(load->Signal(GetParam()));
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_NE(result.err.find("interrupted"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("YMODEM: image.bin not sent: cancelled"), std::string::npos)
        << result.err;
    EXPECT_EQ(receiver_.AwaitCans(2, deadline), 2u);
}

INSTANTIATE_TEST_SUITE_P(Signals, DrelLoadInterruptTest, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

// A line that holds every write off, as one whose flow control is not answered does, must not
// keep an interrupted run from ending: not when it holds the command, nor a packet or the CANs.
class DrelLoadHeldOffTest : public DrelLoadTransferTest,
                            public testing::WithParamInterface<bool> {};

TEST_P(DrelLoadHeldOffTest, AnInterruptStillEndsTheRun) {
    const bool holdTheCommand = GetParam();
    const std::string file = WriteFile("image.bin", SomeBytes(64 * 1024));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    if (holdTheCommand) {
        ASSERT_TRUE(receiver_.HoldOff(true));
        load.emplace(std::vector<std::string>{"--command", std::string(kCommand), "--ymodem", file,
                                              receiver_.Port()},
                     configHome_);
    } else {
        ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline));
        ASSERT_EQ(receiver_.Start(deadline).size(), 133u);
        ASSERT_TRUE(receiver_.HoldOff(true));
        ASSERT_TRUE(receiver_.Send(kAck));
        ASSERT_TRUE(receiver_.Send('C'));  // the data block, or the CANs, meet the hold
    }
    // The first progress line shows the run waiting for the transfer.
    ASSERT_TRUE(load->AwaitErr("0 %", deadline));
    ASSERT_TRUE(load->Signal(SIGINT));
    const DrelLoad::Result result = load->Finish(deadline);
    receiver_.HoldOff(false);

    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_NE(result.err.find("YMODEM: image.bin not sent: cancelled"), std::string::npos)
        << result.err;
}

INSTANTIATE_TEST_SUITE_P(Writes, DrelLoadHeldOffTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "TheCommand" : "TheData");
                         });

// Before the receiver has started the line may already hold it, waiting: it is stopped too.
TEST_F(DrelLoadTransferTest, AnInterruptBeforeTheReceiverStartsStillCancelsIt) {
    const std::string file = WriteFile("image.bin", SomeBytes(8192));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline, {"--json"}));
    ASSERT_TRUE(load->Signal(SIGINT));
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_EQ(receiver_.AwaitCans(2, deadline), 2u) << result.err;
    const std::string report = LastLine(result.out);
    const auto members = JsonObject::Parse(report);
    ASSERT_TRUE(members) << report;
    EXPECT_EQ(members->at("exit_status"), "130") << report;
}

// A file that cannot be sent is found before the port opens: not even the command goes.
TEST_F(DrelLoadTransferTest, AFileThatDoesNotReadEndsWith5AndSendsNothing) {
    ASSERT_TRUE(receiver_.IsOpen());
    fs::create_directory(configHome_ / "folder");
    for (const fs::path& file : {configHome_ / "absent.bin", configHome_ / "folder"}) {
        SCOPED_TRACE(file.string());
        DrelLoad load(
            {"--command", std::string(kCommand), "--ymodem", file.string(), receiver_.Port()},
            configHome_);
        const DrelLoad::Result result = load.Finish(Clock::now() + kPatience);

        EXPECT_EQ(result.status, 5) << result.err;
        EXPECT_NE(result.err.find("can not open " + file.string() + ": "), std::string::npos)
            << result.err;
        // Nothing can show that nothing was sent but a while without it.
        EXPECT_EQ(receiver_.ReadText(1, Clock::now() + std::chrono::milliseconds(250)), "");
    }
}

TEST_F(DrelLoadTransferTest, APortThatGoesAwayMidTransferEndsWith6) {
    const std::string file = WriteFile("image.bin", SomeBytes(64 * 1024));
    const auto deadline = Clock::now() + kPatience;
    std::optional<DrelLoad> load;
    ASSERT_NO_FATAL_FAILURE(StartSending(file, load, deadline));
    ASSERT_NO_FATAL_FAILURE(ReceiveUpToFirstData(deadline));
    receiver_.HangUp();
    const DrelLoad::Result result = load->Finish(deadline);

    EXPECT_EQ(result.status, 6) << result.err;
    EXPECT_NE(result.err.find("YMODEM: image.bin not sent: the port went away"), std::string::npos)
        << result.err;
}

}  // namespace
