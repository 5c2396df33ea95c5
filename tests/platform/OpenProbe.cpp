// open_probe PORT: opens PORT with the system's serial service, as the program does, and prints
// "opened", or the line that tells the user why it did not open. Tests run it as another user.

#include <cstdio>

#include "platform/CommError.h"
#include "platform/SerialService.h"

using namespace drel::platform;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: open_probe PORT\n");
        return 2;
    }
    if (SystemSerialService().CreateFileA(argv[1]) != nullptr) {
        std::puts("opened");
        return 0;
    }
    const uint32_t error = GetLastError();
    std::puts(SystemSerialService().WhyOpenFailed(argv[1], error).c_str());
    return 1;
}
