// The ser2net fixture on its own: it carries every byte value both ways between a socket and
// the pseudo-terminal it serves, speaks Telnet in its COM-PORT mode, refuses connections once
// stopped and serves on the same port again once restarted.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/PseudoTerminal.h"
#include "support/Ser2netServer.h"

namespace {

using drel::test::ConnectToLocalPort;
using drel::test::PseudoTerminal;
using drel::test::Ser2netServer;
using Clock = std::chrono::steady_clock;

// Reads from the socket until `count` bytes have come, it ends or PseudoTerminal::kPatience
// passes; the bytes that came.
std::vector<uint8_t> ReadSocket(int fd, size_t count) {
    const auto deadline = Clock::now() + PseudoTerminal::kPatience;
    std::vector<uint8_t> bytes(count);
    size_t done = 0;
    while (done < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        const ssize_t n = ready > 0 ? read(fd, bytes.data() + done, count - done) : 0;
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

bool WriteSocket(int fd, const std::vector<uint8_t>& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<uint8_t> EveryByteValue() {
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    return bytes;
}

class Ser2netFixtureTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty_.IsOpen()); }

    // Sends every byte value from a new connection to the line and back the other way.
    void ExpectEveryByteBothWays(const Ser2netServer& server) {
        const int client = ConnectToLocalPort(server.Port());
        ASSERT_GE(client, 0) << std::strerror(errno);
        const std::vector<uint8_t> bytes = EveryByteValue();
        // The client's bytes first: once they are at the line, the server has the line open
        // and takes what the line sends.
        ASSERT_TRUE(WriteSocket(client, bytes));
        EXPECT_EQ(pty_.Read(bytes.size()), bytes) << "client to line";
        const std::vector<uint8_t> reversed(bytes.rbegin(), bytes.rend());
        ASSERT_TRUE(pty_.Write(reversed.data(), reversed.size()));
        EXPECT_EQ(ReadSocket(client, reversed.size()), reversed) << "line to client";
        close(client);
    }

    PseudoTerminal pty_;
};

TEST_F(Ser2netFixtureTest, RawTcpCarriesEveryByteValueBothWays) {
    Ser2netServer server(pty_.SlavePath(), Ser2netServer::Mode::RawTcp);
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.Name(), "tcp://127.0.0.1:" + std::to_string(server.Port()));
    ExpectEveryByteBothWays(server);
}

TEST_F(Ser2netFixtureTest, Rfc2217ModeAsksForTheComPortOption) {
    Ser2netServer server(pty_.SlavePath(), Ser2netServer::Mode::Rfc2217);
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.Name(), "rfc2217://127.0.0.1:" + std::to_string(server.Port()));
    const int client = ConnectToLocalPort(server.Port());
    ASSERT_GE(client, 0) << std::strerror(errno);
    const std::vector<uint8_t> doComPort{255, 253, 44};  // IAC DO COM-PORT-OPTION
    std::vector<uint8_t> seen;
    while (std::search(seen.begin(), seen.end(), doComPort.begin(), doComPort.end()) ==
           seen.end()) {
        const std::vector<uint8_t> more = ReadSocket(client, 1);
        ASSERT_EQ(more.size(), 1u) << "the server's negotiation ended without DO COM-PORT";
        seen.push_back(more[0]);
    }
    close(client);
}

TEST_F(Ser2netFixtureTest, StoppedRefusesConnectionsAndServesTheSamePortOnceStartedAgain) {
    Ser2netServer server(pty_.SlavePath(), Ser2netServer::Mode::RawTcp);
    ASSERT_TRUE(server.Started());
    const uint16_t port = server.Port();

    server.Stop();
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    const int refused = ConnectToLocalPort(port);
    EXPECT_LT(refused, 0) << "a connection while stopped";
    if (refused >= 0) {
        close(refused);
    }

    ASSERT_TRUE(server.Start());
    EXPECT_EQ(server.Port(), port);
    ExpectEveryByteBothWays(server);
}

}  // namespace
