// Millisecond clocks on Linux: CLOCK_MONOTONIC cut to 32 bits, so they wrap as Windows' do.
#include "platform/clock.h"

#include <sched.h>
#include <time.h>

#include <cerrno>

namespace ostrel::platform {

namespace {

std::uint32_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace

std::uint32_t multimediaTimeMs() {
    return monotonicMs();
}

std::uint32_t tickCountMs() {
    return monotonicMs();
}

void sleepMs(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec rest{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts the sleep short; the rest is slept, as Sleep() never returns early.
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

}  // namespace ostrel::platform
