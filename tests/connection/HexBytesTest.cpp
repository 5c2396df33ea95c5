// Bytes written by value: what each accepted text sends, byte for byte, the one-line error of
// each text that sends nothing, and the history of sent texts.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "connection/HexBytes.h"

using namespace drel;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::vector<std::string> Entries(const HexHistory& history) {
    return {history.Entries().begin(), history.Entries().end()};
}

}  // namespace

TEST(HexBytesTest, ReadableTextsGiveTheirBytesInOrder) {
    const struct {
        const char* text;
        std::string bytes;
    } cases[] = {
        {"00 ff 0d", Bytes({0x00, 0xff, 0x0d})},
        {"01 0a FF", Bytes({0x01, 0x0a, 0xff})},
        {"0x01,0x0A", Bytes({0x01, 0x0a})},
        {"0X7f 0xfF", Bytes({0x7f, 0xff})},
        {"1 a F 0", Bytes({0x01, 0x0a, 0x0f, 0x00})},
        {"\t 01 ,, 02\t,\t03 ", Bytes({0x01, 0x02, 0x03})},
        {"\"AT\"0d", "AT\r"},
        {"\"AT\" 0d 0a", "AT\r\n"},
        {"0d\"AT\"0a", "\rAT\n"},
        {"\"a b,c\"", "a b,c"},
        {"\"say \"\"hi\"\"\"", "say \"hi\""},
        {"\"\"\"\"", "\""},
        {"\"\" 00", Bytes({0x00})},
        {"\"0x41\"", "0x41"},
        {"\"\xe9\xff\"", "\xe9\xff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const HexBytes parsed = ParseHexBytes(c.text);
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.bytes, c.bytes);
    }
}

TEST(HexBytesTest, UnreadableTextsSendNothingAndSayWhichValueAndWhere) {
    const std::string notAByte = " is not a byte value (one or two hex digits, 0x optional)";
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"01 0G", "\"0G\" at column 4" + notAByte},
        {"0x100", "\"0x100\" at column 1" + notAByte},
        {"12 123", "\"123\" at column 4" + notAByte},
        {"0x", "\"0x\" at column 1" + notAByte},
        {"0xg1", "\"0xg1\" at column 1" + notAByte},
        {"x01", "\"x01\" at column 1" + notAByte},
        {"-1", "\"-1\" at column 1" + notAByte},
        {"01;02", "\"01;02\" at column 1" + notAByte},
        {"\"AT\"0d0a", "\"0d0a\" at column 5" + notAByte},
        {"01 \"AT", "the string at column 4 has no closing quote"},
        {"\"say \"\"hi\"\"", "the string at column 1 has no closing quote"},
        {"", "nothing to send"},
        {" \t,, ", "nothing to send"},
        {"\"\"", "nothing to send"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const HexBytes parsed = ParseHexBytes(c.text);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.bytes, "");
    }
}

TEST(HexBytesTest, HistoryKeepsTheMostRecentFirstEachOnceAndDropsTheOldest) {
    HexHistory history;
    history.Add("01");
    history.Add("02");
    history.Add("01");
    EXPECT_EQ(Entries(history), (std::vector<std::string>{"01", "02"}));
    for (size_t n = 0; n < HexHistory::kLength; ++n) {
        history.Add(std::to_string(n));
    }
    ASSERT_EQ(history.Entries().size(), HexHistory::kLength);
    EXPECT_EQ(history.Entries().front(), std::to_string(HexHistory::kLength - 1));
    EXPECT_EQ(history.Entries().back(), "0");
}
