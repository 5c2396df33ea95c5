// The client of a port served over Telnet with the COM-PORT option, against a scripted server:
// the negotiation settles without loops, settings go out as the option's commands, a setting the
// server did not take is told once, and its line and modem reports read as a local port's.

#include "platform/ComPortClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CommTypes.h"
#include "support/LoopbackServer.h"

namespace drel::platform {
namespace {

using namespace telnet;
using test::Agreeing;
using test::Bytes;
using test::ComPort;

ComPortClient::Received Serve(ComPortClient& client, const std::string& bytes) {
    ComPortClient::Received received;
    client.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), received);
    return received;
}

TEST(ComPortClientTest, AnAgreeingServerSettlesTheNegotiationAndCarriesBinary) {
    ComPortClient client;
    EXPECT_EQ(client.Open(),
              Bytes({kIac, kWill, 0, kIac, kWill, 3, kIac, kWill, 44, kIac, kDo, 0, kIac, kDo, 3}));
    EXPECT_EQ(client.ComPortAgreement(), ComPortClient::Agreement::Pending);
    // Data right behind the agreement is read as binary: the NUL after CR stays.
    const ComPortClient::Received received =
        Serve(client, Agreeing() + std::string("\r\0\xff\xff", 4));
    EXPECT_EQ(client.ComPortAgreement(), ComPortClient::Agreement::Agreed);
    EXPECT_EQ(received.data, std::string("\r\0\xff", 3));
    // The only answer: which line errors to report.
    EXPECT_EQ(received.reply, ComPort({10, 0x1E}));
    const uint8_t out[] = {'\r', 0, 0xFF};
    EXPECT_EQ(client.EncodeData(out, 3), std::string("\r\0\xff\xff", 4));
    // Agreeing again changes nothing and answers nothing.
    EXPECT_TRUE(Serve(client, Agreeing()).reply.empty());
    EXPECT_TRUE(client.TakeNotices().empty());
}

TEST(ComPortClientTest, OptionsTheClientDoesNotKnowAreRefusedAndARefusalIsToldOnce) {
    ComPortClient client;
    client.Open();
    EXPECT_EQ(Serve(client, Bytes({kIac, kDo, 24, kIac, kWill, 1})).reply,
              Bytes({kIac, kWont, 24, kIac, kDont, 1}));
    EXPECT_TRUE(Serve(client, Bytes({kIac, kWont, 1, kIac, kDont, 24})).reply.empty());

    EXPECT_TRUE(Serve(client, Bytes({kIac, kDont, kOptionComPort})).reply.empty());
    EXPECT_EQ(client.ComPortAgreement(), ComPortClient::Agreement::Refused);
    Serve(client, Bytes({kIac, kDont, kOptionComPort}));
    EXPECT_EQ(client.TakeNotices(),
              std::vector<std::string>{
                  "the server does not take line settings (it refused the COM-PORT option)"});
    // Binary refused: a CR the server sends is followed by a NUL that is no data, and a CR sent
    // to it travels as CR NUL.
    Serve(client, Bytes({kIac, kWont, kOptionBinary, kIac, kDont, kOptionBinary}));
    EXPECT_EQ(Serve(client, std::string("a\r\0b", 4)).data, "a\rb");
    const uint8_t cr[] = {'\r'};
    EXPECT_EQ(client.EncodeData(cr, 1), std::string("\r\0", 2));
}

TEST(ComPortClientTest, SettingsGoOutAsTheOptionsCommands) {
    ComPortClient client;
    const struct {
        std::string sent;
        std::string expected;
    } cases[] = {
        {client.SetBaudRate(115200), ComPort({1, 0x00, 0x01, 0xC2, 0x00})},
        {client.SetBaudRate(0x1FFFF), ComPort({1, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF})},
        {client.SetDataSize(7), ComPort({2, 7})},
        {client.SetParity(ComPortParity::Even), ComPort({3, 3})},
        {client.SetStopBits(ComPortStopBits::Two), ComPort({4, 2})},
        {client.SetFlow(ComPortFlow::Hardware), ComPort({5, 3})},
        {client.SetFlow(ComPortFlow::XonXoff), ComPort({5, 2})},
        {client.SetDtr(true), ComPort({5, 8})},
        {client.SetRts(false), ComPort({5, 12})},
        {client.SetBreak(true), ComPort({5, 5})},
        {client.SetBreak(false), ComPort({5, 6})},
        {client.Purge(true, true), ComPort({12, 3})},
        {client.Purge(true, false), ComPort({12, 1})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.sent, c.expected);
    }
}

TEST(ComPortClientTest, ASettingTheServerDidNotTakeIsToldOnceAndAnUnansweredOneNever) {
    ComPortClient client;
    client.Open();
    Serve(client, Agreeing());
    client.SetBaudRate(115200);
    client.SetParity(ComPortParity::None);
    client.SetFlow(ComPortFlow::Hardware);
    client.SetDtr(true);
    Serve(client, ComPort({101, 0x00, 0x01, 0xC2, 0x00}) + ComPort({103, 1}) +
                      ComPort({105, 8}));  // the flow control goes unanswered
    EXPECT_TRUE(client.TakeNotices().empty());

    client.SetBaudRate(3000000);
    Serve(client, ComPort({101, 0x00, 0x01, 0xC2, 0x00}) + ComPort({101, 0x00, 0x01, 0xC2, 0x00}));
    client.SetFlow(ComPortFlow::Hardware);
    Serve(client, ComPort({105, 1}));
    EXPECT_EQ(client.TakeNotices(),
              (std::vector<std::string>{
                  "the server did not take the baud rate 3000000 (it answered 115200)",
                  "the server did not take the flow control hardware (it answered none)"}));
    // Malformed answers and answers to nothing asked are passed over.
    Serve(client, ComPort({101, 1}) + ComPort({102, 8}) + ComPort({}) + ComPort({140, 1}));
    EXPECT_TRUE(client.TakeNotices().empty());
}

// The server's answer to a purge marks where its line's bytes from before the purge end; only a
// purge of what it received (1, or 3 for both) does.
TEST(ComPortClientTest, PurgeAnswersMarkWhereTheLinesOldBytesEnd) {
    const struct {
        int purged;
        std::optional<size_t> before;
    } cases[] = {{1, 3}, {3, 3}, {2, std::nullopt}};
    for (const auto& c : cases) {
        ComPortClient client;
        client.Open();
        Serve(client, Agreeing());
        const ComPortClient::Received received =
            Serve(client, "old" + ComPort({112, c.purged}) + "new");
        EXPECT_EQ(received.data, "oldnew") << c.purged;
        EXPECT_EQ(received.dataBeforePurge, c.before) << c.purged;
        EXPECT_EQ(client.PurgesAnswered(), 1u) << c.purged;
    }
}

TEST(ComPortClientTest, LineAndModemReportsReadAsALocalPorts) {
    ComPortClient client;
    client.Open();
    uint32_t modem = 0;
    EXPECT_FALSE(client.ModemState(modem));
    Serve(client, ComPort({106, 0x1E | 0x61}) + ComPort({107, 0xB3}));
    EXPECT_EQ(client.TakeLineErrors(), CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK);
    EXPECT_EQ(client.TakeLineErrors(), 0u);
    ASSERT_TRUE(client.ModemState(modem));
    EXPECT_EQ(modem, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
}

}  // namespace
}  // namespace drel::platform
