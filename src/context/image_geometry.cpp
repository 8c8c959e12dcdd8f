// The geometry check run before the readout is programmed.
#include "context/image_geometry.h"

namespace ostrel::context {

bool isValidGeometry(const ImageGeometry &geometry, std::int32_t subsampleMode) {
    const ImageGeometry &g = geometry;
    if (g.width < 0 || g.height < 0 || g.originX < 0 || g.originY < 0) {
        return false;
    }
    if (g.width > kSensorWidth || g.originX > kSensorWidth || g.height > kSensorHeight ||
        g.originY > kSensorHeight) {
        return false;
    }
    // Each term is bounded above, so the sums cannot overflow.
    if (g.originX + g.width > kSensorWidth || g.originY + g.height > kSensorHeight) {
        return false;
    }
    return subsampleMode >= 0 && subsampleMode <= kLargestSubsampleMode;
}

}  // namespace ostrel::context
