#include "BinImageWriter.h"

#include <random>
#include <sstream>
#include <utility>

#include "BinImage.h"

namespace drel::devsim {

namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;

bool Fail(std::string& error, const std::string& reason) {
    error = reason;
    return false;
}

bool CheckSpec(const ImageSpec& spec, std::string& error) {
    if (spec.address == 0) {
        return Fail(error, "the image cannot start at address 0: that address marks the end");
    }
    // Every record must start below 4 GiB (a start that wraps to 0 would read as the end
    // record) and end at 4 GiB at the most.
    std::uint64_t start = spec.address;
    for (std::uint32_t size : spec.recordSizes) {
        if (start >= kAddressSpace || start + size > kAddressSpace) {
            return Fail(error, "the records do not fit between the start address and 4 GiB");
        }
        start += size;
    }
    if (spec.badChecksumRecord &&
        (*spec.badChecksumRecord == 0 || *spec.badChecksumRecord > spec.recordSizes.size())) {
        return Fail(error, "there is no record " + std::to_string(*spec.badChecksumRecord) +
                               " to give a bad checksum");
    }
    return true;
}

// The data of one record: bytes from a generator that every image seeds afresh, so the same
// spec always gives the same image.
std::string RecordData(std::mt19937& generator, std::uint32_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < data.size(); i += 4) {
        std::uint32_t word = generator();
        for (std::size_t j = i; j < i + 4 && j < data.size(); ++j, word >>= 8) {
            data[j] = static_cast<char>(word & 0xffu);
        }
    }
    return data;
}

}  // namespace

std::uint64_t DataBytes(const ImageSpec& spec) {
    std::uint64_t total = 0;
    for (std::uint32_t size : spec.recordSizes) {
        total += size;
    }
    return total;
}

bool WriteBinImage(const ImageSpec& spec, std::ostream& out, std::string& error) {
    if (!CheckSpec(spec, error)) {
        return false;
    }
    const auto trueLength = static_cast<std::uint32_t>(DataBytes(spec));
    out << kBinSignature
        << EncodeImageHeader({spec.address, spec.imageLength.value_or(trueLength)});
    std::mt19937 generator(spec.seed);
    std::uint32_t address = spec.address;
    for (std::size_t i = 0; i < spec.recordSizes.size() && out; ++i) {
        const std::string data = RecordData(generator, spec.recordSizes[i]);
        RecordHeader header{address, spec.recordSizes[i], AddToChecksum(0, data)};
        if (spec.badChecksumRecord == i + 1) {
            header.checksum += 1;
        }
        out << EncodeRecordHeader(header) << data;
        address += spec.recordSizes[i];
    }
    if (spec.endRecord) {
        out << EncodeRecordHeader({});
    }
    return out.flush() ? true : Fail(error, "writing the image failed");
}

std::string MakeBinImage(const ImageSpec& spec, std::string& error) {
    std::ostringstream out;
    return WriteBinImage(spec, out, error) ? std::move(out).str() : std::string();
}

}  // namespace drel::devsim
