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

bool CheckSpec(const ImageShape& shape, std::string& error) {
    if (shape.address == 0) {
        return Fail(error, "the image cannot start at address 0: that address marks the end");
    }
    // Every record must start below 4 GiB (a start that wraps to 0 would read as the end
    // record) and end at 4 GiB at the most.
    std::uint64_t start = shape.address;
    for (std::uint32_t size : shape.recordSizes) {
        if (start >= kAddressSpace || start + size > kAddressSpace) {
            return Fail(error, "the records do not fit between the start address and 4 GiB");
        }
        start += size;
    }
    if (shape.badChecksumRecord &&
        (*shape.badChecksumRecord == 0 || *shape.badChecksumRecord > shape.recordSizes.size())) {
        return Fail(error, "there is no record " + std::to_string(*shape.badChecksumRecord) +
                               " to give a bad checksum");
    }
    return true;
}

// The data of one record: bytes from a generator that every image seeds afresh, so the same
// shape always gives the same image.
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

std::uint64_t DataBytes(const ImageShape& shape) {
    std::uint64_t total = 0;
    for (std::uint32_t size : shape.recordSizes) {
        total += size;
    }
    return total;
}

bool WriteBinImage(const ImageShape& shape, std::ostream& out, std::string& error) {
    if (!CheckSpec(shape, error)) {
        return false;
    }
    const auto trueLength = static_cast<std::uint32_t>(DataBytes(shape));
    out << kBinSignature
        << EncodeImageHeader({shape.address, shape.imageLength.value_or(trueLength)});
    std::mt19937 generator(shape.seed);
    std::uint32_t address = shape.address;
    for (std::size_t i = 0; i < shape.recordSizes.size() && out; ++i) {
        const std::string data = RecordData(generator, shape.recordSizes[i]);
        RecordHeader header{address, shape.recordSizes[i], AddToChecksum(0, data)};
        if (shape.badChecksumRecord == i + 1) {
            header.checksum += 1;
        }
        out << EncodeRecordHeader(header) << data;
        address += shape.recordSizes[i];
    }
    if (shape.endRecord) {
        out << EncodeRecordHeader({});
    }
    return out.flush() ? true : Fail(error, "writing the image failed");
}

std::string MakeBinImage(const ImageShape& shape, std::string& error) {
    std::ostringstream out;
    return WriteBinImage(shape, out, error) ? std::move(out).str() : std::string();
}

}  // namespace drel::devsim
