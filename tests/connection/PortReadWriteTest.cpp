// Port reads and writes against the scripted service: what reaches the terminal and what the
// callers are told.

#include "connection/PortReadWrite.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/CommError.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"

using namespace drel;
using drel::platform::CE_FRAME;
using drel::platform::CE_OVERRUN;

namespace {

// A connection whose port is open on the scripted device, with a recording view, but no
// receive loop: the test calls the routines itself.
struct ScriptedConnection {
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{device, ui};

    ScriptedConnection() {
        c.port = std::make_unique<platform::ReplaceablePort>(device.CreateFileA("COM5"));
        c.portName = "COM5";
        c.outputView = &view;
        c.connected = 1;
    }
    ~ScriptedConnection() { c.port.reset(); }

    int Write(std::string_view bytes) {
        return WritePort(c, reinterpret_cast<const uint8_t*>(bytes.data()),
                         static_cast<uint32_t>(bytes.size()));
    }
};

}  // namespace

TEST(PortReadWriteTest, WriteOutcomesAndTheirMarkers) {
    using platform::ERROR_SUCCESS;
    const struct {
        const char* name;
        std::function<void(test::ScriptedSerialService&)> script;
        int result;
        std::vector<std::string> shown;
    } cases[] = {
        {"taken at once", [](auto&) {}, 1, {}},
        {"failed at once with a framing error",
         [](auto& d) {
             d.FailWrites(EIO);
             d.AddLineErrors(CE_FRAME);
         },
         0,
         {"<CE-8>"}},
        {"failed at once without line errors", [](auto& d) { d.FailWrites(EIO); }, 0, {}},
        {"pending, then taken", [](auto& d) { d.PendWrites(ERROR_SUCCESS, 2); }, 1, {}},
        // A write that ends with an error has not sent its bytes: the caller is told so.
        {"pending, then failed with line errors",
         [](auto& d) {
             d.PendWrites(EIO, 1);
             d.AddLineErrors(CE_OVERRUN | CE_FRAME);
         },
         0,
         {"<CE-5>", "<CE-10>"}},
        {"pending, then failed", [](auto& d) { d.PendWrites(EIO); }, 0, {"<CE-5>"}},
    };
    for (const auto& c : cases) {
        ScriptedConnection conn;
        c.script(conn.device);
        EXPECT_EQ(conn.Write("abc"), c.result) << c.name;
        EXPECT_EQ(conn.view.Runs(), c.shown) << c.name;
    }
}

TEST(PortReadWriteTest, WriteWhenNotConnectedSendsAndShowsNothing) {
    ScriptedConnection conn;
    conn.c.connected = 0;
    EXPECT_EQ(conn.Write("a"), 0);
    EXPECT_EQ(conn.device.CallCount("WriteFile"), 0);
    EXPECT_TRUE(conn.view.Runs().empty());
}

TEST(PortReadWriteTest, MarkersWithoutAViewAreDropped) {
    ScriptedConnection conn;
    conn.c.outputView = nullptr;
    conn.device.FailWrites(EIO);
    conn.device.AddLineErrors(CE_FRAME);
    EXPECT_EQ(conn.Write("a"), 0);
}

TEST(PortReadWriteTest, ReadTakesOnlyWhatIsQueuedAndNeverMoreThanAsked) {
    ScriptedConnection conn;
    uint8_t buffer[80];
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 0);
    EXPECT_EQ(conn.device.CallCount("ReadFile"), 0);

    conn.device.QueueInput(std::string(200, 'x'));
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 80);
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 80);
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 40);
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 0);
    EXPECT_EQ(conn.device.CallCount("ReadFile"), 3);
}

TEST(PortReadWriteTest, LineErrorsWhileReadingAreClearedNotShown) {
    ScriptedConnection conn;
    conn.device.AddLineErrors(CE_FRAME);
    conn.device.QueueInput("ok");
    uint8_t buffer[80];
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 2);
    EXPECT_TRUE(conn.view.Runs().empty());
    EXPECT_TRUE(conn.ui.Boxes().empty());
}

TEST(PortReadWriteTest, FailedReadIsReportedOnce) {
    ScriptedConnection conn;
    conn.device.QueueInput("data");
    conn.device.FailReads(EIO);
    uint8_t buffer[80];
    bool failed = false;
    EXPECT_EQ(ReadPort(conn.c, buffer, 80, &failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadPort(conn.c, buffer, 80), 0);
    ASSERT_EQ(conn.ui.Boxes().size(), 1u);
    EXPECT_EQ(conn.ui.Boxes()[0].text, "COM5 port read error occured");
}
