// A terminal window whose device fails it: unplugged while idle, while sending without pause and
// during an image transfer; holding off what drel sends while the user closes the window;
// flooding NUL and control bytes. Nothing may hang, the text already shown stays to be saved,
// and the user is told once that the port has failed.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "app/DrelAppFixture.h"
#include "framework/StandardIds.h"
#include "resources/resource.h"
#include "terminal/ShowTextRules.h"
#include "tools/devsim/BinImageWriter.h"

namespace drel::test {
namespace {

using namespace std::chrono_literals;

// How long a device may keep drel waiting before the test counts it as a hang.
constexpr auto kHang = 10s;

// How long a flood of a hundred kilobytes may take to show, on a busy machine under a
// sanitizer.
constexpr auto kFloodPatience = 60s;

// The header the port sends before each record's data.
constexpr size_t kRecordHeader = 12;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Processes events until `condition` holds, looking at it after each event; false when it does
// not hold within `timeout`. Unlike WaitUntil it does not pause between looks, so the terminal
// shows a flood as fast as the program does.
bool ServeUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    QTimer tick;  // wakes the wait now and then to look at the deadline
    tick.start(10);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Fills the line towards a device that reads nothing, through the port side's own descriptor,
// until it stays full for a moment: a device holding off everything drel sends. False when it
// does not fill within kHang.
bool FillLine(PseudoTerminal& device) {
    const std::string filler(4096, '.');
    for (const auto deadline = std::chrono::steady_clock::now() + kHang;
         std::chrono::steady_clock::now() < deadline;) {
        while (write(device.SlaveFd(), filler.data(), filler.size()) > 0) {
        }
        pollfd pfd{device.SlaveFd(), POLLOUT, 0};
        if (poll(&pfd, 1, 100) == 0) {
            return true;
        }
    }
    return false;
}

// A device that reads nothing until the test says it is done or kHang has passed; from then on
// it reads and drops whatever the port sends, so that a write drel cannot finish ends the test
// with a failure instead of hanging it.
class StalledDevice {
  public:
    explicit StalledDevice(PseudoTerminal& device)
        : m_thread([this, &device] {
              {
                  std::unique_lock lock(m_mutex);
                  if (m_changed.wait_for(lock, kHang, [this] { return m_done.load(); })) {
                      return;
                  }
              }
              m_gaveUp = true;
              uint8_t sink[4096];
              while (!m_done) {
                  device.ReadSome(sink, sizeof sink, 20ms);
              }
          }) {}
    StalledDevice(const StalledDevice&) = delete;
    StalledDevice& operator=(const StalledDevice&) = delete;
    ~StalledDevice() { Done(); }

    // Ends the stall; true when the device did not have to give up waiting first.
    bool Done() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return !m_gaveUp;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_gaveUp{false};
    std::thread m_thread;  // last: starts once everything above exists
};

// A device that sends lines without pause from a thread of its own until it is unplugged, right
// after a line, while more lines are still on their way.
class FloodingDevice {
  public:
    explicit FloodingDevice(PseudoTerminal& device)
        : m_thread([this, &device] {
              for (int line = 0; !m_unplug; ++line) {
                  device.Write("line " + std::to_string(line) + " of a device that never stops\r\n",
                               20ms);
              }
              device.HangUp();
          }) {}
    FloodingDevice(const FloodingDevice&) = delete;
    FloodingDevice& operator=(const FloodingDevice&) = delete;
    ~FloodingDevice() { Unplug(); }

    // Unplugs the device and returns once it is gone.
    void Unplug() {
        m_unplug = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

  private:
    std::atomic<bool> m_unplug{false};
    std::thread m_thread;
};

class DeviceFaultsTest : public ConnectedAppTest {
  protected:
    // Writes an image of records of `sizes` data bytes; its path.
    std::string WriteImage(std::vector<uint32_t> sizes) {
        devsim::ImageShape shape;
        shape.recordSizes = std::move(sizes);
        const std::string path = TempPath("image.bin");
        std::ofstream out(path, std::ios::binary);
        std::string error;
        EXPECT_TRUE(devsim::WriteBinImage(shape, out, error)) << error;
        return path;
    }

    // Reads what the port sent to the device until `count` bytes came, while the terminal goes
    // on showing text: drel shows each chunk it received before it answers it. Returns the
    // bytes that came before a deadline.
    std::string Take(size_t count) {
        std::string taken;
        WaitUntil([&] {
            uint8_t piece[4096];
            const auto n =
                device->ReadSome(piece, std::min(sizeof piece, count - taken.size()), 0ms);
            taken.append(reinterpret_cast<const char*>(piece), n.value_or(0));
            return taken.size() == count;
        });
        return taken;
    }

    // Plays the boot monitor up to the first record request: announces `path`, takes the
    // signature, asks for the image header and takes it. Returns the text the terminal then
    // shows after `before`.
    std::string StartTransfer(const std::string& before, const std::string& path) {
        Send(*device, ":F=" + path + "\rstart download");
        EXPECT_EQ(Take(7).size(), 7u);
        std::string shown = before + ":F=" + path + "\r\nstart downloadS";
        ExpectShown(terminal, shown);
        Send(*device, "\x01");
        EXPECT_EQ(Take(8).size(), 8u);
        shown += "\x01H";
        ExpectShown(terminal, shown);
        return shown;
    }

    // Asks for a record of `size` data bytes and takes it whole.
    void ServeRecord(size_t size) {
        Send(*device, "\x02");
        EXPECT_EQ(Take(kRecordHeader + size).size(), kRecordHeader + size);
    }

    PortConnection& Connection() { return ActiveDoc()->Connection(); }
};

// ---- Unplugged ----------------------------------------------------------------------------

enum class Unplugged { WhileIdle, WhileFlooding, AwaitingARecordRequest, InsideARecord };

const char* NameOf(Unplugged when) {
    switch (when) {
        case Unplugged::WhileIdle:
            return "WhileIdle";
        case Unplugged::WhileFlooding:
            return "WhileFlooding";
        case Unplugged::AwaitingARecordRequest:
            return "AwaitingARecordRequest";
        case Unplugged::InsideARecord:
            return "InsideARecord";
    }
    return "?";
}

void PrintTo(Unplugged when, std::ostream* os) {
    *os << NameOf(when);
}

class UnplugTest : public DeviceFaultsTest, public testing::WithParamInterface<Unplugged> {};

TEST_P(UnplugTest, TheWindowKeepsItsTextAndSaysOnceThatThePortFailed) {
    const std::string greeting = "boot ok\r\nFW>";
    Send(*device, greeting);
    ExpectShown(terminal, greeting);
    // What the terminal must still show, at its start, once the device has gone.
    std::string kept = greeting;
    switch (GetParam()) {
        case Unplugged::WhileIdle:
            device->HangUp();
            break;
        case Unplugged::WhileFlooding: {
            FloodingDevice flood(*device);
            ASSERT_TRUE(WaitUntil([&] { return terminal->GetWindowTextLength() > 8000; }));
            flood.Unplug();
            kept.clear();  // trimmed away by the flood
            break;
        }
        case Unplugged::AwaitingARecordRequest:
            kept = StartTransfer(greeting, WriteImage({16, 16}));
            ServeRecord(16);
            kept += "\x02*";
            ExpectShown(terminal, kept);
            device->HangUp();
            break;
        case Unplugged::InsideARecord:
            kept = StartTransfer(greeting, WriteImage({1 << 20}));
            Send(*device, "\x02");
            // The record's data, more than the line holds, is on its way: its write waits.
            ASSERT_TRUE(WaitUntil([&] { return device->Unread() > kRecordHeader; }));
            device->HangUp();
            break;
    }

    ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes[0].text, "COM2 port read error occured");
    ASSERT_TRUE(WaitUntil([&] {
        return Connection().receiveLoopEnded->IsSignalled() && Connection().downloading == 0;
    }));
    EXPECT_EQ(boxes.size(), 1u);
    terminal->ApplyPendingText();  // what came last, the write's marker too
    const std::string shown = terminal->GetWindowText();
    EXPECT_TRUE(shown.starts_with(kept)) << Escaped(shown);
    EXPECT_FALSE(shown.empty());
    EXPECT_LT(shown.size(), kTrimThreshold + 200);

    // Whatever the window shows can still be saved, and the window closes.
    const std::string path = TempPath("after-unplug.txt");
    fileAnswers.push_back(path);
    ASSERT_TRUE(Command(ID_FILE_SAVE));
    EXPECT_EQ(Escaped(ReadFile(path)), Escaped(shown));
    CloseWindow(terminal->GetParentFrame()->Widget());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_EQ(boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Moments, UnplugTest,
                         testing::Values(Unplugged::WhileIdle, Unplugged::WhileFlooding,
                                         Unplugged::AwaitingARecordRequest,
                                         Unplugged::InsideARecord),
                         [](const testing::TestParamInfo<Unplugged>& info) {
                             return std::string(NameOf(info.param));
                         });

// ---- Holding off ----------------------------------------------------------------------------

// Whose write the device holds off: the transfer's, sending a record; the terminal's, sending a
// key the user typed; the auto-download command's, sending a long first name; the receive
// loop's, sending a long second name when the device's prompt came.
enum class HeldOff { ARecord, AKey, ALoadCommand, APromptReaction };

const char* NameOf(HeldOff what) {
    switch (what) {
        case HeldOff::ARecord:
            return "ARecord";
        case HeldOff::AKey:
            return "AKey";
        case HeldOff::ALoadCommand:
            return "ALoadCommand";
        case HeldOff::APromptReaction:
            return "APromptReaction";
    }
    return "?";
}

void PrintTo(HeldOff what, std::ostream* os) {
    *os << NameOf(what);
}

class HoldOffTest : public DeviceFaultsTest, public testing::WithParamInterface<HeldOff> {};

// The device stops reading, so drel's write waits for it; closing the window does not.
TEST_P(HoldOffTest, ClosingTheWindowDoesNotWaitForTheDevice) {
    // Longer than what the line holds towards a device that reads nothing.
    const std::string longName(256 * 1024, 'n');
    StalledDevice stalled(*device);
    switch (GetParam()) {
        case HeldOff::ARecord:
            StartTransfer("", WriteImage({1 << 20}));
            Send(*device, "\x02");
            ASSERT_TRUE(WaitUntil([&] { return device->Unread() > kRecordHeader; }));
            break;
        case HeldOff::AKey:
            ASSERT_TRUE(FillLine(*device));
            Press(Qt::Key_A);
            break;
        case HeldOff::ALoadCommand:
            app->SetDownloadName(0, longName);
            ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));
            ASSERT_TRUE(WaitUntil([&] { return device->Unread() > 0; }));
            break;
        case HeldOff::APromptReaction:
            app->SetDownloadName(0, "/img/first.bin");
            app->SetDownloadName(1, longName);
            ASSERT_TRUE(Command(ID_AUTO_DOWNLOAD));
            EXPECT_EQ(Take(17), "l /img/first.bin\r");
            Send(*device, "FW>");
            ASSERT_TRUE(WaitUntil([&] { return device->Unread() > 0; }));
            break;
    }
    // drel's write has begun and cannot end, its bytes being more than the line holds; or, for
    // the key, it waits behind a line that is full.

    // The device gives up its stall after kHang, so a close that waits for it still returns and
    // Done() says so; the watchdog is for a close that waits for anything else.
    CloseWindow(terminal->GetParentFrame()->Widget(), 2 * kHang);

    EXPECT_TRUE(stalled.Done()) << "drel waited for the device";
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Writes, HoldOffTest,
                         testing::Values(HeldOff::ARecord, HeldOff::AKey, HeldOff::ALoadCommand,
                                         HeldOff::APromptReaction),
                         [](const testing::TestParamInfo<HeldOff>& info) {
                             return std::string(NameOf(info.param));
                         });

// ---- Flooding NUL and control bytes --------------------------------------------------------

// Every byte value but BS, which erases what came before it, in runs between NULs.
std::string ControlFlood(size_t size) {
    std::string flood;
    flood.reserve(size);
    for (unsigned i = 0; flood.size() < size; ++i) {
        const auto byte = static_cast<char>(i % 256);
        if (byte != '\b') {
            flood += byte;
        }
        if (i % 3 == 0) {
            flood += '\0';
        }
    }
    return flood;
}

// What the terminal makes of `bytes`: NULs left out, LF dropped, CR shown as CR LF.
std::string Displayed(const std::string& bytes) {
    std::string text;
    for (const char byte : bytes) {
        if (byte == '\r') {
            text += "\r\n";
        } else if (byte != '\0' && byte != '\n') {
            text += byte;
        }
    }
    return text;
}

TEST_F(DeviceFaultsTest, AFloodOfNulAndControlBytesShowsEveryOtherByteInABoundedText) {
    const std::string flood = std::string(32 * 1024, '\0') + ControlFlood(96 * 1024) + "#end";
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = device->Write(flood, kFloodPatience); });
    size_t longest = 0;
    const std::string expected = Displayed(flood);
    const bool shownToTheEnd = ServeUntil(
        [&] {
            longest = std::max(longest, static_cast<size_t>(terminal->GetWindowTextLength()));
            return terminal->GetWindowText().ends_with("#end");
        },
        kFloodPatience);
    sender.join();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(shownToTheEnd);

    const std::string shown = terminal->GetWindowText();
    EXPECT_LT(longest, kTrimThreshold + 200);
    EXPECT_GT(shown.size(), kTrimThreshold - kTrimCount);
    // The text is the end of what the device sent, no byte left out but the NULs.
    ASSERT_LE(shown.size(), expected.size());
    EXPECT_TRUE(shown == expected.substr(expected.size() - shown.size()));
    // And the window still answers at once: a key goes out, the window closes.
    Press(Qt::Key_A);
    EXPECT_EQ(Received(*device, 1), "a");
    CloseWindow(terminal->GetParentFrame()->Widget());
    EXPECT_TRUE(app->GetOpenDocuments().empty());
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace drel::test
