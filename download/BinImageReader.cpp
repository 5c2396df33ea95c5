#include "BinImageReader.h"

#include <algorithm>
#include <new>

namespace drel {

namespace {

uint32_t LittleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// What is left to read in `file`, or nothing for a stream whose size cannot be known.
std::optional<uint64_t> BytesLeft(std::FILE* file) {
    const long at = std::ftell(file);
    if (at < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const long end = std::ftell(file);
    if (std::fseek(file, at, SEEK_SET) != 0 || end < at) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(end - at);
}

std::unique_ptr<uint8_t[]> AllocateNoThrow(size_t size) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
}

}  // namespace

BinImageReader::BinImageReader(std::FILE* file, Allocator allocate)
    : file_(file),
      allocate_(allocate != nullptr ? allocate : AllocateNoThrow),
      remaining_(BytesLeft(file)) {}

bool BinImageReader::ReadExact(uint8_t* into, size_t count) {
    const size_t got = std::fread(into, 1, count, file_);
    if (remaining_) {
        *remaining_ -= std::min<uint64_t>(got, *remaining_);
    }
    return got == count;
}

BinImageReader::Status BinImageReader::ReadRecord(ImageRecord& record) {
    if (!ReadExact(record.header, kRecordHeaderSize)) {
        return Status::Incomplete;
    }
    record.address = LittleEndian32(record.header);
    record.length = LittleEndian32(record.header + 4);
    record.data.reset();
    if (record.IsEnd()) {
        return Status::Ok;
    }
    if (remaining_ && record.length > *remaining_) {
        return Status::Incomplete;
    }
    record.data = allocate_(record.length);
    if (!record.data) {
        return Status::NoMemory;
    }
    return ReadExact(record.data.get(), record.length) ? Status::Ok : Status::Incomplete;
}

}  // namespace drel
