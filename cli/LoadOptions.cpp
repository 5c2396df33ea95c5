#include "cli/LoadOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include "connection/PortOptions.h"

namespace drel::cli {

namespace {

using std::chrono::milliseconds;

constexpr double kMostSeconds = 1'000'000;  // fits the worker's 32-bit millisecond waits
constexpr uint32_t kMostLoads = 1'000'000;
// The board answers a load command at once; this allows for a slow monitor and a busy host.
constexpr milliseconds kDefaultWait{10000};

// A number of seconds above 0 and at most kMostSeconds, fractions allowed, as milliseconds
// (at least 1).
std::optional<milliseconds> ParseSeconds(const std::string& value) {
    double seconds = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, seconds);
    if (error != std::errc{} || stop != end || !std::isfinite(seconds) || seconds <= 0 ||
        seconds > kMostSeconds) {
        return std::nullopt;
    }
    return milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

bool ApplySeconds(const std::string& value, milliseconds& into) {
    const std::optional<milliseconds> parsed = ParseSeconds(value);
    if (parsed) {
        into = *parsed;
    }
    return parsed.has_value();
}

bool ApplyCount(const std::string& value, LoadOptions& options) {
    const char* const end = value.data() + value.size();
    uint32_t count = 0;
    const auto [stop, error] = std::from_chars(value.data(), end, count);
    if (error != std::errc{} || stop != end || count == 0 || count > kMostLoads) {
        return false;
    }
    options.count = count;
    return true;
}

// --command's text with \r, \n, \t, \\ and \xHH standing for their bytes, as a shell's quotes
// leave them; nothing when another backslash or a short \x comes.
std::optional<std::string> Unescape(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case 'r':
                bytes += '\r';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 't':
                bytes += '\t';
                break;
            case '\\':
                bytes += '\\';
                break;
            case 'x': {
                unsigned value = 0;
                const char* const digits = text.data() + i + 1;
                const char* const end = text.data() + std::min(text.size(), i + 3);
                const auto [stop, error] = std::from_chars(digits, end, value, 16);
                if (error != std::errc{} || stop != digits + 2) {
                    return std::nullopt;
                }
                bytes += static_cast<char>(value);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return bytes;
}

bool ApplyCommand(const std::string& value, LoadOptions& options) {
    const std::optional<std::string> bytes = Unescape(value);
    if (bytes) {
        options.command = *bytes;
    }
    return bytes.has_value();
}

// One of drel-load's own options that take a value.
struct ValueOption {
    const char* name;
    const char* takes;
    bool (*apply)(const std::string& value, LoadOptions& options);
};

// --ymodem, --xmodem1k, --xmodem: the file and its protocol.
template <transfer::TransferProtocol protocol>
bool ApplySend(const std::string& value, LoadOptions& options) {
    options.sendProtocol = protocol;
    options.sendFile = value;
    return true;
}

constexpr ValueOption kValueOptions[] = {
    {"--ymodem", "a file", ApplySend<transfer::TransferProtocol::Ymodem>},
    {"--xmodem1k", "a file", ApplySend<transfer::TransferProtocol::Xmodem1k>},
    {"--xmodem", "a file", ApplySend<transfer::TransferProtocol::Xmodem>},
    {"--command", "a text where \\r, \\n, \\t, \\\\ and \\xHH stand for their bytes", ApplyCommand},
    {"--count", "a whole number from 1 to 1000000", ApplyCount},
    {"--until", "a text",
     [](const std::string& value, LoadOptions& options) {
         options.until = value;
         return true;
     }},
    {"--timeout", "seconds above 0",
     [](const std::string& value, LoadOptions& options) {
         return ApplySeconds(value, options.timeout);
     }},
    {"--wait", "seconds above 0",
     [](const std::string& value, LoadOptions& options) {
         return ApplySeconds(value, options.wait);
     }},
    {"--header-timeout", "seconds above 0",
     [](const std::string& value, LoadOptions& options) {
         return ApplySeconds(value, options.headerTimeout);
     }},
    {"--record-timeout", "seconds above 0",
     [](const std::string& value, LoadOptions& options) {
         return ApplySeconds(value, options.recordTimeout);
     }},
};

struct Switch {
    const char* name;
    bool LoadOptions::*turnsOn;
};

constexpr Switch kSwitches[] = {
    {"--serve", &LoadOptions::serve},     {"--quiet", &LoadOptions::quiet},
    {"--json", &LoadOptions::json},       {"--help", &LoadOptions::help},
    {"--version", &LoadOptions::version},
};

template <typename Table>
auto Find(const Table& table, std::string_view name) -> decltype(&*std::begin(table)) {
    for (const auto& entry : table) {
        if (name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

// Reads the options and the plain words of `words`; the error line, or "".
class Reader {
  public:
    explicit Reader(LoadOptions& options) : options_(options) {}

    std::string Read(std::span<const std::string> words, std::vector<std::string>& plain) {
        for (size_t i = 0; i < words.size(); ++i) {
            const std::string& word = words[i];
            if (word == "--") {
                plain.insert(plain.end(), words.begin() + static_cast<long>(i) + 1, words.end());
                return "";
            }
            if (word == "-h") {
                options_.help = true;
                continue;
            }
            if (!word.starts_with("-") || word == "-") {
                plain.push_back(word);
                continue;
            }
            if (std::string error = ReadOption(words, i); !error.empty()) {
                return error;
            }
        }
        return "";
    }

    // What the options cannot do together, or with the plain words.
    std::string CheckCombination(const std::vector<std::string>& plain) const {
        if (Given("--log-format") && !Given("--log")) {
            return "--log-format says how --log writes; give --log too";
        }
        if (Given("--count") && !options_.serve) {
            return "--count counts the loads of --serve; give --serve too";
        }
        if (const std::string error = CheckSend(plain); error != "-") {
            return error;
        }
        if (options_.serve) {
            return plain.size() <= 3 ? ""
                                     : "--serve takes the port and at most two images: drel-load "
                                       "--serve PORT [IMAGE [SECOND_IMAGE]]";
        }
        if (plain.size() < 2 || plain.size() > 3) {
            return "give the port and one or two images: drel-load PORT IMAGE [SECOND_IMAGE]";
        }
        return "";
    }

  private:
    // The send options against the rest: "-" when none is given.
    std::string CheckSend(const std::vector<std::string>& plain) const {
        const int sends = static_cast<int>(Given("--ymodem")) +
                          static_cast<int>(Given("--xmodem1k")) +
                          static_cast<int>(Given("--xmodem"));
        if (sends == 0) {
            return Given("--command") ? "--command is typed before a file is sent; give --ymodem, "
                                        "--xmodem1k or --xmodem too"
                                      : "-";
        }
        if (sends > 1) {
            return "give one of --ymodem, --xmodem1k and --xmodem";
        }
        if (options_.serve) {
            return "--serve loads images; a file is sent without it";
        }
        return plain.size() == 1
                   ? ""
                   : "give the port alone after the file: drel-load --ymodem FILE PORT";
    }

    std::string ReadOption(std::span<const std::string> words, size_t& i) {
        const std::string& word = words[i];
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (std::find(given_.begin(), given_.end(), name) != given_.end()) {
            return name + " is given twice";
        }
        given_.push_back(name);
        if (const Switch* flag = Find(kSwitches, name)) {
            if (equals != std::string::npos) {
                return name + " takes no value";
            }
            options_.*flag->turnsOn = true;
            return "";
        }
        const ValueOption* own = Find(kValueOptions, name);
        const PortOption* port = own ? nullptr : FindPortOption(name);
        if (own == nullptr && port == nullptr) {
            return "unknown option '" + name + "'";
        }
        const char* takes = own ? own->takes : port->takes;
        std::string value;
        if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        }
        if (value.empty()) {
            return name + " needs a value (" + takes + ")";
        }
        const bool applied = own ? own->apply(value, options_) : port->apply(value, options_.port);
        return applied ? "" : name + " takes " + takes + ", not '" + value + "'";
    }

    bool Given(std::string_view name) const {
        return std::find(given_.begin(), given_.end(), name) != given_.end();
    }

    LoadOptions& options_;
    std::vector<std::string> given_;
};

}  // namespace

LoadOptions ParseLoadOptions(std::span<const std::string> words) {
    LoadOptions options;
    Reader reader(options);
    std::vector<std::string> plain;
    options.error = reader.Read(words, plain);
    if (options.error.empty() && (options.help || options.version)) {
        return options;
    }
    if (options.error.empty()) {
        options.error = reader.CheckCombination(plain);
    }
    if (options.error.empty() && options.wait.count() == 0 && options.timeout.count() == 0) {
        options.wait = kDefaultWait;
    }
    if (options.error.empty()) {
        options.port.port = plain.front();
        options.images.assign(plain.begin() + 1, plain.end());
    }
    if (!options.error.empty()) {
        options.error = "drel-load: " + options.error;
    }
    return options;
}

}  // namespace drel::cli
