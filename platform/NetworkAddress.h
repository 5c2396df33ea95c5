#pragma once

// Port names that stand for a serial line served over the network: `rfc2217://HOST:PORT` (Telnet
// with the COM-PORT option, which carries the line settings) and `tcp://HOST:PORT` (the line's
// bytes as they are). HOST is a name, an IPv4 address or an IPv6 address in brackets.

#include <cstdint>
#include <optional>
#include <string>

namespace drel::platform {

struct NetworkAddress {
    enum class Protocol { Rfc2217, RawTcp };

    Protocol protocol = Protocol::RawTcp;
    std::string host;  // without the brackets of an IPv6 address
    uint16_t port = 0;

    // "HOST:PORT" as the user wrote it, for messages.
    std::string HostAndPort() const;
};

// Whether `portName` begins with a network scheme (in any letter case), well formed or not: such
// a name never stands for a device. Any thread.
bool IsNetworkPortName(const std::string& portName);

// The address `portName` names; nothing when it is no network name or is malformed (no host, a
// port that is not a number from 1 to 65535, an unclosed bracket). Any thread.
std::optional<NetworkAddress> ParseNetworkPortName(const std::string& portName);

// How network port names are written, for a message about one that is malformed.
std::string NetworkPortNameForm();

}  // namespace drel::platform
