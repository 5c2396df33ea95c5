#include "connection/InputRate.h"

#include <gtest/gtest.h>

using drel::InputRate;
using namespace std::chrono_literals;

namespace {

// Feeds `bytes` every `every` for `duration` from `start`; returns the time after the last.
InputRate::Clock::time_point Feed(InputRate& rate, InputRate::Clock::time_point start, int bytes,
                                  InputRate::Clock::duration every,
                                  InputRate::Clock::duration duration) {
    auto now = start;
    for (; now < start + duration; now += every) {
        rate.Took(bytes, now);
    }
    return now;
}

}  // namespace

// A slow line's millisecond bursts are a trickle; a flood is not, from its first large window on
// and however it is cut into reads; once a flood stops, what follows trickles again.
TEST(InputRateTest, TellsATrickleFromAFlood) {
    InputRate rate(1024, 16ms);
    const auto start = InputRate::Clock::now();
    EXPECT_TRUE(rate.Trickling());  // a quiet port

    auto now = Feed(rate, start, 11, 1ms, 100ms);  // 115200 baud
    EXPECT_TRUE(rate.Trickling());

    rate.Took(4096, now);  // the first read of a flood
    EXPECT_FALSE(rate.Trickling());
    now = Feed(rate, now, 100, 100us, 50ms);  // a flood in small reads
    EXPECT_FALSE(rate.Trickling());

    now = Feed(rate, now + 1s, 11, 1ms, 40ms);  // back to a slow line after a pause
    EXPECT_TRUE(rate.Trickling());
}
