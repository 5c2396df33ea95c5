// The device's flood and its load timing: the flood text and the random bytes cut anywhere are
// the same stream with the same hash, a paced flood keeps to its rate, a flood of a size ends on
// its last byte, and drel-devsim floods a host on SIGUSR1 and logs a summary that matches what
// the host read; the timer's lines.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DevsimProcess.h"
#include "tools/devsim/DeviceFlood.h"
#include "tools/devsim/LoadTimer.h"
#include "tools/devsim/RandomFlood.h"

namespace drel::devsim {
namespace {

using namespace std::chrono_literals;
using test::Devsim;
using test::kPatience;
using test::ReadBytes;
using test::ReadLine;

std::string HashText(const std::string& text) {
    StreamHash hash;
    hash.Add(text.data(), text.size());
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash.value()));
    return hex;
}

TEST(DeviceFloodTest, TextIsNumberedLinesWhateverThePiecesAndTheHashCoversIt) {
    FloodSource whole;
    FloodSource pieces;
    std::string wholeText;
    std::string piecesText;
    whole.Next(3 * FloodSource::kLineLength + 5, wholeText);
    for (const std::size_t size : {1, 80, 3, 100, 67}) {
        pieces.Next(size, piecesText);
    }
    EXPECT_EQ(piecesText, wholeText);
    EXPECT_EQ(pieces.hash(), whole.hash());
    EXPECT_EQ(whole.bytes(), wholeText.size());
    EXPECT_EQ(wholeText.substr(0, 13), "0000000000 AB");
    EXPECT_EQ(wholeText.substr(80, 15), "\r\n0000000001 BC");
    EXPECT_EQ(wholeText.find_first_of(std::string("\0\x7f", 2)), std::string::npos);
}

TEST(DeviceFloodTest, RandomBytesTakeEveryValueAndFollowTheSeedWhateverThePieces) {
    RandomFlood whole(7);
    RandomFlood pieces(7);
    RandomFlood otherSeed(8);
    std::string wholeBytes;
    std::string piecesBytes;
    std::string otherBytes;
    whole.Next(65536, wholeBytes);
    for (const std::size_t size : {1, 7, 9, 4096, 0, 61423}) {
        pieces.Next(size, piecesBytes);
    }
    otherSeed.Next(65536, otherBytes);
    EXPECT_EQ(piecesBytes, wholeBytes);
    EXPECT_EQ(pieces.hash(), whole.hash());
    EXPECT_EQ(whole.hash(), std::stoull(HashText(wholeBytes), nullptr, 16));
    EXPECT_EQ(whole.bytes(), 65536u);
    EXPECT_NE(otherBytes, wholeBytes);
    const std::set<char> values(wholeBytes.begin(), wholeBytes.end());
    EXPECT_EQ(values.size(), 256u);
}

TEST(DeviceFloodTest, RandomFloodOfASizeEndsOnItsLastBytePacedOrNot) {
    const auto start = DeviceFlood::Clock::time_point();
    DeviceFlood unpaced(10'000, 3, 0, start);
    DeviceFlood paced(10'000, 3, 1'000'000, start);
    std::string unpacedBytes;
    std::string pacedBytes;
    for (int round = 0; round < 3; ++round) {
        unpaced.Feed(start + 1h, 4096, unpacedBytes);
    }
    EXPECT_EQ(unpacedBytes.size(), 10'000u);
    EXPECT_TRUE(unpaced.Over(start));
    EXPECT_EQ(unpaced.NextFeedAt(), DeviceFlood::Clock::time_point::max());
    for (auto at = start; !paced.Over(at) && at < start + 1s; at += 1ms) {
        paced.Feed(at, 1 << 20, pacedBytes);
    }
    EXPECT_EQ(pacedBytes, unpacedBytes);
    EXPECT_EQ(paced.Summary(start + 2s),
              "flood: 10000 bytes in 2.000 s, fnv1a64 " + HashText(pacedBytes));
}

TEST(DeviceFloodTest, PacedFloodKeepsToItsRateInMillisecondBurstsAndEndsOnTime) {
    const auto start = DeviceFlood::Clock::time_point();
    DeviceFlood flood(1s, 10'000, start);
    std::string text;
    flood.Feed(start, 1 << 20, text);
    EXPECT_EQ(text.size(), 100u);                // what the bucket holds: 10 ms worth
    EXPECT_EQ(flood.NextFeedAt(), start + 1ms);  // the next burst: a millisecond's worth
    for (auto at = start + 1ms; at < start + 1s; at += 1ms) {
        flood.Feed(at, 1 << 20, text);
    }
    EXPECT_NEAR(static_cast<double>(text.size()), 10'100.0, 20.0);
    EXPECT_FALSE(flood.Over(start + 999ms));
    EXPECT_TRUE(flood.Over(start + 1s));
    const std::size_t before = text.size();
    flood.Feed(start + 2s, 1 << 20, text);
    EXPECT_EQ(text.size(), before);
    EXPECT_EQ(flood.Summary(start + 1500ms), "flood: " + std::to_string(text.size()) +
                                                 " bytes in 1.500 s, fnv1a64 " + HashText(text));
}

TEST(DeviceFloodTest, UnpacedFloodFillsTheRoomItIsGiven) {
    const auto start = DeviceFlood::Clock::time_point();
    DeviceFlood flood(1s, 0, start);
    std::string text;
    flood.Feed(start, 5000, text);
    EXPECT_EQ(text.size(), 5000u);
    EXPECT_EQ(flood.NextFeedAt(), start + 1s);
}

TEST(LoadTimerTest, TimesTheLoadFromItsFirstByteAndEachRequestToItsAnswer) {
    const auto t0 = LoadTimer::Clock::time_point();
    LoadTimer timer;
    std::ostringstream out;
    timer.Heard(t0, false);  // the load command, before the load
    timer.Heard(t0 + 1ms, true);
    timer.RecordRequested();
    timer.OutputDrained(t0 + 2ms);
    timer.Heard(t0 + 2ms + 250us, true);
    timer.Heard(t0 + 3ms, true);  // more of the same record: no request outstanding
    timer.RecordRequested();
    timer.OutputDrained(t0 + 4ms);
    timer.Heard(t0 + 5ms, true);
    timer.LoadEnded(t0 + 6ms, out);
    EXPECT_EQ(out.str(), "load timing: 0.005000 s; turnaround us: 250.0 1000.0\n");

    // A load that heard no image byte leaves no line; the next one starts afresh.
    timer.LoadEnded(t0 + 7ms, out);
    timer.Heard(t0 + 8ms, true);
    timer.LoadEnded(t0 + 9ms, out);
    EXPECT_EQ(out.str(),
              "load timing: 0.005000 s; turnaround us: 250.0 1000.0\n"
              "load timing: 0.001000 s; turnaround us:\n");
}

class DevsimFloodTest : public test::DevsimProcessTest {};

// Starts a drel-devsim with `options` and a log, floods a host on SIGUSR1 and returns what the
// host read and the summary the device logged.
void FloodAHost(const test::fs::path& configHome, std::vector<std::string> options,
                std::string& flood, std::string& summary) {
    const auto deadline = test::Clock::now() + kPatience;
    const test::fs::path log = configHome / "results.log";
    options.insert(options.end(), {"--log", log.string()});
    Devsim devsim(options, configHome);
    const std::string announcement = ReadLine(devsim.out(), deadline);
    const int host = test::OpenAsHost(announcement.substr(std::strlen("drel-devsim: ")));
    ASSERT_GE(host, 0) << std::strerror(errno);
    ASSERT_EQ(ReadBytes(host, 29, deadline), "drel-devsim boot monitor\r\nFW>");

    ASSERT_TRUE(devsim.Signal(SIGUSR1));
    while (summary.empty() && test::Clock::now() < deadline) {
        flood += ReadBytes(host, 65536, std::min(deadline, test::Clock::now() + 10ms));
        std::ifstream results(log);
        std::getline(results, summary);
    }
    // What the pseudo-terminal still held when the summary was written.
    for (std::string more; !(more = ReadBytes(host, 65536, test::Clock::now() + 100ms)).empty();) {
        flood += more;
    }
    close(host);
    ASSERT_TRUE(devsim.Signal(SIGTERM));
    EXPECT_EQ(devsim.WaitForExit(deadline), 0);
}

TEST_F(DevsimFloodTest, FloodsTheHostOnSignalAndLogsWhatItSent) {
    std::string flood;
    std::string summary;
    ASSERT_NO_FATAL_FAILURE(FloodAHost(configHome_, {"--flood", "1"}, flood, summary));
    EXPECT_GT(flood.size(), 10'000u);
    // What the host read, over the whole second of the flood at least (how much longer the host
    // took to drain the line depends on the machine).
    unsigned long long bytes = 0;
    double seconds = 0;
    ASSERT_EQ(std::sscanf(summary.c_str(), "flood: %llu bytes in %lf s,", &bytes, &seconds), 2)
        << summary;
    EXPECT_EQ(bytes, flood.size()) << summary;
    EXPECT_GE(seconds, 1.0) << summary;
    EXPECT_TRUE(summary.ends_with(", fnv1a64 " + HashText(flood))) << summary;
}

TEST_F(DevsimFloodTest, FloodsTheHostWithRandomBytesOfTheSeedAndLogsWhatItSent) {
    std::string flood;
    std::string summary;
    ASSERT_NO_FATAL_FAILURE(
        FloodAHost(configHome_, {"--flood-random", "300000", "--seed", "5"}, flood, summary));
    RandomFlood expected(5);
    std::string expectedBytes;
    expected.Next(300'000, expectedBytes);
    EXPECT_EQ(flood.size(), 300'000u);
    EXPECT_TRUE(flood == expectedBytes);  // not printed: 300 kB of binary
    EXPECT_TRUE(summary.starts_with("flood: 300000 bytes in ")) << summary;
    EXPECT_TRUE(summary.ends_with(", fnv1a64 " + HashText(expectedBytes))) << summary;
}

}  // namespace
}  // namespace drel::devsim
