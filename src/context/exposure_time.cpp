// The exposure time of an exposure register value, in whole microseconds.
#include "context/exposure_time.h"

#include <limits>

namespace ostrel::context {

std::int32_t exposureTimeMicroseconds(std::int32_t exposure) {
    const double micros = platform::camera::exposureTimeMicroseconds(exposure);
    // Converting a double outside the int32 range is undefined; saturate instead.
    if (micros >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (micros <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(micros);
}

}  // namespace ostrel::context
