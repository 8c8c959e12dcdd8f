// The millisecond clocks: the right unit and origin, moving with real time, 32 bits wide.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#else
#include <time.h>
#endif

namespace ostrel::platform {
namespace {

// The system clock each of ours must equal, read the same way the system's own API gives it.
std::uint32_t systemMs(bool multimedia) {
#ifdef _WIN32
    return multimedia ? timeGetTime() : GetTickCount();
#else
    (void)multimedia;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
#endif
}

void expectMatchesSystem(std::uint32_t (*clock)(), bool multimedia) {
    const std::uint32_t before = systemMs(multimedia);
    const std::uint32_t ours = clock();
    const std::uint32_t after = systemMs(multimedia);
    // Compared by unsigned difference, as every user of these clocks must, so a wrap between
    // the readings does not matter.
    EXPECT_LE(ours - before, after - before);
}

TEST(Clock, ReadsTheSystemMillisecondClock) {
    expectMatchesSystem(&multimediaTimeMs, true);
    expectMatchesSystem(&tickCountMs, false);
}

TEST(Clock, SleepLastsAtLeastItsTimeAndTheClocksFollow) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t mmStart = multimediaTimeMs();
    const std::uint32_t tickStart = tickCountMs();
    sleepMs(60);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(59));
    // The tick count may advance in steps of up to ~16 ms on Windows.
    EXPECT_GE(multimediaTimeMs() - mmStart, 50u);
    EXPECT_GE(tickCountMs() - tickStart, 40u);
    sleepMs(0);  // yields and returns
}

}  // namespace
}  // namespace ostrel::platform
