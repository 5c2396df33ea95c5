#include "ConnectionLifecycle.h"

#include <system_error>
#include <thread>

#include "connection/ConnectionLog.h"
#include "connection/LineControl.h"
#include "connection/ReceiveLoop.h"
#include "platform/CommError.h"
#include "platform/NetworkAddress.h"

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

// Opens `portName` on a thread of its own while the user-interface thread keeps the windows
// alive: a network port may take seconds to connect. `error` is the opening thread's last error.
std::unique_ptr<SerialPort> OpenDevice(PortConnection& c, const std::string& portName,
                                       uint32_t& error) {
    std::unique_ptr<SerialPort> device;
    const auto open = [&] {
        device = c.service.CreateFileA(portName);
        error = device ? ERROR_SUCCESS : GetLastError();
    };
    Event opened(Event::ResetMode::Manual);
    try {
        std::thread opener([&] {
            open();
            opened.Set();
        });
        const std::string status = IsNetworkPortName(portName) ? "Connecting to " + portName : "";
        c.ui.WaitKeepingWindowsAlive(opened, status);
        opener.join();
    } catch (const std::system_error&) {
        open();  // no thread to spare: open here, as a local port always could
    }
    return device;
}

}  // namespace

// Queue sizes, purge and time-outs are requests the line works without; their results are not
// looked at.
bool PreparePort(SerialPort& port, const LineSettings& settings) {
    port.SetCommMask(EV_RXCHAR);
    port.SetupComm(kQueueSize, kQueueSize);
    port.PurgeComm(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 1000;
    port.SetCommTimeouts(timeouts);
    return ApplyLineSettings(port, settings);
}

bool OpenConnection(PortConnection& c, const std::string& portName, const LineSettings& settings) {
    uint32_t error = ERROR_SUCCESS;
    std::unique_ptr<SerialPort> device = OpenDevice(c, portName, error);
    if (!device) {
        c.ui.MessageBox(portName + " port can not open\n" +
                        c.service.WhyOpenFailed(portName, error));
        return false;
    }
    c.port = std::make_unique<ReplaceablePort>(std::move(device));
    c.portName = portName;
    c.lineSettings = settings;
    c.readErrorReported = false;
    if (!MakeOverlappedEvents(c)) {
        ReleasePortAndEvents(c);
        return false;
    }
    if (!PreparePort(*c.port, settings)) {
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
        StopLog(c);
        return;
    }
    c.connected = 0;
    // A write that the device holds off would keep its thread, and so this close, waiting for as
    // long as the device likes; a write that starts from now on sees `connected` at 0 and aborts
    // itself.
    c.port->PurgeComm(PURGE_TXABORT);
    c.userWrites.Stop();
    EndReceiveLoop(c);
    // After the loop: everything it read is in the log.
    StopLog(c);
    ReleasePortAndEvents(c);
}

}  // namespace drel
