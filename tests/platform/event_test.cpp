// The manual-reset event that stoppers wait on: it stays set until reset and releases every
// waiter at once.
#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ostrel::platform {
namespace {

TEST(ManualResetEvent, StaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(0));
    event.set();
    EXPECT_TRUE(event.isSet());
    EXPECT_TRUE(event.waitFor(0));
    event.wait();  // returns at once, and leaves the event set
    EXPECT_TRUE(event.waitFor(0));
    event.reset();
    EXPECT_FALSE(event.waitFor(10));
    EXPECT_TRUE(ManualResetEvent(true).isSet());
}

TEST(ManualResetEvent, OneSetReleasesEveryWaiter) {
    ManualResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            event.wait();
            released.fetch_add(1);
        });
    }
    waiters.emplace_back([&] {
        if (event.waitFor(60000)) {
            released.fetch_add(1);
        }
    });
    event.set();
    for (auto &waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 4);
}

}  // namespace
}  // namespace ostrel::platform
