// Posting on Linux: the library's message queues, found by handle, plus one private queue per
// thread for window 0 (as PostMessage(NULL) reaches the calling thread on Windows).
#include "platform/messages.h"

#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/posix/message_queue.h"

namespace ostrel::platform {

namespace {

// Handles count up through a range that fits the 32-bit window arguments of the interface and
// starts well away from the small numbers a stray integer would have, so a stale or made-up
// handle is unknown rather than somebody else's queue. A handle comes back only after the two
// billion others have been used.
constexpr WindowHandle kFirstHandle = 0x10000;
constexpr WindowHandle kLastHandle = 0x7FFFFFFF;

class QueueTable {
public:
    WindowHandle create() {
        auto queue = std::make_shared<MessageQueue>();
        std::lock_guard<std::mutex> lock(mutex_);
        while (queues_.count(next_) != 0) {
            advance();
        }
        const WindowHandle handle = next_;
        advance();
        queues_.emplace(handle, std::move(queue));
        return handle;
    }

    std::shared_ptr<MessageQueue> find(WindowHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = queues_.find(handle);
        return it == queues_.end() ? nullptr : it->second;
    }

    std::shared_ptr<MessageQueue> remove(WindowHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = queues_.find(handle);
        if (it == queues_.end()) {
            return nullptr;
        }
        auto queue = std::move(it->second);
        queues_.erase(it);
        return queue;
    }

private:
    void advance() { next_ = next_ == kLastHandle ? kFirstHandle : next_ + 1; }

    std::mutex mutex_;
    std::unordered_map<WindowHandle, std::shared_ptr<MessageQueue>> queues_;
    WindowHandle next_ = kFirstHandle;
};

// Never destroyed: threads may still post while the process exits.
QueueTable &table() {
    static QueueTable *instance = new QueueTable;
    return *instance;
}

// The calling thread's own queue, made on first use and freed when the thread ends. Only its
// thread can reach it, as only a thread itself can post to window 0 for itself.
MessageQueue *ownQueue() {
    thread_local std::unique_ptr<MessageQueue> queue;
    if (!queue) {
        queue = std::make_unique<MessageQueue>();
    }
    return queue.get();
}

}  // namespace

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam) {
    try {
        const Message posted{message, wParam, lParam};
        if (window == kNoWindow) {
            return ownQueue()->post(posted);
        }
        const auto queue = table().find(window);
        return queue != nullptr && queue->post(posted);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

WindowHandle createMessageQueue() {
    try {
        return table().create();
    } catch (const std::bad_alloc &) {
        return kNoWindow;
    }
}

bool waitMessage(WindowHandle queue, Message &out, int timeoutMs) {
    try {
        if (queue == kNoWindow) {
            return ownQueue()->wait(out, timeoutMs);
        }
        // The reference keeps the queue alive while this thread waits, even when another
        // thread destroys it meanwhile (the wait then ends with false).
        const auto found = table().find(queue);
        return found != nullptr && found->wait(out, timeoutMs);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool destroyMessageQueue(WindowHandle queue) {
    if (queue == kNoWindow) {
        return false;
    }
    const auto removed = table().remove(queue);
    if (removed == nullptr) {
        return false;
    }
    removed->close();
    return true;
}

}  // namespace ostrel::platform
