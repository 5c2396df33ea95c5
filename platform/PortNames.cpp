#include "PortNames.h"

#include "SerialDevices.h"

#include <pwd.h>
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
    std::vector<std::string> names;
    for (const SerialDevice& device : ListSerialDevicesDescribed()) {
        names.push_back(device.name);
    }
    return names;
}

}  // namespace drel::platform
