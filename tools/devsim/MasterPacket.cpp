#include "MasterPacket.h"

#include <sys/ioctl.h>

namespace drel::devsim {

MasterPacket SplitMasterPacket(std::string_view readBytes) {
    MasterPacket packet;
    if (readBytes.empty()) {
        return packet;
    }
    const auto status = static_cast<unsigned char>(readBytes.front());
    if (status == TIOCPKT_DATA) {
        packet.data = readBytes.substr(1);
        return packet;
    }
    packet.hostPurgedInput = (status & TIOCPKT_FLUSHREAD) != 0;
    packet.hostPurgedOutput = (status & TIOCPKT_FLUSHWRITE) != 0;
    return packet;
}

}  // namespace drel::devsim
