// The receive loop on the scripted service: how what the port holds is read, cut into runs and
// handed to the display and the watchers, and what the watchers act on.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "connection/ConnectionLifecycle.h"
#include "support/Recorders.h"
#include "support/ScriptedSerialService.h"

using namespace drel;

namespace {

class Names : public DownloadNameSource {
  public:
    std::string GetDownloadName(int index) const override {
        return index == 0 ? "first.bin" : "second.bin";
    }
};

struct Fixture {
    test::ScriptedSerialService device;
    test::RecordingUserInterface ui;
    test::RecordingView view;
    Names names;
    PortConnection c{device, ui};

    Fixture() {
        c.outputView = &view;
        c.downloadNames = &names;
    }
    ~Fixture() { CloseConnection(c); }

    // Opens the port and waits until the loop waits for input, so that what is queued next
    // arrives in one piece. The loop's first wait ends at once on the mask change the loop
    // made as it started; its second is the one that waits for input.
    bool Open() {
        LineSettings settings;
        settings.BaudRate = 115200;
        settings.ByteSize = 8;
        return OpenConnection(c, "COM5", settings) && device.WaitForCallCount("WaitCommEvent", 2);
    }

    std::vector<std::string> Reads() const {
        std::vector<std::string> reads;
        for (const std::string& call : device.Calls()) {
            if (call.rfind("ReadFile", 0) == 0) {
                reads.push_back(call);
            }
        }
        return reads;
    }

    std::string Written() const {
        const std::vector<uint8_t> bytes = device.Written();
        return {bytes.begin(), bytes.end()};
    }
};

// `count` printable bytes that differ from run to run, so that a run out of order shows.
std::string Numbered(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text.push_back(static_cast<char>('a' + (i / 80) % 26));
    }
    return text;
}

}  // namespace

// A flood is read in a few large reads, each shown and watched in runs of at most 80 bytes, in
// order, as if it had been read 80 bytes at a time.
TEST(ReceivePipelineTest, ReadsWhatThePortHoldsAndHandsItOnInRunsOf80) {
    const struct {
        size_t queued;
        std::vector<std::string> reads;
        std::vector<size_t> shortRuns;  // a read's last run, when shorter than 80
    } cases[] = {
        {200, {"ReadFile 200"}, {40}},
        {1000, {"ReadFile 1000"}, {40}},
        {5000, {"ReadFile 4096", "ReadFile 904"}, {16, 24}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.queued);
        Fixture f;
        ASSERT_TRUE(f.Open());
        const std::string input = Numbered(c.queued);
        f.device.QueueInput(input);
        ASSERT_TRUE(f.view.WaitForBytes(input.size()));
        EXPECT_EQ(f.Reads(), c.reads);
        std::string joined;
        std::vector<size_t> shortRuns;
        for (const std::string& run : f.view.Runs()) {
            ASSERT_LE(run.size(), 80u);
            if (run.size() < 80) {
                shortRuns.push_back(run.size());
            }
            joined += run;
        }
        EXPECT_EQ(joined, input);
        EXPECT_EQ(shortRuns, c.shortRuns);
    }
}

// The watchers have seen a run before any of it can be on screen: a prompt the user saw
// before pressing "&Auto Down load" is not taken for the prompt that follows the load command.
TEST(ReceivePipelineTest, APromptOnScreenBeforeTheChainWasArmedIsNotAnsweredAgain) {
    Fixture f;
    f.view.onShow = [&, first = true](std::string_view run) mutable {
        if (first && run.find("FW>") != std::string_view::npos) {
            first = false;
            f.c.autoArmed = 1;  // the user sees the prompt and presses the command
        }
    };
    ASSERT_TRUE(f.Open());
    const int waits = f.device.CallCount("WaitCommEvent");
    f.device.QueueInput("\r\nFW>");
    // The loop has read, shown and acted on the prompt once it waits again.
    ASSERT_TRUE(f.device.WaitForCallCount("WaitCommEvent", waits + 1));
    ASSERT_EQ(f.c.autoArmed, 1);
    EXPECT_EQ(f.Written(), "");

    f.device.QueueInput("load ok\r\nFW>");
    ASSERT_TRUE(f.device.WaitForCallCount("WriteFile", 1));
    EXPECT_EQ(f.Written(), "l second.bin\r");
}

// The worker loads the image named before "start download", even when the device names the next
// one right after, before the worker has begun.
TEST(ReceivePipelineTest, TheWorkerLoadsTheImageNamedWhenItWasStarted) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string image = dir.filePath("a.bin").toStdString();
    const std::string signature = "SIGNATR";
    std::ofstream(image, std::ios::binary) << signature << "12345678";
    std::string announce = ":F=" + image + "\rstart download";
    ASSERT_LE(announce.size(), 80u);
    announce.resize(80, ' ');  // the next name comes in the next run
    const std::string next = ":F=" + dir.filePath("missing.bin").toStdString() + "\r";

    Fixture f;
    f.c.downloadOptions.headerTimeoutMs = 60000;  // the close ends the wait
    ASSERT_TRUE(f.Open());
    f.device.QueueInput(announce + next);
    ASSERT_TRUE(f.device.WaitForCallCount("WriteFile", 1));
    EXPECT_EQ(f.Written(), signature);
    EXPECT_TRUE(f.ui.Boxes().empty());
}
