#pragma once

// Why a port did not open, in one line the user can act on: the cause that the errno of the
// failed open names, made precise by what the system says about the device.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/NodeAccess.h"
#include "platform/PortHolder.h"

namespace drel::platform {

// What the diagnosis may look up about a device. Each is asked only for the cause it explains,
// and all must be set.
struct OpenDiagnosisSources {
    // Who may open the node `path` names (permission denied).
    std::function<std::optional<NodeAccess>(const std::string& path)> access;
    // The process that holds the device `path` names (busy).
    std::function<std::optional<PortHolder>(const std::string& path)> holder;
    // The serial devices present, as ListSerialDevices() gives them (no such device).
    std::function<std::vector<std::string>()> presentDevices;
};

// The sources on this system: LookUpNodeAccess, FindPortHolder, ListSerialDevices.
OpenDiagnosisSources SystemDiagnosisSources();

// The path to speak of when the port resolved to `path`: where a link finally leads when that
// exists (a port link, a /dev/serial/by-id name), a dangling link's target, else `path` itself.
// Any thread.
std::string DeviceForMessages(const std::string& path);

// One line that says why opening `device` failed with errno `err` and what to do about it:
// who may open it (EACCES, EPERM), who holds it (EBUSY), which devices there are instead (ENOENT,
// ENODEV, ENXIO), that it is no serial device (ENOTTY, EISDIR), else the system's text for
// `err`. Never fails. Any thread.
std::string DescribeOpenFailure(const std::string& device, int err,
                                const OpenDiagnosisSources& sources);

}  // namespace drel::platform
