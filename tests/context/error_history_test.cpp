// The error history: newest first, twenty deep, drained one code at a time, and safe to record
// into from other threads while the application drains it.
#include "context/error_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace ostrel::context {
namespace {

std::vector<std::int32_t> drain(ErrorHistory &history, int calls) {
    std::vector<std::int32_t> codes;
    for (int i = 0; i < calls; ++i) {
        codes.push_back(history.takeNewest());
    }
    return codes;
}

TEST(ErrorHistory, FreshHistoryGivesZero) {
    ErrorHistory history;
    EXPECT_EQ(history.takeNewest(), 0);
    EXPECT_EQ(history.codes(), ErrorHistory::Codes{});
}

TEST(ErrorHistory, GivesCodesBackNewestFirstThenZero) {
    ErrorHistory history;
    history.record(4);
    history.record(8);
    EXPECT_EQ(drain(history, 3), (std::vector<std::int32_t>{8, 4, 0}));
}

TEST(ErrorHistory, KeepsTheTwentyNewestOfTwentyOneCodes) {
    ErrorHistory history;
    for (std::int32_t code = 1; code <= 21; ++code) {
        history.record(code);
    }
    const ErrorHistory::Codes held = history.codes();
    EXPECT_EQ(held.front(), 21);
    EXPECT_EQ(held.back(), 2);

    std::vector<std::int32_t> expected;
    for (std::int32_t code = 21; code >= 2; --code) {
        expected.push_back(code);
    }
    EXPECT_EQ(drain(history, 20), expected);
    EXPECT_EQ(history.takeNewest(), 0);
}

TEST(ErrorHistory, DrainingShiftsTheRestTowardTheFront) {
    ErrorHistory history;
    history.record(1);
    history.record(2);
    history.record(3);
    EXPECT_EQ(history.takeNewest(), 3);
    const ErrorHistory::Codes held = history.codes();
    EXPECT_EQ(held[0], 2);
    EXPECT_EQ(held[1], 1);
    EXPECT_TRUE(std::all_of(held.begin() + 2, held.end(), [](std::int32_t c) { return c == 0; }));
    // A new code goes in front of what is left.
    history.record(9);
    EXPECT_EQ(drain(history, 4), (std::vector<std::int32_t>{9, 2, 1, 0}));
}

TEST(ErrorHistory, RecordingThreadsAndADrainingThreadNeverDuplicateOrInventCodes) {
    ErrorHistory history;
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> recorders;
    for (int t = 0; t < kThreads; ++t) {
        recorders.emplace_back([&, t] {
            // Each thread records its own distinct, non-zero values.
            for (int i = 1; i <= kPerThread; ++i) {
                history.record(t * kPerThread + i);
            }
            running.fetch_sub(1);
        });
    }
    std::vector<std::int32_t> drained;
    while (running.load() > 0) {
        const std::int32_t code = history.takeNewest();
        if (code != 0) {
            drained.push_back(code);
        }
    }
    for (std::thread &recorder : recorders) {
        recorder.join();
    }
    // Whatever is left is the newest twenty codes at most; take them too.
    for (std::int32_t code = history.takeNewest(); code != 0; code = history.takeNewest()) {
        drained.push_back(code);
    }

    std::set<std::int32_t> seen;
    for (std::int32_t code : drained) {
        ASSERT_GE(code, 1);
        ASSERT_LE(code, kThreads * kPerThread);
        ASSERT_TRUE(seen.insert(code).second) << "code " << code << " taken twice";
    }
    // Codes leave only by being taken or, once the history is full, by being pushed out; so
    // at least twenty of the 20000 must have been taken.
    EXPECT_GE(drained.size(), ErrorHistory::kDepth);
    EXPECT_EQ(history.codes(), ErrorHistory::Codes{});
}

}  // namespace
}  // namespace ostrel::context
