#pragma once

// Why a network serial port did not open, in words for the user.

#include <chrono>
#include <cstdint>
#include <string>

namespace drel::platform {

// How long opening a network port may take: the connection and, for RFC 2217, the server's
// answer to the COM-PORT option.
inline constexpr std::chrono::milliseconds kNetworkOpenPatience{5000};

// One line that says why opening the network port `portName` failed with last error `error`
// (NetworkPort::Open's reasons) and what to check. Any thread.
std::string DescribeNetworkOpenFailure(const std::string& portName, uint32_t error);

}  // namespace drel::platform
