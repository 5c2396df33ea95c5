#include "connection/TransferEchoFilter.h"

#include "transfer/XmodemPacket.h"

namespace drel {

namespace {

using transfer::kAck;
using transfer::kCan;
using transfer::kCrcRequest;
using transfer::kNak;

constexpr uint8_t kBackspace = 0x08;

}  // namespace

int TransferEchoFilter::Filter(uint8_t* bytes, int count, bool transferring) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (Shows(bytes[i], transferring)) {
            bytes[kept++] = bytes[i];
        }
    }
    return kept;
}

bool TransferEchoFilter::Shows(uint8_t byte, bool transferring) {
    if (byte == kBackspace && owedBackspaces_ > 0) {
        --owedBackspaces_;
        return false;
    }
    if (byte == kCan) {
        owedBackspaces_ += transferring ? 1 : 0;
        return !transferring;
    }
    if (transferring && (byte == kAck || byte == kNak || byte == kCrcRequest)) {
        return false;
    }
    // The backspaces follow the CANs at once; after anything else they are the board's own.
    owedBackspaces_ = 0;
    return true;
}

}  // namespace drel
