#include "platform/PortCompletion.h"

#include "platform/CommError.h"

namespace drel::platform {

void SignalDone(Overlapped& overlapped) {
    if (overlapped.hEvent != nullptr) {
        overlapped.hEvent->Set();
    }
}

bool FinishWrite(Overlapped& overlapped, uint32_t& transferred, uint32_t error) {
    transferred = static_cast<uint32_t>(overlapped.pendingDone);
    overlapped.pendingBytes = nullptr;
    SignalDone(overlapped);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    return true;
}

Dcb InitialPortState() {
    Dcb dcb;
    dcb.flags =
        (DTR_CONTROL_ENABLE << DCB_fDtrControlShift) | (RTS_CONTROL_ENABLE << DCB_fRtsControlShift);
    return dcb;
}

void EventMask::Set(uint32_t mask) {
    mask_.store(mask);
    generation_.fetch_add(1);
    changed_.Raise();
}

bool EventMask::Begin(uint64_t& generation) {
    generation = generation_.load();
    if (generation != seen_.load()) {
        // A change no wait has seen yet ends this one: the thread that made it may have meant
        // to end a wait that had not quite begun.
        seen_.store(generation);
        return true;
    }
    return false;
}

bool EventMask::Changed(uint64_t generation) {
    changed_.Drain();
    if (const uint64_t now = generation_.load(); now != generation) {
        seen_.store(now);
        return true;
    }
    return false;
}

void WriteAbort::Raise() {
    generation_.fetch_add(1);
    aborted_.Raise();
}

}  // namespace drel::platform
