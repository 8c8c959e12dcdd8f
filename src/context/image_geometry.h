// The part of the sensor a context reads and the limits it must keep to.
#pragma once

#include <cstdint>

namespace ostrel::context {

inline constexpr std::int32_t kSensorWidth = 6576;
inline constexpr std::int32_t kSensorHeight = 4384;

// The stored geometry ("TH", "TV", "EH", "EV", "EHS", "EVS", "Buf" in the settings store).
struct ImageGeometry {
    std::int32_t totalWidth = kSensorWidth;  // kept, not used
    std::int32_t totalHeight = kSensorHeight;
    std::int32_t width = kSensorWidth;  // read from the sensor, before subsampling
    std::int32_t height = kSensorHeight;
    std::int32_t originX = 0;  // position of that image on the sensor
    std::int32_t originY = 0;
    std::int32_t bufferCount = 10;  // kept, not used
};

// Subsampling of the image in each direction: 0 full size, 1 half, 2 quarter.
inline constexpr std::int32_t kLargestSubsampleMode = 2;

// True when the image lies on the sensor (origin and size not negative, within 6576 x 4384) and
// the subsample mode is one the context can convert.
[[nodiscard]] bool isValidGeometry(const ImageGeometry &geometry, std::int32_t subsampleMode);

}  // namespace ostrel::context
