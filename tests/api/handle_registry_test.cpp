// The handle registry: ring order (each new entry goes in just before the head and becomes the
// head), the head moving
// with every lookup, removal, and handle values that are never 0 and never in use twice even
// when the random, tick and count sum collides.
#include "api/handle_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "context/camera_context.h"

namespace ostrel::api {
namespace {

using Handles = std::vector<CameraHandle>;

HandleRegistry::HandleSources fixedSources(std::uint32_t random, std::uint32_t ticks) {
    return HandleRegistry::HandleSources{[=] { return random; }, [=] { return ticks; }};
}

// A registry holding A, B, C inserted in that order (C is the head).
class RingOfThree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(registry.insert(kA, nullptr), kA);
        ASSERT_EQ(registry.insert(kB, nullptr), kB);
        ASSERT_EQ(registry.insert(kC, nullptr), kC);
    }
    static constexpr CameraHandle kA = 100;
    static constexpr CameraHandle kB = 200;
    static constexpr CameraHandle kC = 300;
    HandleRegistry registry;
};

TEST(HandleRegistry, EmptyRegistryFindsNothingAndReleasesNothing) {
    HandleRegistry registry;
    EXPECT_EQ(registry.count(), 0);
    EXPECT_EQ(registry.headHandle(), std::nullopt);
    EXPECT_EQ(registry.find(1).get(), nullptr);
    EXPECT_FALSE(registry.release(1));
    EXPECT_EQ(registry.handlesForward(), Handles{});
}

TEST(HandleRegistry, OneEntryIsItsOwnNeighbour) {
    HandleRegistry registry;
    ASSERT_EQ(registry.insert(7, nullptr), 7u);
    EXPECT_EQ(registry.count(), 1);
    EXPECT_EQ(registry.headHandle(), 7u);
    EXPECT_EQ(registry.handlesForward(), Handles{7});
    EXPECT_EQ(registry.handlesBackward(), Handles{7});
    EXPECT_TRUE(registry.release(7));
    EXPECT_EQ(registry.count(), 0);
    EXPECT_EQ(registry.headHandle(), std::nullopt);
}

TEST_F(RingOfThree, TheNewestIsTheHeadAndEachEntryGoesInBeforeTheOldHead) {
    EXPECT_EQ(registry.count(), 3);
    EXPECT_EQ(registry.handlesForward(), (Handles{kC, kB, kA}));
    EXPECT_EQ(registry.handlesBackward(), (Handles{kC, kA, kB}));
}

TEST_F(RingOfThree, ALookupLeavesTheHeadOnTheEntryFound) {
    EXPECT_EQ(registry.find(kA).get(), nullptr);  // found, but the entry holds no context
    EXPECT_EQ(registry.headHandle(), kA);
    EXPECT_EQ(registry.handlesForward(), (Handles{kA, kC, kB}));
    (void)registry.find(kB);
    EXPECT_EQ(registry.headHandle(), kB);
    // Insertion goes in just before the head, and the new entry becomes the head.
    ASSERT_EQ(registry.insert(400, nullptr), 400u);
    EXPECT_EQ(registry.handlesForward(), (Handles{400, kB, kA, kC}));
    EXPECT_EQ(registry.handlesBackward(), (Handles{400, kC, kA, kB}));
}

TEST_F(RingOfThree, AnUnknownHandleLeavesTheHeadOnTheEntryBeforeTheStart) {
    ASSERT_EQ(registry.headHandle(), kC);
    EXPECT_EQ(registry.find(999).get(), nullptr);
    EXPECT_EQ(registry.headHandle(), kA);  // kA precedes kC in the ring
    // Known handles are still found from there, wherever they lie.
    (void)registry.find(kB);
    EXPECT_EQ(registry.headHandle(), kB);
    (void)registry.find(kC);
    EXPECT_EQ(registry.headHandle(), kC);
    EXPECT_EQ(registry.find(0).get(), nullptr);
    EXPECT_EQ(registry.headHandle(), kA);
}

TEST_F(RingOfThree, RemovalJoinsTheNeighboursAndMovesTheHeadToTheNextEntry) {
    EXPECT_TRUE(registry.release(kB));
    EXPECT_EQ(registry.count(), 2);
    EXPECT_EQ(registry.headHandle(), kA);  // kA followed kB
    EXPECT_EQ(registry.handlesForward(), (Handles{kA, kC}));
    EXPECT_EQ(registry.handlesBackward(), (Handles{kA, kC}));
    EXPECT_FALSE(registry.release(kB));
    EXPECT_EQ(registry.count(), 2);
    EXPECT_TRUE(registry.release(kA));
    EXPECT_EQ(registry.headHandle(), kC);
    EXPECT_TRUE(registry.release(kC));
    EXPECT_EQ(registry.count(), 0);
    EXPECT_EQ(registry.handlesForward(), Handles{});
}

TEST_F(RingOfThree, ReleasingDestroysTheContextOfTheEntry) {
    auto context = std::make_unique<context::CameraContext>();
    context::CameraContext *raw = context.get();
    ASSERT_EQ(registry.insert(500, std::move(context)), 500u);
    EXPECT_EQ(registry.find(500).get(), raw);
    EXPECT_TRUE(registry.release(500));
    EXPECT_EQ(registry.find(500).get(), nullptr);
    EXPECT_EQ(registry.count(), 3);
}

// A context that notes when it is destroyed.
class ObservedContext : public context::CameraContext {
public:
    explicit ObservedContext(std::atomic<bool> &destroyed) : destroyed_(destroyed) {}
    ~ObservedContext() override { destroyed_.store(true); }

private:
    std::atomic<bool> &destroyed_;
};

TEST_F(RingOfThree, AReleaseUnregistersAtOnceAndDestroysOnlyAfterTheRunningCallReturns) {
    std::atomic<bool> destroyed{false};
    ASSERT_EQ(registry.insert(500, std::make_unique<ObservedContext>(destroyed)), 500u);
    ContextRef runningCall = registry.find(500);
    ASSERT_TRUE(runningCall);
    std::atomic<bool> released{false};
    std::thread releaser([&] { released.store(registry.release(500)); });
    // The entry goes first: new calls find nothing while the running one goes on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (registry.count() != 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(registry.count(), 3);
    EXPECT_FALSE(registry.find(500));
    EXPECT_FALSE(destroyed.load());
    EXPECT_FALSE(released.load());
    runningCall = ContextRef();
    releaser.join();
    EXPECT_TRUE(released.load());
    EXPECT_TRUE(destroyed.load());
    EXPECT_FALSE(registry.release(500));
}

TEST(HandleRegistryCreation, TheValueIsRandomPlusTicksPlusCount) {
    HandleRegistry registry(fixedSources(5, 1000));
    EXPECT_EQ(registry.proposeHandle(), 1005u);
    ASSERT_EQ(registry.insert(registry.proposeHandle(), nullptr), 1005u);
    // Two contexts in the same millisecond with the same random number still differ.
    EXPECT_EQ(registry.proposeHandle(), 1006u);
    ASSERT_EQ(registry.insert(registry.proposeHandle(), nullptr), 1006u);
}

TEST(HandleRegistryCreation, ASumThatWrapsToZeroMovesOnToOne) {
    HandleRegistry registry(fixedSources(1, 0xFFFFFFFFu));
    const CameraHandle proposed = registry.proposeHandle();
    EXPECT_EQ(proposed, 0u);
    EXPECT_EQ(registry.insert(proposed, nullptr), 1u);
}

TEST(HandleRegistryCreation, ACollidingSumMovesOnPastEveryValueInUse) {
    HandleRegistry registry(fixedSources(0, 20));
    ASSERT_EQ(registry.insert(21, nullptr), 21u);
    ASSERT_EQ(registry.insert(22, nullptr), 22u);
    ASSERT_EQ(registry.insert(24, nullptr), 24u);
    // 20 + 3 entries = 23 is free.
    EXPECT_EQ(registry.insert(registry.proposeHandle(), nullptr), 23u);
    // 20 + 4 = 24 is taken, and so is everything up to 24.
    EXPECT_EQ(registry.insert(registry.proposeHandle(), nullptr), 25u);
    EXPECT_EQ(registry.insert(21, nullptr), 26u);
    EXPECT_EQ(registry.count(), 6);

    std::set<CameraHandle> unique;
    for (CameraHandle h : registry.handlesForward()) {
        EXPECT_TRUE(unique.insert(h).second) << h;
    }
}

TEST(HandleRegistryCreation, CollisionsWrapPastTheTopValueAndZero) {
    HandleRegistry registry;
    ASSERT_EQ(registry.insert(0xFFFFFFFFu, nullptr), 0xFFFFFFFFu);
    ASSERT_EQ(registry.insert(1, nullptr), 1u);
    EXPECT_EQ(registry.insert(0xFFFFFFFFu, nullptr), 2u);
}

TEST(HandleRegistryThreads, ThreadsInsertingLookingUpAndReleasingKeepTheRingWhole) {
    HandleRegistry registry(fixedSources(7, 7));
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::vector<CameraHandle>> made(kThreads);
    auto runOnThreads = [&](const std::function<void(int)> &work) {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back(work, t);
        }
        for (std::thread &thread : threads) {
            thread.join();
        }
    };
    runOnThreads([&](int t) {
        for (int i = 0; i < kPerThread; ++i) {
            made[t].push_back(registry.insert(registry.proposeHandle(), nullptr));
            (void)registry.find(made[t].front());
            (void)registry.find(0);
        }
    });
    std::set<CameraHandle> all;
    for (const auto &handles : made) {
        all.insert(handles.begin(), handles.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_EQ(all.count(0), 0u);

    // Half of them go again while the other threads keep looking theirs up.
    runOnThreads([&](int t) {
        for (std::size_t i = 0; i < made[t].size(); ++i) {
            if (i % 2 == 0) {
                EXPECT_TRUE(registry.release(made[t][i]));
            } else {
                (void)registry.find(made[t][i]);
            }
        }
    });
    EXPECT_EQ(registry.count(), kThreads * kPerThread / 2);
    Handles forward = registry.handlesForward();
    Handles backward = registry.handlesBackward();
    ASSERT_EQ(forward.size(), static_cast<std::size_t>(kThreads * kPerThread / 2));
    std::reverse(backward.begin() + 1, backward.end());
    EXPECT_EQ(forward, backward);
    const std::set<CameraHandle> left(forward.begin(), forward.end());
    for (const auto &handles : made) {
        for (std::size_t i = 0; i < handles.size(); ++i) {
            EXPECT_EQ(left.count(handles[i]), i % 2 == 0 ? 0u : 1u);
        }
    }
}

}  // namespace
}  // namespace ostrel::api
