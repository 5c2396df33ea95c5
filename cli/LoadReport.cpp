#include "cli/LoadReport.h"

#include <array>
#include <cstdio>

#include "cli/LoadResultText.h"

namespace drel::cli {

namespace {

constexpr const char* kReplacement = "\\ufffd";

// The length of the well-formed UTF-8 sequence at the start of `text` (not empty), or 0.
size_t Utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    // The sequence's length, and its smallest code point: a longer form of a smaller one is
    // refused.
    size_t length = 0;
    uint32_t least = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        least = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        least = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    uint32_t code = lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3f);
    }
    const bool surrogate = code >= 0xd800 && code <= 0xdfff;
    return code < least || code > 0x10ffff || surrogate ? 0 : length;
}

void AppendEscaped(unsigned char byte, std::string& out) {
    switch (byte) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        default:
            break;
    }
    if (byte < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        out += escape;
    } else {
        out += static_cast<char>(byte);
    }
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string ImageObject(const ImageRun& run) {
    return "{\"path\":" + JsonString(run.path) + ",\"size\":" + std::to_string(run.size) +
           ",\"records\":" + std::to_string(run.records) +
           ",\"bytes_sent\":" + std::to_string(run.bytesSent) +
           ",\"seconds\":" + Number(std::chrono::duration<double>(run.took).count()) +
           ",\"result\":" + JsonString(run.result ? ResultName(*run.result) : "not started") + "}";
}

}  // namespace

std::string JsonLine(const PortChoices& port) {
    static constexpr std::array<const char*, 3> kParity{"none", "odd", "even"};
    static constexpr std::array<const char*, 3> kFlow{"none", "rtscts", "xonxoff"};
    LineSettings settings{};
    ApplyPortChoices(port, settings);
    return "{\"baud\":" + std::to_string(settings.BaudRate) +
           ",\"data_bits\":" + std::to_string(port.dataBits + 7) + ",\"parity\":\"" +
           kParity.at(static_cast<size_t>(port.parity)) +
           "\",\"stop_bits\":" + std::to_string(port.stopBits + 1) + ",\"flow\":\"" +
           kFlow.at(static_cast<size_t>(port.flowControl)) + "\"}";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        size_t length = 1;
        if (byte < 0x80) {
            AppendEscaped(byte, out);
        } else if ((length = Utf8Length(text)) != 0) {
            out.append(text.substr(0, length));
        } else {
            out += kReplacement;
            length = 1;
        }
        text.remove_prefix(length);
    }
    return out + "\"";
}

std::string JsonReport(const PortChoices& port, const std::vector<ImageRun>& runs,
                       ExitStatus status) {
    std::string images;
    for (const ImageRun& run : runs) {
        images += (images.empty() ? "" : ",") + ImageObject(run);
    }
    return "{\"port\":" + JsonString(port.port) + ",\"line\":" + JsonLine(port) + ",\"images\":[" +
           images + "],\"exit_status\":" + std::to_string(ProcessStatus(status)) + "}";
}

}  // namespace drel::cli
