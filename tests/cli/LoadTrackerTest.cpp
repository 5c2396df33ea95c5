// What drel-load's tracker makes of the download worker's reports: the state the run ends on,
// the news it prints, and the --until text counted only after the last load began.

#include "cli/LoadTracker.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using drel::DownloadResult;
using drel::cli::LoadNews;
using drel::cli::LoadTracker;

// The tenths that each step of news shows, and -1 for an ending.
std::vector<int> Tenths(const std::vector<LoadNews>& news) {
    std::vector<int> tenths;
    for (const LoadNews& item : news) {
        tenths.push_back(item.step ? static_cast<int>(item.step->bytesSent * 10 / item.step->size)
                                   : -1);
    }
    return tenths;
}

TEST(LoadTrackerTest, EachTenPercentIsNewsOnceAndTheEndAfterIt) {
    drel::platform::WakeSignal wake;
    LoadTracker tracker(wake, 1, "", true);
    tracker.Started("a.bin", 1000);
    for (const uint64_t bytes : {15, 99, 100, 150, 350, 999, 1000}) {
        tracker.Sent(bytes, 0);
    }
    tracker.Ended(DownloadResult::Loaded);
    EXPECT_EQ(Tenths(tracker.TakeNews()), (std::vector<int>{1, 3, 9, 10, -1}));
    EXPECT_TRUE(tracker.TakeNews().empty());
}

TEST(LoadTrackerTest, StateKeepsTheFirstFailureAndTheDeviceLoss) {
    drel::platform::WakeSignal wake;
    LoadTracker tracker(wake, 2, "", false);
    tracker.Started("a.bin", 10);
    tracker.Ended(DownloadResult::NoRecordRequest);
    tracker.Started("b.bin", 10);
    tracker.Ended(DownloadResult::Stopped);
    tracker.DeviceLost();
    const LoadTracker::State state = tracker.Look();
    EXPECT_EQ(state.started, 2u);
    EXPECT_EQ(state.ended, 2u);
    EXPECT_EQ(state.failure, DownloadResult::NoRecordRequest);
    EXPECT_TRUE(state.deviceLost);
    EXPECT_TRUE(Tenths(tracker.TakeNews()) == (std::vector<int>{-1, -1}));
}

TEST(LoadTrackerTest, UntilTextCountsOnlyOnceTheLastLoadHasBegun) {
    drel::platform::WakeSignal wake;
    LoadTracker tracker(wake, 2, "FW>", false);
    tracker.Received("FW>");
    tracker.Started("a.bin", 10);
    tracker.Received("load ok\r\nFW>");
    EXPECT_FALSE(tracker.Look().untilSeen);
    tracker.Started("b.bin", 10);
    tracker.Received("load ok\r\nFW");
    EXPECT_FALSE(tracker.Look().untilSeen);
    tracker.Received(">");
    EXPECT_TRUE(tracker.Look().untilSeen);
}

// The worker reports from its thread while the main thread looks: run under ThreadSanitizer.
TEST(LoadTrackerTest, ReportsFromTheWorkerMeetLooksFromTheMainThread) {
    drel::platform::WakeSignal wake;
    LoadTracker tracker(wake, 1, "x", true);
    std::thread worker([&tracker] {
        tracker.Started("a.bin", 100000);
        for (uint64_t bytes = 0; bytes <= 100000; bytes += 100) {
            tracker.Sent(bytes, static_cast<uint32_t>(bytes / 100));
            tracker.Received("text");
        }
        tracker.Ended(DownloadResult::Loaded);
    });
    size_t news = 0;
    while (tracker.Look().ended == 0) {
        news += tracker.TakeNews().size();
        static_cast<void>(tracker.Current());
    }
    worker.join();
    news += tracker.TakeNews().size();
    EXPECT_EQ(news, 11u);  // ten steps and the end
    EXPECT_EQ(tracker.Runs().front().records, 1000u);
}

}  // namespace
