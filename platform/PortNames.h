#pragma once

// Port names as the user types them, and the devices they stand for.

#include <string>
#include <vector>

namespace drel::platform {

// The folder of named links, `$XDG_CONFIG_HOME/Ovex/drel/ports` (XDG_CONFIG_HOME defaulting
// to ~/.config).
std::string PortLinksFolder();

// The device path that `portName` names:
//  1. a link of that name in PortLinksFolder(), as the path it points to;
//  2. a name containing '/', as it stands;
//  3. COMn (any letter case, n >= 1), as /dev/ttyS<n-1>;
//  4. any other name, as /dev/<name>.
std::string ResolvePortName(const std::string& portName);

// The names of the serial devices present on this machine, without "/dev/" (so that they
// resolve by rule 4 above), in the order of ListSerialDevicesDescribed (SerialDevices.h).
std::vector<std::string> ListSerialDevices();

}  // namespace drel::platform
