// The user's writer against the scripted device: what the user-interface thread hands it goes
// out in order without the caller waiting for the port, and a close ends a write the device
// holds off.

#include "connection/UserWriter.h"

#include <gtest/gtest.h>

#include "connection/ConnectionLifecycle.h"
#include "platform/CommError.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"

using namespace drel;

namespace {

struct Fixture {
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{device, ui};

    Fixture() {
        c.outputView = &view;
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        EXPECT_TRUE(OpenConnection(c, "COM5", settings));
        // Every write waits until the test lets the device take it.
        device.PendWrites(platform::ERROR_SUCCESS);
        device.HoldPendingWrites(true);
    }
    ~Fixture() { CloseConnection(c); }

    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        for (const auto& w : device.Writes()) {
            writes.emplace_back(w.begin(), w.end());
        }
        return writes;
    }
};

}  // namespace

TEST(UserWriterTest, RunsGoOutInOrderOneWriteEachWhileTheCallerGoesOn) {
    Fixture f;
    f.c.userWrites.Write("a");
    f.c.userWrites.Write("l /img/first.bin\r");
    f.c.userWrites.Write("b");
    // The first write waits for the device; the caller did not.
    ASSERT_TRUE(f.device.WaitForCallCount("GetOverlappedResult", 1));
    EXPECT_EQ(f.device.CallCount("WriteFile"), 1);

    f.device.HoldPendingWrites(false);
    ASSERT_TRUE(f.device.WaitForCallCount("WriteFile", 3));
    ASSERT_TRUE(f.device.WaitForCallCount("GetOverlappedResult", 3));
    CloseConnection(f.c);
    EXPECT_EQ(f.Writes(), (std::vector<std::string>{"a", "l /img/first.bin\r", "b"}));
}

TEST(UserWriterTest, CloseEndsAHeldWriteAndDropsWhatIsQueued) {
    Fixture f;
    f.c.userWrites.Write("a");
    f.c.userWrites.Write("b");
    ASSERT_TRUE(f.device.WaitForCallCount("GetOverlappedResult", 1));

    CloseConnection(f.c);

    EXPECT_EQ(f.device.CallCount("WriteFile"), 1);
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 1);
    // Once closed, what the user types goes nowhere.
    f.c.userWrites.Write("c");
    EXPECT_EQ(f.device.CallCount("WriteFile"), 1);
}
