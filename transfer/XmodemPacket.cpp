#include "transfer/XmodemPacket.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace drel::transfer {

uint16_t Crc16(std::span<const uint8_t> bytes) {
    uint16_t crc = 0;
    for (const uint8_t byte : bytes) {
        crc ^= static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
        }
    }
    return crc;
}

uint8_t Checksum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint8_t>(sum + byte);
    }
    return sum;
}

std::vector<uint8_t> BuildPacket(uint8_t blockNumber, std::span<const uint8_t> data,
                                 CheckKind check) {
    if (data.size() != kShortBlock && data.size() != kLongBlock) {
        return {};
    }
    std::vector<uint8_t> packet;
    packet.reserve(3 + data.size() + 2);
    packet.push_back(data.size() == kShortBlock ? kSoh : kStx);
    packet.push_back(blockNumber);
    packet.push_back(static_cast<uint8_t>(~blockNumber));
    packet.insert(packet.end(), data.begin(), data.end());
    if (check == CheckKind::Crc16) {
        const uint16_t crc = Crc16(data);
        packet.push_back(static_cast<uint8_t>(crc >> 8));
        packet.push_back(static_cast<uint8_t>(crc & 0xFF));
    } else {
        packet.push_back(Checksum(data));
    }
    return packet;
}

std::vector<uint8_t> BuildFileHeader(std::string_view baseName, uint64_t size, int64_t mtime) {
    if (baseName.empty() || baseName.find('\0') != std::string_view::npos ||
        baseName.find('/') != std::string_view::npos) {
        return {};
    }
    // Receivers read the size up to the first space and the time as octal after it.
    char sizeText[24];  // 20 decimal digits at most
    char timeText[24];  // 22 octal digits at most
    const char* sizeEnd = std::to_chars(sizeText, sizeText + sizeof sizeText, size).ptr;
    const char* timeEnd = std::to_chars(timeText, timeText + sizeof timeText,
                                        static_cast<uint64_t>(std::max<int64_t>(mtime, 0)), 8)
                              .ptr;
    std::vector<uint8_t> header(baseName.begin(), baseName.end());
    header.push_back(0);
    header.insert(header.end(), static_cast<const char*>(sizeText), sizeEnd);
    header.push_back(' ');
    header.insert(header.end(), static_cast<const char*>(timeText), timeEnd);
    // At least one NUL must end the fields for a receiver to find their end.
    if (header.size() >= kLongBlock) {
        return {};
    }
    header.resize(header.size() < kShortBlock ? kShortBlock : kLongBlock, 0);
    return header;
}

std::vector<uint8_t> BuildBatchEnd() {
    return std::vector<uint8_t>(kShortBlock, 0);
}

std::optional<ParsedPacket> ParsePacket(std::span<const uint8_t> bytes, CheckKind check) {
    if (bytes.size() < 3 || (bytes[0] != kSoh && bytes[0] != kStx)) {
        return std::nullopt;
    }
    const size_t dataSize = bytes[0] == kSoh ? kShortBlock : kLongBlock;
    const size_t checkSize = check == CheckKind::Crc16 ? 2 : 1;
    const size_t length = 3 + dataSize + checkSize;
    if (bytes.size() < length || static_cast<uint8_t>(~bytes[1]) != bytes[2]) {
        return std::nullopt;
    }
    const auto data = bytes.subspan(3, dataSize);
    const auto sent = bytes.subspan(3 + dataSize, checkSize);
    const bool checked = check == CheckKind::Crc16 ? Crc16(data) == ((sent[0] << 8) | sent[1])
                                                   : Checksum(data) == sent[0];
    if (!checked) {
        return std::nullopt;
    }
    return ParsedPacket{bytes[1], std::vector<uint8_t>(data.begin(), data.end()), length};
}

}  // namespace drel::transfer
