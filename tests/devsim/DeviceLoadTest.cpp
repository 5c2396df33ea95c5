// The simulated device serving image loads, with the host played by the test: the host sends
// what drel's transmitter sends, split into pieces in many ways, and the time is passed in.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tools/devsim/BinImage.h"
#include "tools/devsim/BinImageWriter.h"
#include "tools/devsim/SimulatedDevice.h"

namespace {

using namespace std::chrono_literals;
using drel::devsim::DecodeRecordHeader;
using drel::devsim::DeviceOptions;
using drel::devsim::ImageShape;
using drel::devsim::kRecordHeaderSize;
using drel::devsim::MakeBinImage;
using drel::devsim::SimulatedDevice;
using Clock = SimulatedDevice::Clock;

const std::string kCommand = "l /img/a.bin\r";
const std::string kAnnouncement = "l /img/a.bin\r\n:F=/img/a.bin\r\nstart download\r\n";

// The host's side of the handshake over the bytes of an image, as drel's transmitter reads
// them: the signature unasked, the image header on 0x01, the next record on 0x02 (the end
// record as its bare header), nothing once the image is used up. Unlike the transmitter, it
// sends what there is of a record cut short, so that the device sees a host stop mid-record.
class ImageSender {
  public:
    explicit ImageSender(std::string image) : image_(std::move(image)) {}

    std::string Signature() { return Next(7); }

    std::string Answer(char request) {
        if (request == '\x01') {
            return Next(8);
        }
        if (ended_ || image_.size() - at_ < kRecordHeaderSize) {
            return {};
        }
        const std::string header = Next(kRecordHeaderSize);
        const auto record = DecodeRecordHeader(header);
        ended_ = record.isEnd();
        return ended_ ? header : header + Next(record.length);
    }

  private:
    std::string Next(std::size_t count) {
        const std::string piece = image_.substr(at_, count);
        at_ += piece.size();
        return piece;
    }

    std::string image_;
    std::size_t at_ = 0;
    bool ended_ = false;
};

// How the host's writes reach the device: whole, or cut into pieces of 1 to `maxPiece` bytes.
struct Split {
    const char* name;
    std::size_t maxPiece;  // 0: whole
    std::uint32_t seed;
};

const Split kSplits[] = {
    {"whole", 0, 0},           {"byte by byte", 1, 0},        {"pieces of 1-7", 7, 1},
    {"pieces of 1-13", 13, 2}, {"pieces of 1-5000", 5000, 3},
};

// What the device sent during one load, sorted out.
struct Outcome {
    std::string text;      // everything but the request bytes
    std::string requests;  // the request bytes, in order
    std::vector<std::string> results;
};

// Plays one load: the load command, then the handshake until the host has nothing more to
// send; a device still loading then gets its idle time-out.
Outcome PlayLoad(const DeviceOptions& options, const std::string& image, const Split& split) {
    SimulatedDevice device(options);
    ImageSender sender(image);
    std::mt19937 generator(split.seed);
    Clock::time_point now{};
    Outcome outcome;
    std::string toSend;
    const auto absorb = [&](const std::string& reply) {
        for (char byte : reply) {
            if (byte == '\x01' || byte == '\x02') {
                outcome.requests += byte;
                toSend += sender.Answer(byte);
            } else {
                outcome.text += byte;
            }
        }
    };
    absorb(device.Receive(kCommand, now));
    toSend = sender.Signature();
    while (!toSend.empty()) {
        const std::size_t piece = split.maxPiece == 0 ? toSend.size()
                                                      : std::uniform_int_distribution<std::size_t>(
                                                            1, split.maxPiece)(generator);
        const std::string bytes = toSend.substr(0, piece);
        toSend.erase(0, bytes.size());
        now += 1ms;
        absorb(device.Receive(bytes, now));
    }
    if (device.loading()) {
        absorb(device.TimePassed(now + options.idleTimeout));
    }
    outcome.results = device.TakeResults();
    return outcome;
}

enum class Damage { None, Signature, EndRecordLength };

struct LoadCase {
    const char* name;
    ImageShape shape;
    Damage damage;
    DeviceOptions options;
    std::string result;
    std::string requests;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

std::string MakeImage(const LoadCase& c) {
    std::string error;
    std::string image = MakeBinImage(c.shape, error);
    EXPECT_EQ(error, "");
    if (c.damage == Damage::Signature) {
        image[5] = 'E';
    } else if (c.damage == Damage::EndRecordLength) {
        image[image.size() - 8] = 5;
    }
    return image;
}

class DeviceLoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(DeviceLoadTest, ServesTheHandshakeAndReportsOneResultLine) {
    const LoadCase& c = GetParam();
    const std::string image = MakeImage(c);
    for (const Split& split : kSplits) {
        SCOPED_TRACE(split.name);
        const Outcome outcome = PlayLoad(c.options, image, split);
        EXPECT_EQ(outcome.text, kAnnouncement + c.result + "\r\nFW>");
        EXPECT_EQ(outcome.results, std::vector<std::string>{c.result});
        EXPECT_EQ(outcome.requests, c.requests);
    }
}

ImageShape Sizes(std::vector<std::uint32_t> sizes) {
    return ImageShape{std::move(sizes)};
}

ImageShape WithFault(std::vector<std::uint32_t> sizes, std::optional<std::uint32_t> badChecksum,
                     std::optional<std::uint32_t> imageLength, bool endRecord) {
    ImageShape shape{std::move(sizes)};
    shape.badChecksumRecord = badChecksum;
    shape.imageLength = imageLength;
    shape.endRecord = endRecord;
    return shape;
}

DeviceOptions NoHeaderRequest() {
    DeviceOptions options;
    options.load.requestHeader = false;
    return options;
}

DeviceOptions StopAfter(std::uint32_t records) {
    DeviceOptions options;
    options.load.stopAfterRecords = records;
    return options;
}

const std::vector<std::uint32_t> kSizes{0, 4096, 4097, 10000};
const std::string kFiveRequests = "\x01\x02\x02\x02\x02\x02";

const LoadCase kLoadCases[] = {
    {"WellFormedImage",
     Sizes(kSizes),
     Damage::None,
     {},
     "load ok: 4 records, 18193 bytes",
     kFiveRequests},
    {"FortyRecords",
     Sizes(std::vector<std::uint32_t>(40, 4096)),
     Damage::None,
     {},
     "load ok: 40 records, 163840 bytes",
     "\x01" + std::string(41, '\x02')},
    {"NoRecords", Sizes({}), Damage::None, {}, "load ok: 0 records, 0 bytes", "\x01\x02"},
    {"BadChecksumIsReportedAfterTheEndRecord",
     WithFault(kSizes, 3, {}, true),
     Damage::None,
     {},
     "load FAILED: record 3 checksum 0x0008017d in its header, 0x0008017c in its data",
     kFiveRequests},
    {"ImageLengthOneTooMany",
     WithFault(kSizes, {}, 18194, true),
     Damage::None,
     {},
     "load FAILED: image length 18194 in the image header, 4 records, 18193 bytes received",
     kFiveRequests},
    {"ImageLengthOneTooFew",
     WithFault(kSizes, {}, 18192, true),
     Damage::None,
     {},
     "load FAILED: image length 18192 in the image header, 4 records, 18193 bytes received",
     kFiveRequests},
    {"MissingEndRecordHostStops",
     WithFault(kSizes, {}, {}, false),
     Damage::None,
     {},
     "load FAILED: host silent for 2000 ms, waiting for the header of record 5",
     kFiveRequests},
    {"EndRecordWithALength",
     Sizes(kSizes),
     Damage::EndRecordLength,
     {},
     "load FAILED: end record has length 5 and checksum 0x00000000, not 0 and 0",
     kFiveRequests},
    {"BadSignatureEndsTheLoadAtOnce",
     Sizes(kSizes),
     Damage::Signature,
     {},
     "load FAILED: bad signature (received 42 30 30 30 46 45 0a)",
     ""},
    {"NoHeaderRequest", Sizes(kSizes), Damage::None, NoHeaderRequest(),
     "load FAILED: header request withheld", ""},
    {"StopAfterTwoRecords", Sizes(kSizes), Damage::None, StopAfter(2),
     "load FAILED: record request withheld after 2 records", "\x01\x02\x02"},
    {"StopAfterNoRecord", Sizes(kSizes), Damage::None, StopAfter(0),
     "load FAILED: record request withheld after 0 records", "\x01"},
    {"StopAfterAllRecordsWithholdsTheEndRecordsRequestToo", Sizes(kSizes), Damage::None,
     StopAfter(4), "load FAILED: record request withheld after 4 records", "\x01\x02\x02\x02\x02"},
    {"FirstFaultWinsOverAStop", WithFault(kSizes, 1, {}, true), Damage::None, StopAfter(2),
     "load FAILED: record 1 checksum 0x00000001 in its header, 0x00000000 in its data",
     "\x01\x02\x02"},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeviceLoadTest, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& info) {
                             return info.param.name;
                         });

TEST(DeviceLoadTest, HostStoppingInsideARecordIsReportedWithTheBytesSoFar) {
    std::string error;
    const std::string image = MakeBinImage(Sizes({4096, 4096}), error);
    const Outcome outcome = PlayLoad({}, image.substr(0, 7 + 8 + 12 + 4096 + 12 + 100), kSplits[2]);
    EXPECT_EQ(outcome.results,
              std::vector<std::string>{"load FAILED: host silent for 2000 ms, waiting for the data "
                                       "of record 2 (100 of 4096 bytes)"});
}

TEST(DeviceLoadTest, AWholeImageInOneReadIsServedAndWhatFollowsIsACommandAgain) {
    std::string error;
    SimulatedDevice device;
    const Clock::time_point now{};
    device.Receive(kCommand, now);
    const std::string reply =
        device.Receive(MakeBinImage(Sizes({3, 0}), error) + "ab\r" + kCommand, now);
    EXPECT_EQ(reply, "\x01\x02\x02\x02load ok: 2 records, 3 bytes\r\nFW>ab\r\nFW>" + kAnnouncement);
    EXPECT_TRUE(device.loading());
}

TEST(DeviceLoadTest, OnlyHostSilenceForTheWholeIdleTimeOutAbandonsALoad) {
    DeviceOptions options;
    options.idleTimeout = 50ms;
    SimulatedDevice device(options);
    const Clock::time_point start{};
    EXPECT_EQ(device.Deadline(), std::nullopt);
    device.Receive(kCommand, start);
    EXPECT_EQ(device.Deadline(), start + 50ms);
    EXPECT_EQ(device.TimePassed(start + 49ms), "");
    EXPECT_EQ(device.Receive("B00", start + 49ms), "");
    EXPECT_EQ(device.Deadline(), start + 99ms);
    EXPECT_EQ(device.TimePassed(start + 98ms), "");
    EXPECT_EQ(device.TimePassed(start + 99ms),
              "load FAILED: host silent for 50 ms, waiting for the signature\r\nFW>");
    EXPECT_FALSE(device.loading());
    EXPECT_EQ(device.Deadline(), std::nullopt);
    EXPECT_EQ(device.Receive("0FF\n", start + 100ms), "0FF\n") << "echoed at the prompt again";
}

TEST(DeviceLoadTest, ResultsAreTakenOnceEachInOrder) {
    std::string error;
    SimulatedDevice device;
    const Clock::time_point now{};
    const std::string image = MakeBinImage(Sizes({1}), error);
    device.Receive(kCommand + image + kCommand + image.substr(0, 7), now);
    device.HostPurged(false);
    EXPECT_EQ(device.TakeResults(),
              (std::vector<std::string>{"load ok: 1 records, 1 bytes",
                                        "load FAILED: host purged the port, waiting for the "
                                        "image header"}));
    EXPECT_TRUE(device.TakeResults().empty());
}

}  // namespace
