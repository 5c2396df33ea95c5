#pragma once

// The BIN image format that the boot monitor loads, shared by the image writer (drel-mkimage,
// tests) and the simulated device that checks what it receives.
//
//   offset 0   7 bytes   signature "B000FF\n"
//   offset 7   8 bytes   image header: image start, image length (32-bit little-endian each)
//   offset 15  records   12-byte record header (address, data length, checksum; 32-bit
//                        little-endian each), then the data
//
// A record's checksum is the sum of its data bytes, taken as unsigned 32-bit (it wraps). The
// record whose address is 0 ends the image; its length and checksum words are 0 and no data
// follows it. The image length counts the data bytes of all records before the end record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drel::devsim {

inline constexpr std::string_view kBinSignature{"B000FF\n", 7};
inline constexpr std::size_t kImageHeaderSize = 8;
inline constexpr std::size_t kRecordHeaderSize = 12;

struct ImageHeader {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

struct RecordHeader {
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;

    bool isEnd() const { return address == 0; }
};

// One record as found in an image: its header words as written, and its data.
struct BinRecord {
    RecordHeader header;
    std::string data;
};

// An image taken apart. `records` holds the data records only; `hasEndRecord` tells whether
// the image ended with an end record, whose header is then `endRecord`.
struct BinImage {
    ImageHeader header;
    std::vector<BinRecord> records;
    bool hasEndRecord = false;
    RecordHeader endRecord;
};

// Adds `data` to a running record checksum: the unsigned 32-bit sum of the bytes. Never fails.
std::uint32_t AddToChecksum(std::uint32_t checksum, std::string_view data);

// The 8-byte and 12-byte encodings, and back. Decoding reads the first 8 or 12 bytes of
// `bytes`, which must hold at least that many. Never fail; any thread.
std::string EncodeImageHeader(const ImageHeader& header);
ImageHeader DecodeImageHeader(std::string_view bytes);
std::string EncodeRecordHeader(const RecordHeader& header);
RecordHeader DecodeRecordHeader(std::string_view bytes);

// Takes a whole image apart. Returns false with the reason in `error` when the signature is
// wrong or the bytes end inside the signature, the image header, a record header or a
// record's data, or when bytes follow the end record. An image that simply stops after a
// complete record parses, with `hasEndRecord` false. Any thread.
bool ParseBinImage(std::string_view bytes, BinImage& image, std::string& error);

}  // namespace drel::devsim
