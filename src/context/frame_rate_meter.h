// FrameRateMeter: the capture thread's frame rate in tenths of a frame per second, worked out
// about once a second from the frames counted since the last figure.
//
// Threads: the capture thread only (restarted before the thread starts).
#pragma once

#include <cstdint>

namespace ostrel::context {

class FrameRateMeter {
public:
    // Begins a new measuring window at `nowMs` (multimedia milliseconds) with no frames counted.
    void restart(std::uint32_t nowMs);
    // Counts one frame at `nowMs`. When more than 1000 ms (unsigned difference, so the clock may
    // wrap) have passed since the window began, the rate becomes frames x 10000 / elapsed ms,
    // truncated, and a new window begins. Returns the current rate (0 before the first figure).
    std::int32_t countFrame(std::uint32_t nowMs);
    std::int32_t rate() const { return rate_; }

private:
    std::int32_t frames_ = 0;
    std::uint32_t windowStartMs_ = 0;
    std::int32_t rate_ = 0;
};

}  // namespace ostrel::context
