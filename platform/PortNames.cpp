#include "PortNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace drel::platform {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The n of "COMn" (any letter case, n >= 1), or 0 when `name` is not of that form.
unsigned ComNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 12) {
        return 0;
    }
    const std::string_view prefix = name.substr(0, 3);
    const bool isCom = std::equal(prefix.begin(), prefix.end(), "com", [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    const std::string_view digits = name.substr(3);
    if (!isCom || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return 0;
    }
    unsigned long number = std::strtoul(std::string(digits).c_str(), nullptr, 10);
    return number <= 0xFFFFFFu ? static_cast<unsigned>(number) : 0;
}

// ttyS2 before ttyS10: the trailing numbers compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t digitsAt = s.find_last_not_of("0123456789") + 1;
        return std::pair{s.substr(0, digitsAt), std::strtoul(s.c_str() + digitsAt, nullptr, 10)};
    };
    return split(a) < split(b);
}

// A ttyS device node exists for every possible 8250 port; only those with a UART behind them
// report a known port type.
bool SerialPortAnswers(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    bool answers = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return answers;
}

std::vector<std::string> DeviceNamesWithPrefix(const std::string& prefix) {
    std::vector<std::string> names;
    DIR* dev = opendir("/dev");
    if (dev == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dev)) {
        std::string name = entry->d_name;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            std::isdigit(static_cast<unsigned char>(name[prefix.size()]))) {
            names.push_back(name);
        }
    }
    closedir(dev);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

}  // namespace

std::string PortLinksFolder() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string base = configHome != nullptr && *configHome != '\0' ? std::string(configHome)
                                                                    : HomeFolder() + "/.config";
    return base + "/Ovex/drel/ports";
}

std::string ResolvePortName(const std::string& portName) {
    if (portName.find('/') != std::string::npos) {
        return portName;
    }
    // Opening the link opens the device it points to.
    if (!portName.empty() && portName != "." && portName != "..") {
        std::string link = PortLinksFolder() + "/" + portName;
        if (PathExists(link)) {
            return link;
        }
    }
    if (unsigned n = ComNumber(portName); n >= 1) {
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

std::vector<std::string> ListSerialDevices() {
    std::vector<std::string> devices;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm"}) {
        std::vector<std::string> names = DeviceNamesWithPrefix(prefix);
        devices.insert(devices.end(), names.begin(), names.end());
    }
    for (const std::string& name : DeviceNamesWithPrefix("ttyS")) {
        if (SerialPortAnswers("/dev/" + name)) {
            devices.push_back(name);
        }
    }
    return devices;
}

}  // namespace drel::platform
