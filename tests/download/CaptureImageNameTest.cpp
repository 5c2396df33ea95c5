#include "download/CaptureImageName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/MatchStream.h"

using namespace drel;

namespace {

// Runs chunks through the ":F=" matcher and the capture the way the receive loop does, and
// keeps the capture state seen after each chunk.
struct Capture {
    uint16_t marker = 0;
    uint16_t state = kCaptureIdle;
    char name[kImageNameMaxLength + 1] = "previous";
    std::vector<uint16_t> states;

    void Feed(const std::string& chunk) {
        auto bytes = reinterpret_cast<const uint8_t*>(chunk.data());
        int count = static_cast<int>(chunk.size());
        size_t markerEnd = 0;
        if (state == kCaptureIdle && MatchStream(bytes, count, ":F=", marker, &markerEnd)) {
            state = kCaptureMarkerDone;
        }
        if (state != kCaptureIdle) {
            CaptureImageName(bytes, count, state, name, markerEnd);
        }
        states.push_back(state);
    }
};

}  // namespace

TEST(CaptureImageNameTest, TakesTheNameAfterTheMarker) {
    const struct {
        std::vector<std::string> chunks;
        std::string name;
        std::vector<uint16_t> states;
    } cases[] = {
        {{":F=/fw/a.bin\rstart"}, "/fw/a.bin", {kCaptureIdle}},
        {{"x :F=/fw/", "a.bin\r"}, "/fw/a.bin", {kCaptureContinues, kCaptureIdle}},
        {{"boot :F", "=/fw/a.bin\r"}, "/fw/a.bin", {kCaptureIdle, kCaptureIdle}},
        {{"a=1 :F=b.bin\r"}, "b.bin", {kCaptureIdle}},
        {{":F=\r"}, "", {kCaptureIdle}},
        {{":F=", "x\r"}, "x", {kCaptureContinues, kCaptureIdle}},
        {{":F=a\nb\r"}, "a\nb", {kCaptureIdle}},
        {{":F=a:F=b\r"}, "a:F=b", {kCaptureIdle}},
        {{":F=a\r:F=b\r"}, "a", {kCaptureIdle}},  // of two markers in one chunk, the first
        {{":F=a", "", "b\r"}, "ab", {kCaptureContinues, kCaptureContinues, kCaptureIdle}},
        // Zero bytes are left out, however the stream is cut.
        {{std::string(":F=a\0b\r", 7)}, "ab", {kCaptureIdle}},
        {{std::string(":F=a\0", 5), "b\r"}, "ab", {kCaptureContinues, kCaptureIdle}},
    };
    for (const auto& c : cases) {
        Capture capture;
        for (const std::string& chunk : c.chunks) {
            capture.Feed(chunk);
        }
        EXPECT_EQ(std::string(capture.name), c.name) << c.chunks.front();
        EXPECT_EQ(capture.states, c.states) << c.chunks.front();
    }
}

TEST(CaptureImageNameTest, NoMarkerLeavesThePreviousName) {
    Capture capture;
    capture.Feed("no marker here\r");
    EXPECT_STREQ(capture.name, "previous");
}

// Paths up to Linux's limit are kept whole; a longer line keeps its first 4095 characters.
TEST(CaptureImageNameTest, LongNamesStopAtThePathLimit) {
    const std::string longest(kImageNameMaxLength, 'p');
    Capture whole;
    whole.Feed(":F=" + longest.substr(0, 70));
    for (size_t at = 70; at < longest.size(); at += 80) {
        whole.Feed(longest.substr(at, 80));
    }
    EXPECT_EQ(whole.state, kCaptureContinues);  // the limit was reached on a chunk's last byte
    whole.Feed("\r");
    EXPECT_EQ(std::string(whole.name), longest);
    EXPECT_EQ(whole.state, kCaptureIdle);

    Capture over;
    over.Feed(":F=" + std::string(kImageNameMaxLength + 300, 'q') + "\r");
    EXPECT_EQ(std::string(over.name), std::string(kImageNameMaxLength, 'q'));
    EXPECT_EQ(over.state, kCaptureIdle);
}
