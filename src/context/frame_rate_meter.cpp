// The frame rate of the capture loop.
#include "context/frame_rate_meter.h"

namespace ostrel::context {
namespace {

constexpr std::uint32_t kWindowMs = 1000;

}  // namespace

void FrameRateMeter::restart(std::uint32_t nowMs) {
    frames_ = 0;
    windowStartMs_ = nowMs;
    rate_ = 0;
}

std::int32_t FrameRateMeter::countFrame(std::uint32_t nowMs) {
    ++frames_;
    const std::uint32_t elapsed = nowMs - windowStartMs_;
    if (elapsed > kWindowMs) {
        rate_ = static_cast<std::int32_t>(static_cast<double>(frames_) * 10000.0 /
                                          static_cast<double>(elapsed));
        frames_ = 0;
        windowStartMs_ = nowMs;
    }
    return rate_;
}

}  // namespace ostrel::context
