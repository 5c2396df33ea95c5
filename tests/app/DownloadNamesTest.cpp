// The pair of download file names: which index selects which name, and that a reader on another
// thread only ever sees whole names while the user-interface thread replaces them.

#include "app/DownloadNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "support/Watchdog.h"

namespace drel {
namespace {

TEST(DownloadNames, IndexZeroSelectsTheFirstNameAndEveryOtherIndexTheSecond) {
    const struct {
        int index;
        const char* first;
        const char* second;
    } cases[] = {
        {0, "set", ""}, {1, "", "set"}, {2, "", "set"}, {-1, "", "set"}, {INT_MAX, "", "set"},
    };
    for (const auto& c : cases) {
        DownloadNames names;
        names.SetDownloadName(c.index, "set");
        EXPECT_EQ(names.GetDownloadName(0), c.first) << "index " << c.index;
        EXPECT_EQ(names.GetDownloadName(1), c.second) << "index " << c.index;
        EXPECT_EQ(names.GetDownloadName(c.index), "set") << "index " << c.index;
    }
}

// The receive loop reads the second name while the dialog's OK replaces both. Names of very
// different lengths make a torn or released copy show up as a name that was never written.
TEST(DownloadNames, AReaderOnAnotherThreadGetsOnlyWholeNamesThatWereSet) {
    const std::vector<std::string> written = {"", "/img/second.bin", std::string(300, 'x'),
                                              std::string(5000, 'y'), "C:\\fw\\b.bin"};
    constexpr size_t kReads = 200000;
    DownloadNames names;
    std::atomic<bool> stop{false};
    std::atomic<size_t> reads{0};
    std::vector<std::string> strays;  // the reader's alone until it is joined
    std::thread reader([&] {
        while (!stop.load()) {
            std::string name = names.GetDownloadName(1);
            if (std::find(written.begin(), written.end(), name) == written.end() &&
                strays.size() < 10) {
                strays.push_back(std::move(name));
            }
            reads.fetch_add(1);
        }
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (size_t round = 0; reads.load() < kReads && std::chrono::steady_clock::now() < deadline;
         ++round) {
        names.SetDownloadName(0, written[round % written.size()]);
        names.SetDownloadName(1, written[(round + 1) % written.size()]);
    }
    stop = true;
    test::CallWatched("the reader", [&] { reader.join(); });

    EXPECT_GE(reads.load(), kReads);
    EXPECT_TRUE(strays.empty()) << strays.size() << " reads were no name that was set, e.g. "
                                << strays.front().substr(0, 40);
}

}  // namespace
}  // namespace drel
