#include "platform/NetworkAddress.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace drel::platform {

namespace {

struct Scheme {
    std::string_view prefix;
    NetworkAddress::Protocol protocol;
};

constexpr Scheme kSchemes[] = {{"rfc2217://", NetworkAddress::Protocol::Rfc2217},
                               {"tcp://", NetworkAddress::Protocol::RawTcp}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char any) {
               return std::tolower(static_cast<unsigned char>(any)) == lower;
           });
}

const Scheme* SchemeOf(std::string_view name) {
    for (const Scheme& scheme : kSchemes) {
        if (StartsWithNoCase(name, scheme.prefix)) {
            return &scheme;
        }
    }
    return nullptr;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

// Splits "HOST:PORT" or "[V6]:PORT" into host and port text.
bool SplitHostAndPort(std::string_view rest, std::string_view& host, std::string_view& port) {
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return false;
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        return true;
    }
    const size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    // An IPv6 address without brackets would leave colons in the host.
    return host.find(':') == std::string_view::npos;
}

}  // namespace

std::string NetworkAddress::HostAndPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsNetworkPortName(const std::string& portName) {
    return SchemeOf(portName) != nullptr;
}

std::optional<NetworkAddress> ParseNetworkPortName(const std::string& portName) {
    const Scheme* scheme = SchemeOf(portName);
    if (scheme == nullptr) {
        return std::nullopt;
    }
    std::string_view host;
    std::string_view portText;
    if (!SplitHostAndPort(std::string_view(portName).substr(scheme->prefix.size()), host,
                          portText) ||
        host.empty()) {
        return std::nullopt;
    }
    const std::optional<uint16_t> port = ParsePort(portText);
    if (!port) {
        return std::nullopt;
    }
    return NetworkAddress{scheme->protocol, std::string(host), *port};
}

std::string NetworkPortNameForm() {
    return "network ports are named rfc2217://HOST:PORT or tcp://HOST:PORT (an IPv6 address in "
           "brackets: [::1])";
}

}  // namespace drel::platform
