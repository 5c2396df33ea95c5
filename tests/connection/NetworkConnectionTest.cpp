// A connection on a line served over the network: ser2net serves a pseudo-terminal on 127.0.0.1
// and the test plays the device on its master side. Telnet's escapes (IAC, CR NUL) must not
// touch the line's bytes.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "connection/ConnectionLifecycle.h"
#include "connection/PortReadWrite.h"
#include "connection/ReceiveTap.h"
#include "platform/SerialService.h"
#include "support/PseudoTerminal.h"
#include "support/Recorders.h"
#include "support/Ser2netServer.h"

using namespace drel;

namespace {

// Every byte value once, then the pairs a Telnet peer treats apart: CR NUL, CR LF, a lone CR at
// the end of a write and IAC twice over.
std::string TelnetSensitiveBytes() {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes += static_cast<char>(value);
    }
    bytes += std::string("\r\0\r\n\xff\xff\xff\xfd\x2c\r", 10);
    return bytes;
}

// Keeps what the receive loop reads, before any display rule.
class RecordingTap : public ReceiveTap {
  public:
    void Received(const uint8_t* bytes, size_t count) override {
        const std::lock_guard lock(mutex_);
        bytes_.append(reinterpret_cast<const char*>(bytes), count);
        changed_.notify_all();
    }

    // Waits up to five seconds until `count` bytes have come; returns those that came.
    std::string WaitFor(size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return bytes_.size() >= count; });
        return bytes_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string bytes_;
};

class NetworkConnectionTest : public testing::TestWithParam<test::Ser2netServer::Mode> {
  protected:
    void TearDown() override { CloseConnection(c); }

    test::TemporaryConfigHome config;
    test::PseudoTerminal device;
    test::RecordingUserInterface ui;
    RecordingTap tap;
    PortConnection c{platform::SystemSerialService(), ui};
};

TEST_P(NetworkConnectionTest, EveryByteValueGoesBothWaysUnchanged) {
    ASSERT_TRUE(device.IsOpen());
    test::Ser2netServer server(device.SlavePath(), GetParam());
    ASSERT_TRUE(server.Started());
    c.receiveTap = &tap;
    LineSettings settings;
    settings.BaudRate = 115200;
    settings.ByteSize = 8;
    ASSERT_TRUE(OpenConnection(c, server.Name(), settings))
        << (ui.Boxes().empty() ? "" : ui.Boxes()[0].text);
    const std::string bytes = TelnetSensitiveBytes();

    // The program's bytes first: once they are at the device, the server has the line open for
    // this connection and has carried out the purge of the open, and takes what the line sends.
    ASSERT_EQ(WritePort(c, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<uint32_t>(bytes.size())),
              1);
    const std::vector<uint8_t> atDevice = device.Read(bytes.size() + 1, std::chrono::seconds(1));
    EXPECT_EQ(std::string(atDevice.begin(), atDevice.end()), bytes) << "sent to the device";

    const std::string reversed(bytes.rbegin(), bytes.rend());
    ASSERT_TRUE(device.Write(reversed));
    EXPECT_EQ(tap.WaitFor(reversed.size()), reversed) << "received from the device";

    CloseConnection(c);
    EXPECT_TRUE(ui.Boxes().empty()) << ui.Boxes()[0].text;
}

INSTANTIATE_TEST_SUITE_P(Modes, NetworkConnectionTest,
                         testing::Values(test::Ser2netServer::Mode::Rfc2217,
                                         test::Ser2netServer::Mode::RawTcp),
                         [](const testing::TestParamInfo<test::Ser2netServer::Mode>& info) {
                             return info.param == test::Ser2netServer::Mode::Rfc2217 ? "Rfc2217"
                                                                                     : "RawTcp";
                         });

// The open's purge is carried out by the server when it gets to it; the open waits for that, so
// what the device says once the port is open is not thrown away with what came before.
TEST(ServedLineOpenTest, WhatTheDeviceSaysRightAfterTheOpenIsKept) {
    test::TemporaryConfigHome config;
    test::PseudoTerminal device;
    ASSERT_TRUE(device.IsOpen());
    test::Ser2netServer server(device.SlavePath(), test::Ser2netServer::Mode::Rfc2217);
    ASSERT_TRUE(server.Started());
    test::RecordingUserInterface ui;
    RecordingTap tap;
    PortConnection c{platform::SystemSerialService(), ui};
    c.receiveTap = &tap;
    LineSettings settings;
    settings.BaudRate = 115200;
    settings.ByteSize = 8;
    ASSERT_TRUE(OpenConnection(c, server.Name(), settings));
    EXPECT_TRUE(device.Write("ready\r\n"));
    EXPECT_EQ(tap.WaitFor(7), "ready\r\n");
    CloseConnection(c);
}

}  // namespace
