// The session log of a connection on a real pseudo-terminal, the test playing the device: the log
// holds what the device sent, goes on across a reconnect, and a log that fails leaves the
// terminal working.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "connection/ConnectionLifecycle.h"
#include "connection/ConnectionLog.h"
#include "platform/PortNames.h"
#include "platform/SerialService.h"
#include "support/DigitPattern.h"
#include "support/PseudoTerminal.h"
#include "support/Recorders.h"
#include "support/Watchdog.h"

using namespace drel;
using namespace std::chrono_literals;

namespace {

struct Always : ReconnectChoice {
    bool ReconnectAutomatically() const override { return true; }
};

struct LoggedConnection {
    test::TemporaryConfigHome config;  // also the folder of the log files
    test::PseudoTerminal device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    Always reconnect;
    PortConnection c{platform::SystemSerialService(), ui};

    LoggedConnection() {
        EXPECT_TRUE(device.IsOpen());
        EXPECT_TRUE(config.MakePortLink("COM7", device.SlavePath()));
        c.outputView = &view;
    }
    ~LoggedConnection() { CloseConnection(c); }

    bool Open() {
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        return OpenConnection(c, "COM7", settings);
    }
    std::string File(const char* name) const { return config.Path() + "/" + name; }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Waits until the file at `path` holds `size` bytes: the log writes as it goes.
bool WaitForFileSize(const std::string& path, size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + test::kHangTimeout;
    std::error_code error;
    while (std::filesystem::file_size(path, error) < size || error) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

// The hex view's history takes the same reads: it holds the last MiB of them, byte for byte.
TEST(ConnectionLogTest, RawLogAndReceivedHistoryHoldExactlyWhatTheDeviceSent) {
    LoggedConnection p;
    ASSERT_TRUE(p.Open());
    const std::string path = p.File("raw.log");
    ASSERT_EQ(StartLog(p.c, path, LogFormat::Raw), "");
    std::mt19937 random(29);
    std::uniform_int_distribution<int> value(0, 255);
    std::vector<uint8_t> sent(ReceivedHistory::kCapacity + 4099);
    for (uint8_t& byte : sent) {
        byte = static_cast<uint8_t>(value(random));
    }
    ASSERT_TRUE(p.device.Write(sent.data(), sent.size(), test::kHangTimeout));
    // The view is no measure: the display rules drop some bytes.
    ASSERT_TRUE(WaitForFileSize(path, sent.size()));
    CloseConnection(p.c);  // stops the log, with everything the loop read in it
    EXPECT_FALSE(LogRunning(p.c));
    const std::string logged = ReadFile(path);
    ASSERT_EQ(logged.size(), sent.size());
    EXPECT_TRUE(logged == std::string(sent.begin(), sent.end()));
    EXPECT_TRUE(p.ui.Boxes().empty());

    const ReceivedHistory::Range kept = p.c.received.Kept();
    EXPECT_EQ(kept.end, sent.size());
    EXPECT_EQ(kept.begin, sent.size() - ReceivedHistory::kCapacity);
    std::vector<uint8_t> history;
    EXPECT_EQ(p.c.received.Read(0, sent.size(), history), kept.begin);
    EXPECT_TRUE(history ==
                std::vector<uint8_t>(sent.end() - ReceivedHistory::kCapacity, sent.end()));
}

TEST(ConnectionLogTest, TextLogGoesOnAcrossAReconnect) {
    LoggedConnection p;
    p.c.reconnect = &p.reconnect;
    ASSERT_TRUE(p.Open());
    const std::string path = p.File("elapsed.log");
    ASSERT_EQ(StartLog(p.c, path, LogFormat::Elapsed), "");
    ASSERT_TRUE(p.device.Write("abc"));
    ASSERT_TRUE(p.view.WaitForBytes(3));
    // The link goes first, as udev removes its links.
    std::filesystem::remove(std::filesystem::path(platform::PortLinksFolder()) / "COM7");
    p.device.HangUp();
    ASSERT_TRUE(p.view.WaitForBytes(3 + std::string("\r\n[COM7 disconnected]\r\n").size()));
    test::PseudoTerminal back;
    ASSERT_TRUE(p.config.MakePortLink("COM7", back.SlavePath()));
    ASSERT_TRUE(p.view.WaitForBytes(26 + std::string("[COM7 reconnected]\r\n").size()));
    ASSERT_TRUE(back.Write("def\r\n"));
    ASSERT_TRUE(p.view.WaitForBytes(46 + 5));
    CloseConnection(p.c);
    const std::vector<std::string> lines = Lines(ReadFile(path));
    const char* const expected[] = {"abc", "[COM7 disconnected]", "[COM7 reconnected]", "def"};
    ASSERT_EQ(lines.size(), std::size(expected)) << ReadFile(path);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(test::MatchesDigitPattern(lines[i], std::string("[+*.###] ") + expected[i]))
            << lines[i];
    }
}

TEST(ConnectionLogTest, LogThatFailsShowsOneBoxAndTheTerminalGoesOn) {
    LoggedConnection p;
    ASSERT_TRUE(p.Open());
    ASSERT_EQ(StartLog(p.c, "/dev/full", LogFormat::Iso), "");
    ASSERT_TRUE(p.device.Write("one\r\n"));
    ASSERT_TRUE(p.ui.WaitForBoxes(1, test::kHangTimeout));
    ASSERT_TRUE(p.device.Write("two\r\n"));
    ASSERT_TRUE(p.view.WaitForBytes(10));
    CloseConnection(p.c);
    const std::vector<test::RecordingUserInterface::Box> boxes = p.ui.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "/dev/full: the log stopped: No space left on device");
    EXPECT_EQ(boxes[0].icon, UserInterface::Icon::Warning);
}

// A log that does not open says so before it starts, and the log that runs goes on.
TEST(ConnectionLogTest, LogThatCannotBeOpenedLeavesTheRunningOneAlone) {
    LoggedConnection p;
    ASSERT_TRUE(p.Open());
    const std::string missing = p.File("no-such-folder/x.log");
    EXPECT_EQ(StartLog(p.c, missing, LogFormat::Raw),
              missing + ": the log cannot be opened: No such file or directory");
    EXPECT_FALSE(LogRunning(p.c));
    const std::string path = p.File("kept.log");
    ASSERT_EQ(StartLog(p.c, path, LogFormat::Raw), "");
    EXPECT_NE(StartLog(p.c, missing, LogFormat::Raw), "");
    EXPECT_TRUE(LogRunning(p.c));
    ASSERT_TRUE(p.device.Write(std::string("x\0y", 3)));
    ASSERT_TRUE(WaitForFileSize(path, 3));
    StopLog(p.c);
    EXPECT_FALSE(LogRunning(p.c));
    EXPECT_EQ(ReadFile(path), std::string("x\0y", 3));
    EXPECT_TRUE(p.ui.Boxes().empty());
}
