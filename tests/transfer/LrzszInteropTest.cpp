// The sender against real receivers: lrzsz's `rb` (YMODEM) and `rx` (XMODEM) on the slave of a
// pseudo-terminal, the test pumping bytes between the sender and the master. Both empty their
// input after every answer and their output as they end, so these also try the sender's
// settle after a lost packet and its end without EOT's ACK.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "support/LrzszReceiver.h"
#include "support/PseudoTerminal.h"
#include "support/SeededBytes.h"
#include "transfer/TransferSender.h"

namespace {

using namespace drel::transfer;
using namespace std::chrono_literals;
using drel::test::PseudoTerminal;
using drel::test::ReadWholeFile;
using drel::test::ReceiverFolder;
using drel::test::StartReceiver;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr auto kTransferPatience = 120s;
constexpr int64_t kMtime = 1700000000;

// Pumps bytes between `sender` and the master of `pty` until the sender ends or the patience
// runs out; returns the sender's result.
TransferResult Pump(TransferSender& sender, PseudoTerminal& pty) {
    const auto giveUp = Clock::now() + kTransferPatience;
    uint8_t buffer[4096];
    sender.Start(Clock::now());
    while (!sender.Done() && Clock::now() < giveUp) {
        const auto wait = std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         sender.NextDeadline() - Clock::now()),
                                     0ms, 500ms);
        const auto got = pty.ReadSome(buffer, sizeof buffer, wait);
        if (!got) {
            break;
        }
        const auto sent = *got ? sender.Receive(std::span(buffer, *got), Clock::now())
                               : sender.Tick(Clock::now());
        if (!sent.empty() && !pty.Write(sent.data(), sent.size(), 10000ms)) {
            break;
        }
    }
    return sender.Result();
}

// Waits for `pid` to end, draining what it still writes; its exit status, or -1 when it did not
// end in time (it is killed then).
int WaitForReceiver(pid_t pid, PseudoTerminal& pty) {
    const auto giveUp = Clock::now() + 20s;
    uint8_t buffer[256];
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > giveUp) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        pty.ReadSome(buffer, sizeof buffer, 50ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr size_t kSmallSizes[] = {0, 1, 127, 128, 1024, 1025};
constexpr size_t kFiveMebibytes[] = {5 << 20};

// Sends files of `sizes` to the receiver `argv` (for rx, the file's name is added) and checks
// what it wrote.
void SendEach(TransferProtocol protocol, std::vector<std::string> argv,
              std::span<const size_t> sizes) {
    ASSERT_TRUE(fs::exists(argv[0])) << "lrzsz is not installed (scripts/install-deps installs it)";
    const bool ymodem = protocol == TransferProtocol::Ymodem;
    if (!ymodem) {
        argv.push_back("image.bin");
    }
    for (const size_t size : sizes) {
        SCOPED_TRACE(::testing::Message() << size << " bytes");
        PseudoTerminal pty;
        ASSERT_TRUE(pty.IsOpen());
        ReceiverFolder folder;
        const pid_t pid = StartReceiver(argv, pty.SlavePath(), folder);
        ASSERT_GT(pid, 0);
        const auto file = drel::test::SeededBytes(size);
        SpanSource source(file);
        TransferSender sender(protocol, {"image.bin", size, kMtime}, source);
        EXPECT_EQ(Pump(sender, pty), TransferResult::Completed);
        EXPECT_EQ(WaitForReceiver(pid, pty), 0) << folder.LogTail();
        const auto got = ReadWholeFile(folder.In() / "image.bin");
        ASSERT_GE(got.size(), size);
        EXPECT_TRUE(std::equal(file.begin(), file.end(), got.begin()));
        // XMODEM has no size: the receiver keeps the padding.
        EXPECT_TRUE(std::all_of(got.begin() + static_cast<std::ptrdiff_t>(size), got.end(),
                                [](uint8_t b) { return b == kCpmEof; }));
        if (ymodem) {
            EXPECT_EQ(got.size(), size);
            struct stat info {};
            ASSERT_EQ(stat((folder.In() / "image.bin").c_str(), &info), 0);
            EXPECT_EQ(info.st_mtime, kMtime);
        }
    }
}

// rb's last ACK does not reach the line when it ends (it empties its output), so each of its
// transfers waits out one time-out at the end.
TEST(LrzszInteropTest, RbGetsYmodemFilesWithSizeAndTime) {
    SendEach(TransferProtocol::Ymodem, {"/usr/bin/rb", "-b"}, kSmallSizes);
}

TEST(LrzszInteropTest, RbGetsFiveMebibytes) {
    SendEach(TransferProtocol::Ymodem, {"/usr/bin/rb", "-b"}, kFiveMebibytes);
}

// The large file goes in 1K blocks below: in 128-byte blocks it takes a test's whole time.
TEST(LrzszInteropTest, RxGetsXmodemFilesWithChecksums) {
    SendEach(TransferProtocol::Xmodem, {"/usr/bin/rx", "-b"}, kSmallSizes);
}

TEST(LrzszInteropTest, RxGetsXmodemFilesWithCrc) {
    SendEach(TransferProtocol::Xmodem, {"/usr/bin/rx", "-b", "-c"}, kSmallSizes);
}

TEST(LrzszInteropTest, RxGetsXmodem1kFiles) {
    SendEach(TransferProtocol::Xmodem1k, {"/usr/bin/rx", "-b", "-c"}, kSmallSizes);
}

TEST(LrzszInteropTest, RxGetsFiveMebibytesIn1kBlocks) {
    SendEach(TransferProtocol::Xmodem1k, {"/usr/bin/rx", "-b", "-c"}, kFiveMebibytes);
}

}  // namespace
