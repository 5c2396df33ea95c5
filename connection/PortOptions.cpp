#include "connection/PortOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>

namespace drel {

namespace {

// Sets `index` to the position of `value` among `names`; false when it is none of them.
bool IndexOf(const std::string& value, std::initializer_list<const char*> names, int32_t& index) {
    const auto found = std::find(names.begin(), names.end(), value);
    if (found == names.end()) {
        return false;
    }
    index = static_cast<int32_t>(found - names.begin());
    return true;
}

// A positive whole number that the dialog's reading of the baud text keeps as it stands. The
// text is kept as given, so the title shows it as the dialog shows it typed.
bool ApplyBaud(const std::string& value, PortChoices& choices) {
    const char* const end = value.data() + value.size();
    uint32_t rate = 0;
    const auto [stop, error] = std::from_chars(value.data(), end, rate);
    if (error != std::errc{} || stop != end || rate == 0 ||
        rate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    choices.baud = value;
    return true;
}

bool ApplyDataBits(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"7", "8"}, choices.dataBits);
}

bool ApplyParity(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"none", "odd", "even"}, choices.parity);
}

bool ApplyStopBits(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"1", "2"}, choices.stopBits);
}

bool ApplyFlow(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"none", "rtscts", "xonxoff"}, choices.flowControl);
}

bool ApplyLog(const std::string& value, PortChoices& choices) {
    choices.logPath = value;
    return true;
}

bool ApplyLogFormat(const std::string& value, PortChoices& choices) {
    const std::optional<LogFormat> format = ParseLogFormat(value);
    if (format) {
        choices.logFormat = *format;
    }
    return format.has_value();
}

constexpr PortOption kPortOptions[] = {
    {"--baud", "a whole number from 1 to 2147483647", ApplyBaud},
    {"--data-bits", "7 or 8", ApplyDataBits},
    {"--parity", "none, odd or even", ApplyParity},
    {"--stop-bits", "1 or 2", ApplyStopBits},
    {"--flow", "none, rtscts or xonxoff", ApplyFlow},
    {"--log", "a file name", ApplyLog},
    {"--log-format", "raw, iso, elapsed or delta", ApplyLogFormat},
};

}  // namespace

std::span<const PortOption> PortOptions() {
    return kPortOptions;
}

const PortOption* FindPortOption(std::string_view name) {
    for (const PortOption& option : kPortOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace drel
