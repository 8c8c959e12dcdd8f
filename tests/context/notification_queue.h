// Where tests receive the library's notifications: a message queue of the library on Linux, a
// message-only window on Windows, and the calling thread's own queue (window 0) on both. Posts
// are queued before the posting call returns, so tests take them without waiting.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/messages.h"
#include "platform/window_handle.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ostrel::testing {

class NotificationQueue {
public:
#ifdef _WIN32
    NotificationQueue()
        : window_(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)) {}
    ~NotificationQueue() {
        DestroyWindow(window_);
    }
    platform::WindowHandle window() const {
        return reinterpret_cast<platform::WindowHandle>(window_);
    }
    std::vector<platform::Message> take() {
        return peekAll(window_);
    }
    // Messages posted to the calling thread's own queue (window 0).
    static std::vector<platform::Message> takeThreadMessages() {
        return peekAll(reinterpret_cast<HWND>(-1));
    }

private:
    static std::vector<platform::Message> peekAll(HWND window) {
        std::vector<platform::Message> messages;
        MSG msg;
        while (PeekMessageA(&msg, window, 0x8002, 0x8003, PM_REMOVE)) {
            messages.push_back({msg.message, msg.wParam, msg.lParam});
        }
        return messages;
    }
    HWND window_;
#else
    NotificationQueue() : queue_(platform::createMessageQueue()) {}
    ~NotificationQueue() {
        (void)platform::destroyMessageQueue(queue_);
    }
    platform::WindowHandle window() const {
        return queue_;
    }
    std::vector<platform::Message> take() {
        return takeAll(queue_);
    }
    static std::vector<platform::Message> takeThreadMessages() {
        return takeAll(platform::kNoWindow);
    }

private:
    static std::vector<platform::Message> takeAll(platform::WindowHandle queue) {
        std::vector<platform::Message> messages;
        platform::Message message;
        while (platform::waitMessage(queue, message, 0)) {
            messages.push_back(message);
        }
        return messages;
    }
    platform::WindowHandle queue_;
#endif

public:
    NotificationQueue(const NotificationQueue &) = delete;
    NotificationQueue &operator=(const NotificationQueue &) = delete;

    // The lParam codes of the error notifications taken, oldest first; any other message fails
    // the caller's comparison because it shows up as -1.
    std::vector<std::intptr_t> takeErrorCodes() {
        return errorCodes(take());
    }
    static std::vector<std::intptr_t> takeThreadErrorCodes() {
        return errorCodes(takeThreadMessages());
    }

private:
    static std::vector<std::intptr_t> errorCodes(const std::vector<platform::Message> &messages) {
        std::vector<std::intptr_t> codes;
        for (const platform::Message &m : messages) {
            codes.push_back(m.message == 0x8003 && m.wParam == 0 ? m.lParam : -1);
        }
        return codes;
    }
};

}  // namespace ostrel::testing
