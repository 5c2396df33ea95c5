#include "connection/TransferEchoFilter.h"

namespace drel {

namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kBackspace = 0x08;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;

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
    if (transferring && (byte == kAck || byte == kNak || byte == 'C')) {
        return false;
    }
    // The backspaces follow the CANs at once; after anything else they are the board's own.
    owedBackspaces_ = 0;
    return true;
}

}  // namespace drel
