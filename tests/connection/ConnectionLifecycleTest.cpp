// Opening and closing a connection on the scripted service: what is made, in which order, and
// that every failure releases exactly what was made.

#include "connection/ConnectionLifecycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <future>

#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"
#include "support/Watchdog.h"

using namespace drel;

namespace {

LineSettings DefaultSettings() {
    LineSettings settings;
    settings.BaudRate = 115200;
    settings.ByteSize = 8;
    return settings;
}

struct Fixture {
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{device, ui};

    bool Open() { return OpenConnection(c, "COM5", DefaultSettings()); }

    // Position of the first log entry after `after` that starts with `call`, or -1.
    int Position(const std::string& call, int after = -1) const {
        const std::vector<std::string> calls = device.Calls();
        auto at = std::find_if(calls.begin() + (after + 1), calls.end(),
                               [&](const std::string& e) { return e.rfind(call, 0) == 0; });
        return at == calls.end() ? -1 : static_cast<int>(at - calls.begin());
    }
};

std::vector<std::string> BoxTexts(const test::RecordingUserInterface& ui) {
    std::vector<std::string> texts;
    for (const auto& box : ui.Boxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

}  // namespace

TEST(ConnectionLifecycleTest, OpenConfiguresThePortInOrderAndCloseReleasesIt) {
    Fixture f;
    ASSERT_TRUE(f.Open());
    EXPECT_EQ(f.c.connected, 1);
    EXPECT_EQ(f.c.portName, "COM5");
    EXPECT_TRUE(f.device.WaitForCallCount("WaitCommEvent", 1));
    const std::vector<std::string> expected = {"CreateFileA COM5",
                                               "CreateEvent",
                                               "CreateEvent",
                                               "SetCommMask 1",
                                               "SetupComm 4096 4096",
                                               "PurgeComm 15",
                                               "SetCommTimeouts 4294967295 0 1000 0 0",
                                               "GetCommState 28",
                                               "SetCommState"};
    int last = -1;
    for (const std::string& call : expected) {
        const int at = f.Position(call, last);
        EXPECT_GT(at, last) << call;
        last = std::max(last, at);
    }
    EXPECT_GE(f.Position("EscapeCommFunction 5"), 0);

    CloseConnection(f.c);
    EXPECT_EQ(f.c.connected, 0);
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 1);
    EXPECT_FALSE(f.c.receiveLoop.joinable());
    EXPECT_TRUE(BoxTexts(f.ui).empty());
}

TEST(ConnectionLifecycleTest, EveryFailedOpenReleasesWhatItMade) {
    const struct {
        const char* name;
        std::function<void(test::ScriptedSerialService&)> script;
        std::vector<std::string> boxes;
        int closes;
    } cases[] = {
        {"port cannot be opened",
         [](auto& d) { d.FailOpen(EBUSY); },
         {"COM5 port can not open\nCOM5: scripted failure " + std::to_string(EBUSY)},
         0},
        {"read event cannot be made", [](auto& d) { d.FailCreateEventOnCall(1); }, {}, 1},
        {"write event cannot be made", [](auto& d) { d.FailCreateEventOnCall(2); }, {}, 1},
        // The user pressed OK and is told why nothing opened.
        {"line settings refused",
         [](auto& d) { d.RefuseCommState(true); },
         {"COM5 port settings not accepted"},
         1},
        {"loop's end event cannot be made", [](auto& d) { d.FailCreateEventOnCall(3); }, {}, 1},
    };
    for (const auto& c : cases) {
        Fixture f;
        c.script(f.device);
        EXPECT_FALSE(f.Open()) << c.name;
        EXPECT_EQ(f.c.connected, 0) << c.name;
        EXPECT_EQ(BoxTexts(f.ui), c.boxes) << c.name;
        EXPECT_EQ(f.device.CallCount("CloseHandle"), c.closes) << c.name;
        EXPECT_FALSE(f.c.port) << c.name;
        EXPECT_FALSE(f.c.readBlockEvent || f.c.writeBlockEvent) << c.name;
        CloseConnection(f.c);  // nothing to close: does nothing
        EXPECT_EQ(f.device.CallCount("CloseHandle"), c.closes) << c.name;
    }
}

TEST(ConnectionLifecycleTest, LoopThatCannotMakeItsEventsSaysSoAndTheCloseStillWorks) {
    Fixture f;
    f.device.FailCreateEventOnCall(4);  // the loop's header-request event
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.ui.WaitForBoxes(1));
    const auto box = f.ui.Boxes()[0];
    EXPECT_EQ(box.text, "Failed to create Notify event for thread!");
    EXPECT_EQ(box.caption, "TTY Error!");
    EXPECT_EQ(box.icon, UserInterface::Icon::Warning);
    CloseConnection(f.c);
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 1);
}

// The close releases nothing while the loop is still busy showing a chunk.
TEST(ConnectionLifecycleTest, CloseReleasesNothingBeforeTheLoopHasEnded) {
    std::promise<void> showing;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Fixture f;  // closes before the promises its loop waits on go away
    f.view.onShow = [&, first = true](std::string_view) mutable {
        if (std::exchange(first, false)) {
            showing.set_value();
            released.wait();
        }
    };
    f.c.outputView = &f.view;
    ASSERT_TRUE(f.Open());
    f.device.QueueInput("hello");
    test::CallWatched("the loop showing the input", [&] { showing.get_future().wait(); });

    std::thread closer([&] { CloseConnection(f.c); });
    ASSERT_TRUE(f.device.WaitForCallCount("SetCommMask", 3));  // open, loop start, close
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 0);
    release.set_value();
    test::CallWatched("the close once the loop is released", [&] { closer.join(); });
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 1);
}

TEST(ConnectionLifecycleTest, DeviceGoneIsReportedOnceAndTheLoopEnds) {
    Fixture f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.device.WaitForCallCount("WaitCommEvent", 1));
    f.device.HangUp();
    ASSERT_EQ(f.c.receiveLoopEnded->Wait(5000), platform::WaitResult::Signalled);
    EXPECT_EQ(BoxTexts(f.ui), std::vector<std::string>{"COM5 port read error occured"});
    CloseConnection(f.c);
    EXPECT_EQ(BoxTexts(f.ui).size(), 1u);
}

TEST(ConnectionLifecycleTest, ReadsThatKeepFailingEndTheLoopWithOneBox) {
    Fixture f;
    ASSERT_TRUE(f.Open());
    f.device.FailReads(EIO);
    f.device.QueueInput("x");
    ASSERT_EQ(f.c.receiveLoopEnded->Wait(5000), platform::WaitResult::Signalled);
    EXPECT_EQ(BoxTexts(f.ui), std::vector<std::string>{"COM5 port read error occured"});
    CloseConnection(f.c);
}
