// Calls from other threads into the user-interface thread: order, waiting, and serving them
// while the user-interface thread itself waits for such a thread.

#include "framework/UiThread.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "support/Watchdog.h"

namespace drel {
namespace {

TEST(UiThreadTest, TheTestsThreadIsTheUserInterfaceThread) {
    EXPECT_TRUE(IsUiThread());
    bool other = true;
    std::thread([&] { other = IsUiThread(); }).join();
    EXPECT_FALSE(other);
}

TEST(UiThreadTest, OnTheUserInterfaceThreadACallRunsAtOnce) {
    int runs = 0;
    CallOnUiThread([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(UiThreadTest, CallsFromSeveralThreadsAllRunInTheirOwnOrder) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 2000;
    std::vector<std::pair<int, int>> ran;  // (thread, call), user-interface thread only
    std::atomic<int> finished = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                CallOnUiThread([&, t, i] {
                    EXPECT_TRUE(IsUiThread());
                    ran.emplace_back(t, i);
                });
            }
            ++finished;
        });
    }
    // Served by the event loop here.
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == kThreads; }, 20000));
    test::CallWatched("the calling threads", [&] {
        for (std::thread& thread : threads) {
            thread.join();
        }
    });
    ASSERT_EQ(ran.size(), size_t{kThreads * kCalls});
    std::vector<int> next(kThreads, 0);
    for (const auto& [thread, call] : ran) {
        EXPECT_EQ(call, next[thread]) << "thread " << thread;
        next[thread] = call + 1;
    }
}

TEST(UiThreadTest, ThreadsCallingWithoutPauseLeaveTheEventLoopItsTurn) {
    // Sixteen threads call as fast as they can, as receive loops do during a flood on as many
    // ports, and go on until a timer of the user-interface thread has fired: it must fire while
    // they call.
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> fired = false;
    std::atomic<bool> stop = false;  // only when the timer does not fire
    QTimer::singleShot(1, [&] { fired = true; });
    constexpr int kCallers = 16;
    std::atomic<int> finished = 0;
    std::vector<std::thread> callers;
    for (int t = 0; t < kCallers; ++t) {
        callers.emplace_back([&] {
            while (!fired && !stop) {
                // Each call keeps the user-interface thread as busy as showing a run of text.
                CallOnUiThread([] {
                    const auto until = Clock::now() + std::chrono::microseconds(200);
                    while (Clock::now() < until) {
                    }
                });
            }
            ++finished;
        });
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired.load(); }, 20'000))
        << "the callers kept the event loop from its timer";
    stop = true;
    test::CallWatched("the callers", [&] {
        // A caller may have queued one more call meanwhile; it waits for it to be served.
        ServeCallsUntil([&] { return finished == kCallers; });
        for (std::thread& caller : callers) {
            caller.join();
        }
    });
}

TEST(UiThreadTest, ServeCallsUntilRunsTheCallsOfTheThreadItWaitsFor) {
    // The worker needs the user-interface thread twice before it can end; a plain join here
    // would never return.
    std::atomic<bool> done = false;
    int steps = 0;
    std::thread worker([&] {
        CallOnUiThread([&] { ++steps; });
        CallOnUiThread([&] { ++steps; });
        done = true;
    });
    test::CallWatched("serving the worker", [&] {
        ServeCallsUntil([&] { return done.load(); });
        worker.join();
    });
    EXPECT_EQ(steps, 2);
}

TEST(UiThreadTest, ServeCallsUntilRunsNothingButTheQueuedCalls) {
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    std::atomic<bool> done = false;
    std::thread worker([&] {
        CallOnUiThread([] {});
        done = true;
    });
    test::CallWatched("serving the worker", [&] {
        ServeCallsUntil([&] { return done.load(); });
        worker.join();
    });
    EXPECT_FALSE(timerFired) << "no general event loop ran";
    EXPECT_TRUE(QTest::qWaitFor([&] { return timerFired; }));
}

TEST(UiThreadTest, ServeCallsUntilNoticesAConditionThatNobodySignals) {
    std::atomic<bool> flag = false;
    std::thread setter([&] { flag = true; });
    test::CallWatched("serving until the flag is set", [&] {
        ServeCallsUntil([&] { return flag.load(); }, std::chrono::milliseconds(1));
        setter.join();
    });
    EXPECT_TRUE(flag);
}

}  // namespace
}  // namespace drel
