#include "SimulatedDevice.h"

namespace drel::devsim {

std::string SimulatedDevice::Start() {
    return Greeting();
}

std::string SimulatedDevice::HostPurged(bool deviceOutputLost) {
    if (greetingStands_ && !deviceOutputLost) {
        return {};
    }
    return Greeting();
}

std::string SimulatedDevice::Receive(std::string_view bytes) {
    std::string reply;
    for (char byte : bytes) {
        reply += byte;
        if (byte == '\r') {
            reply += '\n';
            reply += kPrompt;
        }
    }
    if (!bytes.empty()) {
        greetingStands_ = false;
    }
    return reply;
}

std::string SimulatedDevice::Greeting() {
    greetingStands_ = true;
    std::string greeting(kBanner);
    greeting += kPrompt;
    return greeting;
}

}  // namespace drel::devsim
