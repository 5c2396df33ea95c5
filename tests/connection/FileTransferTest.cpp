// Sending a file from a terminal's connection to lrzsz's receivers on the far end of a line: the
// receive loop hands the receiver's answers to the transfer, the packets go out through the
// connection's writes, and the terminal says how it went.

#include "connection/FileTransfer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "connection/ConnectionLifecycle.h"
#include "platform/SerialService.h"
#include "support/LrzszReceiver.h"
#include "support/PtyRelay.h"
#include "support/Recorders.h"
#include "support/SeededBytes.h"

namespace drel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using transfer::TransferProtocol;
namespace fs = std::filesystem;

// A 1K packet on the line: start byte, block number twice, 1024 bytes, CRC-16.
constexpr uint64_t kLongPacket = 1029;

// The program's connection on one end of a relayed line, a receiver on the other.
class FileTransferTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(relay.IsOpen());
        ASSERT_TRUE(fs::exists("/usr/bin/rb")) << "lrzsz is not installed";
        c.outputView = &view;
    }
    void TearDown() override { CloseConnection(c); }

    // Starts the receiver `argv`, relays with `spoiler` and opens the connection.
    void Begin(const std::vector<std::string>& argv, test::PtyRelay::Spoiler spoiler = {}) {
        receiver = test::StartReceiver(argv, relay.FarPath(), folder);
        ASSERT_GT(receiver, 0);
        relay.Start(std::move(spoiler));
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        ASSERT_TRUE(OpenConnection(c, relay.ProgramPath(), settings));
    }

    // Writes `bytes` to a file named `name` and returns its path.
    std::string WriteSource(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path path = fs::path(source.path().toStdString()) / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // Sends `size` bytes with YMODEM to rb through a line that `spoiler` spoils; they must arrive
    // whole.
    void SendThroughSpoiledLine(test::PtyRelay::Spoiler spoiler, size_t size) {
        ASSERT_NO_FATAL_FAILURE(Begin({"/usr/bin/rb", "-b"}, std::move(spoiler)));
        const std::vector<uint8_t> bytes = drel::test::SeededBytes(size);
        const std::string path = WriteSource("noisy.bin", bytes);
        ASSERT_EQ(StartFileTransfer(c, TransferProtocol::Ymodem, path), "");
        ASSERT_TRUE(WaitForTheEnd(300s)) << folder.LogTail();
        EXPECT_EQ(test::ReadWholeFile(folder.In() / "noisy.bin"), bytes) << folder.LogTail();
    }

    // Waits until the transfer has ended, and then the receiver.
    bool WaitForTheEnd(std::chrono::seconds patience) {
        int status = 0;
        return WaitUntil([&] { return c.transferring == 0; }, patience) &&
               WaitUntil([&] { return waitpid(receiver, &status, WNOHANG) == receiver; }, 20s);
    }

    // Waits until the terminal shows `line`; whether it did.
    bool Shows(const std::string& line) {
        return WaitUntil([&] { return view.Text().find(line) != std::string::npos; }, 10s);
    }

    // Waits until `condition` holds or `patience` has passed; whether it held.
    template <typename Condition>
    static bool WaitUntil(Condition condition, std::chrono::seconds patience) {
        for (const auto deadline = Clock::now() + patience; !condition();) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    QTemporaryDir source;
    test::PtyRelay relay;
    test::ReceiverFolder folder;
    pid_t receiver = -1;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{platform::SystemSerialService(), ui};
};

TEST_F(FileTransferTest, YmodemFileArrivesWholeAndTheTerminalSaysSo) {
    ASSERT_NO_FATAL_FAILURE(Begin({"/usr/bin/rb", "-b"}));
    const std::vector<uint8_t> bytes = drel::test::SeededBytes(100 * 1024 + 3);
    const std::string path = WriteSource("image.bin", bytes);
    ASSERT_EQ(StartFileTransfer(c, TransferProtocol::Ymodem, path), "");
    ASSERT_TRUE(WaitForTheEnd(120s)) << folder.LogTail();
    EXPECT_EQ(test::ReadWholeFile(folder.In() / "image.bin"), bytes) << folder.LogTail();
    EXPECT_TRUE(Shows("YMODEM: sent image.bin, 102403 bytes")) << view.Text();
}

// A line that damages one packet in fifty, or loses one: each such one goes again.
TEST_F(FileTransferTest, DamagedPacketsAreSentAgain) {
    SendThroughSpoiledLine(test::FlipOneByteIn(50 * kLongPacket), 300 * 1024);
}

TEST_F(FileTransferTest, LostPacketsAreSentAgain) {
    SendThroughSpoiledLine(test::DropOneStretchIn(50 * kLongPacket, kLongPacket), 150 * 1024);
}

TEST_F(FileTransferTest, TheUsersCancelStopsTheReceiver) {
    ASSERT_NO_FATAL_FAILURE(Begin({"/usr/bin/rb", "-b"}));
    const std::string path = WriteSource("big.bin", drel::test::SeededBytes(4 << 20));
    ASSERT_EQ(StartFileTransfer(c, TransferProtocol::Ymodem, path), "");
    const fs::path arriving = folder.In() / "big.bin";
    ASSERT_TRUE(
        WaitUntil([&] { return fs::exists(arriving) && fs::file_size(arriving) > 0; }, 60s));
    CancelFileTransfer(c);
    EXPECT_TRUE(WaitForTheEnd(60s)) << "the transfer or rb did not end";
    EXPECT_TRUE(Shows("YMODEM: big.bin not sent: cancelled")) << view.Text();
    // rb says so when it reads CAN CAN, rather than giving up after its own time-outs.
    EXPECT_NE(folder.LogTail().find("Sender Cancelled"), std::string::npos) << folder.LogTail();
}

}  // namespace
}  // namespace drel
