#include "LinuxSerialService.h"

#include "CommError.h"
#include "LinuxSerialPort.h"
#include "NetworkOpenFailure.h"
#include "NetworkPort.h"
#include "OpenDiagnosis.h"
#include "PortNames.h"

namespace drel::platform {

std::unique_ptr<SerialPort> LinuxSerialService::CreateFileA(const std::string& portName) {
    return CreateFileUnlessStopped(portName, -1);
}

std::unique_ptr<SerialPort> LinuxSerialService::CreateFileUnlessStopped(const std::string& portName,
                                                                        int stopFd) {
    if (IsNetworkPortName(portName)) {
        const std::optional<NetworkAddress> address = ParseNetworkPortName(portName);
        if (!address) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return NetworkPort::Open(*address, kNetworkOpenPatience, stopFd);
    }
    return LinuxSerialPort::Open(ResolvePortName(portName));
}

std::string LinuxSerialService::WhyOpenFailed(const std::string& portName, uint32_t error) {
    if (IsNetworkPortName(portName)) {
        return DescribeNetworkOpenFailure(portName, error);
    }
    return DescribeOpenFailure(DeviceForMessages(ResolvePortName(portName)), ErrnoOf(error),
                               SystemDiagnosisSources());
}

std::unique_ptr<Event> LinuxSerialService::CreateEvent(Event::ResetMode mode,
                                                       bool initiallySignalled) {
    return std::make_unique<Event>(mode, initiallySignalled);
}

SerialService& SystemSerialService() {
    static LinuxSerialService service;
    return service;
}

}  // namespace drel::platform
