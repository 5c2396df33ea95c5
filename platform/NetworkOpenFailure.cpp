#include "platform/NetworkOpenFailure.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/CommError.h"
#include "platform/NetworkAddress.h"

namespace drel::platform {

std::string DescribeNetworkOpenFailure(const std::string& portName, uint32_t error) {
    const std::optional<NetworkAddress> address = ParseNetworkPortName(portName);
    if (!address) {
        return portName + " is not a network port name: " + NetworkPortNameForm();
    }
    const std::string where = address->HostAndPort();
    const std::string seconds = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(kNetworkOpenPatience).count());
    if (error == ERROR_HOST_NOT_FOUND) {
        return "the host name " + address->host + " does not resolve to an address";
    }
    switch (ErrnoOf(error)) {
        case ECONNREFUSED:
            return where + " refused the connection: no server listens on that port";
        case ETIMEDOUT:
            return where + " did not answer within " + seconds + " seconds";
        case EPROTO:
            return where + " took the connection but did not negotiate RFC 2217 within " + seconds +
                   " seconds (for a port that carries bytes only, use tcp://" + where + ")";
        case ECONNRESET:
            return where + " closed the connection while it was being set up";
        default:
            return where + ": " + std::strerror(ErrnoOf(error));
    }
}

}  // namespace drel::platform
