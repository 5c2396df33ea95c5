// A connection on a real pseudo-terminal, the test playing the device on the master side.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "connection/ConnectionLifecycle.h"
#include "connection/PortReadWrite.h"
#include "platform/SerialService.h"
#include "support/ChildProcesses.h"
#include "support/PseudoTerminal.h"
#include "support/Recorders.h"
#include "support/Watchdog.h"

using namespace drel;
using namespace std::chrono_literals;

namespace {

struct PtyConnection {
    test::TemporaryConfigHome config;
    test::PseudoTerminal device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{platform::SystemSerialService(), ui};

    PtyConnection() {
        EXPECT_TRUE(device.IsOpen());
        EXPECT_TRUE(config.MakePortLink("COM7", device.SlavePath()));
        c.outputView = &view;
    }
    ~PtyConnection() { CloseConnection(c); }

    bool Open() {
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        return OpenConnection(c, "COM7", settings);
    }
};

}  // namespace

// Every chunk is shown before the watchers see it: the name in the chunk is captured only after
// the chunk has been shown.
TEST(ConnectionOnPtyTest, BurstIsShownInChunksOf80BeforeTheWatchersSeeThem) {
    // Declared before the connection, which must close before what its loop uses goes away.
    std::promise<void> firstShown;
    std::promise<void> burstQueued;
    std::shared_future<void> queued = burstQueued.get_future().share();
    std::vector<std::string> namesWhenShown;
    PtyConnection p;
    p.view.onShow = [&](std::string_view) {
        namesWhenShown.push_back(p.c.imageName);
        if (namesWhenShown.size() == 1) {
            firstShown.set_value();
            queued.wait();  // hold the loop so the whole burst is queued before its next read
        }
    };
    ASSERT_TRUE(p.Open());
    ASSERT_TRUE(p.device.Write("!"));
    ASSERT_EQ(firstShown.get_future().wait_for(test::kHangTimeout), std::future_status::ready)
        << "the loop showed nothing";
    std::string burst = ":F=/fw/a.bin\r" + std::string(187, 'b');
    ASSERT_EQ(burst.size(), 200u);
    ASSERT_TRUE(p.device.Write(burst));
    // The bytes are queued at the port once its input count says so.
    uint32_t errors = 0;
    platform::CommStat stat;
    for (auto deadline = std::chrono::steady_clock::now() + 5s;
         stat.cbInQue < 200 && std::chrono::steady_clock::now() < deadline;) {
        p.c.port->ClearCommError(errors, &stat);
        std::this_thread::yield();
    }
    burstQueued.set_value();  // before any check can end the test: the loop must not stay held
    ASSERT_EQ(stat.cbInQue, 200u);

    ASSERT_TRUE(p.view.WaitForBytes(201));
    CloseConnection(p.c);  // the loop has ended: what it recorded can be read
    const std::vector<std::string> runs = p.view.Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[1], burst.substr(0, 80));
    EXPECT_EQ(runs[2], burst.substr(80, 80));
    EXPECT_EQ(runs[3], burst.substr(160, 40));
    EXPECT_EQ(namesWhenShown[1], "");  // shown before the capture ran on it
    EXPECT_STREQ(p.c.imageName, "/fw/a.bin");
}

TEST(ConnectionOnPtyTest, WritersOnTwoThreadsSendWholeRuns) {
    PtyConnection p;
    ASSERT_TRUE(p.Open());
    const std::string runA(64 * 1024, 'A');
    const std::string runB(64 * 1024, 'B');
    auto send = [&](const std::string& run) {
        return WritePort(p.c, reinterpret_cast<const uint8_t*>(run.data()),
                         static_cast<uint32_t>(run.size()));
    };
    const test::Watchdog writers("the two writers");  // outlives the futures, which join them
    auto a = std::async(std::launch::async, send, runA);
    auto b = std::async(std::launch::async, send, runB);
    const std::vector<uint8_t> got = p.device.Read(runA.size() + runB.size());
    EXPECT_EQ(a.get(), 1);
    EXPECT_EQ(b.get(), 1);
    const std::string line(got.begin(), got.end());
    EXPECT_TRUE(line == runA + runB || line == runB + runA);
}

TEST(ConnectionOnPtyTest, PortHeldByAnotherWindowDoesNotOpen) {
    PtyConnection p;
    ASSERT_TRUE(p.Open());
    test::RecordingUserInterface otherUi;
    PortConnection other(platform::SystemSerialService(), otherUi);
    EXPECT_FALSE(OpenConnection(other, "COM7", LineSettings{}));
    ASSERT_EQ(otherUi.Boxes().size(), 1u);
    EXPECT_EQ(otherUi.Boxes()[0].text, "COM7 port can not open\n" + p.device.SlavePath() +
                                           " is already open in another window of drel.");
}

// The box keeps its first line and adds why: here a process that holds the port, and a port
// whose device is not there.
TEST(ConnectionOnPtyTest, PortThatDoesNotOpenSaysWhy) {
    PtyConnection p;
    test::PortHolderProcess holder(p.device.SlavePath(), "holder-test",
                                   test::PortHolderProcess::Hold::LockAndExclusive);
    int failure = 0;
    ASSERT_TRUE(holder.WaitUntilHolding(failure)) << failure;
    ASSERT_TRUE(p.config.MakePortLink("COM8", "/dev/drel-no-such-port"));
    const struct {
        const char* portName;
        std::string text;
        bool whole;  // else the start of the text, which ends with the devices present
    } cases[] = {
        {"COM7",
         "COM7 port can not open\n" + p.device.SlavePath() + " is in use by process " +
             std::to_string(holder.Pid()) + " (holder-test).",
         true},
        {"COM8", "COM8 port can not open\nNo device /dev/drel-no-such-port; ", false},
    };
    for (const auto& c : cases) {
        test::RecordingUserInterface ui;
        PortConnection other(platform::SystemSerialService(), ui);
        EXPECT_FALSE(OpenConnection(other, c.portName, LineSettings{})) << c.portName;
        ASSERT_EQ(ui.Boxes().size(), 1u) << c.portName;
        const std::string box = ui.Boxes()[0].text;  // Boxes() is a copy
        EXPECT_EQ(c.whole ? box : box.substr(0, c.text.size()), c.text) << c.portName;
    }
}

// The device sends without pause until the close has returned: a close that waited for a pause
// would never return.
TEST(ConnectionOnPtyTest, CloseWhileTheDeviceSendsWithoutPauseDoesNotWaitForAPause) {
    PtyConnection p;
    ASSERT_TRUE(p.Open());
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const std::string line = "flood flood flood flood flood flood flood flood\r\n";
        while (flooding) {
            p.device.Write(line, 100ms);  // a full line only delays the next one
        }
    });
    ASSERT_TRUE(p.view.WaitForBytes(10000));
    test::CallWatched("the close while the device sends", [&] { CloseConnection(p.c); });
    flooding = false;
    flood.join();
    EXPECT_EQ(p.c.connected, 0);
    EXPECT_FALSE(p.c.port);
}

TEST(ConnectionOnPtyTest, UnpluggedDeviceShowsOneMessageAndTheLoopStops) {
    PtyConnection p;
    ASSERT_TRUE(p.Open());
    ASSERT_TRUE(p.device.Write("bye"));
    ASSERT_TRUE(p.view.WaitForBytes(3));
    p.device.HangUp();
    // The loop has ended, so it uses no CPU from here on.
    ASSERT_EQ(p.c.receiveLoopEnded->Wait(5000), platform::WaitResult::Signalled);
    ASSERT_EQ(p.ui.Boxes().size(), 1u);
    EXPECT_EQ(p.ui.Boxes()[0].text, "COM7 port read error occured");
    // Typing into a port that is gone sends nothing and says nothing more than its marker.
    const uint8_t key = 'a';
    EXPECT_EQ(WritePort(p.c, &key, 1), 0);
    EXPECT_EQ(p.ui.Boxes().size(), 1u);
}
