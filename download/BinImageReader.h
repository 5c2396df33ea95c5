#pragma once

// Reading a BIN image front to back: the 7-byte signature, the 8-byte image header, then
// records of a 12-byte header (address, data length, checksum; little-endian) and their data. A
// record with address 0 ends the image.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

namespace drel {

inline constexpr size_t kSignatureSize = 7;
inline constexpr size_t kImageHeaderSize = 8;
inline constexpr size_t kRecordHeaderSize = 12;

struct ImageRecord {
    uint8_t header[kRecordHeaderSize] = {};
    uint32_t address = 0;
    uint32_t length = 0;
    std::unique_ptr<uint8_t[]> data;  // `length` bytes; none for the end record

    bool IsEnd() const { return address == 0; }
};

class BinImageReader {
  public:
    enum class Status {
        Ok,
        Incomplete,  // the file ends inside the record, or before the image's end record
        NoMemory,    // the record's data buffer could not be obtained
    };

    using Allocator = std::unique_ptr<uint8_t[]> (*)(size_t size);

    // Reads from `file`, which stays open and owned by the caller. Record data buffers come from
    // `allocate` (null: new(std::nothrow)), which returns null when there is no memory.
    explicit BinImageReader(std::FILE* file, Allocator allocate = nullptr);

    // Reads exactly `count` bytes; false when the file ends (or fails) first.
    bool ReadExact(uint8_t* into, size_t count);

    // Reads the next record whole: its header and, unless it is the end record, its data. A
    // data length beyond what is left in the file is Incomplete before any memory is taken.
    Status ReadRecord(ImageRecord& record);

  private:
    std::FILE* file_;
    Allocator allocate_;
    std::optional<uint64_t> remaining_;  // bytes left, when the file's size can be known
};

}  // namespace drel
