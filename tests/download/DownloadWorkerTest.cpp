// The image transfer against the scripted device: the test plays the boot monitor, announcing
// an image and asking for its parts, and reads what the worker sent and showed.

#include "download/DownloadWorker.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <fstream>

#include "connection/ConnectionLifecycle.h"
#include "download/DownloadNameSource.h"
#include "platform/CommError.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"
#include "support/Watchdog.h"
#include "tools/devsim/BinImageWriter.h"

using namespace drel;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string Image(std::vector<uint32_t> sizes, bool endRecord = true) {
    devsim::ImageShape shape;
    shape.recordSizes = std::move(sizes);
    shape.endRecord = endRecord;
    std::string error;
    std::string image = devsim::MakeBinImage(shape, error);
    EXPECT_TRUE(error.empty()) << error;
    return image;
}

std::vector<size_t> Sizes(const std::vector<std::vector<uint8_t>>& writes) {
    std::vector<size_t> sizes;
    for (const auto& w : writes) {
        sizes.push_back(w.size());
    }
    return sizes;
}

struct Transfer {
    QTemporaryDir dir;
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    PortConnection c{device, ui};

    explicit Transfer(const std::string& portName = "COM5") {
        c.outputView = &view;
        c.downloadOptions.recordTimeoutMs = 200;
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        EXPECT_TRUE(OpenConnection(c, portName, settings));
    }
    ~Transfer() { CloseConnection(c); }

    std::string WriteFile(const std::string& bytes) {
        const std::string path = dir.filePath("image.bin").toStdString();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // The device names `path` and asks for it; returns once the worker has sent `writes` writes.
    bool Announce(const std::string& path, int writes = 1) {
        device.QueueInput("boot>:F=" + path + "\r\nstart download\r\n");
        return device.WaitForCallCount("WriteFile", writes);
    }
    // The device asks with `request` and waits until the worker has made `writes` writes in all.
    bool Ask(char request, int writes) {
        device.QueueInput(std::string(1, request));
        return device.WaitForCallCount("WriteFile", writes);
    }
    // Waits until the worker has sent something and ended.
    bool WaitUntilEnded() {
        return WaitUntil([&] { return c.downloading == 0 && device.CallCount("WriteFile") > 0; });
    }
    // Waits until no transfer runs; meaningful once a transfer is known to have started.
    bool WaitUntilIdle() {
        return WaitUntil([&] { return c.downloading == 0; });
    }
    template <typename Condition>
    static bool WaitUntil(Condition condition) {
        for (auto deadline = Clock::now() + 5s; Clock::now() < deadline;) {
            if (condition()) {
                return true;
            }
            std::this_thread::yield();
        }
        return false;
    }
    // The progress marks shown, in order.
    std::string Marks() const {
        std::string marks;
        for (const std::string& run : view.Runs()) {
            if (run == "S" || run == "H" || run == "*" || run == "*\r\n") {
                marks += run;
            }
        }
        return marks;
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.Boxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }
};

// Serves every request of a well-formed image of `records` records; returns the writes made.
int ServeAll(Transfer& t, size_t records, const std::vector<int>& piecesPerRecord) {
    int writes = 1;
    EXPECT_TRUE(t.Ask('\x01', ++writes));
    for (size_t i = 0; i < records; ++i) {
        writes += 1 + piecesPerRecord[i];
        EXPECT_TRUE(t.Ask('\x02', writes)) << "record " << i;
    }
    EXPECT_TRUE(t.Ask('\x02', ++writes));  // the end record
    return writes;
}

}  // namespace

TEST(DownloadWorkerTest, FortyRecordsShowSHThirtyNineStarsALineBreakAndOneStar) {
    Transfer t;
    const std::string image = Image(std::vector<uint32_t>(40, 16));
    ASSERT_TRUE(t.Announce(t.WriteFile(image)));
    ServeAll(t, 40, std::vector<int>(40, 1));
    ASSERT_TRUE(t.WaitUntilEnded());
    EXPECT_EQ(t.Marks(), "SH" + std::string(38, '*') + "*\r\n*");
    const std::vector<uint8_t> written = t.device.Written();
    EXPECT_EQ(std::string(written.begin(), written.end()), image);
    EXPECT_TRUE(t.Boxes().empty());
}

// Beside the marks, the status bar shows how far the load has come, and then its outcome.
TEST(DownloadWorkerTest, StatusBarFollowsALoadAndSaysHowItEnded) {
    Transfer t;
    const std::string image = Image(std::vector<uint32_t>(3, 1000));
    ASSERT_TRUE(t.Announce(t.WriteFile(image)));
    ServeAll(t, 3, std::vector<int>(3, 1));
    ASSERT_TRUE(t.WaitUntilEnded());
    ASSERT_TRUE(Transfer::WaitUntil([&] { return t.ui.Statuses().size() >= 2; }));
    const std::vector<std::string> statuses = t.ui.Statuses();
    EXPECT_EQ(
        statuses.front().rfind(
            "COM5 loading image.bin    0 %  15 of " + std::to_string(image.size()) + " bytes  ", 0),
        0u)
        << statuses.front();
    EXPECT_EQ(statuses.back().rfind(
                  "COM5 loaded image.bin, " + std::to_string(image.size()) + " bytes in 0:", 0),
              0u)
        << statuses.back();

    // A failure has its message box, and the status bar goes back to its idle text.
    ASSERT_TRUE(t.Announce(t.WriteFile(image), t.device.CallCount("WriteFile") + 1));
    ASSERT_TRUE(t.ui.WaitForBoxes(1));
    ASSERT_TRUE(Transfer::WaitUntil([&] { return t.ui.Statuses().back().empty(); }));
}

// Data goes in pieces of at most 4096 bytes, and the end record's header ends the transfer
// without another request being awaited.
TEST(DownloadWorkerTest, RecordsGoOutInPiecesOfAtMost4096Bytes) {
    Transfer t;
    const std::string image = Image({0, 4096, 4097, 10000});
    ASSERT_TRUE(t.Announce(t.WriteFile(image)));
    ServeAll(t, 4, {0, 1, 2, 3});
    ASSERT_TRUE(t.WaitUntilEnded());
    EXPECT_EQ(Sizes(t.device.Writes()),
              (std::vector<size_t>{7, 8, 12, 12, 4096, 12, 4096, 1, 12, 4096, 4096, 1808, 12}));
    const std::vector<uint8_t> written = t.device.Written();
    EXPECT_EQ(std::string(written.begin(), written.end()), image);
    EXPECT_EQ(t.Marks(), "SH****");
}

TEST(DownloadWorkerTest, NoHeaderRequestTimesOutAfterOneSecond) {
    Transfer t;
    EXPECT_EQ(t.c.downloadOptions.headerTimeoutMs, 1000u);
    const auto start = Clock::now();
    ASSERT_TRUE(t.Announce(t.WriteFile(Image({16}))));
    ASSERT_TRUE(t.ui.WaitForBoxes(1));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 1000ms);  // not early; how late is no concern of this test
    EXPECT_EQ(t.Boxes(), std::vector<std::string>{"COM5 Request header time out"});
    ASSERT_TRUE(t.WaitUntilEnded());
    EXPECT_EQ(Sizes(t.device.Writes()), std::vector<size_t>{7});
}

TEST(DownloadWorkerTest, FailuresEndTheTransferWithTheirMessage) {
    static int allocations = 0;
    const struct {
        const char* name;
        std::string image;
        int requests;               // requests the device makes: the header's, then records'
        std::vector<size_t> sizes;  // the writes made
        std::vector<std::string> boxes;
        std::unique_ptr<uint8_t[]> (*allocate)(size_t) = nullptr;
    } cases[] = {
        {"no record request", Image({16}), 1, {7, 8}, {"COM5 Request record 60 seconds time out"}},
        {"no memory for a record",
         Image({16}),
         2,
         {7, 8},
         {"COM5 can't allocation memory"},
         [](size_t) { return std::unique_ptr<uint8_t[]>(); }},
        {"file ends inside a record's data",
         Image({16}).substr(0, 15 + 12 + 10),
         2,
         {7, 8},
         {"COM5 image file is incomplete"}},
        {"file ends inside a record header",
         Image({16}).substr(0, 15 + 12 + 16 + 5),
         3,
         {7, 8, 12, 16},
         {"COM5 image file is incomplete"}},
        {"no end record", Image({16}, false), 3, {7, 8, 12, 16}, {"COM5 image file is incomplete"}},
        {"file shorter than the signature", "B00", 0, {}, {"COM5 image file is incomplete"}},
        {"file ends inside the image header",
         Image({}).substr(0, 10),
         1,
         {7},
         {"COM5 image file is incomplete"}},
        // The record says more data follows than the file holds: no memory is taken for it.
        {"length beyond the file",
         Image({16}).replace(15 + 4, 4, std::string("\x00\xff\xff\xff", 4)),
         2,
         {7, 8},
         {"COM5 image file is incomplete"},
         [](size_t size) {
             ++allocations;
             return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
         }},
    };
    for (const auto& c : cases) {
        Transfer t;
        t.c.downloadOptions.allocateRecord = c.allocate;
        allocations = 0;
        // Each request waits until the worker has answered it, so two never fall in one chunk.
        auto settle = [&t](int writesBefore) {
            Transfer::WaitUntil([&] {
                return t.device.CallCount("WriteFile") > writesBefore || !t.ui.Boxes().empty();
            });
        };
        t.device.QueueInput(":F=" + t.WriteFile(c.image) + "\rstart download");
        settle(0);
        for (int r = 0; r < c.requests && t.ui.Boxes().empty(); ++r) {
            const int before = t.device.CallCount("WriteFile");
            t.device.QueueInput(r == 0 ? "\x01" : "\x02");
            settle(before);
        }
        ASSERT_TRUE(t.ui.WaitForBoxes(1)) << c.name;
        EXPECT_EQ(Sizes(t.device.Writes()), c.sizes) << c.name;
        EXPECT_EQ(t.Boxes(), c.boxes) << c.name;
        EXPECT_EQ(allocations, 0) << c.name;
    }
}

TEST(DownloadWorkerTest, ImageThatCannotBeOpenedIsReportedAndNothingIsSent) {
    Transfer t;
    t.device.QueueInput(":F=/no/such/image.bin\rstart download");
    ASSERT_TRUE(t.ui.WaitForBoxes(1));
    EXPECT_EQ(t.Boxes(),
              std::vector<std::string>{"COM5 can not open image file /no/such/image.bin"});
    EXPECT_TRUE(t.WaitUntilIdle());
    EXPECT_EQ(t.device.CallCount("WriteFile"), 0);
}

// A board on a network port gets what the user chose to load, or files beside it, and nothing
// else: not even the signature goes out for another file.
TEST(DownloadWorkerTest, BoardOnANetworkPortIsSentOnlyTheDownloadFilesAndTheirNeighbours) {
    Transfer t("rfc2217://rack-7:4001");
    const std::string image = t.WriteFile(Image({16}));
    const std::string neighbour = t.dir.filePath("neighbour.bin").toStdString();
    std::ofstream(neighbour, std::ios::binary) << Image({16});
    struct Names : DownloadNameSource {
        std::string image;
        std::string GetDownloadName(int index) const override {
            return index == 0 ? image : std::string();
        }
    } names;
    names.image = image;
    t.c.downloadNames = &names;

    const std::string outside = "/etc/hostname";
    t.device.QueueInput(":F=" + outside + "\rstart download");
    ASSERT_TRUE(t.ui.WaitForBoxes(1));
    EXPECT_EQ(t.Boxes(), std::vector<std::string>{
                             "rfc2217://rack-7:4001: the board asked for /etc/hostname, which is "
                             "not a download file or in the folder of one; a board on a network "
                             "port is sent nothing else"});
    EXPECT_TRUE(t.WaitUntilIdle());
    EXPECT_EQ(t.device.CallCount("WriteFile"), 0);

    ASSERT_TRUE(t.Announce(neighbour));
    EXPECT_TRUE(t.Ask('\x01', 2));
    EXPECT_EQ(t.Boxes().size(), 1u);
}

TEST(DownloadWorkerTest, FailedRecordWriteEndsTheTransferQuietly) {
    Transfer t;
    ASSERT_TRUE(t.Announce(t.WriteFile(Image({16, 16}))));
    ASSERT_TRUE(t.Ask('\x01', 2));
    t.device.FailWrites(EIO);
    t.device.QueueInput("\x02");
    ASSERT_TRUE(t.device.WaitForCallCount("WriteFile", 3));
    ASSERT_TRUE(t.WaitUntilEnded());
    EXPECT_TRUE(t.Boxes().empty());
    EXPECT_EQ(t.Marks(), "SH");
}

// However the worker is occupied, a close wakes it and waits for it: never for the device, for a
// message being shown or for the worker's 60-second waits, which outlast the watchdog.
TEST(DownloadWorkerTest, CloseInEveryPhaseOfATransferIsPrompt) {
    const struct {
        const char* name;
        std::function<void(Transfer&)> reachPhase;
        uint32_t headerTimeoutMs = 60000;
    } cases[] = {
        {"waiting for the header request", [](Transfer&) {}},
        {"waiting for a record request", [](Transfer& t) { ASSERT_TRUE(t.Ask('\x01', 2)); }},
        {"mid-record under hold-off",
         [](Transfer& t) {
             ASSERT_TRUE(t.Ask('\x01', 2));
             t.device.PendWrites(platform::ERROR_SUCCESS);
             t.device.HoldPendingWrites(true);
             t.device.QueueInput("\x02");
             ASSERT_TRUE(t.device.WaitForCallCount("GetOverlappedResult", 1));
         }},
        {"sending the end record",
         [](Transfer& t) {
             ASSERT_TRUE(t.Ask('\x01', 2));
             for (int record = 1; record <= 4; ++record) {
                 ASSERT_TRUE(t.Ask('\x02', 2 + record * 17));  // a header and 16 pieces each
             }
             t.device.PendWrites(platform::ERROR_SUCCESS);
             t.device.HoldPendingWrites(true);
             t.device.QueueInput("\x02");
             ASSERT_TRUE(t.device.WaitForCallCount("GetOverlappedResult", 1));
         }},
        {"showing a message",
         [](Transfer& t) {
             t.ui.HoldBoxes(true);
             ASSERT_TRUE(t.ui.WaitForBoxes(1));  // the header request never comes
         },
         100},
    };
    for (const auto& c : cases) {
        Transfer t;
        t.c.downloadOptions.headerTimeoutMs = c.headerTimeoutMs;
        t.c.downloadOptions.recordTimeoutMs = 60000;
        ASSERT_TRUE(t.Announce(t.WriteFile(Image(std::vector<uint32_t>(4, 64 * 1024)))));
        c.reachPhase(t);
        test::CallWatched(std::string("the close while ") + c.name, [&] { CloseConnection(t.c); });
        EXPECT_FALSE(t.c.downloadWorker.joinable()) << c.name;
        EXPECT_EQ(t.c.downloading, 0) << c.name;
    }
}

namespace {

struct FixedNames : DownloadNameSource {
    std::string GetDownloadName(int index) const override {
        return index == 0 ? "/fw/first.bin" : "/fw/second.bin";
    }
};

}  // namespace

// A device answers the end record at once with its prompt; the prompt must not be taken for
// transfer bytes, or the second load of the chain never starts.
TEST(DownloadWorkerTest, PromptRightAfterTheEndRecordStartsTheSecondLoad) {
    Transfer t;
    FixedNames names;
    t.c.downloadNames = &names;
    t.c.autoArmed = 1;
    ASSERT_TRUE(t.Announce(t.WriteFile(Image({16}))));
    ASSERT_TRUE(t.Ask('\x01', 2));
    ASSERT_TRUE(t.Ask('\x02', 4));
    // Hold the end record's header in the port while the device already prints its prompt.
    t.device.PendWrites(platform::ERROR_SUCCESS);
    t.device.HoldPendingWrites(true);
    t.device.QueueInput("\x02");
    ASSERT_TRUE(t.device.WaitForCallCount("GetOverlappedResult", 1));
    const int reads = t.device.CallCount("ReadFile");
    t.device.QueueInput("load ok: 1 records, 16 bytes\r\nFW>");
    ASSERT_TRUE(t.device.WaitForCallCount("ReadFile", reads + 1));  // read while the write waits
    t.device.HoldPendingWrites(false);
    ASSERT_TRUE(t.device.WaitForCallCount("WriteFile", 6));
    const std::vector<uint8_t> last = t.device.Writes().back();
    EXPECT_EQ(std::string(last.begin(), last.end()), "l /fw/second.bin\r");
    EXPECT_TRUE(Transfer::WaitUntil([&] { return t.c.autoArmed == 0; }));
}
