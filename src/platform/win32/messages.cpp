// Posting on Windows: PostMessageA to the application's window; window 0 reaches the calling
// thread's own message queue, as PostMessage(NULL) does.
#include "platform/messages.h"

#include <windows.h>

namespace ostrel::platform {

bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                 std::intptr_t lParam) {
    if (window == kNoWindow) {
        // A thread gets its queue only when it first needs one; posting to a thread without
        // one fails, so make sure it exists (this removes nothing).
        MSG peeked;
        PeekMessageA(&peeked, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        return PostThreadMessageA(GetCurrentThreadId(), message, static_cast<WPARAM>(wParam),
                                  static_cast<LPARAM>(lParam)) != FALSE;
    }
    return PostMessageA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
}

}  // namespace ostrel::platform
