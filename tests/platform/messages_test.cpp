// Posting notification messages: to an application's queue (a window on Windows, a library
// queue on Linux) and to the calling thread's own queue, from any thread.
#include "platform/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ostrel::platform {
namespace {

constexpr std::uint32_t kFrame = 0x8002;
constexpr std::uint32_t kError = 0x8003;

// One receiving end that the tests post to and take from, on either system.
class Receiver {
public:
#ifdef _WIN32
    Receiver() {
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    }
    ~Receiver() {
        DestroyWindow(window_);
    }
    WindowHandle handle() const {
        return reinterpret_cast<WindowHandle>(window_);
    }
    bool take(Message &out, int timeoutMs) {
        const DWORD start = GetTickCount();
        MSG msg;
        while (!PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
            if (static_cast<int>(GetTickCount() - start) >= timeoutMs) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
        }
        out = {msg.message, msg.wParam, msg.lParam};
        return true;
    }

private:
    HWND window_;
#else
    Receiver() : queue_(createMessageQueue()) {}
    ~Receiver() {
        (void)destroyMessageQueue(queue_);
    }
    WindowHandle handle() const {
        return queue_;
    }
    bool take(Message &out, int timeoutMs) {
        return waitMessage(queue_, out, timeoutMs);
    }

private:
    WindowHandle queue_;
#endif
};

// Takes the next message of the calling thread's own queue.
bool takeOwn(Message &out) {
#ifdef _WIN32
    MSG msg;
    if (!PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) {
        return false;
    }
    out = {msg.message, msg.wParam, msg.lParam};
    return true;
#else
    return waitMessage(kNoWindow, out, 0);
#endif
}

TEST(Messages, ArriveInOrderWithTheirParameters) {
    Receiver receiver;
    ASSERT_NE(receiver.handle(), kNoWindow);
    const std::uintptr_t record = 0x12345678;
    ASSERT_TRUE(postMessage(receiver.handle(), kFrame, record, 0));
    ASSERT_TRUE(postMessage(receiver.handle(), kError, 0, 13));
    ASSERT_TRUE(postMessage(receiver.handle(), kError, 0, -1));
    Message m;
    ASSERT_TRUE(receiver.take(m, 5000));
    EXPECT_EQ(m.message, kFrame);
    EXPECT_EQ(m.wParam, record);
    EXPECT_EQ(m.lParam, 0);
    ASSERT_TRUE(receiver.take(m, 5000));
    EXPECT_EQ(m.message, kError);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 13);
    ASSERT_TRUE(receiver.take(m, 5000));
    EXPECT_EQ(m.lParam, -1);
    EXPECT_FALSE(receiver.take(m, 0));
}

TEST(Messages, PostingToAClosedReceiverFails) {
    WindowHandle gone = kNoWindow;
    {
        Receiver receiver;
        gone = receiver.handle();
        ASSERT_TRUE(postMessage(gone, kError, 0, 1));
    }
    EXPECT_FALSE(postMessage(gone, kError, 0, 2));
}

TEST(Messages, WindowZeroReachesTheCallingThreadOnly) {
    Message m;
    while (takeOwn(m)) {
    }
    ASSERT_TRUE(postMessage(kNoWindow, kError, 0, 1));
    // Another thread's window 0 is that thread's own queue, not this one's.
    std::thread other([] {
        EXPECT_TRUE(postMessage(kNoWindow, kError, 0, 2));
        Message mine;
        EXPECT_TRUE(takeOwn(mine));
        EXPECT_EQ(mine.lParam, 2);
    });
    other.join();
    ASSERT_TRUE(takeOwn(m));
    EXPECT_EQ(m.message, kError);
    EXPECT_EQ(m.lParam, 1);
    EXPECT_FALSE(takeOwn(m));
}

TEST(Messages, PostingFromManyThreadsLosesNothing) {
    Receiver receiver;
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                if (!postMessage(receiver.handle(), kFrame, static_cast<std::uintptr_t>(t), i)) {
                    refused.fetch_add(1);
                }
            }
        });
    }
    std::vector<int> next(kThreads, 0);
    for (int n = 0; n < kThreads * kEach; ++n) {
        Message m;
        ASSERT_TRUE(receiver.take(m, 10000)) << n;
        ASSERT_LT(m.wParam, static_cast<std::uintptr_t>(kThreads));
        // Each sender's messages keep their order.
        EXPECT_EQ(m.lParam, next[m.wParam]++);
    }
    for (auto &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(refused.load(), 0);
    Message m;
    EXPECT_FALSE(receiver.take(m, 0));
}

#ifndef _WIN32

// Windows applies its own limit to window queues; the library's queues hold as many.
TEST(MessageQueues, HoldAtMostTenThousand) {
    Receiver receiver;
    int accepted = 0;
    while (accepted < 20000 && postMessage(receiver.handle(), kFrame, 0, accepted)) {
        ++accepted;
    }
    EXPECT_EQ(accepted, 10000);
    Message m;
    ASSERT_TRUE(receiver.take(m, 0));
    EXPECT_EQ(m.lParam, 0);
    // Room for exactly one more.
    EXPECT_TRUE(postMessage(receiver.handle(), kError, 0, 1));
    EXPECT_FALSE(postMessage(receiver.handle(), kError, 0, 2));
}

TEST(MessageQueues, UnknownAndStaleHandlesAreRefused) {
    const WindowHandle queue = createMessageQueue();
    ASSERT_NE(queue, kNoWindow);
    EXPECT_TRUE(destroyMessageQueue(queue));
    EXPECT_FALSE(destroyMessageQueue(queue));
    EXPECT_FALSE(postMessage(queue, kError, 0, 1));
    Message m;
    EXPECT_FALSE(waitMessage(queue, m, 0));
    EXPECT_FALSE(destroyMessageQueue(kNoWindow));
    for (WindowHandle made_up : {WindowHandle{1}, WindowHandle{42}, ~WindowHandle{0}}) {
        EXPECT_FALSE(postMessage(made_up, kError, 0, 1)) << made_up;
    }
    // A new queue never takes the handle of one destroyed a moment ago.
    std::vector<WindowHandle> later;
    for (int i = 0; i < 100; ++i) {
        later.push_back(createMessageQueue());
        EXPECT_NE(later.back(), queue);
        EXPECT_LE(later.back(), WindowHandle{0x7FFFFFFF});  // fits a 32-bit window argument
    }
    for (WindowHandle h : later) {
        EXPECT_TRUE(destroyMessageQueue(h));
    }
}

TEST(MessageQueues, PendingMessagesGoWithTheQueue) {
    WindowHandle queue = createMessageQueue();
    ASSERT_TRUE(postMessage(queue, kError, 0, 1));
    ASSERT_TRUE(destroyMessageQueue(queue));
    queue = createMessageQueue();
    Message m;
    EXPECT_FALSE(waitMessage(queue, m, 0));
    EXPECT_TRUE(destroyMessageQueue(queue));
}

TEST(MessageQueues, WaitEndsWithAMessageFromAnotherThread) {
    const WindowHandle queue = createMessageQueue();
    std::thread poster([queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(postMessage(queue, kFrame, 7, 0));
    });
    Message m;
    EXPECT_TRUE(waitMessage(queue, m, -1));
    EXPECT_EQ(m.wParam, 7u);
    poster.join();
    EXPECT_TRUE(destroyMessageQueue(queue));
}

TEST(MessageQueues, WaitTimesOutWithoutAMessage) {
    const WindowHandle queue = createMessageQueue();
    Message m{1, 2, 3};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waitMessage(queue, m, 30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(m.message, 1u);  // untouched
    EXPECT_TRUE(destroyMessageQueue(queue));
}

TEST(MessageQueues, DestroyReleasesEveryWaiter) {
    const WindowHandle queue = createMessageQueue();
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            Message m;
            EXPECT_FALSE(waitMessage(queue, m, -1));
            released.fetch_add(1);
        });
    }
    // The waiters may not all be waiting yet; destroy works either way (a late one finds the
    // queue unknown).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(destroyMessageQueue(queue));
    for (auto &waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
}

TEST(MessageQueues, ThreadQueueWaitsAndIsBoundedToo) {
    std::thread([] {
        Message m;
        EXPECT_FALSE(waitMessage(kNoWindow, m, 0));
        int accepted = 0;
        while (accepted < 20000 && postMessage(kNoWindow, kError, 0, accepted)) {
            ++accepted;
        }
        EXPECT_EQ(accepted, 10000);
        ASSERT_TRUE(waitMessage(kNoWindow, m, -1));
        EXPECT_EQ(m.lParam, 0);
    }).join();
}

#endif  // !_WIN32

}  // namespace
}  // namespace ostrel::platform
