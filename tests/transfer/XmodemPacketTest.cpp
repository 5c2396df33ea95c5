// The packets and checks on the line, as receivers check them.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "transfer/XmodemPacket.h"

namespace {

using namespace drel::transfer;

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(XmodemPacketTest, ChecksKnownValues) {
    struct Case {
        std::string_view text;
        uint16_t crc;
        uint8_t sum;
    };
    const Case cases[] = {
        {"", 0x0000, 0x00},
        {"123456789", 0x31C3, 0xDD},  // the CRC's published check value
        {"A", 0x58E5, 0x41},
        {std::string_view("\xFF\xFF", 2), 0x1D0F, 0xFE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc16(Bytes(c.text)), c.crc) << c.text;
        EXPECT_EQ(Checksum(Bytes(c.text)), c.sum) << c.text;
    }
}

TEST(XmodemPacketTest, PacketsCarryHeaderNumberComplementDataAndCheck) {
    struct Case {
        size_t size;
        CheckKind check;
        uint8_t start;
        size_t length;
    };
    const Case cases[] = {
        {128, CheckKind::Checksum, kSoh, 132},
        {128, CheckKind::Crc16, kSoh, 133},
        {1024, CheckKind::Crc16, kStx, 1029},
        {1024, CheckKind::Checksum, kStx, 1028},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> data(c.size);
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<uint8_t>(i * 7);
        }
        const auto packet = BuildPacket(0xFE, data, c.check);
        ASSERT_EQ(packet.size(), c.length);
        EXPECT_EQ(packet[0], c.start);
        EXPECT_EQ(packet[1], 0xFE);
        EXPECT_EQ(packet[2], 0x01);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), packet.begin() + 3));
        if (c.check == CheckKind::Crc16) {
            const uint16_t crc = Crc16(data);
            EXPECT_EQ(packet[c.length - 2], crc >> 8);  // high byte first
            EXPECT_EQ(packet[c.length - 1], crc & 0xFF);
        } else {
            EXPECT_EQ(packet.back(), Checksum(data));
        }
        const auto parsed = ParsePacket(packet, c.check);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->blockNumber, 0xFE);
        EXPECT_EQ(parsed->data, data);
        EXPECT_EQ(parsed->length, c.length);
    }
    EXPECT_TRUE(BuildPacket(1, std::vector<uint8_t>(127), CheckKind::Crc16).empty());
    EXPECT_TRUE(BuildPacket(1, std::vector<uint8_t>(1025), CheckKind::Crc16).empty());
}

TEST(XmodemPacketTest, ParseRejectsDamagedPackets) {
    const auto good = BuildPacket(3, std::vector<uint8_t>(128, 'x'), CheckKind::Crc16);
    struct Case {
        size_t at;
        uint8_t value;
    };
    const Case damage[] = {{0, 0x03}, {2, 0x00}, {50, 'y'}, {131, 0x00}, {132, 0x00}};
    for (const Case& c : damage) {
        auto bad = good;
        bad[c.at] = bad[c.at] == c.value ? static_cast<uint8_t>(c.value + 1) : c.value;
        EXPECT_FALSE(ParsePacket(bad, CheckKind::Crc16)) << c.at;
    }
    EXPECT_FALSE(ParsePacket(std::span(good).first(132), CheckKind::Crc16));
}

TEST(XmodemPacketTest, FileHeaderHoldsNameSizeAndOctalTime) {
    const auto header = BuildFileHeader("u-boot.bin", 1025, 01234567);
    ASSERT_EQ(header.size(), 128u);
    const std::string_view expected(
        "u-boot.bin\0"
        "1025 1234567",
        23);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(header.data()), expected.size()),
              expected);
    EXPECT_TRUE(std::all_of(header.begin() + 23, header.end(), [](uint8_t b) { return b == 0; }));

    const auto unknownTime = BuildFileHeader("a", 0, -5);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(unknownTime.data()), 6),
              std::string_view("a\0"
                               "0 0",
                               6));
}

TEST(XmodemPacketTest, FileHeaderGrowsTo1KForLongNamesAndRefusesWhatItCannotCarry) {
    struct Case {
        std::string name;
        size_t size;  // 0: refused
    };
    const Case cases[] = {
        {std::string(100, 'n'), 128},
        {std::string(124, 'n'), 1024},  // name, NUL and "7 0" take 128: no NUL would end them
        {std::string(255, 'n'), 1024},
        {std::string(1019, 'n'), 1024},
        {std::string(1020, 'n'), 0},
        {"", 0},
        {std::string("a\0b", 3), 0},
        {"dir/file", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildFileHeader(c.name, 7, 0).size(), c.size) << c.name.size();
    }
}

TEST(XmodemPacketTest, BatchEndIsAnEmptyShortBlock) {
    EXPECT_EQ(BuildBatchEnd(), std::vector<uint8_t>(128, 0));
}

}  // namespace
