// Millisecond clocks on Windows: the multimedia timer and the system tick count.
#include "platform/clock.h"

#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

namespace ostrel::platform {

std::uint32_t multimediaTimeMs() {
    return timeGetTime();
}

std::uint32_t tickCountMs() {
    return GetTickCount();
}

void sleepMs(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace ostrel::platform
