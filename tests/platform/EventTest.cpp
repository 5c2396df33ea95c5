#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/Watchdog.h"

using drel::platform::Event;
using drel::platform::WaitResult;

TEST(EventTest, AutoResetReleasesOneWaitPerSetAndSeveralSetsCountAsOne) {
    Event event(Event::ResetMode::Auto);
    event.Set();
    event.Set();
    EXPECT_EQ(event.Wait(0), WaitResult::Signalled);
    EXPECT_FALSE(event.IsSignalled());
    EXPECT_EQ(event.Wait(10), WaitResult::TimedOut);
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    Event event(Event::ResetMode::Manual, true);
    EXPECT_EQ(event.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(event.Wait(0), WaitResult::Signalled);
    event.Reset();
    EXPECT_EQ(event.Wait(0), WaitResult::TimedOut);
}

TEST(EventTest, SetFromAnotherThreadEndsAnInfiniteWait) {
    Event event(Event::ResetMode::Auto);
    std::atomic<bool> released{false};
    std::thread waiter([&] {
        EXPECT_EQ(event.Wait(drel::platform::INFINITE), WaitResult::Signalled);
        released = true;
    });
    event.Set();
    drel::test::CallWatched("the wait after the set", [&] { waiter.join(); });
    EXPECT_TRUE(released);
}
