// The part of the sensor a context reads and the limits it must keep to.
#pragma once

#include <cstdint>

#include "platform/camera_facts.h"

namespace ostrel::context {

// The sensor and the geometry record are the camera's; the context reads and checks them.
using platform::camera::ImageGeometry;
using platform::camera::kSensorGeometry;
using platform::camera::kSensorHeight;
using platform::camera::kSensorWidth;

// Subsampling of the image in each direction: 0 full size, 1 half, 2 quarter.
inline constexpr std::int32_t kLargestSubsampleMode = 2;

// True when the image lies on the sensor (origin and size not negative, within 6576 x 4384) and
// the subsample mode is one the context can convert.
[[nodiscard]] bool isValidGeometry(const ImageGeometry &geometry, std::int32_t subsampleMode);

}  // namespace ostrel::context
