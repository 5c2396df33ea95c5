#pragma once

// The serial devices present on the machine and what identifies each: the USB vendor and
// model, serial number and interface where the device has them, and the stable name udev made
// for it under /dev/serial/by-id. Where udev runs, its properties say it; where it does not
// (containers, CI), the same comes from sysfs. Pseudo-terminals and virtual consoles are not
// serial devices here, and a built-in port (ttyS*) only counts when a UART answers behind it.

#include <map>
#include <string>
#include <vector>

namespace drel::platform {

struct SerialDevice {
    std::string name;       // the name that opens it: "ttyUSB0", a device in /dev
    std::string vendor;     // "FTDI"; empty when unknown
    std::string model;      // "FT232R USB UART"; empty when unknown
    std::string serial;     // "A600ABCD"; empty when the device has none
    std::string interface;  // the USB interface number, "00", "02"; empty when unknown
    std::string byId;       // "/dev/serial/by-id/usb-FTDI_..."; empty when udev made none
    std::string byPath;     // "/dev/serial/by-path/pci-...-usb-0:2:1.0-port0"; the same
};

// What a udev property set (ID_VENDOR_ENC, ID_VENDOR, ID_VENDOR_ID, ID_VENDOR_FROM_DATABASE,
// the same four of ID_MODEL, ID_SERIAL_SHORT, ID_USB_INTERFACE_NUM, DEVLINKS) says of the device
// named `name`. The device's own vendor and model strings win; the names of udev's hardware
// database stand in for those a device does not have (udev then reports the numeric id).
// Any thread; touches nothing but its arguments.
SerialDevice SerialDeviceFromProperties(const std::string& name,
                                        const std::map<std::string, std::string>& properties);

// One line that tells the device apart from the others, for the port list, e.g.
// "FTDI FT232R USB UART, serial A600ABCD (/dev/serial/by-id/usb-FTDI_...-if00-port0)";
// "interface 1" is added for the second port of an adapter with several. A device without a
// serial number shows its by-path name instead of the by-id one, which identical adapters share.
// Empty when nothing is known (a built-in port). Any thread.
std::string DescribeSerialDevice(const SerialDevice& device);

// The serial devices present, in natural order by kind: ttyUSB*, ttyACM*, ttyAMA*, rfcomm*,
// then the ttyS* that answer. Never fails: what cannot be read is left out or left unknown.
// Any thread.
std::vector<SerialDevice> ListSerialDevicesDescribed();

}  // namespace drel::platform
