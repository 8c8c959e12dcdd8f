// Millisecond clocks. Both are 32-bit and wrap after about 49.7 days, so callers compare them by
// unsigned difference, never by order.
#pragma once

#include <cstdint>

namespace ostrel::platform {

// The multimedia time (timeGetTime on Windows, CLOCK_MONOTONIC elsewhere). Any thread.
std::uint32_t multimediaTimeMs();

// The system tick count (GetTickCount on Windows, CLOCK_MONOTONIC elsewhere). Any thread.
std::uint32_t tickCountMs();

// Suspends the calling thread for at least the given number of milliseconds (0 yields).
void sleepMs(std::uint32_t milliseconds);

}  // namespace ostrel::platform
