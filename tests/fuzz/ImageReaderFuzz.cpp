// Fuzzes the BIN image reader: the input is the image file. It is read as the download worker
// reads it (signature, image header, then records until the end record, a file that ends early
// or no memory), with an allocator that refuses more than kAllocationCap bytes, and each step is
// checked against a plain walk over the same bytes:
// - the signature and the header read whole exactly when the file holds them;
// - a record reads back as stored: its header, address, length and data;
// - the end record takes no memory;
// - Incomplete exactly when the file ends inside a record header or its data; a data length
//   beyond the file is Incomplete before any memory is asked for;
// - otherwise one buffer of exactly the data length is asked for, never more than the bytes left
//   in the file, and a refused one is NoMemory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "download/BinImageReader.h"

namespace {

using drel::BinImageReader;
using drel::ImageRecord;
using drel::kImageHeaderSize;
using drel::kRecordHeaderSize;
using drel::kSignatureSize;
using drel::fuzz::Require;
using Status = BinImageReader::Status;

// Small enough for fuzz inputs to hold records both below and above it.
constexpr size_t kAllocationCap = 1024;

// The image being read and the sizes asked of the allocator while one record is read. The
// allocator is a plain function, so it finds them here.
std::FILE* gImage = nullptr;
size_t gImageSize = 0;
std::vector<size_t> gRequests;

std::unique_ptr<uint8_t[]> CappedAllocate(size_t size) {
    const long at = std::ftell(gImage);
    Require(at >= 0 && size <= gImageSize - static_cast<size_t>(at),
            "never allocate more than the bytes left in the file");
    gRequests.push_back(size);
    if (size > kAllocationCap) {
        return nullptr;
    }
    return std::unique_ptr<uint8_t[]>(new uint8_t[size > 0 ? size : 1]);
}

uint32_t LittleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Reads the next record and checks it against the bytes at `at`, which it moves past the
// record. False once the image is over.
bool CheckNextRecord(BinImageReader& reader, const uint8_t* image, size_t size, size_t& at) {
    ImageRecord record;
    gRequests.clear();
    const Status status = reader.ReadRecord(record);
    if (size - at < kRecordHeaderSize) {
        Require(status == Status::Incomplete && gRequests.empty(),
                "a record header cut short is Incomplete");
        return false;
    }
    const uint8_t* header = image + at;
    const uint32_t length = LittleEndian32(header + 4);
    at += kRecordHeaderSize;
    Require(std::memcmp(record.header, header, kRecordHeaderSize) == 0 &&
                record.address == LittleEndian32(header) && record.length == length,
            "the record header reads back as stored");
    if (record.address == 0) {
        Require(status == Status::Ok && !record.data && gRequests.empty(),
                "the end record is Ok and takes no memory");
        return false;
    }
    if (length > size - at) {
        Require(status == Status::Incomplete && gRequests.empty(),
                "data beyond the file is Incomplete before memory is asked for");
        return false;
    }
    Require(gRequests == std::vector<size_t>{length}, "one buffer of the data length");
    if (length > kAllocationCap) {
        Require(status == Status::NoMemory, "a refused buffer is NoMemory");
        return false;
    }
    Require(status == Status::Ok && std::memcmp(record.data.get(), image + at, length) == 0,
            "the record's data reads back as stored");
    at += length;
    return true;
}

// Reads the whole image as the download worker does, which stops at the first short read.
void CheckImage(BinImageReader& reader, const uint8_t* image, size_t size) {
    uint8_t head[kImageHeaderSize];
    const bool signature = reader.ReadExact(head, kSignatureSize);
    Require(signature == (size >= kSignatureSize), "the signature reads whole when present");
    if (!signature) {
        return;
    }
    const bool header = reader.ReadExact(head, kImageHeaderSize);
    Require(header == (size >= kSignatureSize + kImageHeaderSize),
            "the image header reads whole when present");
    if (!header) {
        return;
    }
    for (size_t at = kSignatureSize + kImageHeaderSize; CheckNextRecord(reader, image, size, at);) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen wants a writable buffer, and one that is there when the input is empty.
    std::vector<uint8_t> image(data, data + size);
    image.push_back(0);
    gImage = fmemopen(image.data(), size, "rb");
    Require(gImage != nullptr, "the image opens as a file");
    gImageSize = size;
    {
        BinImageReader reader(gImage, CappedAllocate);
        CheckImage(reader, image.data(), size);
    }
    std::fclose(gImage);
    gImage = nullptr;
    return 0;
}
