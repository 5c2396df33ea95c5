// The simulated device at its prompt, fed events and bytes directly: greeting, echo, and the
// start of a load (the loads themselves are in DeviceLoadTest.cpp).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devsim/SimulatedDevice.h"

namespace {

using drel::devsim::SimulatedDevice;

enum class Event { Start, PurgeLosingOutput, PurgeKeepingOutput, Receive };

struct Step {
    Event event;
    std::string bytes;  // for Receive
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::string expected;  // everything the device sends, in order
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const std::string kGreeting =
    std::string(SimulatedDevice::kBanner) + std::string(SimulatedDevice::kPrompt);

std::string Play(const std::vector<Step>& steps) {
    SimulatedDevice device;
    std::string sent;
    for (const Step& step : steps) {
        switch (step.event) {
            case Event::Start:
                sent += device.Start();
                break;
            case Event::PurgeLosingOutput:
                sent += device.HostPurged(true);
                break;
            case Event::PurgeKeepingOutput:
                sent += device.HostPurged(false);
                break;
            case Event::Receive:
                sent += device.Receive(step.bytes, SimulatedDevice::Clock::time_point{});
                break;
        }
    }
    return sent;
}

class SimulatedDeviceTest : public testing::TestWithParam<Case> {};

TEST_P(SimulatedDeviceTest, SendsWhatTheHostShouldSee) {
    EXPECT_EQ(Play(GetParam().steps), GetParam().expected);
}

const Case kCases[] = {
    {"StartGreets", {{Event::Start, ""}}, kGreeting},
    {"HostOpenGreetsAgain",
     {{Event::Start, ""}, {Event::PurgeLosingOutput, ""}},
     kGreeting + kGreeting},
    {"EchoesBytes", {{Event::Receive, "l x"}}, "l x"},
    {"AnswersCrWithCrLfAndPrompt", {{Event::Receive, "ab\r"}}, "ab\r\nFW>"},
    {"HandlesInputSplitAnywhere",
     {{Event::Receive, "a"},
      {Event::Receive, "b"},
      {Event::Receive, "\r"},
      {Event::Receive, "c\rd"}},
     "ab\r\nFW>c\r\nFW>d"},
    {"EchoesLfZeroAndHighBytesUnchanged",
     {{Event::Receive, std::string("\n\0\xff\x01", 4)}},
     std::string("\n\0\xff\x01", 4)},
    {"PurgeOfBothDirectionsInTwoEventsGreetsOnce",
     {{Event::PurgeLosingOutput, ""}, {Event::PurgeKeepingOutput, ""}},
     kGreeting},
    {"PurgeThatLosesTheGreetingGreetsAgain",
     {{Event::PurgeLosingOutput, ""}, {Event::PurgeLosingOutput, ""}},
     kGreeting + kGreeting},
    {"PurgeAfterInputGreetsEvenWhenNothingWasLost",
     {{Event::Start, ""}, {Event::Receive, "x"}, {Event::PurgeKeepingOutput, ""}},
     kGreeting + "x" + kGreeting},
    {"LoadCommandAnnouncesTheNameAsTyped",
     {{Event::Receive, "l  /a b.bin \r"}},
     "l  /a b.bin \r\n:F= /a b.bin \r\nstart download\r\n"},
    {"LoadCommandSplitAnywhere",
     {{Event::Receive, "l"}, {Event::Receive, " /x"}, {Event::Receive, "\r"}},
     "l /x\r\n:F=/x\r\nstart download\r\n"},
    {"BackspaceAndDeleteEditTheLine",
     {{Event::Receive, "k\bl /xy\x7fz\r"}},
     "k\bl /xy\x7fz\r\n:F=/xz\r\nstart download\r\n"},
    {"LineFeedIsNotPartOfTheLine",
     {{Event::Receive, "\nl /x\r"}},
     "\nl /x\r\n:F=/x\r\nstart download\r\n"},
    {"EmptyNameStillLoads", {{Event::Receive, "l \r"}}, "l \r\n:F=\r\nstart download\r\n"},
    {"OtherCommandsOnlyGetAPrompt",
     {{Event::Receive, "L /x\rl\r load /x\r"}},
     "L /x\r\nFW>l\r\nFW> load /x\r\nFW>"},
    {"NothingIsEchoedDuringALoad",
     {{Event::Receive, "l /x\r"}, {Event::Receive, "B00"}},
     "l /x\r\n:F=/x\r\nstart download\r\n"},
    {"PurgeDuringALoadEndsItBeforeTheGreeting",
     {{Event::Start, ""}, {Event::Receive, "l /x\r"}, {Event::PurgeKeepingOutput, ""}},
     kGreeting + "l /x\r\n:F=/x\r\nstart download\r\n" +
         "load FAILED: host purged the port, waiting for the signature\r\n" + kGreeting},
};

// A board set up to fetch one file asks for it whatever the load command names.
TEST(SimulatedDeviceAskTest, LoadCommandAsksForTheChosenFile) {
    drel::devsim::DeviceOptions options;
    options.askFor = "/fw/fixed.bin";
    SimulatedDevice device(options);
    EXPECT_EQ(device.Receive("l /x\r", SimulatedDevice::Clock::time_point{}),
              "l /x\r\n:F=/fw/fixed.bin\r\nstart download\r\n");
    EXPECT_TRUE(device.loading());
}

INSTANTIATE_TEST_SUITE_P(Cases, SimulatedDeviceTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
