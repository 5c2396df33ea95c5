// The control lines against the scripted device: a break goes out after what was typed before it
// and never holds up a close, DTR and RTS follow the user's wish and come back on a port opened
// again, and the modem inputs read as the device reports them.

#include "connection/LineControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "connection/ConnectionLifecycle.h"
#include "platform/CommError.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"
#include "support/Watchdog.h"

using namespace drel;
using namespace drel::platform;

namespace {

struct Fixture {
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{device, ui};

    Fixture() {
        c.outputView = &view;
        EXPECT_TRUE(Open());
    }
    ~Fixture() { CloseConnection(c); }

    bool Open() {
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        return OpenConnection(c, "COM5", settings);
    }

    // Where `entry` is first logged at or after `from`; the log's size when it is not.
    size_t Find(const std::string& entry, size_t from = 0) const {
        const std::vector<std::string> calls = device.Calls();
        const auto at = std::find(calls.begin() + static_cast<long>(std::min(from, calls.size())),
                                  calls.end(), entry);
        return static_cast<size_t>(at - calls.begin());
    }
    size_t LogSize() const { return device.Calls().size(); }

    // The escape codes logged from `from` on.
    std::vector<std::string> EscapesFrom(size_t from) const {
        std::vector<std::string> escapes;
        const std::vector<std::string> calls = device.Calls();
        for (size_t i = from; i < calls.size(); ++i) {
            if (calls[i].rfind("EscapeCommFunction ", 0) == 0) {
                escapes.push_back(calls[i].substr(19));
            }
        }
        return escapes;
    }
};

}  // namespace

// A break handed over after typed bytes waits until the device has taken them, holds the line,
// and only then lets the bytes typed after it go.
TEST(BreakTest, GoesOutBetweenTheBytesTypedBeforeAndAfterIt) {
    Fixture f;
    f.device.PendWrites(ERROR_SUCCESS);
    f.device.HoldPendingWrites(true);
    f.c.userWrites.Write("ab");
    SendBreak(f.c);
    f.c.userWrites.Write("c");
    ASSERT_TRUE(f.device.WaitForCallCount("GetOverlappedResult", 1));
    EXPECT_EQ(f.device.CallCount("SetCommBreak"), 0) << "the break cut into a held write";

    f.device.HoldPendingWrites(false);
    ASSERT_TRUE(f.device.WaitForCallCount("WriteFile", 2));
    const size_t firstWrite = f.Find("WriteFile 2");
    const size_t setBreak = f.Find("SetCommBreak", firstWrite);
    const size_t clearBreak = f.Find("ClearCommBreak", setBreak);
    const size_t secondWrite = f.Find("WriteFile 1", clearBreak);
    EXPECT_LT(secondWrite, f.LogSize())
        << "not in the order typed: " << testing::PrintToString(f.device.Calls());
}

// The device still has output to send: the break waits for it, and a close during that wait
// ends it without a break ever starting.
TEST(BreakTest, WaitsForQueuedOutputAndACloseEndsThatWait) {
    Fixture f;
    f.device.QueueOutput(true);
    SendBreak(f.c);
    ASSERT_TRUE(f.device.WaitForCallCount("SetCommBreak", 2)) << "the break did not look again";

    test::CallWatched("the close of a connection whose break waits", [&] { CloseConnection(f.c); });
    EXPECT_EQ(f.Find("SetCommBreak"), f.LogSize());
    EXPECT_EQ(f.Find("ClearCommBreak"), f.LogSize());
    EXPECT_EQ(f.device.CallCount("CloseHandle"), 1);
}

// A break far longer than any test: only the close can end it, and it releases the line before
// the port goes.
TEST(BreakTest, CloseEndsABreakInProgressAndReleasesTheLine) {
    Fixture f;
    f.c.userWrites.Break(std::chrono::hours(1));
    ASSERT_TRUE(f.device.WaitForCallCount("SetCommBreak", 1));

    test::CallWatched("the close of a connection in a break", [&] { CloseConnection(f.c); });
    const size_t clearBreak = f.Find("ClearCommBreak");
    EXPECT_LT(f.Find("PurgeComm 1"), clearBreak);
    EXPECT_LT(clearBreak, f.Find("CloseHandle"));
    // Once closed there is nothing to break.
    SendBreak(f.c);
    EXPECT_EQ(f.device.CallCount("SetCommBreak"), 1);
}

// Each change goes to the port as its escape and is recorded, also when the port refuses it (a
// port without modem lines): the wish stays what the user chose.
TEST(OutputLinesTest, EachChangeIsRecordedAndSentAsItsEscape) {
    const struct {
        bool (*set)(PortConnection&, bool);
        std::atomic<bool> PortConnection::*wanted;
        bool on;
        uint32_t escape;
    } cases[] = {
        {SetDtr, &PortConnection::dtrOn, false, CLRDTR},
        {SetDtr, &PortConnection::dtrOn, true, SETDTR},
        {SetRts, &PortConnection::rtsOn, false, CLRRTS},
        {SetRts, &PortConnection::rtsOn, true, SETRTS},
    };
    for (const bool refused : {false, true}) {
        Fixture f;
        f.device.FailEscapes(refused);
        for (const auto& line : cases) {
            SCOPED_TRACE(testing::Message() << "escape " << line.escape << " refused " << refused);
            const size_t from = f.LogSize();
            EXPECT_EQ(line.set(f.c, line.on), !refused);
            EXPECT_EQ(f.c.*line.wanted, line.on);
            EXPECT_EQ(f.EscapesFrom(from), std::vector<std::string>{std::to_string(line.escape)});
        }
        EXPECT_TRUE(f.ui.Boxes().empty());
    }
}

// The open raises DTR only (the device's open raises RTS); a port opened again, as a reconnect
// does, gets back the lines the user turned off, and the wish survives the close.
TEST(OutputLinesTest, APortOpenedAgainGetsTheWantedLinesBack) {
    const struct {
        bool dtrOn;
        bool rtsOn;
        std::vector<std::string> escapes;
    } cases[] = {
        {true, true, {"5"}},
        {false, true, {"6"}},
        {true, false, {"5", "4"}},
        {false, false, {"6", "4"}},
    };
    for (const auto& wanted : cases) {
        SCOPED_TRACE(testing::Message() << "DTR " << wanted.dtrOn << " RTS " << wanted.rtsOn);
        Fixture f;
        EXPECT_EQ(f.EscapesFrom(0), std::vector<std::string>{"5"});
        SetDtr(f.c, wanted.dtrOn);
        SetRts(f.c, wanted.rtsOn);

        size_t from = f.LogSize();
        ApplyLineStates(f.c);
        EXPECT_EQ(f.EscapesFrom(from), wanted.escapes);

        CloseConnection(f.c);
        from = f.LogSize();
        ASSERT_TRUE(f.Open());
        EXPECT_EQ(f.EscapesFrom(from), wanted.escapes);
    }
}

TEST(ModemInputsTest, ReadAsTheDeviceReportsThemAndNoneWhereThereAreNone) {
    Fixture f;
    for (const uint32_t status : {0u, MS_CTS_ON, MS_DSR_ON | MS_RLSD_ON, MS_RING_ON,
                                  MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON}) {
        f.device.SetModemStatus(status);
        EXPECT_EQ(ReadModemInputs(f.c), status);
    }
    f.device.FailModemStatus(true);
    EXPECT_EQ(ReadModemInputs(f.c), std::nullopt);
    f.device.FailModemStatus(false);
    CloseConnection(f.c);
    EXPECT_EQ(ReadModemInputs(f.c), std::nullopt);
}
