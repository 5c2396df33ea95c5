#include "ConnectionLifecycle.h"

#include "connection/LineControl.h"
#include "connection/ReceiveLoop.h"
#include "platform/CommError.h"

namespace drel {

namespace {

using namespace platform;

constexpr uint32_t kQueueSize = 4096;

void ReleasePortAndEvents(PortConnection& c) {
    c.readBlock.hEvent = nullptr;
    c.writeBlock.hEvent = nullptr;
    c.readBlockEvent.reset();
    c.writeBlockEvent.reset();
    c.port.reset();
}

bool MakeOverlappedEvents(PortConnection& c) {
    c.readBlock = Overlapped{};
    c.writeBlock = Overlapped{};
    c.readBlockEvent = c.service.CreateEvent(Event::ResetMode::Manual, false);
    if (c.readBlockEvent) {
        c.writeBlockEvent = c.service.CreateEvent(Event::ResetMode::Manual, false);
    }
    if (!c.readBlockEvent || !c.writeBlockEvent) {
        return false;
    }
    c.readBlock.hEvent = c.readBlockEvent.get();
    c.writeBlock.hEvent = c.writeBlockEvent.get();
    return true;
}

// Queue sizes, purge and time-outs are requests the line works without; their results are not
// looked at.
void PrepareLine(SerialPort& port) {
    port.SetCommMask(EV_RXCHAR);
    port.SetupComm(kQueueSize, kQueueSize);
    port.PurgeComm(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 1000;
    port.SetCommTimeouts(timeouts);
}

}  // namespace

bool OpenConnection(PortConnection& c, const std::string& portName, const LineSettings& settings) {
    c.port = c.service.CreateFileA(portName);
    if (!c.port) {
        const uint32_t error = GetLastError();
        c.ui.MessageBox(portName + " port can not open\n" +
                        c.service.WhyOpenFailed(portName, error));
        return false;
    }
    c.portName = portName;
    c.readErrorReported = false;
    if (!MakeOverlappedEvents(c)) {
        ReleasePortAndEvents(c);
        return false;
    }
    PrepareLine(*c.port);
    if (!ApplyLineSettings(*c.port, settings)) {
        ReleasePortAndEvents(c);
        c.ui.MessageBox(portName + " port settings not accepted");
        return false;
    }
    c.connected = 1;
    if (!StartReceiveLoop(c)) {
        c.connected = 0;
        ReleasePortAndEvents(c);
        return false;
    }
    ApplyLineStates(c);
    return true;
}

void CloseConnection(PortConnection& c) {
    if (c.connected == 0) {
        return;
    }
    c.connected = 0;
    // A write that the device holds off would keep its thread, and so this close, waiting for as
    // long as the device likes; a write that starts from now on sees `connected` at 0 and aborts
    // itself.
    c.port->PurgeComm(PURGE_TXABORT);
    c.userWrites.Stop();
    EndReceiveLoop(c);
    ReleasePortAndEvents(c);
}

}  // namespace drel
