// drel: the executable is the application object and the framework's main. What the command
// line asks that needs no window (the list of serial devices, the help, the version, a mistake
// in an option) is done before the windowing system is reached, so it works where there is no
// display.

#include <cstdio>
#include <string>
#include <vector>

#include "app/CDrelApp.h"
#include "app/DrelCommandLine.h"
#include "framework/Resources.h"
#include "platform/SerialDevices.h"
#include "resources/AppResources.h"

namespace {

drel::CDrelApp theApp;

// The serial devices present, one a line: the name that opens it, then what identifies it.
void PrintPortList() {
    for (const drel::platform::SerialDevice& device :
         drel::platform::ListSerialDevicesDescribed()) {
        const std::string description = drel::platform::DescribeSerialDevice(device);
        std::printf("%s%s%s\n", device.name.c_str(), description.empty() ? "" : "  ",
                    description.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const drel::DrelCommandLine options = drel::ReadDrelOptions(words);
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\n", options.error.c_str());
        return drel::kBadCommandLineStatus;
    }
    if (options.help) {
        std::fputs(drel::DrelHelp(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("drel %s\n", DREL_VERSION);
        return 0;
    }
    if (options.listPorts) {
        PrintPortList();
        return 0;
    }
    drel::AfxSetResources(drel::AppResources());
    return drel::AfxWinMain(argc, argv);
}
