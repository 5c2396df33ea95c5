// A port served over the network, against a server the test plays on a loopback socket: what
// goes over the wire for the negotiation, the line settings and the data, what a server that
// stops reading, never negotiates or goes away does to the port's calls, and how an open fails.

#include "platform/NetworkPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/CommError.h"
#include "platform/NetworkOpenFailure.h"
#include "platform/TelnetCodec.h"
#include "platform/WakeSignal.h"
#include "support/LoopbackServer.h"
#include "support/Watchdog.h"

namespace drel::platform {
namespace {

using namespace telnet;
using test::Agreeing;
using test::ComPort;
using test::LoopbackServer;
using test::Opening;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 5s;

// Opens the client on its own thread while the test serves the negotiation.
std::unique_ptr<NetworkPort> OpenAgreed(LoopbackServer& server) {
    auto opening = std::async(std::launch::async, [&server] {
        return NetworkPort::Open(server.Address(NetworkAddress::Protocol::Rfc2217), kPatience);
    });
    EXPECT_TRUE(server.Accept());
    EXPECT_EQ(server.Receive(Opening().size()), Opening());
    server.Send(Agreeing());
    std::unique_ptr<NetworkPort> port =
        test::CallWatched("the open", [&] { return opening.get(); });
    // The client asks which line errors to report once the option is agreed.
    EXPECT_EQ(server.Receive(ComPort({10, 0x1E}).size()), ComPort({10, 0x1E}));
    return port;
}

// Waits for the port's next data and reads all that is queued.
std::string ReadData(NetworkPort& port) {
    uint32_t events = 0;
    while ((events & EV_RXCHAR) == 0) {
        if (!test::CallWatched("the wait", [&] { return port.WaitCommEvent(events); })) {
            return "(wait failed)";
        }
    }
    uint32_t errors = 0;
    CommStat stat;
    port.ClearCommError(errors, &stat);
    std::string data(stat.cbInQue, '\0');
    uint32_t read = 0;
    Overlapped overlapped;
    port.ReadFile(reinterpret_cast<uint8_t*>(data.data()), stat.cbInQue, read, overlapped);
    data.resize(read);
    return data;
}

std::string AllByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

// 0xFF doubled, as a Telnet peer sends data in binary mode.
std::string Doubled(const std::string& data) {
    std::string doubled;
    for (const char byte : data) {
        doubled += byte;
        if (static_cast<uint8_t>(byte) == kIac) {
            doubled += byte;
        }
    }
    return doubled;
}

TEST(NetworkPortTest, Rfc2217CarriesEveryByteValueAndTheLineSettings) {
    LoopbackServer server;
    std::unique_ptr<NetworkPort> port = OpenAgreed(server);
    ASSERT_TRUE(port);
    port->SetCommMask(EV_RXCHAR);

    Dcb dcb;
    dcb.BaudRate = 921600;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.flags = DCB_fBinary | (DTR_CONTROL_ENABLE << DCB_fDtrControlShift) |
                (RTS_CONTROL_DISABLE << DCB_fRtsControlShift);
    ASSERT_TRUE(port->SetCommState(dcb));
    const std::string settings = ComPort({1, 0x00, 0x0E, 0x10, 0x00}) + ComPort({2, 7}) +
                                 ComPort({3, 3}) + ComPort({4, 2}) + ComPort({5, 1}) +
                                 ComPort({5, 8}) + ComPort({5, 12});
    EXPECT_EQ(server.Receive(settings.size()), settings);
    Dcb back;
    ASSERT_TRUE(port->GetCommState(back));
    EXPECT_EQ(back.BaudRate, 921600u);

    const std::string all = AllByteValues();
    Overlapped overlapped;
    ASSERT_TRUE(port->WriteFile(reinterpret_cast<const uint8_t*>(all.data()), 256, overlapped));
    EXPECT_EQ(server.Receive(257), Doubled(all));

    ASSERT_TRUE(server.Send(Doubled(all)));
    std::string received;
    while (received.size() < all.size()) {
        received += ReadData(*port);
    }
    EXPECT_EQ(received, all);
}

TEST(NetworkPortTest, RefusedSettingIsToldOnceAndModemReportsRead) {
    LoopbackServer server;
    std::unique_ptr<NetworkPort> port = OpenAgreed(server);
    ASSERT_TRUE(port);
    port->SetCommMask(EV_RXCHAR);
    Dcb dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    ASSERT_TRUE(port->SetCommState(dcb));
    uint32_t status = 0;
    EXPECT_FALSE(port->GetCommModemStatus(status)) << "no report yet";
    // The server keeps its rate, reports CTS and DCD, then a byte of data.
    server.Send(ComPort({101, 0, 1, 0xC2, 0}) + ComPort({107, 0x90}) + "x");
    EXPECT_EQ(ReadData(*port), "x");
    EXPECT_EQ(port->TakeNotices(),
              std::vector<std::string>{"the server did not take the baud rate 9600 (it answered "
                                       "115200)"});
    EXPECT_TRUE(port->TakeNotices().empty());
    ASSERT_TRUE(port->GetCommModemStatus(status));
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);
}

// The server purges its line when it gets to it: what it sent before its answer to the purge is
// from before the purge, and goes as a local port's purge would drop it.
TEST(NetworkPortTest, InputPurgeDropsWhatTheServerSentBeforeCarryingItOut) {
    LoopbackServer server;
    std::unique_ptr<NetworkPort> port = OpenAgreed(server);
    ASSERT_TRUE(port);
    port->SetCommMask(EV_RXCHAR);
    auto purge = std::async(std::launch::async, [&] { return port->PurgeComm(PURGE_RXCLEAR); });
    EXPECT_EQ(server.Receive(ComPort({12, 1}).size()), ComPort({12, 1}));
    server.Send("before" + ComPort({112, 1}) + "after");
    EXPECT_TRUE(test::CallWatched("the purge", [&] { return purge.get(); }));
    EXPECT_EQ(ReadData(*port), "after");
}

TEST(NetworkPortTest, RawTcpSendsNoSettingsAndRefusesModemLines) {
    LoopbackServer server;
    auto opening = std::async(std::launch::async, [&server] {
        return NetworkPort::Open(server.Address(NetworkAddress::Protocol::RawTcp), kPatience);
    });
    ASSERT_TRUE(server.Accept());
    std::unique_ptr<NetworkPort> port = opening.get();
    ASSERT_TRUE(port);
    Dcb dcb;
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    EXPECT_TRUE(port->SetCommState(dcb));
    dcb.BaudRate = 0;
    EXPECT_FALSE(port->SetCommState(dcb)) << "a state no line takes";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(port->EscapeCommFunction(SETDTR));
    EXPECT_FALSE(port->SetCommBreak());
    const std::string all = AllByteValues();
    Overlapped overlapped;
    ASSERT_TRUE(port->WriteFile(reinterpret_cast<const uint8_t*>(all.data()), 256, overlapped));
    EXPECT_EQ(server.Receive(256), all) << "bytes as they are, no settings before them";
    EXPECT_TRUE(server.NothingMore());
}

TEST(NetworkPortTest, ServerGoingAwayFailsTheCallsOnceItsDataIsRead) {
    LoopbackServer server;
    std::unique_ptr<NetworkPort> port = OpenAgreed(server);
    ASSERT_TRUE(port);
    port->SetCommMask(EV_RXCHAR);
    server.Send("last words");
    server.Hangup();
    std::string received;
    while (received.size() < 10) {
        received += ReadData(*port);
    }
    EXPECT_EQ(received, "last words");
    uint32_t events = 0;
    EXPECT_FALSE(test::CallWatched("the wait", [&] { return port->WaitCommEvent(events); }));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EIO));
    const uint8_t key = 'k';
    Overlapped overlapped;
    EXPECT_FALSE(port->WriteFile(&key, 1, overlapped));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EIO));
}

// A server that stops reading holds a write back as flow control holds a local line's; the
// close's purge ends the wait, and a mask change ends the receive loop's.
TEST(NetworkPortTest, WaitsThatAServerHoldsEndWhenTheProgramEndsThem) {
    LoopbackServer server(4096);
    std::unique_ptr<NetworkPort> port = OpenAgreed(server);
    ASSERT_TRUE(port);
    // Writes until one is held and aborts it. The loopback socket's buffers grow for a while
    // before they hold the writer, and a slow machine may still see a write it took for held
    // finish before the purge reaches it; then the next one is tried.
    const std::string block(64 * 1024, 'w');
    Overlapped overlapped;
    bool aborted = false;
    for (int i = 0; i < 256 && !aborted; ++i) {
        if (port->WriteFile(reinterpret_cast<const uint8_t*>(block.data()),
                            static_cast<uint32_t>(block.size()), overlapped)) {
            continue;
        }
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        auto completion = std::async(std::launch::async, [&] {
            uint32_t transferred = 0;
            const bool ok = port->GetOverlappedResult(overlapped, transferred, true);
            return ok ? ERROR_SUCCESS : GetLastError();
        });
        if (completion.wait_for(200ms) != std::future_status::timeout) {
            ASSERT_EQ(completion.get(), ERROR_SUCCESS);
            continue;
        }
        port->PurgeComm(PURGE_TXABORT);
        const uint32_t result =
            test::CallWatched("the held write", [&] { return completion.get(); });
        ASSERT_TRUE(result == ERROR_OPERATION_ABORTED || result == ERROR_SUCCESS) << result;
        aborted = result == ERROR_OPERATION_ABORTED;
    }
    ASSERT_TRUE(aborted) << "the server's socket never held a write back";

    port->SetCommMask(EV_RXCHAR);
    uint32_t events = 0;
    port->WaitCommEvent(events);  // takes the mask change above
    auto wait = std::async(std::launch::async, [&] { return port->WaitCommEvent(events); });
    EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout);
    port->SetCommMask(EV_BREAK);
    EXPECT_TRUE(test::CallWatched("the wait", [&] { return wait.get(); }));
}

// A close must not wait out a server that never negotiates.
TEST(NetworkPortTest, AnOpenThatWaitsEndsAtOnceWhenStopped) {
    LoopbackServer silent;
    WakeSignal stop;
    auto opening = std::async(std::launch::async, [&] {
        const bool opened = NetworkPort::Open(silent.Address(NetworkAddress::Protocol::Rfc2217),
                                              std::chrono::hours(1), stop.fd()) != nullptr;
        return opened ? ERROR_SUCCESS : GetLastError();
    });
    ASSERT_TRUE(silent.Accept());
    stop.Raise();
    EXPECT_EQ(test::CallWatched("the stopped open", [&] { return opening.get(); }),
              static_cast<uint32_t>(ECANCELED));
}

TEST(NetworkPortTest, OpenFailuresSayWhy) {
    {
        // A server that takes the connection but never negotiates.
        LoopbackServer silent;
        auto opening = std::async(std::launch::async, [&silent] {
            const bool opened = NetworkPort::Open(silent.Address(NetworkAddress::Protocol::Rfc2217),
                                                  300ms) != nullptr;
            return opened ? ERROR_SUCCESS : GetLastError();
        });
        ASSERT_TRUE(silent.Accept());
        EXPECT_EQ(opening.get(), static_cast<uint32_t>(EPROTO));
    }
    uint16_t freePort = 0;
    {
        LoopbackServer gone;
        freePort = gone.Address(NetworkAddress::Protocol::RawTcp).port;
    }
    EXPECT_FALSE(NetworkPort::Open({NetworkAddress::Protocol::RawTcp, "127.0.0.1", freePort}, 1s));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ECONNREFUSED));
    EXPECT_FALSE(
        NetworkPort::Open({NetworkAddress::Protocol::RawTcp, "no-such-host.invalid", 23}, 1s));
    EXPECT_EQ(GetLastError(), ERROR_HOST_NOT_FOUND);

    const struct {
        uint32_t error;
        std::string text;
    } messages[] = {
        {ERROR_HOST_NOT_FOUND, "the host name board.lab does not resolve to an address"},
        {ECONNREFUSED, "board.lab:7000 refused the connection: no server listens on that port"},
        {ETIMEDOUT, "board.lab:7000 did not answer within 5 seconds"},
        {EPROTO,
         "board.lab:7000 took the connection but did not negotiate RFC 2217 within 5 "
         "seconds (for a port that carries bytes only, use tcp://board.lab:7000)"},
        {ECONNRESET, "board.lab:7000 closed the connection while it was being set up"},
        {EHOSTUNREACH, "board.lab:7000: No route to host"},
    };
    for (const auto& m : messages) {
        EXPECT_EQ(DescribeNetworkOpenFailure("rfc2217://board.lab:7000", m.error), m.text);
    }
    EXPECT_EQ(DescribeNetworkOpenFailure("tcp://[::1]", ERROR_INVALID_PARAMETER),
              "tcp://[::1] is not a network port name: network ports are named "
              "rfc2217://HOST:PORT or tcp://HOST:PORT (an IPv6 address in brackets: [::1])");
}

}  // namespace
}  // namespace drel::platform
