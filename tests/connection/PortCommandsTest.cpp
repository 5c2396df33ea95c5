// The Port menu's commands and the modem input panes as a terminal's document runs and updates
// them, on the scripted device: what the items show, what each command sends to the port, and
// which panes are greyed for which inputs.

#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <string>
#include <vector>

#include "connection/CDrelDoc.h"
#include "connection/ConnectionLifecycle.h"
#include "framework/AfxMessageBox.h"
#include "platform/CommError.h"
#include "resources/resource.h"
#include "support/ScriptedSerialService.h"

using namespace drel;
using namespace drel::platform;

namespace {

constexpr int kModemPanes[] = {ID_INDICATOR_CTS, ID_INDICATOR_DSR, ID_INDICATOR_DCD,
                               ID_INDICATOR_RI};

class PortCommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        AfxSetMessageBoxHook([this](const MessageBoxRequest&) {
            ++boxes;
            return IDOK;
        });
    }
    void TearDown() override {
        CloseConnection(doc.Connection());
        AfxSetMessageBoxHook({});
    }

    bool Open() {
        LineSettings settings;
        settings.BaudRate = 9600;
        settings.ByteSize = 8;
        // Once the receive loop waits on the port, its calls no longer mix with a command's.
        return OpenConnection(doc.Connection(), "COM4", settings) &&
               device.WaitForCallCount("WaitCommEvent", 1);
    }

    CCmdUI Update(int id) {
        CCmdUI ui(id);
        EXPECT_TRUE(doc.OnCmdMsg(id, CmdMsg::Update, &ui)) << id;
        return ui;
    }

    // The panes enabled now, as a string of the ids' order: "1010" for CTS and DCD.
    std::string EnabledPanes() {
        std::string panes;
        for (const int id : kModemPanes) {
            panes += Update(id).IsEnabled() ? '1' : '0';
        }
        return panes;
    }

    // Waits until the panes read `expected`; they read the device again within a frame.
    bool PanesBecome(const std::string& expected) {
        return QTest::qWaitFor([&] { return EnabledPanes() == expected; }, 5000);
    }

    test::ScriptedSerialService device;
    CDrelDoc doc{device};
    int boxes = 0;
};

}  // namespace

TEST_F(PortCommandsTest, ClosedTerminalHasItsPortItemsAndPanesGreyed) {
    for (const int id : {ID_PORT_SEND_BREAK, ID_PORT_DTR, ID_PORT_RTS}) {
        EXPECT_FALSE(Update(id).IsEnabled()) << id;
    }
    device.SetModemStatus(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON | MS_RING_ON);
    EXPECT_EQ(EnabledPanes(), "0000");
}

// DTR and RTS are checked after the open; each command turns its line over and the check
// follows, also on a port that refuses (no box then).
TEST_F(PortCommandsTest, DtrAndRtsToggleTheirLineAndTheCheckFollows) {
    const struct {
        int id;
        uint32_t off;
        uint32_t on;
    } lines[] = {{ID_PORT_DTR, CLRDTR, SETDTR}, {ID_PORT_RTS, CLRRTS, SETRTS}};
    ASSERT_TRUE(Open());
    for (const bool refused : {false, true}) {
        device.FailEscapes(refused);
        for (const auto& line : lines) {
            SCOPED_TRACE(testing::Message() << "command " << line.id << " refused " << refused);
            EXPECT_TRUE(Update(line.id).IsEnabled());
            EXPECT_EQ(Update(line.id).GetCheck(), 1);
            for (const uint32_t escape : {line.off, line.on}) {
                ASSERT_TRUE(doc.OnCmdMsg(line.id, CmdMsg::Execute, nullptr));
                EXPECT_EQ(device.Calls().back(), "EscapeCommFunction " + std::to_string(escape));
                EXPECT_EQ(Update(line.id).GetCheck(), escape == line.on ? 1 : 0);
            }
        }
    }
    EXPECT_EQ(boxes, 0);
}

TEST_F(PortCommandsTest, SendBreakHoldsTheLineAndReleasesIt) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Update(ID_PORT_SEND_BREAK).IsEnabled());
    ASSERT_TRUE(doc.OnCmdMsg(ID_PORT_SEND_BREAK, CmdMsg::Execute, nullptr));
    ASSERT_TRUE(device.WaitForCallCount("ClearCommBreak", 1));
    EXPECT_EQ(device.CallCount("SetCommBreak"), 1);
}

// Each pane shows its own input; a driver that cannot report them greys every pane.
TEST_F(PortCommandsTest, EachPaneIsEnabledExactlyWhileItsInputIsOn) {
    const struct {
        uint32_t status;
        const char* panes;
    } cases[] = {
        {0, "0000"},
        {MS_CTS_ON, "1000"},
        {MS_DSR_ON, "0100"},
        {MS_RLSD_ON, "0010"},
        {MS_RING_ON, "0001"},
        {MS_CTS_ON | MS_RLSD_ON, "1010"},
        {MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON | MS_RING_ON, "1111"},
    };
    ASSERT_TRUE(Open());
    for (const auto& input : cases) {
        device.SetModemStatus(input.status);
        EXPECT_TRUE(PanesBecome(input.panes)) << input.status << " shows " << EnabledPanes();
    }
    device.FailModemStatus(true);
    EXPECT_TRUE(PanesBecome("0000")) << EnabledPanes();
}
