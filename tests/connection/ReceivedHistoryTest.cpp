// The received history keeps the newest bytes at the offsets they came at, across the growth of
// its memory, the wrap of its ring and appends larger than it is.

#include "connection/ReceivedHistory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace drel {
namespace {

// Each byte is its offset's low byte, so any byte read shows where it came from.
std::vector<uint8_t> BytesAt(uint64_t from, size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(from + i);
    }
    return bytes;
}

void AppendFrom(ReceivedHistory& history, uint64_t from, size_t count) {
    const std::vector<uint8_t> bytes = BytesAt(from, count);
    history.Append(bytes.data(), bytes.size());
}

TEST(ReceivedHistoryTest, KeepsTheNewestBytesAtTheirOffsets) {
    const struct {
        const char* what;
        std::vector<size_t> appends;
        uint64_t keptBegin;
    } cases[] = {
        {"nothing yet", {}, 0},
        {"growing", {10, 20}, 0},
        {"just full", {50, 50}, 0},
        {"wrapped in the middle of an append", {60, 70}, 30},
        {"an append larger than the history", {7, 250}, 157},
        {"many small appends", std::vector<size_t>(90, 3), 170},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReceivedHistory history(100);
        uint64_t end = 0;
        for (size_t count : c.appends) {
            AppendFrom(history, end, count);
            end += count;
        }
        EXPECT_EQ(history.Kept().begin, c.keptBegin);
        EXPECT_EQ(history.Kept().end, end);
        std::vector<uint8_t> read;
        EXPECT_EQ(history.Read(0, 1000, read), c.keptBegin);
        EXPECT_EQ(read, BytesAt(c.keptBegin, end - c.keptBegin));
    }
}

TEST(ReceivedHistoryTest, ReadsAPartAndNothingPastTheEnd) {
    ReceivedHistory history(100);
    AppendFrom(history, 0, 130);
    std::vector<uint8_t> read;
    EXPECT_EQ(history.Read(95, 10, read), 95u);  // across the wrap
    EXPECT_EQ(read, BytesAt(95, 10));
    EXPECT_EQ(history.Read(125, 10, read), 125u);
    EXPECT_EQ(read, BytesAt(125, 5));
    EXPECT_EQ(history.Read(130, 10, read), 130u);
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(history.Read(500, 10, read), 130u);
    EXPECT_TRUE(read.empty());
}

// One thread appends as the receive loop does while another reads as the window paints: every
// read holds the bytes of the offsets it names.
TEST(ReceivedHistoryTest, AReaderBesideTheWriterSeesOnlyWholeBytesAtTheirOffsets) {
    ReceivedHistory history(4096);
    constexpr uint64_t kTotal = 1 << 22;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint64_t end = 0; end < kTotal; end += 1000) {
            AppendFrom(history, end, 1000);
        }
        done = true;
    });
    std::vector<uint8_t> read;
    int mismatches = 0;
    while (!done) {
        const ReceivedHistory::Range kept = history.Kept();
        const uint64_t first = history.Read(kept.end > 64 ? kept.end - 64 : 0, 256, read);
        mismatches += read == BytesAt(first, read.size()) ? 0 : 1;
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace drel
