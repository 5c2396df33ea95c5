#include "SerialDevices.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <tuple>

namespace drel::platform {

namespace {

using Properties = std::map<std::string, std::string>;

// The kinds of device in the order the list shows them; other kinds follow, ttyS last.
constexpr std::array<std::string_view, 4> kKindsFirst = {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};

std::string Get(const Properties& properties, const char* key) {
    const auto at = properties.find(key);
    return at != properties.end() ? at->second : std::string();
}

// udev writes a device's own strings twice: with '_' for blanks ("FT232R_USB_UART"), and with
// "\xHH" escapes for what is not plain (ID_*_ENC). The escaped form gives back the string.
std::string Unescaped(const std::string& encoded) {
    std::string text;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded.compare(i, 2, "\\x") == 0 && i + 3 < encoded.size() &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(encoded[i + 3]))) {
            text.push_back(static_cast<char>(std::stoi(encoded.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            text.push_back(encoded[i]);
        }
    }
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The device's own name for its vendor or model (`key` "ID_VENDOR" or "ID_MODEL"), or the
// database's when the device has none: udev then reports the numeric id in its place.
std::string NameOf(const Properties& properties, const std::string& key) {
    std::string own = Unescaped(Get(properties, (key + "_ENC").c_str()));
    if (own.empty()) {
        own = Get(properties, key.c_str());
        std::replace(own.begin(), own.end(), '_', ' ');
    }
    if (own.empty() || own == Get(properties, (key + "_ID").c_str())) {
        return Get(properties, (key + "_FROM_DATABASE").c_str());
    }
    return own;
}

// The link under `folder` among the device's links (DEVLINKS: blank-separated paths).
std::string LinkIn(const std::string& links, std::string_view folder) {
    std::istringstream words(links);
    for (std::string link; words >> link;) {
        if (link.rfind(folder, 0) == 0) {
            return link;
        }
    }
    return {};
}

// The kind of a device name ("ttyUSB" of "ttyUSB3") and its number.
std::pair<std::string, unsigned long> KindAndNumber(const std::string& name) {
    const size_t digitsAt = name.find_last_not_of("0123456789") + 1;
    return {name.substr(0, digitsAt), std::strtoul(name.c_str() + digitsAt, nullptr, 10)};
}

int KindRank(const std::string& kind) {
    const auto known = std::find(kKindsFirst.begin(), kKindsFirst.end(), kind);
    if (known != kKindsFirst.end()) {
        return static_cast<int>(known - kKindsFirst.begin());
    }
    return kind == "ttyS" ? static_cast<int>(kKindsFirst.size()) + 1
                          : static_cast<int>(kKindsFirst.size());
}

bool ListedBefore(const SerialDevice& a, const SerialDevice& b) {
    const auto [kindA, numberA] = KindAndNumber(a.name);
    const auto [kindB, numberB] = KindAndNumber(b.name);
    return std::tuple(KindRank(kindA), kindA, numberA) <
           std::tuple(KindRank(kindB), kindB, numberB);
}

// A ttyS device node exists for every possible 8250 port; only those with a UART behind them
// report a known port type.
bool UartAnswers(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool answers = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return answers;
}

const char* SysAttr(udev_device* device, const char* name) {
    return device != nullptr ? udev_device_get_sysattr_value(device, name) : nullptr;
}

void SetIfMissing(Properties& properties, const char* key, const char* value) {
    if (value != nullptr && *value != '\0' && properties[key].empty()) {
        properties[key] = value;
    }
}

// The device's udev properties; where udev does not run they are missing, and the USB device's
// own strings in sysfs stand in for them.
Properties PropertiesOf(udev_device* device) {
    Properties properties;
    for (udev_list_entry* entry = udev_device_get_properties_list_entry(device); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        const char* value = udev_list_entry_get_value(entry);
        properties[udev_list_entry_get_name(entry)] = value != nullptr ? value : "";
    }
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    udev_device* port =
        udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_interface");
    SetIfMissing(properties, "ID_VENDOR_ENC", SysAttr(usb, "manufacturer"));
    SetIfMissing(properties, "ID_MODEL_ENC", SysAttr(usb, "product"));
    SetIfMissing(properties, "ID_SERIAL_SHORT", SysAttr(usb, "serial"));
    SetIfMissing(properties, "ID_USB_INTERFACE_NUM", SysAttr(port, "bInterfaceNumber"));
    return properties;
}

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// The device of one sysfs tty entry, when it is a serial device.
std::optional<SerialDevice> SerialDeviceAt(udev* context, const char* syspath) {
    // Virtual terminals and pseudo-terminals have no device behind them.
    if (access((std::string(syspath) + "/device").c_str(), F_OK) != 0) {
        return std::nullopt;
    }
    UdevPtr<udev_device> device(udev_device_new_from_syspath(context, syspath));
    if (!device) {
        return std::nullopt;
    }
    const std::string name = udev_device_get_sysname(device.get());
    if (KindAndNumber(name).first == "ttyS" && !UartAnswers("/dev/" + name)) {
        return std::nullopt;
    }
    return SerialDeviceFromProperties(name, PropertiesOf(device.get()));
}

}  // namespace

SerialDevice SerialDeviceFromProperties(const std::string& name, const Properties& properties) {
    SerialDevice device;
    device.name = name;
    device.vendor = NameOf(properties, "ID_VENDOR");
    device.model = NameOf(properties, "ID_MODEL");
    device.serial = Get(properties, "ID_SERIAL_SHORT");
    device.interface = Get(properties, "ID_USB_INTERFACE_NUM");
    const std::string links = Get(properties, "DEVLINKS");
    device.byId = LinkIn(links, "/dev/serial/by-id/");
    device.byPath = LinkIn(links, "/dev/serial/by-path/");
    return device;
}

std::string DescribeSerialDevice(const SerialDevice& device) {
    std::string text = device.vendor;
    if (!device.model.empty()) {
        text += (text.empty() ? "" : " ") + device.model;
    }
    if (!device.serial.empty()) {
        text += (text.empty() ? "serial " : ", serial ") + device.serial;
    }
    // Adapters with several ports tell them apart by interface; a single-port one has only 00.
    if (!device.interface.empty() && device.interface != "00") {
        const unsigned long number = std::strtoul(device.interface.c_str(), nullptr, 16);
        text += (text.empty() ? "interface " : ", interface ") + std::to_string(number);
    }
    const std::string& link =
        device.serial.empty() && !device.byPath.empty() ? device.byPath : device.byId;
    if (!link.empty()) {
        text += (text.empty() ? "" : " ") + ("(" + link + ")");
    }
    return text;
}

std::vector<SerialDevice> ListSerialDevicesDescribed() {
    std::vector<SerialDevice> devices;
    UdevPtr<udev> context(udev_new());
    UdevPtr<udev_enumerate> enumerate(context ? udev_enumerate_new(context.get()) : nullptr);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return devices;
    }
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumerate.get()); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        if (std::optional<SerialDevice> device =
                SerialDeviceAt(context.get(), udev_list_entry_get_name(entry))) {
            devices.push_back(std::move(*device));
        }
    }
    std::sort(devices.begin(), devices.end(), ListedBefore);
    return devices;
}

}  // namespace drel::platform
