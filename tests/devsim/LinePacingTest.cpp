// How fast the device takes input (LinePacer) and how it cuts its output (OutputChunker),
// with the time passed in by hand.

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "tools/devsim/LinePacer.h"
#include "tools/devsim/OutputChunker.h"

namespace {

using namespace std::chrono_literals;
using drel::devsim::LinePacer;
using drel::devsim::OutputChunker;
using Clock = LinePacer::Clock;

struct PaceStep {
    std::chrono::microseconds at;  // since the start
    std::size_t allowance;         // expected
    std::size_t take;
};

struct PaceCase {
    const char* name;
    std::uint32_t bytesPerSecond;
    std::vector<PaceStep> steps;
};

void PrintTo(const PaceCase& c, std::ostream* os) {
    *os << c.name;
}

class LinePacerTest : public testing::TestWithParam<PaceCase> {};

TEST_P(LinePacerTest, AllowsWhatTheRateEarnedUpToTenMilliseconds) {
    const Clock::time_point start{};
    LinePacer pacer(GetParam().bytesPerSecond, start);
    for (const PaceStep& step : GetParam().steps) {
        SCOPED_TRACE("at " + std::to_string(step.at.count()) + " us");
        EXPECT_EQ(pacer.Allowance(start + step.at), step.allowance);
        pacer.Took(step.take);
    }
}

const PaceCase kPaceCases[] = {
    // 9600 baud: 960 bytes a second, 9 held at most.
    {"9600Baud",
     960,
     {{0us, 9, 9},
      {0us, 0, 0},
      {1041us, 0, 0},
      {1042us, 1, 1},
      {5000us, 3, 0},
      {1s, 9, 4},
      {1s, 5, 0}}},
    {"115200BaudHoldsTenMilliseconds",
     11520,
     {{0us, 115, 115}, {1ms, 11, 11}, {2ms, 12, 0}, {1s, 115, 0}}},
    // 10 baud: one byte a second; the bucket still holds one.
    {"SlowestRate", 1, {{0us, 1, 1}, {999999us, 0, 0}, {1s, 1, 1}, {10s, 1, 0}}},
    {"TakingLessKeepsTheRest", 1000, {{0us, 10, 3}, {0us, 7, 0}, {1ms, 8, 8}, {1500us, 0, 0}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LinePacerTest, testing::ValuesIn(kPaceCases),
                         [](const testing::TestParamInfo<PaceCase>& info) {
                             return info.param.name;
                         });

TEST(LinePacerTest, TakesTheRateOverASecondWhateverTheStep) {
    for (const auto step : {1ms, 4ms, 8ms, 250ms}) {
        SCOPED_TRACE(std::to_string(step.count()) + " ms steps");
        const Clock::time_point start{};
        LinePacer pacer(11520, start);
        std::size_t taken = 0;
        for (auto at = 0ms; at <= 1s; at += step) {
            const std::size_t allowance = pacer.Allowance(start + at);
            pacer.Took(allowance);
            taken += allowance;
        }
        // The bucket's first fill, then what the rate earned; a step longer than 10 ms wastes
        // what the bucket cannot hold.
        const std::size_t capacity = pacer.capacity();
        EXPECT_LE(taken, capacity + 11520);
        EXPECT_GE(taken, step <= 10ms ? capacity + 11520 - 1 : 4 * capacity);
    }
}

TEST(LinePacerTest, NextByteAtIsWhenTheAllowanceTurnsOne) {
    const Clock::time_point start{};
    LinePacer pacer(960, start);
    pacer.Took(pacer.Allowance(start));
    const Clock::time_point next = pacer.NextByteAt();
    EXPECT_GT(next, start);
    EXPECT_EQ(pacer.Allowance(next - 1ns), 0u);
    EXPECT_EQ(pacer.Allowance(next), 1u);
    EXPECT_EQ(pacer.NextByteAt(), next);
}

TEST(LinePacerTest, ALongPauseFillsTheBucketAndNoMore) {
    const Clock::time_point start{};
    LinePacer pacer(100'000'000, start);
    pacer.Took(pacer.Allowance(start));
    EXPECT_EQ(pacer.Allowance(start + std::chrono::hours(24 * 365 * 100)), pacer.capacity());
}

TEST(OutputChunkerTest, ChunksOfOneToMaxWithAGapAfterEach) {
    OutputChunker chunker(5, 42);
    Clock::time_point now{};
    std::set<std::size_t> sizes;
    for (int i = 0; i < 200; ++i) {
        const std::size_t size = chunker.Allowance(now);
        ASSERT_GE(size, 1u);
        ASSERT_LE(size, 5u);
        sizes.insert(size);
        chunker.Wrote(size, now);
        EXPECT_EQ(chunker.Allowance(now + OutputChunker::kGap - 1ns), 0u);
        now += OutputChunker::kGap;
    }
    EXPECT_EQ(sizes.size(), 5u) << "every size from 1 to 5 turns up";
}

TEST(OutputChunkerTest, AWriteOfNothingNeitherStartsAGapNorDrawsANewSize) {
    OutputChunker chunker(100, 1);
    const Clock::time_point now{};
    const std::size_t size = chunker.Allowance(now);
    chunker.Wrote(0, now);
    EXPECT_EQ(chunker.Allowance(now), size);
}

TEST(OutputChunkerTest, TheSeedRepeatsTheSizes) {
    const auto sizes = [](std::uint32_t seed) {
        OutputChunker chunker(1000, seed);
        Clock::time_point now{};
        std::vector<std::size_t> drawn;
        for (int i = 0; i < 20; ++i, now += 1s) {
            drawn.push_back(chunker.Allowance(now));
            chunker.Wrote(drawn.back(), now);
        }
        return drawn;
    };
    EXPECT_EQ(sizes(7), sizes(7));
    EXPECT_NE(sizes(7), sizes(8));
}

}  // namespace
