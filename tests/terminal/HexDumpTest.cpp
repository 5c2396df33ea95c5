// The hex dump's rows: every byte in the column of its offset, whether the row is whole, begins
// after bytes pushed out of the history or ends before bytes still to come.

#include "terminal/HexDump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace drel {
namespace {

void AppendAllByteValues(ReceivedHistory& history) {
    std::vector<uint8_t> values(256);
    for (int value = 0; value < 256; ++value) {
        values[value] = static_cast<uint8_t>(value);
    }
    history.Append(values.data(), values.size());
}

TEST(HexDumpTest, EveryValueStandsAtItsOffsetAndOnlyPrintableOnesAsCharacters) {
    ReceivedHistory history;
    AppendAllByteValues(history);
    const std::vector<std::string> rows = HexDumpRows(history, 0, 100);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0],
              "00000000  00 01 02 03 04 05 06 07  08 09 0a 0b 0c 0d 0e 0f  |................|");
    EXPECT_EQ(rows[2],
              "00000020  20 21 22 23 24 25 26 27  28 29 2a 2b 2c 2d 2e 2f  | !\"#$%&'()*+,-./|");
    EXPECT_EQ(rows[7],
              "00000070  70 71 72 73 74 75 76 77  78 79 7a 7b 7c 7d 7e 7f  |pqrstuvwxyz{|}~.|");
    EXPECT_EQ(rows[15],
              "000000f0  f0 f1 f2 f3 f4 f5 f6 f7  f8 f9 fa fb fc fd fe ff  |................|");
}

TEST(HexDumpTest, MissingBytesLeaveTheirColumnsBlank) {
    const uint8_t bytes[] = {'A', 'B', 'C'};
    EXPECT_EQ(HexDumpRow(0x12340, 0, bytes, 3),
              "00012340  41 42 43                                          |ABC|");
    EXPECT_EQ(HexDumpRow(0x10, 14, bytes, 2),
              "00000010                                             41 42  |              AB|");
    EXPECT_EQ(HexDumpRow(0x123456789a0, 7, bytes, 3),
              "123456789a0                       41  42 43                    |       ABC|");
}

TEST(HexDumpTest, RowsAreCountedFromTheFirstOffsetEverReceived) {
    // 256 bytes into a history of 40: offsets 216 to 255 stay, from the middle of row 13.
    ReceivedHistory history(40);
    AppendAllByteValues(history);
    const std::vector<std::string> rows = HexDumpRows(history, 0, 100);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0],
              "000000d0                           d8 d9 da db dc dd de df  |        ........|");
    EXPECT_EQ(rows[2].substr(0, 12), "000000f0  f0");
    // A window asking for fewer rows gets no more, and none past the end.
    EXPECT_EQ(HexDumpRows(history, 14, 1).size(), 1u);
    EXPECT_EQ(HexDumpRows(history, 16, 5).size(), 0u);
}

}  // namespace
}  // namespace drel
