// The relation between the camera's exposure register and the exposure time. The register runs
// opposite to time: larger values give shorter exposures.
#pragma once

#include <cstdint>

namespace ostrel::context {

inline constexpr std::int32_t kMinExposure = 1;
inline constexpr std::int32_t kMaxExposure = 4455;
// The largest exposure value offered while the camera subsamples.
inline constexpr std::int32_t kMaxExposureSubsampled = 2228;
inline constexpr std::int32_t kMaxGlobalGain = 1023;

// ((4455 - exposure) x 3775 + 1426) x 0.03125 microseconds, truncated toward zero: 44 at 4455,
// 525477 at 1. Values from outside the register's range (a hand-edited settings store) give the
// nearest 32-bit result instead of overflowing.
[[nodiscard]] std::int32_t exposureTimeMicroseconds(std::int32_t exposure);

}  // namespace ostrel::context
