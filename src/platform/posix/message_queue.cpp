// One library-owned message queue, bounded, with a waiting reader and any number of posters.
#include "platform/posix/message_queue.h"

#include <chrono>
#include <new>

namespace ostrel::platform {

bool MessageQueue::post(const Message &message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || pending_.size() >= kMaxPending) {
            return false;
        }
        try {
            pending_.push_back(message);
        } catch (const std::bad_alloc &) {
            return false;
        }
    }
    changed_.notify_one();
    return true;
}

bool MessageQueue::wait(Message &out, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [this] { return closed_ || !pending_.empty(); };
    if (timeoutMs < 0) {
        changed_.wait(lock, ready);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (closed_) {
        return false;
    }
    out = pending_.front();
    pending_.pop_front();
    return true;
}

void MessageQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        pending_.clear();
    }
    changed_.notify_all();
}

}  // namespace ostrel::platform
