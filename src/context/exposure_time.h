// The exposure time the context reports for an exposure register value, and the gain and
// exposure limits it keeps to (the camera's own). The register runs opposite to time: larger
// values give shorter exposures.
#pragma once

#include <cstdint>

#include "platform/camera_facts.h"

namespace ostrel::context {

using platform::camera::kMaxExposure;
using platform::camera::kMaxExposureSubsampled;
using platform::camera::kMaxGlobalGain;
using platform::camera::kMinExposure;

// The camera's exposure time truncated toward zero to whole microseconds: 44 at 4455, 525477 at
// 1. Values from outside the register's range (a hand-edited settings store) give the nearest
// 32-bit result instead of overflowing.
[[nodiscard]] std::int32_t exposureTimeMicroseconds(std::int32_t exposure);

}  // namespace ostrel::context
