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
#include "support/Watchdog.h"

namespace drel::platform {
namespace {

using namespace telnet;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 5s;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::string ComPort(std::initializer_list<int> payload) {
    return Bytes({kIac, kSb, kOptionComPort}) + Bytes(payload) + Bytes({kIac, kSe});
}

// What a server that takes every option answers to the client's opening.
std::string Agreeing() {
    return Bytes({kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary, kIac, kDo,
                  kOptionSuppressGoAhead, kIac, kWill, kOptionSuppressGoAhead, kIac, kDo,
                  kOptionComPort});
}

// The opening the client sends, and what it says once the server has agreed.
std::string Opening() {
    return Bytes({kIac, kWill, 0, kIac, kWill, 3, kIac, kWill, 44, kIac, kDo, 0, kIac, kDo, 3});
}

// A listening socket on 127.0.0.1 and the one connection it takes: the server's end, played by
// the test.
class LoopbackServer {
  public:
    // `receiveBuffer`, when not 0, shrinks the accepted connection's receive buffer, so that a
    // server that stops reading holds the client back soon.
    explicit LoopbackServer(int receiveBuffer = 0) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0) {
            setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(listener_, 1) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer() {
        Hangup();
        close(listener_);
    }

    NetworkAddress Address(NetworkAddress::Protocol protocol) const {
        return {protocol, "127.0.0.1", port_};
    }

    // Takes the client's connection; false when none came in time.
    bool Accept() {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(kPatience / 1ms)) != 1) {
            return false;
        }
        client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return client_ >= 0;
    }

    bool Send(const std::string& bytes) {
        return send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes have come or the patience has run out; returns what came.
    std::string Receive(size_t count) {
        std::string got;
        const Clock::time_point deadline = Clock::now() + kPatience;
        while (got.size() < count && Clock::now() < deadline) {
            pollfd readable{client_, POLLIN, 0};
            if (poll(&readable, 1, 50) != 1) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = recv(client_, buffer, std::min(sizeof buffer, count - got.size()), 0);
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    // Whether nothing more has come from the client within a short look.
    bool NothingMore() {
        pollfd readable{client_, POLLIN, 0};
        return poll(&readable, 1, 100) == 0;
    }

    void Hangup() {
        if (client_ >= 0) {
            close(client_);
            client_ = -1;
        }
    }

  private:
    int listener_ = -1;
    int client_ = -1;
    uint16_t port_ = 0;
};

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
    // Writes until one is held: the loopback socket's buffers grow for a while before they
    // hold the writer.
    const std::string block(64 * 1024, 'w');
    Overlapped overlapped;
    std::future<uint32_t> completion;
    bool held = false;
    for (int i = 0; i < 256 && !held; ++i) {
        if (port->WriteFile(reinterpret_cast<const uint8_t*>(block.data()),
                            static_cast<uint32_t>(block.size()), overlapped)) {
            continue;
        }
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        completion = std::async(std::launch::async, [&] {
            uint32_t transferred = 0;
            const bool ok = port->GetOverlappedResult(overlapped, transferred, true);
            return ok ? ERROR_SUCCESS : GetLastError();
        });
        held = completion.wait_for(200ms) == std::future_status::timeout;
        if (!held) {
            ASSERT_EQ(completion.get(), ERROR_SUCCESS);
        }
    }
    ASSERT_TRUE(held) << "the server's socket never held a write back";
    port->PurgeComm(PURGE_TXABORT);
    EXPECT_EQ(test::CallWatched("the held write", [&] { return completion.get(); }),
              ERROR_OPERATION_ABORTED);

    port->SetCommMask(EV_RXCHAR);
    uint32_t events = 0;
    port->WaitCommEvent(events);  // takes the mask change above
    auto wait = std::async(std::launch::async, [&] { return port->WaitCommEvent(events); });
    EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout);
    port->SetCommMask(EV_BREAK);
    EXPECT_TRUE(test::CallWatched("the wait", [&] { return wait.get(); }));
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
