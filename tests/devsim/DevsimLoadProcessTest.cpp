// drel-devsim serving an image load over its pseudo-terminal, with this test as the host and
// an image written by drel-mkimage; and drel-mkimage refusing what it cannot write.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "DevsimProcess.h"
#include "tools/devsim/BinImage.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using drel::devsim::BinImage;
using drel::devsim::EncodeImageHeader;
using drel::devsim::EncodeRecordHeader;
using drel::devsim::kBinSignature;
using drel::devsim::ParseBinImage;
using drel::devsim::test::Clock;
using drel::devsim::test::Devsim;
using drel::devsim::test::DevsimProcessTest;
using drel::devsim::test::kPatience;
using drel::devsim::test::OpenAsHost;
using drel::devsim::test::ReadBytes;
using drel::devsim::test::ReadLine;
using drel::devsim::test::ReadToEnd;
using drel::devsim::test::WaitUntil;
using drel::devsim::test::WriteBytes;

// Reads byte by byte until `end` has arrived (or the deadline passes), so that nothing after
// it is taken.
std::string ReadThrough(int fd, std::string_view end, Clock::time_point deadline) {
    std::string text;
    while (!text.ends_with(end)) {
        const std::string byte = ReadBytes(fd, 1, deadline);
        if (byte.empty()) {
            break;
        }
        text += byte;
    }
    return text;
}

std::string FileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Plays drel's transmitter: the signature unasked, the header on 0x01, each record on 0x02
// with its data in pieces of at most 4096 bytes, the end record as its bare header.
void SendImage(int host, const BinImage& image, Clock::time_point deadline) {
    ASSERT_TRUE(WriteBytes(host, kBinSignature, deadline));
    ASSERT_EQ(ReadBytes(host, 1, deadline), "\x01");
    ASSERT_TRUE(WriteBytes(host, EncodeImageHeader(image.header), deadline));
    for (const auto& record : image.records) {
        ASSERT_EQ(ReadBytes(host, 1, deadline), "\x02");
        ASSERT_TRUE(WriteBytes(host, EncodeRecordHeader(record.header), deadline));
        for (std::size_t at = 0; at < record.data.size(); at += 4096) {
            ASSERT_TRUE(WriteBytes(host, std::string_view(record.data).substr(at, 4096), deadline));
        }
    }
    ASSERT_EQ(ReadBytes(host, 1, deadline), "\x02");
    ASSERT_TRUE(WriteBytes(host, EncodeRecordHeader(image.endRecord), deadline));
}

// How the device is run for a load: its options, and whether results go to a log file.
struct LoadRun {
    const char* name;
    std::vector<std::string> args;
    bool toLog;  // else to stderr
    // The least time the load can take: the pace lets the device take no more than its rate
    // earns plus what its bucket holds.
    std::chrono::milliseconds minLoadTime;
};

void PrintTo(const LoadRun& run, std::ostream* os) {
    *os << run.name;
}

class DevsimLoadTest : public DevsimProcessTest, public testing::WithParamInterface<LoadRun> {
  protected:
    // Starts the device with the run's options and opens its port as the host, reading the
    // greeting. Returns the host's descriptor, or -1.
    int StartDevice(std::optional<Devsim>& devsim, Clock::time_point deadline) {
        std::vector<std::string> args = GetParam().args;
        args.insert(args.end(), {"--timing", TimingPath().string()});
        if (GetParam().toLog) {
            args.insert(args.end(), {"--log", LogPath().string()});
        }
        devsim.emplace(args, configHome_);
        const std::string announcement = ReadLine(devsim->out(), deadline);
        const int host = OpenAsHost(announcement.substr(std::strlen("drel-devsim: ")));
        if (host >= 0) {
            ReadThrough(host, "FW>", deadline);
        }
        return host;
    }

    fs::path LogPath() const { return configHome_ / "results.log"; }
    fs::path TimingPath() const { return configHome_ / "timing.txt"; }

    // The result lines the device has reported so far.
    std::string Reported(Devsim& devsim, Clock::time_point deadline) {
        if (GetParam().toLog) {
            return FileText(LogPath());
        }
        reported_ += ReadBytes(devsim.err(), 4096, std::min(deadline, Clock::now()));
        return reported_;
    }

    std::string reported_;
};

TEST_P(DevsimLoadTest, ServesALoadOfAnImageFromDrelMkimage) {
    const auto deadline = Clock::now() + kPatience;
    const fs::path imagePath = configHome_ / "image.bin";
    Devsim mkimage({imagePath.string(), "--sizes", "0,4096,4097,10000", "--seed", "9"}, configHome_,
                   DREL_MKIMAGE_PATH);
    ASSERT_EQ(mkimage.WaitForExit(deadline), 0) << ReadToEnd(mkimage.err(), deadline);
    BinImage image;
    std::string error;
    ASSERT_TRUE(ParseBinImage(FileText(imagePath), image, error)) << error;
    std::optional<Devsim> devsim;
    const int host = StartDevice(devsim, deadline);
    ASSERT_GE(host, 0) << std::strerror(errno);

    ASSERT_TRUE(WriteBytes(host, "l /some/name\r", deadline));
    EXPECT_EQ(ReadThrough(host, "start download\r\n", deadline),
              "l /some/name\r\n:F=/some/name\r\nstart download\r\n");
    const Clock::time_point start = Clock::now();
    SendImage(host, image, deadline);
    EXPECT_EQ(ReadThrough(host, "FW>", deadline), "load ok: 4 records, 18193 bytes\r\nFW>");
    EXPECT_GE(Clock::now() - start, GetParam().minLoadTime);
    const std::string result = "load ok: 4 records, 18193 bytes\n";
    EXPECT_TRUE(WaitUntil([&] { return Reported(*devsim, deadline) == result; }, deadline))
        << Reported(*devsim, deadline);
    // One timing line: the load's time, then a turnaround for each of the five record
    // requests (the end record's included).
    std::istringstream timing(FileText(TimingPath()));
    std::string label;
    double seconds = 0;
    EXPECT_TRUE(timing >> label >> label >> seconds >> label >> label >> label) << timing.str();
    EXPECT_EQ(label, "us:");
    EXPECT_GT(seconds, 0.0);
    const std::vector<double> turnarounds{std::istream_iterator<double>(timing), {}};
    EXPECT_EQ(turnarounds.size(), 5u) << timing.str();
    close(host);
    ASSERT_TRUE(devsim->Signal(SIGTERM));
    EXPECT_EQ(devsim->WaitForExit(deadline), 0);
}

TEST_P(DevsimLoadTest, AbandonsALoadWhoseHostFallsSilent) {
    const auto deadline = Clock::now() + kPatience;
    std::optional<Devsim> devsim;
    const int host = StartDevice(devsim, deadline);
    ASSERT_GE(host, 0) << std::strerror(errno);

    ASSERT_TRUE(WriteBytes(host, "l /x\r" + std::string(kBinSignature) + "\xff", deadline));
    const std::string result = "load FAILED: host silent for 100 ms, waiting for the image header";
    EXPECT_EQ(ReadThrough(host, "FW>", deadline),
              "l /x\r\n:F=/x\r\nstart download\r\n\x01" + result + "\r\nFW>");
    EXPECT_TRUE(WaitUntil([&] { return Reported(*devsim, deadline) == result + "\n"; }, deadline))
        << Reported(*devsim, deadline);
    close(host);
}

// Every run serves the host with a 100 ms idle time-out.
const LoadRun kLoadRuns[] = {
    {"PlainToStderr", {"--idle-timeout", "100"}, false, 0ms},
    {"OutputInChunksToALog", {"--idle-timeout", "100", "--chunks", "5", "--seed", "3"}, true, 0ms},
    // 40000 bytes a second, 400 held: the host's 18268 bytes take at least 447 ms.
    {"PacedInputToALog", {"--idle-timeout", "100", "--pace", "400000"}, true, 440ms},
};

INSTANTIATE_TEST_SUITE_P(Runs, DevsimLoadTest, testing::ValuesIn(kLoadRuns),
                         [](const testing::TestParamInfo<LoadRun>& info) {
                             return info.param.name;
                         });

struct MkimageRefusal {
    const char* name;
    std::vector<std::string> args;  // "OUT" stands for the image's path
    int exitCode;
    std::string message;
};

void PrintTo(const MkimageRefusal& refusal, std::ostream* os) {
    *os << refusal.name;
}

class MkimageRefusalTest : public DevsimProcessTest,
                           public testing::WithParamInterface<MkimageRefusal> {};

TEST_P(MkimageRefusalTest, ExplainsAndWritesNoImage) {
    const fs::path out = configHome_ / "image.bin";
    std::vector<std::string> args = GetParam().args;
    std::replace(args.begin(), args.end(), std::string("OUT"), out.string());
    Devsim mkimage(args, configHome_, DREL_MKIMAGE_PATH);
    const auto deadline = Clock::now() + kPatience;
    EXPECT_EQ(mkimage.WaitForExit(deadline), GetParam().exitCode);
    const std::string errors = ReadToEnd(mkimage.err(), deadline);
    EXPECT_TRUE(errors.starts_with("drel-mkimage: " + GetParam().message)) << errors;
    EXPECT_FALSE(fs::exists(out));
}

const MkimageRefusal kMkimageRefusals[] = {
    {"NoOutputFile", {"--records", "1", "--size", "1"}, 2, "name the image file to write\n"},
    {"NoShape", {"OUT"}, 2, "say how many records of what size"},
    {"BothShapes", {"OUT", "--sizes", "1", "--records", "1"}, 2, "give either --sizes"},
    {"NegativeCount",
     {"OUT", "--records", "-1", "--size", "1"},
     2,
     "--records needs a whole number below 2^32, not '-1'"},
    {"EmptySizeInTheList",
     {"OUT", "--sizes=1,,2"},
     2,
     "--sizes needs whole numbers separated by commas, not '1,,2'"},
    {"ValueMissing", {"OUT", "--seed"}, 2, "--seed needs a value"},
    {"UnknownOption", {"OUT", "--color=red"}, 2, "unknown option '--color'"},
    {"Address0", {"OUT", "--sizes", "1", "--address", "0"}, 1, "the image cannot start at"},
    {"PastTheAddressSpace",
     {"OUT", "--sizes", "0x100,1", "--address", "0xffffff00"},
     1,
     "the records do not fit"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MkimageRefusalTest, testing::ValuesIn(kMkimageRefusals),
                         [](const testing::TestParamInfo<MkimageRefusal>& info) {
                             return info.param.name;
                         });

// Both programs answer --help and --version on stdout, with nothing on stderr.
TEST_F(DevsimProcessTest, HelpAndVersionPrintAndEnd) {
    const struct {
        std::string program;
        std::string option;
        std::string begins;
    } cases[] = {
        {DREL_DEVSIM_PATH, "--help", "Usage: drel-devsim "},
        {DREL_DEVSIM_PATH, "--version", std::string("drel-devsim ") + DREL_VERSION + "\n"},
        {DREL_MKIMAGE_PATH, "--help", "Usage: drel-mkimage "},
        {DREL_MKIMAGE_PATH, "--version", std::string("drel-mkimage ") + DREL_VERSION + "\n"},
    };
    for (const auto& c : cases) {
        const std::string label = c.program + " " + c.option;
        Devsim run({c.option}, configHome_, c.program);
        const auto deadline = Clock::now() + kPatience;
        const std::string out = ReadToEnd(run.out(), deadline);
        EXPECT_TRUE(out.starts_with(c.begins)) << label << ": " << out;
        EXPECT_EQ(ReadToEnd(run.err(), deadline), "") << label;
        EXPECT_EQ(run.WaitForExit(deadline), 0) << label;
    }
}

}  // namespace
