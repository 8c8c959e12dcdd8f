// The geometry check run before the readout is programmed.
#include "context/image_geometry.h"

namespace ostrel::context {

bool isValidGeometry(const ImageGeometry &geometry, std::int32_t subsampleMode) {
    const ImageGeometry &g = geometry;
    if (g.imageWidth < 0 || g.imageHeight < 0 || g.originX < 0 || g.originY < 0) {
        return false;
    }
    if (g.imageWidth > kSensorWidth || g.originX > kSensorWidth || g.imageHeight > kSensorHeight ||
        g.originY > kSensorHeight) {
        return false;
    }
    // Each term is bounded above, so the sums cannot overflow.
    if (g.originX + g.imageWidth > kSensorWidth || g.originY + g.imageHeight > kSensorHeight) {
        return false;
    }
    return subsampleMode >= 0 && subsampleMode <= kLargestSubsampleMode;
}

}  // namespace ostrel::context
