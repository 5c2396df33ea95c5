// A terminal on a line served over the network: ser2net serves COM2's pseudo-terminal on
// 127.0.0.1 and the program is started on its network name. The server going away is the
// device going away: the read error's box, or with reconnecting on, the terminal's markers and
// the connection taken up again once the server is back.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/DrelAppFixture.h"
#include "platform/Event.h"
#include "support/Ser2netServer.h"

namespace drel::test {
namespace {

class NetworkPortTest : public DrelAppTest,
                        public testing::WithParamInterface<Ser2netServer::Mode> {
  protected:
    // Serves COM2's terminal and starts the program on the server's name with `options`,
    // without the port dialog; waits until the terminal is connected and has the focus.
    void StartOnServedPort(const std::vector<std::string>& options) {
        server.emplace(device->SlavePath(), GetParam());
        ASSERT_TRUE(server->Started());
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"--port", server->Name()});
        ASSERT_NO_FATAL_FAILURE(StartApp(CancelDialog, arguments));
        ASSERT_TRUE(WaitUntil([&] {
            return ActiveDoc() != nullptr && ActiveDoc()->Connection().connected == 1;
        })) << (boxes.empty() ? "no terminal" : boxes[0].text);
        terminal = ActiveView();
        ASSERT_NE(terminal, nullptr);
        ASSERT_NO_FATAL_FAILURE(Focus(terminal));
    }

    // Shows that a key reaches the device and then text from the device reaches the terminal.
    // The key goes first: once it is at the device, the server has the line open for this
    // connection and has carried out the purge the program asked for on opening, which it does
    // only when it comes to it; text the device sent before either may be discarded.
    void ExpectKeyThenText(Qt::Key key, const std::string& typed, const std::string& shownBefore,
                           const std::string& text) {
        Press(key);
        EXPECT_EQ(Escaped(Received(*device, 1)), typed);
        Send(*device, text);
        ExpectShown(terminal, shownBefore + text);
    }

    std::optional<Ser2netServer> server;
    CDrelView* terminal = nullptr;
};

TEST_P(NetworkPortTest, ShowsWhatTheDeviceSendsAndSendsWhatIsTyped) {
    ASSERT_NO_FATAL_FAILURE(StartOnServedPort({}));
    ExpectKeyThenText(Qt::Key_Z, "z", "", "hello over the network");
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
}

TEST_P(NetworkPortTest, ServerGoneShowsTheReadErrorOnce) {
    ASSERT_NO_FATAL_FAILURE(StartOnServedPort({}));
    ExpectKeyThenText(Qt::Key_A, "a", "", "up");
    server->Stop();
    ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); })) << "no box";
    const PortConnection& connection = ActiveDoc()->Connection();
    ASSERT_EQ(connection.receiveLoopEnded->Wait(5000), platform::WaitResult::Signalled);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, server->Name() + " port read error occured");
    EXPECT_EQ(terminal->GetWindowText(), "up");
}

TEST_P(NetworkPortTest, WithReconnectTheServerGoneIsToldAndTakenUpAgainOnceBack) {
    ASSERT_NO_FATAL_FAILURE(StartOnServedPort({"--reconnect"}));
    ExpectKeyThenText(Qt::Key_A, "a", "", "up");
    server->Stop();
    std::string shown = "up\r\n[" + server->Name() + " disconnected]\r\n";
    ExpectShown(terminal, shown);
    ASSERT_FALSE(HasFailure());

    ASSERT_TRUE(server->Start());
    shown += "[" + server->Name() + " reconnected]\r\n";
    ExpectShown(terminal, shown);
    ExpectKeyThenText(Qt::Key_B, "b", shown, "back");
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
}

INSTANTIATE_TEST_SUITE_P(Modes, NetworkPortTest,
                         testing::Values(Ser2netServer::Mode::Rfc2217, Ser2netServer::Mode::RawTcp),
                         [](const testing::TestParamInfo<Ser2netServer::Mode>& info) {
                             return info.param == Ser2netServer::Mode::Rfc2217 ? "Rfc2217"
                                                                               : "RawTcp";
                         });

}  // namespace
}  // namespace drel::test
