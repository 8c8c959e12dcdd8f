// One library-owned message queue: what an application waits on where Windows would give it a
// window's message loop. Bounded like a Windows thread queue, so a queue nobody reads cannot eat
// the process's memory.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "platform/messages.h"

namespace ostrel::platform {

class MessageQueue {
public:
    // Windows refuses further posts to a queue holding 10000 messages; so does this one.
    static constexpr std::size_t kMaxPending = 10000;

    MessageQueue() = default;
    MessageQueue(const MessageQueue &) = delete;
    MessageQueue &operator=(const MessageQueue &) = delete;

    // Appends a message; false when the queue is full or closed. Any thread.
    bool post(const Message &message);
    // Takes the oldest message, waiting up to timeoutMs for one (negative: without limit, 0:
    // not at all). False on time-out, and at once for every waiter when the queue is closed.
    bool wait(Message &out, int timeoutMs);
    // Drops every pending message and refuses new ones; waiters return false. Any thread.
    void close();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Message> pending_;
    bool closed_ = false;
};

}  // namespace ostrel::platform
