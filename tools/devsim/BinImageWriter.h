#pragma once

// Writes BIN images (see BinImage.h) of a chosen shape, for tests and benchmarks of the image
// download: the record sizes are chosen, the data comes from a seed, so many distinct images
// can be made and made again. A few faults can be written on purpose, to see that the device
// notices them.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace drel::devsim {

struct ImageShape {
    // One data record per entry, of that many data bytes. Records lie one after another in
    // memory from `address` on, and the image header's start is `address`.
    std::vector<std::uint32_t> recordSizes;
    std::uint32_t address = 0x00100000;
    std::uint32_t seed = 1;

    // Faults written on purpose.
    std::optional<std::uint32_t> badChecksumRecord{};  // 1-based; its checksum word is off by one
    std::optional<std::uint32_t> imageLength{};        // written in place of the true length
    bool endRecord = true;                             // false: the image stops after its records
};

// The total data bytes of `shape`'s records. Never fails.
std::uint64_t DataBytes(const ImageShape& shape);

// Writes the image that `shape` describes to `out`. Returns false with the reason in `error`,
// writing nothing, when the address is 0 or the records would reach past the end of the
// 32-bit address space (a record at address 0 would read as the end record), or when
// `badChecksumRecord` names no record; false with the reason when `out` fails (part of the
// image may then have been written). Any thread.
bool WriteBinImage(const ImageShape& shape, std::ostream& out, std::string& error);

// The image as a string, or the empty string with the reason in `error`, as WriteBinImage.
std::string MakeBinImage(const ImageShape& shape, std::string& error);

}  // namespace drel::devsim
