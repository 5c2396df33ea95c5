#include "DevsimOptions.h"

#include <charconv>
#include <chrono>
#include <limits>
#include <optional>

#include "PortLink.h"

namespace drel::devsim {

const std::string_view kDevsimUsage =
    "Usage: drel-devsim [--as NAME] [option...]\n"
    "Simulates a boot monitor with the prompt FW> on a pseudo-terminal and prints its path.\n"
    "The monitor echoes what it receives. The line \"l NAME\" + CR loads an image: it prints\n"
    "\":F=NAME\" + CR LF and \"start download\" + CR LF, serves the 0x01/0x02 handshake, checks\n"
    "the image and prints one result line, \"load ok: R records, B bytes\" or\n"
    "\"load FAILED: REASON\", then the prompt. Each result line also goes to stderr.\n"
    "  --as NAME            publish the terminal as port NAME for drel (a link in\n"
    "                       $XDG_CONFIG_HOME/Ovex/drel/ports, removed on exit)\n"
    "  --log FILE           write the result lines to FILE (emptied at start) instead of\n"
    "                       stderr; use it for long runs when nobody reads stderr\n"
    "  --idle-timeout MS    abandon a load after MS ms without a byte from the host (2000)\n"
    "  --no-header-request  never ask for the image header (no 0x01): the load fails\n"
    "  --ask FILE           answer every load command by asking for FILE, whatever it\n"
    "                       names\n"
    "  --stop-after N       after N records ask for no more, the end record included\n"
    "                       (no 0x02): the load fails\n"
    "  --pace BAUD          take input no faster than BAUD/10 bytes per second (BAUD >= 10)\n"
    "  --chunks N           send output in chunks of 1 to N bytes with 1 ms gaps\n"
    "  --seed S             seed for the chunk sizes and the random flood (1)\n"
    "  --timing FILE        write the timing of every load to FILE: its time from the first\n"
    "                       image byte to the last, and each record request's turnaround\n"
    "  --flood SECONDS      on each SIGUSR1 send numbered text lines for SECONDS seconds, as\n"
    "                       fast as the host reads them, then log \"flood: B bytes in S s,\n"
    "                       fnv1a64 H\" (count and FNV-1a hash of the text) with the results\n"
    "  --flood-random BYTES on each SIGUSR1 send BYTES random bytes (every value 0 to 255,\n"
    "                       from --seed) instead of text, then log the same summary line\n"
    "  --flood-baud BAUD    send the flood no faster than BAUD/10 bytes per second\n"
    "  --help               show this help\n"
    "  --version            show the version\n";

namespace {

// Whether `arg` is option `name`, alone or as "name=VALUE".
bool IsOption(std::string_view name, std::string_view arg) {
    return arg.starts_with(name) && (arg.size() == name.size() || arg[name.size()] == '=');
}

// The value of the option `name` at argv[i], given as "name VALUE" or "name=VALUE"; `i` moves
// past a value taken from the next argument. Nothing when the value is missing or empty.
std::optional<std::string> OptionValue(std::string_view name, int argc, char** argv, int& i) {
    const std::string_view arg = argv[i];
    std::string_view value;
    if (arg.size() > name.size()) {
        value = arg.substr(name.size() + 1);
    } else if (i + 1 < argc) {
        value = argv[++i];
    }
    return value.empty() ? std::nullopt : std::optional<std::string>(value);
}

// Reads the number of option `name` into `number`, which must lie in [min, max]. Returns
// false with the reason in `error`.
template <typename Number>
bool NumberValue(std::string_view name, int argc, char** argv, int& i, Number min, Number max,
                 Number& number, std::string& error) {
    const std::optional<std::string> value = OptionValue(name, argc, argv, i);
    if (!value) {
        error = std::string(name) + " needs a number";
        return false;
    }
    Number parsed{};
    const char* end = value->data() + value->size();
    const auto [stop, status] = std::from_chars(value->data(), end, parsed);
    if (status != std::errc() || stop != end || parsed < min || parsed > max) {
        error = std::string(name) + " needs a whole number from " + std::to_string(min) + " to " +
                std::to_string(max) + ", not '" + *value + "'";
        return false;
    }
    number = parsed;
    return true;
}

// Reads the file name of option `name` into `path`. Returns false with the reason in `error`.
bool PathValue(std::string_view name, int argc, char** argv, int& i, std::string& path,
               std::string& error) {
    const std::optional<std::string> value = OptionValue(name, argc, argv, i);
    if (!value) {
        error = std::string(name) + " needs a file name";
        return false;
    }
    path = *value;
    return true;
}

bool PortNameValue(int argc, char** argv, int& i, DevsimOptions& options, std::string& error) {
    const std::optional<std::string> name = OptionValue("--as", argc, argv, i);
    if (!name || !PortLink::IsValidName(*name)) {
        error = name ? "'" + *name + "' cannot be a port name: use a file name without '/'"
                     : "--as needs a port name";
        return false;
    }
    options.portName = *name;
    return true;
}

// Takes the option at argv[i] that needs a value. Returns false with the reason in `error`.
bool ValueOption(int argc, char** argv, int& i, DevsimOptions& options, std::string& error) {
    constexpr std::uint32_t kMaxWord = std::numeric_limits<std::uint32_t>::max();
    const std::string_view arg = argv[i];
    if (IsOption("--as", arg)) {
        return PortNameValue(argc, argv, i, options, error);
    }
    if (IsOption("--log", arg)) {
        return PathValue("--log", argc, argv, i, options.logPath, error);
    }
    if (IsOption("--ask", arg)) {
        return PathValue("--ask", argc, argv, i, options.device.askFor, error);
    }
    if (IsOption("--timing", arg)) {
        return PathValue("--timing", argc, argv, i, options.timingPath, error);
    }
    if (IsOption("--flood", arg)) {
        return NumberValue<std::uint32_t>("--flood", argc, argv, i, 1, 24 * 3600,
                                          options.flood.seconds, error);
    }
    if (IsOption("--flood-random", arg)) {
        return NumberValue<std::uint64_t>("--flood-random", argc, argv, i, 1, 1ULL << 40,
                                          options.flood.randomBytes, error);
    }
    if (IsOption("--flood-baud", arg)) {
        return NumberValue<std::uint32_t>("--flood-baud", argc, argv, i, 10, 100'000'000,
                                          options.flood.baud, error);
    }
    if (IsOption("--idle-timeout", arg)) {
        std::uint32_t ms = 0;
        const bool ok = NumberValue<std::uint32_t>("--idle-timeout", argc, argv, i, 1,
                                                   24 * 3600 * 1000, ms, error);
        options.device.idleTimeout = std::chrono::milliseconds(ms);
        return ok;
    }
    if (IsOption("--stop-after", arg)) {
        std::uint32_t records = 0;
        const bool ok =
            NumberValue<std::uint32_t>("--stop-after", argc, argv, i, 0, kMaxWord, records, error);
        options.device.load.stopAfterRecords = records;
        return ok;
    }
    if (IsOption("--pace", arg)) {
        return NumberValue<std::uint32_t>("--pace", argc, argv, i, 10, 100'000'000,
                                          options.paceBaud, error);
    }
    if (IsOption("--chunks", arg)) {
        return NumberValue<std::size_t>("--chunks", argc, argv, i, 1, 1 << 20, options.maxChunk,
                                        error);
    }
    if (IsOption("--seed", arg)) {
        return NumberValue<std::uint32_t>("--seed", argc, argv, i, 0, kMaxWord, options.seed,
                                          error);
    }
    error = "unknown option '" + std::string(arg) + "'";
    return false;
}

}  // namespace

bool ParseDevsimOptions(int argc, char** argv, DevsimOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--no-header-request") {
            options.device.load.requestHeader = false;
        } else if (!ValueOption(argc, argv, i, options, error)) {
            return false;
        }
    }
    if (options.flood.seconds > 0 && options.flood.randomBytes > 0) {
        error = "--flood and --flood-random exclude each other";
        return false;
    }
    return true;
}

}  // namespace drel::devsim
