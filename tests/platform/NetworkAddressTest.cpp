// Network port names: which names are network ports at all, and what a well-formed one says.

#include "platform/NetworkAddress.h"

#include <gtest/gtest.h>

namespace drel::platform {
namespace {

using Protocol = NetworkAddress::Protocol;

TEST(NetworkAddressTest, WellFormedNamesGiveProtocolHostAndPort) {
    const struct {
        const char* name;
        Protocol protocol;
        const char* host;
        uint16_t port;
        const char* hostAndPort;
    } cases[] = {
        {"rfc2217://127.0.0.1:2000", Protocol::Rfc2217, "127.0.0.1", 2000, "127.0.0.1:2000"},
        {"tcp://rack-7.lab:4001", Protocol::RawTcp, "rack-7.lab", 4001, "rack-7.lab:4001"},
        {"RFC2217://[::1]:65535", Protocol::Rfc2217, "::1", 65535, "[::1]:65535"},
        {"Tcp://[fe80::1%eth0]:1", Protocol::RawTcp, "fe80::1%eth0", 1, "[fe80::1%eth0]:1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsNetworkPortName(c.name));
        const std::optional<NetworkAddress> address = ParseNetworkPortName(c.name);
        ASSERT_TRUE(address);
        EXPECT_EQ(address->protocol, c.protocol);
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->HostAndPort(), c.hostAndPort);
    }
}

TEST(NetworkAddressTest, MalformedNamesAreNetworkNamesWithoutAnAddress) {
    for (const char* name : {"tcp://", "tcp://host", "tcp://host:", "tcp://:80", "tcp://host:0",
                             "tcp://host:65536", "tcp://host:80x", "tcp://host:-1", "tcp://::1:80",
                             "tcp://[::1:80", "tcp://[::1]80", "rfc2217://[]:80"}) {
        EXPECT_TRUE(IsNetworkPortName(name)) << name;
        EXPECT_FALSE(ParseNetworkPortName(name)) << name;
    }
    for (const char* name : {"COM2", "/dev/ttyUSB0", "ttyS0", "udp://host:80", "tcp:/host:80"}) {
        EXPECT_FALSE(IsNetworkPortName(name)) << name;
        EXPECT_FALSE(ParseNetworkPortName(name)) << name;
    }
}

}  // namespace
}  // namespace drel::platform
