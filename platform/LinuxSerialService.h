#pragma once

// The system's serial service: ports are terminal devices found by PortNames.h, opened as
// LinuxSerialPort, or lines served over the network (NetworkAddress.h), opened as NetworkPort;
// events are plain Event objects.

#include "SerialService.h"

namespace drel::platform {

class LinuxSerialService final : public SerialService {
  public:
    // Connects to a network port name, taking up to kNetworkOpenPatience; resolves any other
    // `portName` (ResolvePortName) and opens that device exclusively. Null on failure with the
    // reason in the last error (ENOENT, EACCES, ENOTTY, EBUSY, ECONNREFUSED...; a malformed
    // network name gives ERROR_INVALID_PARAMETER). Any thread.
    std::unique_ptr<SerialPort> CreateFileA(const std::string& portName) override;
    std::unique_ptr<SerialPort> CreateFileUnlessStopped(const std::string& portName,
                                                        int stopFd) override;

    // Diagnoses the device `portName` resolves to (OpenDiagnosis.h): who may open it, who holds
    // it, which devices there are; for a network port, what the network said. Any thread.
    std::string WhyOpenFailed(const std::string& portName, uint32_t error) override;

    // A new event; never null. Any thread.
    std::unique_ptr<Event> CreateEvent(Event::ResetMode mode, bool initiallySignalled) override;
};

}  // namespace drel::platform
