// The streaming runner on its own: the loop's start, end and stop, the frame record and the
// delivery of a frame to its target, with passes and copies of the test's making.
#include "context/streaming_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <limits>
#include <thread>

#include "context/context_thread.h"
#include "context/error_code.h"
#include "context/notification_queue.h"

namespace ostrel::context {
namespace {

using Pass = StreamingRunner::Pass;
using RunState = StreamingRunner::RunState;

constexpr std::uint32_t kForever = std::numeric_limits<std::uint32_t>::max();

// Waits (generously) until `done` holds.
template <typename Condition>
bool eventually(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

TEST(StreamingRunnerLoop, RunsPassesUntilStoppedOrUntilAPassEndsTheStream) {
    struct Case {
        const char *name;
        int endAfter;  // the pass that returns End; 0: none does
    };
    for (const Case &c : {Case{"stopped from outside", 0}, Case{"ended by a pass", 3}}) {
        SCOPED_TRACE(c.name);
        StreamingRunner runner;
        std::atomic<int> passes{0};
        const auto pass = [&] {
            const int n = passes.fetch_add(1) + 1;
            return n == c.endAfter ? Pass::End : Pass::Continue;
        };
        ASSERT_TRUE(runner.start(
            pass, [] { return 0u; }, 0));
        EXPECT_TRUE(runner.hasThread());
        ASSERT_TRUE(eventually([&] { return passes.load() >= 3; }));
        if (c.endAfter != 0) {
            // The loop left by itself; its thread waits for the next stop or start.
            ASSERT_TRUE(eventually([&] { return runner.runState() == RunState::Stopped; }));
            EXPECT_TRUE(runner.hasThread());
        }
        runner.stop();
        const int afterStop = passes.load();
        EXPECT_FALSE(runner.hasThread());
        EXPECT_EQ(runner.runState(), RunState::Stopped);
        if (c.endAfter != 0) {
            EXPECT_EQ(afterStop, c.endAfter);
        }
        // A new start runs again (the stop request of the last stop is cleared).
        ASSERT_TRUE(runner.start(
            pass, [] { return 0u; }, 0));
        ASSERT_TRUE(eventually([&] { return passes.load() > afterStop; }));
        runner.stop();
    }
}

TEST(StreamingRunnerLoop, AStopEndsALongPauseAtOnce) {
    StreamingRunner runner;
    std::atomic<int> passes{0};
    const auto pass = [&] {
        ++passes;
        return Pass::Continue;
    };
    ASSERT_TRUE(runner.start(
        pass, [] { return kForever; }, 0));
    auto stopped = std::async(std::launch::async, [&] { runner.stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(120)), std::future_status::ready);
    EXPECT_EQ(passes.load(), 0);
    EXPECT_FALSE(runner.hasThread());
}

TEST(StreamingRunnerLoop, AThreadThatCannotStartLeavesNothingRunning) {
    StreamingRunner runner;
    std::atomic<int> passes{0};
    const auto pass = [&] {
        ++passes;
        return Pass::Continue;
    };
    failNextContextThreadStarts(1);
    EXPECT_FALSE(runner.start(
        pass, [] { return 0u; }, 0));
    EXPECT_FALSE(runner.hasThread());
    EXPECT_EQ(runner.runState(), RunState::Stopped);
    EXPECT_EQ(passes.load(), 0);
}

TEST(StreamingRunnerFrames, CountsFramesAndMeasuresTheRateFromEachStart) {
    StreamingRunner runner;
    ASSERT_TRUE(runner.start([] { return Pass::End; }, [] { return 0u; }, 1000));
    struct Step {
        std::uint32_t nowMs;
        std::int32_t rate;  // tenths of a frame per second after the frame
    };
    // The first figure comes once more than a second has passed: 2 frames in 1001 ms.
    for (const Step &step : {Step{1500, 0}, Step{2001, 19}, Step{2500, 19}}) {
        runner.recordFrame(640, 480, 24, step.nowMs);
        EXPECT_EQ(runner.frameRate(), step.rate) << step.nowMs;
    }
    const FrameInfo &info = runner.frameInfo();
    EXPECT_EQ(info.size, static_cast<std::int32_t>(sizeof(FrameInfo)));
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_EQ(info.frameRate, 19);
    EXPECT_EQ(runner.framesTaken(), 3u);
    // A new start clears the rate but keeps counting frames.
    ASSERT_TRUE(runner.start([] { return Pass::End; }, [] { return 0u; }, 5000));
    EXPECT_EQ(runner.frameRate(), 0);
    runner.recordFrame(640, 480, 8, 5100);
    EXPECT_EQ(runner.framesTaken(), 4u);
    EXPECT_EQ(runner.frameInfo().bitsPerPixel, 8);
    runner.stop();
}

TEST(StreamingRunnerDelivery, CopiesIntoTheBufferAndAnnouncesTheFrameRecord) {
    testing::NotificationQueue queue;
    std::uint8_t buffer[4] = {};
    struct Case {
        const char *name;
        bool window;
        void *buffer;
        std::int32_t size;
        bool copySucceeds;
        bool delivered;
        int copies;
        bool announced;
    };
    const Case cases[] = {
        {"nowhere", false, nullptr, 0, true, true, 0, false},
        {"window only", true, nullptr, 0, true, true, 0, true},
        {"buffer of size 0", true, buffer, 0, true, true, 0, true},
        {"buffer and window", true, buffer, 4, true, true, 1, true},
        {"buffer only", false, buffer, 4, true, true, 1, false},
        {"failed copy", true, buffer, 4, false, false, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StreamingRunner runner;
        const platform::WindowHandle window = c.window ? queue.window() : platform::kNoWindow;
        runner.setTarget({window, c.buffer, c.size, 1});
        int copies = 0;
        const bool delivered = runner.deliver([&](const StreamingRunner::DeliveryTarget &t) {
            ++copies;
            EXPECT_EQ(t.buffer, buffer);
            EXPECT_EQ(t.size, 4);
            EXPECT_EQ(t.topRowFirst, 1);
            return c.copySucceeds;
        });
        EXPECT_EQ(delivered, c.delivered);
        EXPECT_EQ(copies, c.copies);
        EXPECT_EQ(runner.frameInfo().buffer, c.buffer);
        const auto messages = queue.take();
        ASSERT_EQ(messages.size(), c.announced ? 1u : 0u);
        if (c.announced) {
            EXPECT_EQ(messages[0].message, kFrameNotification);
            EXPECT_EQ(messages[0].wParam, reinterpret_cast<std::uintptr_t>(&runner.frameInfo()));
            EXPECT_EQ(messages[0].lParam, 0);
        }
    }
}

TEST(StreamingRunnerDelivery, FailuresGoToTheCurrentWindowOnly) {
    testing::NotificationQueue queue;
    StreamingRunner runner;
    runner.notify(5);  // no window yet
    runner.setTarget({queue.window(), nullptr, 0, 0});
    runner.notify(9);
    runner.setTarget({});
    runner.notify(10);  // the window was taken away
    const auto messages = queue.take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, kFrameNotification);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, 9);
}

}  // namespace
}  // namespace ostrel::context
