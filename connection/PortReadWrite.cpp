#include "PortReadWrite.h"

#include <algorithm>
#include <string>
#include <vector>

#include "connection/ConnectionDisplay.h"
#include "connection/Reconnect.h"
#include "platform/CommError.h"

namespace drel {

namespace {

using platform::GetLastError;

std::string Marker(uint32_t code) {
    return "<CE-" + std::to_string(code) + ">";
}

// The line errors since the last look, as a marker, or nothing when there were none.
std::string LineErrorMarker(platform::SerialPort& port) {
    uint32_t errors = 0;
    port.ClearCommError(errors, nullptr);
    return errors != 0 ? Marker(errors) : std::string();
}

// Sends under the write lock and returns the markers to show, which are shown once the lock is
// released: the write lock is held for as long as the device holds a write off, and nothing
// else should wait on it.
int WriteLocked(PortConnection& c, const uint8_t* bytes, uint32_t count,
                std::vector<std::string>& markers) {
    std::lock_guard lock(c.writeInFlight);
    if (c.connected == 0) {
        return 0;
    }
    if (c.port->WriteFile(bytes, count, c.writeBlock)) {
        return 1;
    }
    if (GetLastError() != platform::ERROR_IO_PENDING) {
        markers.push_back(LineErrorMarker(*c.port));
        return 0;
    }
    if (c.connected == 0) {
        // The close began after this write started and may have aborted writes just before it:
        // abort this one too rather than wait under a hold-off that may never end.
        c.port->PurgeComm(platform::PURGE_TXABORT);
    }
    uint32_t transferred = 0;
    while (!c.port->GetOverlappedResult(c.writeBlock, transferred, true)) {
        const uint32_t error = GetLastError();
        if (error != platform::ERROR_IO_INCOMPLETE) {
            // A write that ended with an error did not send what it was given.
            markers.push_back(Marker(error));
            markers.push_back(LineErrorMarker(*c.port));
            return 0;
        }
    }
    return 1;
}

}  // namespace

int WritePort(PortConnection& c, const uint8_t* bytes, uint32_t count) {
    if (c.connected == 0) {
        return 0;
    }
    std::vector<std::string> markers;
    const int sent = WriteLocked(c, bytes, count, markers);
    for (const std::string& marker : markers) {
        if (!marker.empty()) {
            DisplayBytes(c, reinterpret_cast<const uint8_t*>(marker.data()),
                         static_cast<int>(marker.size()));
        }
    }
    return sent;
}

int ReadPort(PortConnection& c, uint8_t* buffer, int maximum, bool* failed) {
    uint32_t errors = 0;
    platform::CommStat stat;
    c.port->ClearCommError(errors, &stat);
    const uint32_t count =
        std::min<uint32_t>(static_cast<uint32_t>(std::max(maximum, 0)), stat.cbInQue);
    if (count == 0) {
        return 0;
    }
    uint32_t read = 0;
    if (c.port->ReadFile(buffer, count, read, c.readBlock)) {
        return static_cast<int>(read);
    }
    if (failed != nullptr) {
        *failed = true;
    }
    // A device that went away is waited for, not reported, when the user wants it back.
    if (!ReconnectWanted(c) && !c.readErrorReported.exchange(true)) {
        c.ui.MessageBox(c.portName + " port read error occured");
    }
    return 0;
}

}  // namespace drel
