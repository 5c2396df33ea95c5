// drel-mkimage: writes a BIN image of a chosen shape, for loading into drel-devsim through
// drel in tests, benchmarks and demo runs.

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "BinImageWriter.h"

namespace {

using drel::devsim::ImageShape;

constexpr std::string_view kUsage =
    "Usage: drel-mkimage OUT --records N --size BYTES [option...]\n"
    "  or:  drel-mkimage OUT --sizes BYTES,BYTES,... [option...]\n"
    "Writes a BIN image to OUT: signature, image header, records whose data comes from a\n"
    "seed, and the end record. Records lie one after another in memory.\n"
    "  --records N       number of records, each of --size data bytes\n"
    "  --size BYTES      data bytes per record\n"
    "  --sizes LIST      one record per size in a comma-separated list, e.g. 0,4096,4097\n"
    "  --address A       address of the first record, decimal or 0x-hex (0x100000)\n"
    "  --seed S          seed for the data (1); each seed gives other data\n"
    "Faults, to test a device's checks:\n"
    "  --bad-checksum R  write a wrong checksum for record R (counted from 1)\n"
    "  --image-length L  write L as the image length instead of the data byte count\n"
    "  --no-end-record   leave out the end record\n"
    "  --help            show this help\n"
    "  --version         show the version\n";

struct Options {
    std::string out;
    std::optional<std::uint32_t> records;
    std::optional<std::uint32_t> size;
    std::optional<std::uint32_t> address;
    std::optional<std::uint32_t> seed;
    bool sizesGiven = false;
    ImageShape shape;
    bool help = false;
    bool version = false;
};

// A 32-bit number in decimal, or in hexadecimal after "0x"; nothing when `text` is not one.
std::optional<std::uint32_t> ParseWord(std::string_view text) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || status != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool ParseSizes(std::string_view list, ImageShape& shape) {
    shape.recordSizes.clear();
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::optional<std::uint32_t> size = ParseWord(list.substr(0, comma));
        if (!size) {
            return false;
        }
        shape.recordSizes.push_back(*size);
        if (comma == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(comma + 1);
    }
}

// Where the number of option `arg` goes; nothing for an option that takes no number.
std::optional<std::uint32_t>* NumberOption(std::string_view arg, Options& options) {
    if (arg == "--records") {
        return &options.records;
    }
    if (arg == "--size") {
        return &options.size;
    }
    if (arg == "--address") {
        return &options.address;
    }
    if (arg == "--seed") {
        return &options.seed;
    }
    if (arg == "--bad-checksum") {
        return &options.shape.badChecksumRecord;
    }
    if (arg == "--image-length") {
        return &options.shape.imageLength;
    }
    return nullptr;
}

// Takes the option `arg`, whose value is `value`. Returns false with the reason in `error`.
bool TakeValue(std::string_view arg, std::string_view value, Options& options, std::string& error) {
    if (arg == "--sizes") {
        options.sizesGiven = true;
        if (!ParseSizes(value, options.shape)) {
            error =
                "--sizes needs whole numbers separated by commas, not '" + std::string(value) + "'";
            return false;
        }
        return true;
    }
    std::optional<std::uint32_t>* number = NumberOption(arg, options);
    if (number == nullptr) {
        error = "unknown option '" + std::string(arg) + "'";
        return false;
    }
    *number = ParseWord(value);
    if (!*number) {
        error =
            std::string(arg) + " needs a whole number below 2^32, not '" + std::string(value) + "'";
        return false;
    }
    return true;
}

// Completes the shape: the record sizes from --records and --size, or from --sizes, and the
// address and seed when given. False with the reason in `error`.
bool SettleSpec(Options& options, std::string& error) {
    options.shape.address = options.address.value_or(options.shape.address);
    options.shape.seed = options.seed.value_or(options.shape.seed);
    if (options.sizesGiven) {
        if (options.records || options.size) {
            error = "give either --sizes or --records with --size, not both";
            return false;
        }
        return true;
    }
    if (!options.records || !options.size) {
        error = "say how many records of what size: --records N --size BYTES, or --sizes";
        return false;
    }
    options.shape.recordSizes.assign(*options.records, *options.size);
    return true;
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--version") {
            options.version = true;
            return true;
        }
        if (arg == "--no-end-record") {
            options.shape.endRecord = false;
        } else if (!arg.starts_with("-")) {
            if (!options.out.empty()) {
                error = "one output file only; '" + std::string(arg) + "' is a second";
                return false;
            }
            options.out = arg;
        } else {
            const std::size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            if (equals == std::string_view::npos && i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return false;
            }
            const std::string_view value =
                equals == std::string_view::npos ? argv[++i] : arg.substr(equals + 1);
            if (!TakeValue(name, value, options, error)) {
                return false;
            }
        }
    }
    if (options.out.empty()) {
        error = "name the image file to write";
        return false;
    }
    return SettleSpec(options, error);
}

// Writes the image; on failure removes what was written and returns false with the reason.
bool WriteImage(const Options& options, std::string& error) {
    std::ofstream out(options.out, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + options.out + ": " + std::strerror(errno);
        return false;
    }
    if (drel::devsim::WriteBinImage(options.shape, out, error)) {
        return true;
    }
    out.close();
    std::error_code ignored;
    std::filesystem::remove(options.out, ignored);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::cerr << "drel-mkimage: " << error << '\n' << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "drel-mkimage " DREL_VERSION "\n";
        return 0;
    }
    if (!WriteImage(options, error)) {
        std::cerr << "drel-mkimage: " << error << '\n';
        return 1;
    }
    std::cout << options.out << ": " << options.shape.recordSizes.size() << " records, "
              << drel::devsim::DataBytes(options.shape) << " data bytes\n";
    return 0;
}
