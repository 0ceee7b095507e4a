#include "threads/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(Event, InitialStateAndTimeoutZero) {
    struct Case {
        bool manual;
        bool initially;
    };
    for (Case c : {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
        CEvent e(c.manual, c.initially);
        EXPECT_EQ(e.Wait(0), c.initially) << c.manual << c.initially;
    }
}

TEST(Event, AutoResetConsumesTheSignal) {
    CEvent e(false, false);
    e.Set();
    e.Set();  // a second Set before a wait does not store two signals
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    CEvent e(true, false);
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(10));
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ResetClearsAPendingAutoResetSignal) {
    CEvent e(false, true);
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, SetFromAnotherThreadEndsAnUnlimitedWait) {
    CEvent e(false, false);
    std::thread t([&] { e.Set(); });
    EXPECT_TRUE(e.Wait(CEvent::kInfinite));
    t.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    CEvent e(false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(CEvent::kInfinite)) ++released;
        });
    for (int i = 1; i <= 3; ++i) {
        e.Set();
        // Each signal lets exactly one waiter through; wait until it has.
        while (released.load() < i) std::this_thread::yield();
        EXPECT_EQ(released.load(), i);
    }
    for (auto& t : waiters) t.join();
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ManualResetReleasesEveryWaiter) {
    CEvent e(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (e.Wait(CEvent::kInfinite)) ++released;
        });
    e.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released.load(), 4);
}

TEST(Event, TimedWaitWithoutSignalReturnsFalse) {
    CEvent e(false, false);
    EXPECT_FALSE(e.Wait(20));
}

}  // namespace
