#include "connection/PortChoices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/CommTypes.h"

namespace drel {

namespace {

constexpr uint32_t kFlowBits =
    platform::DCB_fOutxCtsFlow | platform::DCB_fOutX | platform::DCB_fInX;

// The leading decimal number of `text` as atol reads it with a 32-bit long: white space, a sign,
// digits up to the first other character, 0 without digits, and a number beyond the range of a
// 32-bit long held at its end. Holding it there, rather than keeping its low 32 bits, keeps a
// huge text such as "4294977296" from passing for 9600.
uint32_t LeadingNumber(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<uint32_t>(static_cast<int32_t>(std::clamp<long long>(
        value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
}

void ApplyParity(int32_t parity, LineSettings& settings) {
    switch (parity) {
        case 0:
            settings.Parity = platform::NOPARITY;
            break;
        case 1:
            settings.Parity = platform::ODDPARITY;
            break;
        case 2:
            settings.Parity = platform::EVENPARITY;
            break;
        default:
            break;
    }
}

void ApplyStopBits(int32_t stopBits, LineSettings& settings) {
    if (stopBits == 0) {
        settings.StopBits = platform::ONESTOPBIT;
    } else if (stopBits == 1) {
        settings.StopBits = platform::TWOSTOPBITS;
    }
}

// Only the three flow-control bits change; every other bit of the flags word stays.
void ApplyFlowControl(int32_t flowControl, LineSettings& settings) {
    uint32_t flowBits = 0;
    switch (flowControl) {
        case 0:
            break;
        case 1:
            flowBits = platform::DCB_fOutxCtsFlow;
            break;
        case 2:
            flowBits = platform::DCB_fOutX | platform::DCB_fInX;
            break;
        default:
            return;
    }
    settings.flags = (settings.flags & ~kFlowBits) | flowBits;
}

const char* ParityLetter(int32_t parity) {
    switch (parity) {
        case 0:
            return "N";
        case 1:
            return "O";
        case 2:
            return "E";
        default:
            return "";
    }
}

}  // namespace

void ApplyPortChoices(const PortChoices& choices, LineSettings& settings) {
    ApplyParity(choices.parity, settings);
    ApplyStopBits(choices.stopBits, settings);
    ApplyFlowControl(choices.flowControl, settings);
    settings.ByteSize = static_cast<uint8_t>(choices.dataBits + 7);
    settings.BaudRate = LeadingNumber(choices.baud);
}

std::string PortTitle(const PortChoices& choices) {
    char format[32];
    std::snprintf(format, sizeof format, "-%d-%d", choices.dataBits + 7, choices.stopBits + 1);
    return choices.port + " " + choices.baud + "  " + ParityLetter(choices.parity) + format;
}

}  // namespace drel
