// Posting notification messages to the application. Messages are always posted, never sent, so
// no library thread ever waits for the application's message loop.
//
// Windows: PostMessageA to the window; window 0 posts to the calling thread's own queue.
// Linux: there is no window system, so the library owns message queues. The application creates
// one (Ostrel_CreateMessageQueue), passes its handle wherever a window is expected and waits on it
// (Ostrel_WaitMessage). Window 0 means the calling thread's own queue, created on first use.
#pragma once

#include <cstdint>

#include "platform/window_handle.h"

namespace ostrel::platform {

struct Message {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Posts a message; returns false when the window (or queue) is unknown or its queue already
// holds 10000 messages (the limit of a Windows message queue). Any thread.
bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam);

#ifndef _WIN32
// Library-owned queues (Linux only). Any thread. A handle stays unknown long after its queue is
// destroyed (handles come back only after two billion others), so a stale handle never reaches
// a newer queue. Window 0's queue belongs to its thread and is freed when the thread ends.
// Creates an empty queue; 0 when none can be made.
WindowHandle createMessageQueue();
// Waits up to timeoutMs (negative: forever) for the oldest message of the queue; queue 0 is the
// calling thread's own queue. Returns false on time-out or for an unknown queue.
bool waitMessage(WindowHandle queue, Message &out, int timeoutMs);
// Destroys a queue created by createMessageQueue; pending messages are dropped. Returns false
// for an unknown queue. A thread blocked in waitMessage on it returns false.
bool destroyMessageQueue(WindowHandle queue);
#endif

}  // namespace ostrel::platform
