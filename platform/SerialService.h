#pragma once

// The serial communications service: opens ports by name and makes the event objects the
// connection code works with. The connection code receives one by reference, so that tests can
// hand it a scripted service instead of the system's.

#include <cstdint>
#include <memory>
#include <string>

#include "Event.h"
#include "SerialPort.h"

namespace drel::platform {

class SerialService {
  public:
    virtual ~SerialService() = default;

    // Opens the port named `portName` (resolved as PortNames.h says) for reading and writing,
    // exclusively: a port that any process holds fails with EBUSY. Null on failure, with the
    // reason in the last error. Any thread.
    virtual std::unique_ptr<SerialPort> CreateFileA(const std::string& portName) = 0;

    // As above, but an open that waits (a network port connecting) ends at once, failing with
    // ECANCELED, when `stopFd` becomes readable. Any thread.
    virtual std::unique_ptr<SerialPort> CreateFileUnlessStopped(const std::string& portName,
                                                                int stopFd) {
        static_cast<void>(stopFd);
        return CreateFileA(portName);
    }

    // One line for the user that says why opening `portName` failed with last error `error` (as
    // CreateFileA left it) and what to do about it. Never fails. Any thread.
    virtual std::string WhyOpenFailed(const std::string& portName, uint32_t error) = 0;

    // A new event, or null when none can be made. Any thread.
    virtual std::unique_ptr<Event> CreateEvent(Event::ResetMode mode, bool initiallySignalled) = 0;
};

// The system's service, on termios. Lives for the whole program.
SerialService& SystemSerialService();

}  // namespace drel::platform
