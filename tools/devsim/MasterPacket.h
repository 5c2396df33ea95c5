#pragma once

// What one read from a pseudo-terminal master in packet mode (TIOCPKT) carries: either bytes
// the host wrote, or a status byte telling what the host did to the line. A purge by the host
// (tcflush) arrives as such a status, which is how the device learns that a host opened the
// port.

#include <string_view>

namespace drel::devsim {

struct MasterPacket {
    bool hostPurgedInput = false;   // the host discarded bytes the device had sent it
    bool hostPurgedOutput = false;  // the host discarded bytes it had not yet delivered
    std::string_view data;          // bytes the host wrote; empty in a status packet
};

// Splits one packet-mode read: a first byte of 0 is followed by data, any other first byte is
// a set of TIOCPKT_ status flags. An empty read yields an empty packet. Never fails; the
// result's data points into `readBytes`.
MasterPacket SplitMasterPacket(std::string_view readBytes);

}  // namespace drel::devsim
