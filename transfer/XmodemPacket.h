#pragma once

// The bytes of XMODEM and YMODEM on the line: the control characters, the two checks and the
// packets a sender builds. Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace drel::transfer {

inline constexpr uint8_t kSoh = 0x01;  // starts a packet of 128 data bytes
inline constexpr uint8_t kStx = 0x02;  // starts a packet of 1024 data bytes
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kCan = 0x18;
inline constexpr uint8_t kCrcRequest = 'C';
// Fills the last data packet: receivers without the file's size strip it as end of file.
inline constexpr uint8_t kCpmEof = 0x1A;

inline constexpr size_t kShortBlock = 128;
inline constexpr size_t kLongBlock = 1024;

// How the receiver asked packets to be checked: with NAK an 8-bit sum, with 'C' a CRC-16.
enum class CheckKind { Checksum, Crc16 };

// CRC-16/XMODEM (CCITT polynomial 0x1021, start 0, no reflection) of `bytes`.
uint16_t Crc16(std::span<const uint8_t> bytes);

// The sum of `bytes` modulo 256.
uint8_t Checksum(std::span<const uint8_t> bytes);

// One packet: SOH or STX by the size of `data` (which must be 128 or 1024 bytes), the block
// number and its complement, the data, then the check. Returns an empty vector for any other
// data size.
std::vector<uint8_t> BuildPacket(uint8_t blockNumber, std::span<const uint8_t> data,
                                 CheckKind check);

// The data of YMODEM's block 0 for a file: its name, a NUL, then its size in decimal and its
// modification time as octal seconds since 1970, padded with NUL to 128 bytes, or to 1024 when
// that does not hold it. Empty when the name is empty, holds a NUL or a '/', or does not fit in
// 1024 bytes; a negative `mtime` is sent as 0 (unknown).
std::vector<uint8_t> BuildFileHeader(std::string_view baseName, uint64_t size, int64_t mtime);

// The data of the empty block 0 that ends a YMODEM batch: 128 NULs.
std::vector<uint8_t> BuildBatchEnd();

// A packet read back: what a receiver would take from the start of `bytes`. nullopt when
// `bytes` does not start with a whole, well-formed packet of `check`.
struct ParsedPacket {
    uint8_t blockNumber = 0;
    std::vector<uint8_t> data;
    size_t length = 0;  // bytes of the packet on the line
};
std::optional<ParsedPacket> ParsePacket(std::span<const uint8_t> bytes, CheckKind check);

}  // namespace drel::transfer
